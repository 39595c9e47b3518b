// The decoder object: registration checks, module ids and probing, queries, the input life
// cycle with codec selection, decoding with the play-time accumulator, and seeking.
#include <cmath>
#include <limits>

#include "media/framework/MediaFrameworkFakes.h"
#include "media/framework/MfInternal.h"

namespace veltro::media {
namespace {

MfInputModule MemoryModule() {
  MfInputModule m{};
  MemoryInputDescriptor(&m);
  return m;
}

using RegistrationTest = FrameworkTest;

TEST_F(RegistrationTest, VersionBitsEightToTwentyThreeMustHold0404) {
  MfInputModule input = MemoryModule();
  MfCodecModule codec = CountingCodec();
  MfOutputModule output = RecordingOutput();
  input.version = codec.version = output.version = 0x00040500;
  EXPECT_EQ(mf_input_module_register(decoder_, &input), kMfWrongVersion);
  EXPECT_EQ(mf_codec_module_register(decoder_, &codec), kMfWrongVersion);
  EXPECT_EQ(mf_output_module_register(decoder_, &output), kMfWrongVersion);
  // The other bits are free.
  input.version = 0xFF0404FF;
  EXPECT_EQ(mf_input_module_register(decoder_, &input), 0);
  EXPECT_EQ(decoder_->counts->inputs, 1);
  EXPECT_EQ(mf_input_module_register(decoder_, nullptr), kMfInvalidParameter);
}

TEST_F(RegistrationTest, MissingRequiredMethodIsNamedInTheNotification) {
  struct Case {
    const char* reason;
    int (*registerModule)(MfDecoder*);
  };
  const Case cases[] = {
      {"null 'new' method in module",
       [](MfDecoder* d) {
         MfInputModule m = MemoryModule();
         m.deleteInstance = nullptr;
         return mf_input_module_register(d, &m);
       }},
      {"null 'read' method in module",
       [](MfDecoder* d) {
         MfInputModule m = MemoryModule();
         m.read = nullptr;
         return mf_input_module_register(d, &m);
       }},
      {"null 'open' method in module",
       [](MfDecoder* d) {
         MfOutputModule m = RecordingOutput();
         m.open = nullptr;
         return mf_output_module_register(d, &m);
       }},
      {"null 'write' method in module",
       [](MfDecoder* d) {
         MfOutputModule m = RecordingOutput();
         m.write = nullptr;
         return mf_output_module_register(d, &m);
       }},
      {"null 'query' method",
       [](MfDecoder* d) {
         MfCodecModule m = CountingCodec();
         m.query = nullptr;
         return mf_codec_module_register(d, &m);
       }},
      {"null 'probe' method in module",
       [](MfDecoder* d) {
         MfCodecModule m = CountingCodec();
         m.probe = nullptr;
         return mf_codec_module_register(d, &m);
       }},
      {"null 'new' method in module",
       [](MfDecoder* d) {
         MfCodecModule m = CountingCodec();
         m.deleteInstance = nullptr;
         return mf_codec_module_register(d, &m);
       }},
      {"null 'decode' method in module",
       [](MfDecoder* d) {
         MfCodecModule m = CountingCodec();
         m.decode = nullptr;
         return mf_codec_module_register(d, &m);
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.reason);
    gLog.reasons.clear();
    EXPECT_EQ(c.registerModule(decoder_), kMfInternalError);
    EXPECT_EQ(LastReason(), c.reason);
    EXPECT_EQ(gLog.messages.back(), "internal error");
    EXPECT_EQ(gLog.moduleIds.back(), 0);
  }
  EXPECT_EQ(decoder_->counts->inputs + decoder_->counts->outputs + decoder_->counts->codecs, 0);
}

// Two input modules that accept every name; the instance remembers which module made it.
int MadeBy(void* instance) {
  return *static_cast<int*>(instance);
}
MfInputModule TaggedInput(int tag) {
  MfInputModule m{};
  m.version = kMfInterfaceVersion;
  if (tag == 0) {
    m.probe = [](const char*) { return 0; };
    m.newInstance = [](void** i, const char*, MfInputModuleRecord*, MfDecoder*) {
      return *i = new int(0), kMfOk;
    };
  } else {
    m.probe = [](const char* name) { return name[0] == 'x' ? -1 : 0; };
    m.newInstance = [](void** i, const char*, MfInputModuleRecord*, MfDecoder*) {
      return *i = new int(1), kMfOk;
    };
  }
  m.deleteInstance = [](void* i) { return delete static_cast<int*>(i), kMfOk; };
  m.open = m.close = [](void*) { return kMfOk; };
  m.read = [](void*, void*, uint32_t) { return 0; };
  return m;
}

TEST_F(RegistrationTest, IdsCountFromZeroAndProbingTriesTheNewestFirst) {
  const MfInputModule first = TaggedInput(0);
  const MfInputModule second = TaggedInput(1);
  EXPECT_EQ(mf_input_module_register(decoder_, &first), 0);
  EXPECT_EQ(mf_input_module_register(decoder_, &second), 1);
  ASSERT_EQ(mf_input_new(decoder_, "song", -1), kMfOk);
  EXPECT_EQ(MadeBy(decoder_->input->instance), 1);
  ASSERT_EQ(mf_input_new(decoder_, "xsong", -1), kMfOk);  // the newest refuses x names
  EXPECT_EQ(MadeBy(decoder_->input->instance), 0);
  ASSERT_EQ(mf_input_new(decoder_, "song", 0), kMfOk);  // an explicit id skips probing
  EXPECT_EQ(MadeBy(decoder_->input->instance), 0);
  EXPECT_EQ(mf_input_new(decoder_, "song", 7), kMfUnknownModuleId);
  const MfOutputModule output = RecordingOutput();
  EXPECT_EQ(mf_output_module_register(decoder_, &output), 0);
  EXPECT_EQ(mf_output_new(decoder_, "plain.wav", -1), kMfNoOutputModule);
}

TEST_F(RegistrationTest, NoInputModuleAcceptingTheNameGives508) {
  const MfInputModule memory = MemoryModule();
  ASSERT_EQ(mf_input_module_register(decoder_, &memory), 0);
  EXPECT_EQ(mf_input_new(decoder_, "song.mp3", -1), kMfNoInputModule);
  EXPECT_EQ(mf_input_new(decoder_, nullptr, -1), kMfNoInputModule);
}

TEST_F(RegistrationTest, QueriesGiveTheModuleAnswersOrTheDefaults) {
  MfInputModule bare = TaggedInput(0);  // no query method
  const MfInputModule memory = MemoryModule();
  const MfCodecModule codec = CountingCodec();
  ASSERT_EQ(mf_input_module_register(decoder_, &bare), 0);
  ASSERT_EQ(mf_input_module_register(decoder_, &memory), 1);
  ASSERT_EQ(mf_codec_module_register(decoder_, &codec), 0);
  MfModuleInfo info{};
  info.flags = 99;
  ASSERT_EQ(mf_input_module_query(decoder_, 0, &info, kMfQueryName | kMfQueryDeviceCount), 0);
  EXPECT_STREQ(info.name, "unknown module name");
  EXPECT_STREQ(info.description, "");
  EXPECT_EQ(info.index, 1);
  EXPECT_EQ(info.flags, 0);
  info.index = 0;
  ASSERT_EQ(mf_input_module_query(decoder_, 0, &info, kMfQueryDevice), 0);
  EXPECT_STREQ(info.name, "unknown device name");
  EXPECT_EQ(info.flags, 1);
  info.index = 1;
  EXPECT_EQ(mf_input_module_query(decoder_, 0, &info, kMfQueryDevice), kMfInvalidParameter);
  ASSERT_EQ(mf_input_module_query(decoder_, 1, &info, kMfQueryName), 0);
  EXPECT_STREQ(info.name, "Input From Memory");
  EXPECT_STREQ(info.description, "Version 1.2");
  ASSERT_EQ(mf_codec_module_query(decoder_, 0, &info, kMfQueryBufferSize | kMfQueryCaps), 0);
  EXPECT_EQ(info.bufferSize, 4608);
  EXPECT_EQ(info.flags, 3);
  EXPECT_EQ(mf_codec_module_query(decoder_, 1, &info, kMfQueryName), kMfUnknownModuleId);
  EXPECT_EQ(mf_output_module_query(decoder_, 0, &info, kMfQueryName), kMfUnknownModuleId);
}

using InputLifeCycleTest = FrameworkTest;

TEST_F(InputLifeCycleTest, SameModuleAndNameKeepsTheInstance) {
  const MfInputModule memory = MemoryModule();
  ASSERT_EQ(mf_input_module_register(decoder_, &memory), 0);
  ASSERT_EQ(mf_input_new(decoder_, "mem:a", -1), kMfOk);
  void* first = decoder_->input->instance;
  ASSERT_EQ(mf_input_new(decoder_, "mem:a", -1), kMfOk);
  EXPECT_EQ(decoder_->input->instance, first);
  ASSERT_EQ(mf_input_new(decoder_, "mem:b", -1), kMfOk);
  EXPECT_STREQ(decoder_->input->name, "mem:b");
  EXPECT_NE(decoder_->input->instance, nullptr);
}

TEST_F(InputLifeCycleTest, StateChecksNotifyTheirReasons) {
  int16_t pcm[2304];
  EXPECT_EQ(mf_decode(decoder_, pcm), kMfInternalError);
  EXPECT_EQ(LastReason(), "input not open");
  EXPECT_EQ(mf_input_open(decoder_), kMfInternalError);
  EXPECT_EQ(LastReason(), "null input module");
  const MfInputModule memory = MemoryModule();
  ASSERT_EQ(mf_input_module_register(decoder_, &memory), 0);
  ASSERT_EQ(mf_input_new(decoder_, "mem:a", -1), kMfOk);
  EXPECT_EQ(mf_decode(decoder_, pcm), kMfInternalError);
  EXPECT_EQ(LastReason(), "input not open");
  EXPECT_EQ(mf_input_close(decoder_), kMfInternalError);
  EXPECT_EQ(LastReason(), "input not open");
  EXPECT_EQ(mf_input_seek(decoder_, 0), kMfInternalError);
  EXPECT_EQ(gLog.messages.back(), "internal error");
  EXPECT_EQ(mf_decode(nullptr, pcm), kMfInvalidParameter);
}

TEST_F(InputLifeCycleTest, OpenSelectsTheCodecOnceAndTellsItOfEveryStream) {
  const std::vector<uint8_t> bytes(400, 7);
  gLog.durationMs = 5000;
  OpenMemoryStream(bytes);
  EXPECT_EQ(decoder_->input->state, 1);
  EXPECT_EQ(decoder_->input->size, 400u);
  EXPECT_EQ(decoder_->input->caps, kMfInputSeekable);
  EXPECT_EQ(decoder_->codec->bufferSize, 4608);
  EXPECT_EQ(decoder_->codec->caps, 3);
  EXPECT_EQ(gLog.streamInfoReads, 1);
  EXPECT_EQ(decoder_->status->stream.durationMs, 5000);
  EXPECT_EQ(mf_input_open(decoder_), kMfInternalError);
  EXPECT_EQ(LastReason(), "input not closed");
  ASSERT_EQ(mf_input_close(decoder_), kMfOk);
  EXPECT_EQ(gLog.streamClosed, 1);
  ASSERT_EQ(mf_input_open(decoder_), kMfOk);
  EXPECT_EQ(gLog.codecNews, 1);
  EXPECT_EQ(gLog.streamOpened, 2);
  EXPECT_EQ(gLog.parameterFlags, std::vector<int>{7});  // parameters given once, at creation
}

TEST_F(InputLifeCycleTest, NoCodecForTheStreamLeavesTheInputClosed) {
  const std::vector<uint8_t> bytes(16, 0);
  gLog.acceptStreams = false;
  const MfInputModule memory = MemoryModule();
  const MfCodecModule codec = CountingCodec();
  ASSERT_EQ(mf_codec_module_register(decoder_, &codec), 0);
  ASSERT_EQ(mf_input_module_register(decoder_, &memory), 0);
  ASSERT_EQ(MemoryInputAttach(decoder_, "mem:x", bytes.data(), 16), kMfOk);
  ASSERT_EQ(mf_input_new(decoder_, "mem:x", -1), kMfOk);
  EXPECT_EQ(mf_input_open(decoder_), kMfNoCodec);
  EXPECT_EQ(decoder_->input->state, 0);
  EXPECT_NE(decoder_->input->instance, nullptr);
}

using DecodeTest = FrameworkTest;

TEST_F(DecodeTest, PlayTimeAddsWholeMicrosecondsPerFrame) {
  const std::vector<uint8_t> bytes(39 * 4, 1);
  OpenMemoryStream(bytes);
  ASSERT_EQ(mf_decode(decoder_, nullptr), kMfOk);
  EXPECT_EQ(decoder_->priv->playSeconds, 0u);
  EXPECT_EQ(decoder_->priv->playMicroseconds, 26122u);
  for (int i = 1; i < 39; ++i) ASSERT_EQ(mf_decode(decoder_, nullptr), kMfOk);
  const MfTimecode& t = decoder_->status->stream.timecode;
  EXPECT_EQ(t.hours, 0);
  EXPECT_EQ(t.minutes, 0);
  EXPECT_EQ(t.seconds, 1);
  EXPECT_EQ(t.hundredths, 1);
  EXPECT_EQ(decoder_->priv->playMicroseconds, 18758u);  // 39 x 26,122 = 1,018,758
  // The end of the stream changes nothing.
  EXPECT_EQ(mf_decode(decoder_, nullptr), kMfEndOfStream);
  EXPECT_EQ(decoder_->priv->playMicroseconds, 18758u);
  EXPECT_FLOAT_EQ(decoder_->status->position, 1.0f);
}

TEST_F(DecodeTest, LongFramesAreTimedWithoutThirtyTwoBitOverflow) {
  struct Case {
    int count;
    int rate;
    uint32_t micros;  // seconds * 1,000,000 + microseconds after one frame
  };
  // 3000 at 44100: 46,439 x 1 + 952,000,000 / 44100 = 68,026 (the split truncates twice);
  // 100,000 at 48000 would overflow count x 1,000,000 in 32 bits.
  const Case cases[] = {{3000, 44100, 68026}, {4096, 8000, 512000}, {100000, 48000, 2083301}};
  const std::vector<uint8_t> bytes(64, 1);
  OpenMemoryStream(bytes);
  for (const Case& c : cases) {
    gLog.sampleCount = c.count;
    gLog.sampleRateHz = c.rate;
    ASSERT_EQ(mf_input_seek(decoder_, 0), kMfOk);  // clears the accumulator (no duration)
    ASSERT_EQ(mf_decode(decoder_, nullptr), kMfOk);
    EXPECT_EQ(decoder_->priv->playSeconds * 1000000u + decoder_->priv->playMicroseconds, c.micros)
        << c.count << " at " << c.rate;
  }
}

TEST_F(DecodeTest, OutputBufferReportsFormatChangesOnce) {
  const std::vector<uint8_t> bytes(40, 1);
  OpenMemoryStream(bytes);
  int16_t own[2304];
  ASSERT_EQ(mf_decode(decoder_, own), kMfOk);
  const MfOutputBuffer* out = decoder_->outputBuffer;
  EXPECT_EQ(out->samples, own);
  EXPECT_EQ(out->changes, 1 | 2 | 4);
  EXPECT_EQ(out->bytesPerSample, 2);
  EXPECT_EQ(decoder_->status->stream.changes, 4);
  ASSERT_EQ(mf_decode(decoder_, nullptr), kMfOk);
  EXPECT_EQ(out->changes, 0);
  EXPECT_EQ(out->samples[0], 1);  // the second frame, in the internal buffer
  gLog.sampleRateHz = 22050;
  ASSERT_EQ(mf_decode(decoder_, nullptr), kMfOk);
  EXPECT_EQ(out->changes, 4);
  gLog.channels = 1;
  ASSERT_EQ(mf_decode(decoder_, nullptr), kMfOk);
  EXPECT_EQ(out->changes, 2 | 4);
  EXPECT_FLOAT_EQ(decoder_->status->position, 16.0f / 40.0f);
}

TEST_F(DecodeTest, AShortTailEndsTheStream) {
  const std::vector<uint8_t> bytes(10, 1);  // two 4-byte frames and 2 bytes never delivered
  OpenMemoryStream(bytes);
  EXPECT_EQ(mf_decode(decoder_, nullptr), kMfOk);
  EXPECT_EQ(mf_decode(decoder_, nullptr), kMfOk);
  EXPECT_EQ(mf_decode(decoder_, nullptr), kMfEndOfStream);
  EXPECT_EQ(decoder_->input->position, 8u);
}

using SeekTest = FrameworkTest;

TEST_F(SeekTest, OffsetsBeyondTheSizeGoToTheSize) {
  const std::vector<uint8_t> bytes(1000, 1);
  OpenMemoryStream(bytes);
  ASSERT_EQ(mf_input_seek(decoder_, 5000), kMfOk);
  EXPECT_EQ(decoder_->input->position, 1000u);
  EXPECT_EQ(gLog.seekDone, std::vector<uint32_t>{1000});
  EXPECT_FLOAT_EQ(decoder_->status->position, 1.0f);
  EXPECT_EQ(mf_decode(decoder_, nullptr), kMfEndOfStream);
}

TEST_F(SeekTest, SecondsNeedAKnownDuration) {
  const std::vector<uint8_t> bytes(1000, 1);
  OpenMemoryStream(bytes);  // duration unknown
  ASSERT_EQ(mf_input_seek(decoder_, 600), kMfOk);
  ASSERT_EQ(mf_input_seek_to_seconds(decoder_, 5.0f), kMfOk);
  EXPECT_EQ(decoder_->input->position, 0u);
  gLog.durationMs = 10000;
  ASSERT_EQ(mf_input_close(decoder_), kMfOk);
  ASSERT_EQ(mf_input_open(decoder_), kMfOk);
  ASSERT_EQ(mf_input_seek_to_seconds(decoder_, 5.0f), kMfOk);
  EXPECT_EQ(decoder_->input->position, 500u);
  const MfTimecode& t = decoder_->status->stream.timecode;
  EXPECT_EQ(t.seconds, 5);
  EXPECT_EQ(t.hundredths, 0);
  ASSERT_EQ(mf_input_seek_to_seconds(decoder_, -3.0f), kMfOk);
  EXPECT_EQ(decoder_->input->position, 0u);
  ASSERT_EQ(mf_input_seek_to_seconds(decoder_, std::numeric_limits<float>::quiet_NaN()), kMfOk);
  EXPECT_EQ(decoder_->input->position, 0u);
  const MfTimecode at{0, 0, 2, 50};
  ASSERT_EQ(mf_input_seek_to_timecode(decoder_, &at), kMfOk);
  EXPECT_EQ(decoder_->input->position, 250u);
  EXPECT_EQ(mf_input_seek_to_timecode(decoder_, nullptr), kMfInvalidParameter);
  ASSERT_EQ(mf_input_seek_to_position(decoder_, 7.0f), kMfOk);
  EXPECT_EQ(decoder_->input->position, 1000u);
}

TEST_F(SeekTest, WithoutDurationTheBitrateSetsThePlayTime) {
  const std::vector<uint8_t> bytes(32000, 1);
  gLog.bitrateKbps = 128;  // 16,000 bytes a second
  OpenMemoryStream(bytes);
  ASSERT_EQ(mf_input_seek(decoder_, 24000), kMfOk);
  EXPECT_EQ(decoder_->priv->playSeconds, 1u);
  EXPECT_EQ(decoder_->priv->playMicroseconds, 500000u);
  EXPECT_EQ(decoder_->status->stream.timecode.hundredths, 50);
}

// An input that cannot tell its size: every seek goes to 0.
TEST_F(SeekTest, UnknownSizeSeeksToTheStart) {
  MfInputModule sizeless = MemoryModule();
  sizeless.getSize = nullptr;
  const MfCodecModule codec = CountingCodec();
  const std::vector<uint8_t> bytes(100, 1);
  ASSERT_EQ(mf_codec_module_register(decoder_, &codec), 0);
  ASSERT_EQ(mf_input_module_register(decoder_, &sizeless), 0);
  ASSERT_EQ(MemoryInputAttach(decoder_, "mem:s", bytes.data(), 100), kMfOk);
  ASSERT_EQ(mf_input_new(decoder_, "mem:s", -1), kMfOk);
  ASSERT_EQ(mf_input_open(decoder_), kMfOk);
  ASSERT_EQ(mf_decode(decoder_, nullptr), kMfOk);
  ASSERT_EQ(mf_input_seek(decoder_, 40), kMfOk);
  EXPECT_EQ(decoder_->input->position, 0u);
  EXPECT_FLOAT_EQ(decoder_->status->position, 0.0f);
}

}  // namespace
}  // namespace veltro::media
