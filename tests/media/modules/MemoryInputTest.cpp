// The memory input module: identity, probing, opening by attached name, all-or-nothing reads,
// seeking and size, alone and under the framework.
#include <numeric>
#include <vector>

#include "media/framework/MediaFrameworkFakes.h"

namespace veltro::media {
namespace {

using MemoryInputTest = FrameworkTest;

TEST_F(MemoryInputTest, IdentityAndProbing) {
  MfInputModule m{};
  MemoryInputDescriptor(&m);
  EXPECT_EQ(m.version, kMfInterfaceVersion);
  EXPECT_EQ(m.sendMessage, nullptr);
  EXPECT_EQ(m.probe("mem:anything"), 0);
  EXPECT_NE(m.probe("song.mp3"), 0);
  EXPECT_NE(m.probe("me"), 0);
  MfModuleInfo info{};
  ASSERT_EQ(m.query(&info, kMfQueryName | kMfQueryDeviceCount), kMfOk);
  EXPECT_STREQ(info.name, "Input From Memory");
  EXPECT_STREQ(info.description, "Version 1.2");
  ASSERT_EQ(m.query(&info, kMfQueryDeviceCount), kMfOk);
  EXPECT_EQ(info.index, 1);
  info.index = 0;
  ASSERT_EQ(m.query(&info, kMfQueryDevice), kMfOk);
  EXPECT_STREQ(info.name, "mem:*");
  info.index = 1;
  EXPECT_EQ(m.query(&info, kMfQueryDevice), kMfInvalidParameter);
}

TEST_F(MemoryInputTest, EmptyNamesAndMissingBuffersAreReported) {
  MfInputModule m{};
  MemoryInputDescriptor(&m);
  ASSERT_EQ(mf_input_module_register(decoder_, &m), 0);
  EXPECT_EQ(mf_input_new(decoder_, "", 0), kMfInvalidParameter);
  EXPECT_EQ(LastReason(), "null params or null/empty input name");
  EXPECT_EQ(decoder_->input->instance, nullptr);
  ASSERT_EQ(mf_input_new(decoder_, "mem:none", -1), kMfOk);
  EXPECT_EQ(mf_input_open(decoder_), kMfFileNotFound);
  EXPECT_EQ(gLog.messages.back(), "cannot open input");
  EXPECT_EQ(decoder_->input->state, 0);
  EXPECT_EQ(MemoryInputAttach(decoder_, "mem:none", nullptr, 0), kMfInvalidParameter);
}

TEST_F(MemoryInputTest, ReadsDeliverWholeBlocksOrNothing) {
  MfInputModule m{};
  MemoryInputDescriptor(&m);
  std::vector<uint8_t> bytes(5096);
  std::iota(bytes.begin(), bytes.end(), uint8_t{0});
  ASSERT_EQ(mf_input_module_register(decoder_, &m), 0);
  // Any name works when the module is chosen by id.
  ASSERT_EQ(MemoryInputAttach(decoder_, "song.mp3", bytes.data(), 5096), kMfOk);
  ASSERT_EQ(mf_input_new(decoder_, "song.mp3", 0), kMfOk);
  void* instance = decoder_->input->instance;
  ASSERT_EQ(m.open(instance), kMfOk);
  EXPECT_EQ(m.getSize(instance), 5096u);
  EXPECT_EQ(m.getCaps(instance), kMfInputSeekable);
  std::vector<uint8_t> block(4096);
  ASSERT_EQ(m.read(instance, block.data(), 4096), 4096);
  EXPECT_EQ(block[4095], uint8_t(4095 & 0xFF));
  EXPECT_EQ(m.read(instance, block.data(), 4096), 0);  // 1000 left: nothing delivered
  ASSERT_EQ(m.read(instance, block.data(), 1000), 1000);
  EXPECT_EQ(block[0], uint8_t(4096 & 0xFF));
  EXPECT_EQ(m.read(instance, block.data(), 1), 0);
  EXPECT_EQ(m.seek(instance, 5097), kMfFailed);
  ASSERT_EQ(m.seek(instance, 5095), kMfOk);
  ASSERT_EQ(m.read(instance, block.data(), 1), 1);
  EXPECT_EQ(block[0], uint8_t(5095 & 0xFF));
  EXPECT_EQ(m.close(instance), kMfOk);
  EXPECT_EQ(m.read(instance, block.data(), 1), kMfFailed);
}

}  // namespace
}  // namespace veltro::media
