// Device life cycle: opening, buffer creation rules, lost buffers, "Null output", the list.
#include <gtest/gtest.h>

#include <chrono>
#include <set>
#include <thread>

#include "platform/sound/SoundSystem.h"
#include "platform/sound/SoundTestSupport.h"

namespace veltro::platform::sound {
namespace {

const WaveFormat kStereo16 = MakePcmFormat(44100, 2, 16);

TEST(SoundDevice, CreateBufferRefusesUnsupportedRequests) {
  SoundDevice device;
  EXPECT_FALSE(device.IsOpen());
  EXPECT_EQ(device.CreateBuffer(kStereo16, 400), nullptr) << "not open";
  ASSERT_TRUE(device.OpenManual());
  EXPECT_EQ(device.CreateBuffer(kStereo16, 0), nullptr);
  EXPECT_EQ(device.CreateBuffer(kStereo16, 402), nullptr) << "not whole frames";
  EXPECT_EQ(device.CreateBuffer(MakePcmFormat(44100, 2, 24), 600), nullptr);
  EXPECT_EQ(device.CreateBuffer(MakePcmFormat(44100, 6, 16), 1200), nullptr);
  EXPECT_EQ(device.CreateBuffer(MakePcmFormat(500, 2, 16), 400), nullptr);
  WaveFormat inconsistent = kStereo16;
  inconsistent.blockAlign = 2;
  EXPECT_EQ(device.CreateBuffer(inconsistent, 400), nullptr);
  WaveFormat notPcm = kStereo16;
  notPcm.formatTag = kWaveFormatExtensible;
  EXPECT_EQ(device.CreateBuffer(notPcm, 400), nullptr);
  auto fresh = device.CreateBuffer(MakePcmFormat(8000, 1, 8), 10);
  ASSERT_TRUE(fresh);
  EXPECT_EQ(fresh->SizeBytes(), 10u);
  EXPECT_EQ(fresh->Frequency(), 8000u);
  EXPECT_EQ(fresh->Volume(), 0);
  EXPECT_FALSE(fresh->IsPlaying());
}

TEST(SoundDevice, SlotsAreLimitedAndReusedAfterRelease) {
  SoundDevice device;
  ASSERT_TRUE(device.OpenManual());
  std::vector<std::unique_ptr<SoundBuffer>> buffers;
  while (auto buffer = device.CreateBuffer(kStereo16, 4)) {
    buffers.push_back(std::move(buffer));
    ASSERT_LT(buffers.size(), 1000u);
  }
  EXPECT_GE(buffers.size(), 32u);
  buffers.pop_back();
  EXPECT_NE(device.CreateBuffer(kStereo16, 4), nullptr);
}

TEST(SoundDevice, BuffersBecomeLostWhenTheDeviceCloses) {
  SoundDevice device;
  ASSERT_TRUE(device.OpenManual());
  auto buffer = test::MakeBuffer(device, kStereo16, test::Int16Bytes({1, 2, 3, 4, 5, 6}));
  buffer->SetCurrentPosition(8);
  buffer->Play(true);
  uint8_t* stillLocked = buffer->Lock(0, 4);
  ASSERT_NE(stillLocked, nullptr);
  device.Close();
  EXPECT_FALSE(device.IsOpen());
  buffer->Unlock();  // the region locked before the close is simply dropped
  EXPECT_TRUE(buffer->IsLost());
  EXPECT_EQ(buffer->Lock(0, 4), nullptr);
  EXPECT_EQ(buffer->GetCurrentPosition(), 0u);
  EXPECT_FALSE(buffer->IsPlaying());
  buffer->Play(true);
  buffer->SetVolume(-100);
  buffer->SetFrequency(22050);
  EXPECT_FALSE(buffer->IsPlaying());
  int16_t out[4] = {7, 7, 7, 7};
  EXPECT_FALSE(device.Render(out, 2));
  EXPECT_EQ(out[0], 0);

  // A new session on the same device object does not revive the old buffer.
  ASSERT_TRUE(device.OpenManual());
  EXPECT_TRUE(buffer->IsLost());
  auto fresh = test::MakeBuffer(device, kStereo16, test::Int16Bytes({9, 9}));
  fresh->Play(true);
  EXPECT_EQ(test::RenderFrames(device, 1)[0], 9);
  buffer.reset();
}

TEST(SoundDevice, BuffersMayOutliveTheirDevice) {
  auto device = std::make_unique<SoundDevice>();
  ASSERT_TRUE(device->OpenManual());
  auto buffer = test::MakeBuffer(*device, kStereo16, test::Int16Bytes({1, 2}));
  device.reset();
  EXPECT_TRUE(buffer->IsLost());
  EXPECT_EQ(buffer->Lock(0, 4), nullptr);
  buffer.reset();  // must not touch freed device state (ASan checks this)
}

TEST(SoundDevice, UnknownGuidLeavesTheDeviceUnopened) {
  SoundDevice device;
  EXPECT_FALSE(device.Open("{00000000-0000-0000-0000-000000000000}"));
  EXPECT_FALSE(device.IsOpen());
  EXPECT_FALSE(device.Open("not a guid"));
  EXPECT_EQ(device.CreateBuffer(kStereo16, 4), nullptr);
}

TEST(SoundDevice, NullOutputConsumesSoundAtRealTimePace) {
  SoundDevice device;
  ASSERT_TRUE(device.Open(SoundSystem::NullOutputGuid()));
  EXPECT_TRUE(device.IsOpen());
  int16_t out[2] = {5, 5};
  EXPECT_FALSE(device.Render(out, 1)) << "only the manual backend renders on demand";
  auto buffer = device.CreateBuffer(kStereo16, 5 * 44100 * 4);
  ASSERT_TRUE(buffer);
  buffer->Play(false);
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  const uint32_t position = buffer->GetCurrentPosition();
  EXPECT_GT(position, 0u);
  EXPECT_LT(position, 2u * 44100 * 4);
  EXPECT_EQ(position % 4, 0u);
  device.Close();
}

TEST(SoundSystem, DeviceListEndsWithNullOutputAndHasStableGuids) {
  const auto first = SoundSystem::Devices();
  const auto second = SoundSystem::Devices();
  ASSERT_FALSE(first.empty());
  EXPECT_EQ(first.back().description, "Null output");
  EXPECT_EQ(first.back().guidText, SoundSystem::NullOutputGuid());
  ASSERT_EQ(first.size(), second.size());
  for (size_t i = 0; i < first.size(); ++i) {
    EXPECT_EQ(first[i].guidText.size(), 38u);
    EXPECT_EQ(first[i].guidText.front(), '{');
    EXPECT_EQ(first[i].guidText, second[i].guidText);
    EXPECT_EQ(first[i].description, second[i].description);
  }
  for (size_t i = 0; i + 1 < first.size(); ++i) {
    EXPECT_NE(first[i].guidText, SoundSystem::NullOutputGuid());
  }
}

}  // namespace
}  // namespace veltro::platform::sound
