// The mix through the manual backend: exact copies at the device rate, format conversion,
// cursor behaviour, Lock rules, volume.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "platform/sound/SoundTestSupport.h"

namespace veltro::platform::sound {
namespace {

using test::Int16Bytes;
using test::MakeBuffer;
using test::RenderFrames;

const WaveFormat kStereo16 = MakePcmFormat(44100, 2, 16);

// A deterministic pattern that covers the whole 16-bit range, both signs, distinct per channel.
std::vector<int16_t> Pattern(size_t frames) {
  std::vector<int16_t> samples(2 * frames);
  uint32_t state = 12345;
  for (auto& s : samples) {
    state = state * 1664525u + 1013904223u;
    s = static_cast<int16_t>(state >> 16);
  }
  samples[0] = std::numeric_limits<int16_t>::min();
  samples[1] = std::numeric_limits<int16_t>::max();
  return samples;
}

class SoundMix : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(device_.OpenManual()); }
  SoundDevice device_;
};

TEST_F(SoundMix, StereoAtDeviceRateIsCopiedExactlyAndWrapsWhenLooping) {
  const size_t frames = 1000;
  const auto pattern = Pattern(frames);
  auto buffer = MakeBuffer(device_, kStereo16, Int16Bytes(pattern));
  ASSERT_TRUE(buffer);
  buffer->Play(true);
  const auto out = RenderFrames(device_, 2500);
  for (size_t i = 0; i < out.size(); ++i) {
    ASSERT_EQ(out[i], pattern[i % pattern.size()]) << "sample " << i;
  }
  EXPECT_EQ(buffer->GetCurrentPosition(), 500u * 4);
  EXPECT_TRUE(buffer->IsPlaying());
}

TEST_F(SoundMix, StoppedAndUnwrittenBuffersAreSilentAndDoNotMove) {
  auto stopped = MakeBuffer(device_, kStereo16, Int16Bytes(Pattern(100)));
  auto unwritten = device_.CreateBuffer(kStereo16, 400);
  ASSERT_TRUE(stopped && unwritten);
  unwritten->Play(true);
  const auto out = RenderFrames(device_, 150);
  for (int16_t s : out) ASSERT_EQ(s, 0);
  EXPECT_EQ(stopped->GetCurrentPosition(), 0u);
  EXPECT_EQ(unwritten->GetCurrentPosition(), (150u % 100u) * 4);
}

TEST_F(SoundMix, OneShotStopsAfterItsLastFrameAndRewinds) {
  const auto pattern = Pattern(100);
  auto buffer = MakeBuffer(device_, kStereo16, Int16Bytes(pattern));
  buffer->SetCurrentPosition(40 * 4);
  buffer->Play(false);
  const auto out = RenderFrames(device_, 100);
  for (size_t i = 0; i < 60 * 2; ++i) ASSERT_EQ(out[i], pattern[80 + i]) << i;
  for (size_t i = 60 * 2; i < out.size(); ++i) ASSERT_EQ(out[i], 0) << i;
  EXPECT_FALSE(buffer->IsPlaying());
  EXPECT_EQ(buffer->GetCurrentPosition(), 0u);
  buffer->Play(false);  // plays again from the start
  const auto again = RenderFrames(device_, 1);
  EXPECT_EQ(again[0], pattern[0]);
}

TEST_F(SoundMix, EightBitAndMonoAreConvertedToSixteenBitStereo) {
  const std::vector<uint8_t> bytes = {0x00, 0x80, 0xFF, 0x40};
  auto mono8 = MakeBuffer(device_, MakePcmFormat(44100, 1, 8), bytes);
  ASSERT_TRUE(mono8);
  mono8->Play(false);
  const auto out = RenderFrames(device_, 4);
  const std::vector<int16_t> expected = {-32768, -32768, 0, 0, 32512, 32512, -16384, -16384};
  EXPECT_EQ(out, expected);

  auto stereo8 = MakeBuffer(device_, MakePcmFormat(44100, 2, 8), {0x90, 0x70});
  auto mono16 = MakeBuffer(device_, MakePcmFormat(44100, 1, 16), Int16Bytes({-1234}));
  stereo8->Play(false);
  mono16->Play(false);
  const auto mixed = RenderFrames(device_, 1);
  EXPECT_EQ(mixed[0], 16 * 256 - 1234);
  EXPECT_EQ(mixed[1], -16 * 256 - 1234);
}

TEST_F(SoundMix, SumOfBuffersClipsToSixteenBits) {
  auto a = MakeBuffer(device_, kStereo16, Int16Bytes({30000, -30000}));
  auto b = MakeBuffer(device_, kStereo16, Int16Bytes({30000, -30000}));
  a->Play(false);
  b->Play(false);
  const auto out = RenderFrames(device_, 1);
  EXPECT_EQ(out[0], 32767);
  EXPECT_EQ(out[1], -32768);
}

TEST_F(SoundMix, SetCurrentPositionWhilePlayingMovesTheNextFrame) {
  const auto pattern = Pattern(200);
  auto buffer = MakeBuffer(device_, kStereo16, Int16Bytes(pattern));
  buffer->Play(true);
  RenderFrames(device_, 10);
  buffer->SetCurrentPosition(150 * 4 + 3);  // rounds down to frame 150
  EXPECT_EQ(buffer->GetCurrentPosition(), 150u * 4);
  auto out = RenderFrames(device_, 1);
  EXPECT_EQ(out[0], pattern[300]);
  EXPECT_EQ(out[1], pattern[301]);
  buffer->SetCurrentPosition(200 * 4);  // past the end: ignored
  EXPECT_EQ(buffer->GetCurrentPosition(), 151u * 4);
}

TEST_F(SoundMix, LockRefusesRegionsOutsideTheBufferAndSecondLocks) {
  auto buffer = device_.CreateBuffer(kStereo16, 400);
  ASSERT_TRUE(buffer);
  EXPECT_EQ(buffer->Lock(399, 2), nullptr);
  EXPECT_EQ(buffer->Lock(0, 0), nullptr);
  EXPECT_EQ(buffer->Lock(0xFFFFFFFFu, 2), nullptr);  // offset + bytes overflows 32 bits
  EXPECT_EQ(buffer->Lock(2, 0xFFFFFFFFu), nullptr);
  uint8_t* first = buffer->Lock(396, 4);
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(buffer->Lock(0, 4), nullptr);
  buffer->Unlock();
  buffer->Unlock();  // nothing locked: no effect
  EXPECT_NE(buffer->Lock(0, 400), nullptr);
  buffer->Unlock();
}

TEST_F(SoundMix, UnlockPublishesOnlyTheLockedRegionAndWholeSamples) {
  auto buffer = MakeBuffer(device_, kStereo16, Int16Bytes({0x1234, 0x5678, 0x1111, 0x2222}));
  uint8_t* region = buffer->Lock(1, 2);  // high byte of sample 0, low byte of sample 1
  ASSERT_NE(region, nullptr);
  region[0] = 0x0B;
  region[1] = 0xCD;
  buffer->Unlock();
  buffer->Play(false);
  const auto out = RenderFrames(device_, 2);
  EXPECT_EQ(out[0], 0x0B34);
  EXPECT_EQ(out[1], 0x56CD);
  EXPECT_EQ(out[2], 0x1111);
  EXPECT_EQ(out[3], 0x2222);
}

TEST_F(SoundMix, VolumeAttenuatesInHundredthsOfADecibel) {
  const auto sine = test::Sine(1000, 44100, 44100, 2, 16000);
  auto buffer = MakeBuffer(device_, kStereo16, Int16Bytes(sine));
  buffer->Play(true);
  const double full = test::Rms(RenderFrames(device_, 44100), 0, 2 * 44100);
  buffer->SetVolume(-2900);
  EXPECT_EQ(buffer->Volume(), -2900);
  const double quiet = test::Rms(RenderFrames(device_, 44100), 0, 2 * 44100);
  EXPECT_NEAR(20.0 * std::log10(full / quiet), 29.0, 0.1);

  buffer->SetVolume(-10000);
  for (int16_t s : RenderFrames(device_, 1000)) ASSERT_EQ(s, 0);
  EXPECT_EQ(buffer->GetCurrentPosition(), 1000u * 4) << "a muted buffer keeps moving";

  buffer->SetVolume(-20000);
  EXPECT_EQ(buffer->Volume(), -10000);
  buffer->SetVolume(300);
  EXPECT_EQ(buffer->Volume(), 0);
}

TEST_F(SoundMix, FrequencyIsClampedAndScalesTheCursorSpeed) {
  auto buffer = device_.CreateBuffer(kStereo16, 4 * 44100);
  EXPECT_EQ(buffer->Frequency(), 44100u);
  buffer->SetFrequency(10);
  EXPECT_EQ(buffer->Frequency(), 100u);
  buffer->SetFrequency(1000000);
  EXPECT_EQ(buffer->Frequency(), 200000u);
  buffer->SetFrequency(88200);
  buffer->Play(true);
  RenderFrames(device_, 1000);
  EXPECT_EQ(buffer->GetCurrentPosition(), 2000u * 4);
}

}  // namespace
}  // namespace veltro::platform::sound
