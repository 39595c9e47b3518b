// Filter chains (ids, placement, pass-through, removal), the output side with mf_play, and the
// codec parameters.
#include <vector>

#include "media/framework/MediaFrameworkFakes.h"

namespace veltro::media {
namespace {

std::vector<int> gFilterReads;  // filter ids in the order their read ran
std::vector<int> gFilterDeletes;

MfInputFilter ReadTracingFilter(const char* name) {
  MfInputFilter f{};
  f.version = kMfInterfaceVersion;
  // Two names are enough for the tests: "first" and anything else.
  f.query = std::strcmp(name, "first") == 0
                ? +[](MfModuleInfo* info, int) { return std::strcpy(info->name, "first"), kMfOk; }
                : +[](MfModuleInfo* info, int) { return std::strcpy(info->name, "other"), kMfOk; };
  f.newInstance = [](void** instance, int id, MfDecoder*) { return *instance = new int(id), 0; };
  f.deleteInstance = [](void* instance) {
    gFilterDeletes.push_back(*static_cast<int*>(instance));
    return delete static_cast<int*>(instance), kMfOk;
  };
  f.read = [](MfInputFilterNode* node, void* buffer, uint32_t size) {
    gFilterReads.push_back(node->id);
    return node->next->methods.read(node->next, buffer, size);
  };
  return f;
}

std::vector<int> ChainIds(MfDecoder* decoder) {
  std::vector<int> ids;
  mf_input_filter_enumerate(decoder, &ids, [](void* data, MfInputFilterNode* node) {
    static_cast<std::vector<int>*>(data)->push_back(node->id);
  });
  return ids;
}

class FilterTest : public FrameworkTest {
 protected:
  void SetUp() override {
    FrameworkTest::SetUp();
    gFilterReads.clear();
    gFilterDeletes.clear();
  }
};

TEST_F(FilterTest, TheFixedLastNodeCannotBeRemoved) {
  EXPECT_EQ(mf_input_filter_remove(decoder_, nullptr, 0), kMfFailed);
  EXPECT_EQ(mf_input_filter_remove(decoder_, nullptr, -1), kMfFailed);
  EXPECT_EQ(mf_output_filter_remove(decoder_, nullptr, 0), kMfFailed);
  const MfInputFilter f = ReadTracingFilter("first");
  ASSERT_EQ(mf_input_filter_add(decoder_, &f, -1), 1);
  EXPECT_EQ(mf_input_filter_remove(decoder_, nullptr, 0), 0);  // new head: the fixed node
  EXPECT_EQ(mf_input_filter_remove(decoder_, nullptr, 0), kMfFailed);
  EXPECT_TRUE(ChainIds(decoder_).empty());
}

TEST_F(FilterTest, IdsArePlacedByPositionAndReused) {
  const MfInputFilter f = ReadTracingFilter("first");
  EXPECT_EQ(mf_input_filter_add(decoder_, &f, -1), 1);
  EXPECT_EQ(mf_input_filter_add(decoder_, &f, -1), 2);  // at the head
  EXPECT_EQ(mf_input_filter_add(decoder_, &f, 0), 3);   // in front of the module
  EXPECT_EQ(mf_input_filter_add(decoder_, &f, 1), 4);   // 1 also means the module end
  EXPECT_EQ(ChainIds(decoder_), (std::vector<int>{2, 1, 3, 4}));
  EXPECT_EQ(mf_input_filter_add(decoder_, &f, 3), 5);  // upstream of filter 3
  EXPECT_EQ(ChainIds(decoder_), (std::vector<int>{2, 1, 5, 3, 4}));
  EXPECT_EQ(mf_input_filter_remove(decoder_, nullptr, 1), 2);
  EXPECT_EQ(mf_input_filter_add(decoder_, &f, 99), 1);  // unknown id: module end; id 1 is free
  EXPECT_EQ(ChainIds(decoder_), (std::vector<int>{2, 5, 3, 4, 1}));
  EXPECT_EQ(gFilterDeletes, std::vector<int>{1});
}

TEST_F(FilterTest, BadDescriptorsAreRefused) {
  MfInputFilter f = ReadTracingFilter("first");
  EXPECT_EQ(mf_input_filter_add(decoder_, &f, -2), kMfInvalidParameter);
  EXPECT_EQ(mf_input_filter_add(decoder_, nullptr, -1), kMfInvalidParameter);
  f.version = 0x00040500;
  EXPECT_EQ(mf_input_filter_add(decoder_, &f, -1), kMfWrongVersion);
  f.version = kMfInterfaceVersion;
  f.query = nullptr;
  EXPECT_EQ(mf_input_filter_add(decoder_, &f, -1), kMfInvalidParameter);
  f = ReadTracingFilter("first");
  f.newInstance = [](void**, int, MfDecoder*) { return kMfOutOfMemory; };
  EXPECT_EQ(mf_input_filter_add(decoder_, &f, -1), kMfOutOfMemory);
  EXPECT_TRUE(ChainIds(decoder_).empty());
}

TEST_F(FilterTest, RemovalByNameHeadNearestAndId) {
  const MfInputFilter first = ReadTracingFilter("first");
  const MfInputFilter other = ReadTracingFilter("other");
  ASSERT_EQ(mf_input_filter_add(decoder_, &other, -1), 1);
  ASSERT_EQ(mf_input_filter_add(decoder_, &first, -1), 2);
  ASSERT_EQ(mf_input_filter_add(decoder_, &other, -1), 3);
  ASSERT_EQ(mf_input_filter_add(decoder_, &other, -1), 4);  // chain 4 3 2 1
  EXPECT_EQ(mf_input_filter_remove(decoder_, "missing", -2), kMfFailed);
  EXPECT_EQ(mf_input_filter_remove(decoder_, "", -2), kMfFailed);
  EXPECT_EQ(mf_input_filter_remove(decoder_, "first", -2), 4);
  EXPECT_EQ(mf_input_filter_remove(decoder_, nullptr, 0), 4);   // filter 1, nearest the module
  EXPECT_EQ(mf_input_filter_remove(decoder_, nullptr, -1), 3);  // the head, 4
  EXPECT_EQ(mf_input_filter_remove(decoder_, nullptr, 9), kMfFailed);
  EXPECT_EQ(ChainIds(decoder_), std::vector<int>{3});
  EXPECT_EQ(gFilterDeletes, (std::vector<int>{2, 1, 4}));
}

TEST_F(FilterTest, ReadsRunHeadFirstAndEmptyMethodsPassThrough) {
  const MfInputFilter f = ReadTracingFilter("first");
  ASSERT_EQ(mf_input_filter_add(decoder_, &f, -1), 1);
  ASSERT_EQ(mf_input_filter_add(decoder_, &f, -1), 2);
  const std::vector<uint8_t> bytes(100, 1);
  OpenMemoryStream(bytes);
  // Open, size and caps have no filter method: they reached the memory input.
  EXPECT_EQ(decoder_->input->size, 100u);
  EXPECT_EQ(decoder_->input->caps, kMfInputSeekable);
  ASSERT_EQ(mf_decode(decoder_, nullptr), kMfOk);
  EXPECT_EQ(gFilterReads, (std::vector<int>{2, 1}));
  ASSERT_EQ(mf_input_seek(decoder_, 96), kMfOk);
  EXPECT_EQ(mf_decode(decoder_, nullptr), kMfOk);
  EXPECT_EQ(mf_decode(decoder_, nullptr), kMfEndOfStream);
  // The memory input has no send-message method: the fixed node answers -1.
  EXPECT_EQ(mf_input_send_message(decoder_, 1, 2, 3), kMfFailed);
}

using OutputTest = FrameworkTest;

TEST_F(OutputTest, PlayWritesEachFrameAndReportsFormatChangesOnce) {
  const MfOutputModule output = RecordingOutput();
  ASSERT_EQ(mf_output_module_register(decoder_, &output), 0);
  EXPECT_EQ(mf_play(decoder_), kMfInternalError);
  EXPECT_EQ(LastReason(), "output not open");
  ASSERT_EQ(mf_output_new(decoder_, "rec:out", -1), kMfOk);
  ASSERT_EQ(mf_output_new(decoder_, "rec:out", -1), kMfOk);
  EXPECT_EQ(gLog.outputNews, 1);
  ASSERT_EQ(mf_output_open(decoder_), kMfOk);
  EXPECT_EQ(decoder_->output->caps, kMfOutputDefaultCaps);
  EXPECT_EQ(mf_output_open(decoder_), kMfInternalError);
  EXPECT_EQ(LastReason(), "output not closed");
  const std::vector<uint8_t> bytes(8, 1);
  OpenMemoryStream(bytes);
  ASSERT_EQ(mf_play(decoder_), kMfOk);
  ASSERT_EQ(mf_play(decoder_), kMfOk);
  EXPECT_EQ(mf_play(decoder_), kMfEndOfStream);
  EXPECT_EQ(gLog.writtenBytes, (std::vector<uint32_t>{4608, 4608}));
  ASSERT_EQ(gLog.controlFlags, std::vector<int>{7});
  EXPECT_EQ(gLog.lastControl.words[kMfControlBytesPerSample], 2);
  EXPECT_EQ(gLog.lastControl.words[kMfControlSampleRate], 44100);
  EXPECT_EQ(gLog.lastControl.words[kMfControlChannels], 2);
}

TEST_F(OutputTest, FixedNodeDefaultsAndControlChecks) {
  MfOutputControl control{};
  EXPECT_EQ(mf_output_get_control(decoder_, &control, 0), kMfInternalError);
  EXPECT_EQ(LastReason(), "null output module");
  MfOutputModule output = RecordingOutput();
  output.setControl = nullptr;
  ASSERT_EQ(mf_output_module_register(decoder_, &output), 0);
  ASSERT_EQ(mf_output_new(decoder_, "rec:x", 0), kMfOk);
  EXPECT_EQ(mf_output_set_control(decoder_, nullptr, 0), kMfInternalError);
  EXPECT_EQ(LastReason(), "null control block");
  EXPECT_EQ(mf_output_set_control(decoder_, &control, 1), kMfOk);
  ASSERT_EQ(mf_output_get_control(decoder_, &control, 0), kMfOk);
  EXPECT_EQ(control.words[2], 2);
  EXPECT_EQ(control.words[3], 100);
  EXPECT_EQ(control.words[4], 100);
  EXPECT_EQ(control.words[5], 50);
  EXPECT_EQ(control.words[6], 1);
  EXPECT_EQ(mf_output_send_message(decoder_, 0, 0, 0), kMfFailed);
  EXPECT_EQ(mf_output_close(decoder_), kMfInternalError);
  EXPECT_EQ(LastReason(), "output not open");
}

using CodecParameterTest = FrameworkTest;

TEST_F(CodecParameterTest, SettersReachTheCodecAndTheEqualizerIsCopied) {
  EXPECT_EQ(mf_codec_set_channels(decoder_, 3), kMfOk);  // stored before any codec exists
  const std::vector<uint8_t> bytes(8, 1);
  OpenMemoryStream(bytes);
  EXPECT_EQ(gLog.lastParameters.channels, 3);
  EXPECT_EQ(mf_codec_set_downsampling(decoder_, 2), kMfOk);
  EXPECT_EQ(gLog.parameterFlags.back(), kMfCodecParamDownsampling);
  EXPECT_EQ(mf_codec_get_downsampling(decoder_), 2);
  EXPECT_EQ(mf_codec_get_channels(decoder_), 3);
  int8_t eq[kMfEqualizerBytes];
  for (int i = 0; i < kMfEqualizerBytes; ++i) eq[i] = static_cast<int8_t>(i - 32);
  ASSERT_EQ(mf_codec_set_equalizer(decoder_, eq), kMfOk);
  EXPECT_EQ(gLog.parameterFlags.back(), kMfCodecParamEqualizer);
  EXPECT_EQ(gLog.lastEqualizerFirst, -32);
  eq[0] = 5;  // the decoder keeps its own copy
  int8_t back[kMfEqualizerBytes];
  ASSERT_EQ(mf_codec_get_equalizer(decoder_, back), kMfOk);
  EXPECT_EQ(back[0], -32);
  EXPECT_EQ(back[63], 31);
  ASSERT_EQ(mf_codec_set_equalizer(decoder_, nullptr), kMfOk);
  EXPECT_EQ(gLog.lastParameters.equalizer, nullptr);
  ASSERT_EQ(mf_codec_get_equalizer(decoder_, back), kMfOk);
  EXPECT_EQ(back[0], 0);
  EXPECT_EQ(back[63], 0);
}

}  // namespace
}  // namespace veltro::media
