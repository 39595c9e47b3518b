// Resampling quality and speed: tones keep their purity when played off the device rate.
#include <gtest/gtest.h>

#include <cstdio>

#include "platform/sound/SoundTestSupport.h"
#include "support/FrequencyAnalysis.h"

namespace veltro::platform::sound {
namespace {

constexpr size_t kFftSize = 32768;
constexpr size_t kGuardBins = 6;  // the Blackman-Harris main lobe is +-4 bins wide

struct ToneResult {
  double peakHz;
  double worstOtherDb;
};

ToneResult AnalyseChannel(const std::vector<int16_t>& stereo, size_t firstFrame, int channel) {
  const auto spectrum = veltro::testing::AnalyseSpectrum(stereo.data() + 2 * firstFrame + channel,
                                                         kFftSize, 2, 44100.0);
  return {spectrum.PeakHz(), spectrum.WorstOtherDb(spectrum.PeakBin(), kGuardBins)};
}

TEST(SoundResampling, SinePlayedFivePercentFastIsAPureHigherTone) {
  SoundDevice device;
  ASSERT_TRUE(device.OpenManual());
  // Half a second holds exactly 500 periods, so the loop is seamless and the analysed stretch
  // crosses two wraps of the ring, where the interpolation taps wrap around too.
  const auto sine = test::Sine(1000, 44100, 22050, 2, 16000);
  auto buffer = test::MakeBuffer(device, MakePcmFormat(44100, 2, 16), test::Int16Bytes(sine));
  buffer->SetFrequency(46300);
  buffer->Play(true);
  const auto out = test::RenderFrames(device, 4096 + kFftSize);
  for (int channel = 0; channel < 2; ++channel) {
    const ToneResult tone = AnalyseChannel(out, 4096, channel);
    EXPECT_NEAR(tone.peakHz, 1000.0 * 46300.0 / 44100.0, 0.5);
    EXPECT_LT(tone.worstOtherDb, -60.0);
    std::printf("[ measured ] 1 kHz at 46300 Hz, channel %d: %.2f Hz, worst other %.1f dB\n",
                channel, tone.peakHz, tone.worstOtherDb);
  }
}

TEST(SoundResampling, HalfRateMonoPlaysAtTheRightSpeedAndPitch) {
  SoundDevice device;
  ASSERT_TRUE(device.OpenManual());
  const auto sine = test::Sine(1000, 22050, 2 * 22050, 1, 16000);
  auto buffer = test::MakeBuffer(device, MakePcmFormat(22050, 1, 16), test::Int16Bytes(sine));
  buffer->Play(true);
  const auto out = test::RenderFrames(device, 44100);
  EXPECT_EQ(buffer->GetCurrentPosition(), 22050u * 2) << "one second of source per second";
  for (size_t i = 0; i < out.size(); i += 2) ASSERT_EQ(out[i], out[i + 1]) << "mono on both";
  const ToneResult tone = AnalyseChannel(out, 1000, 0);
  EXPECT_NEAR(tone.peakHz, 1000.0, 0.5);
  EXPECT_LT(tone.worstOtherDb, -60.0);
  std::printf("[ measured ] 1 kHz mono at 22050 Hz: %.2f Hz, worst other %.1f dB\n", tone.peakHz,
              tone.worstOtherDb);
}

TEST(SoundResampling, OneShotInterpolatesIntoSilenceNotIntoItsOwnStart) {
  SoundDevice device;
  ASSERT_TRUE(device.OpenManual());
  // A constant one-shot: at half speed the last output frames lie between the last frame and
  // the silence after it, so they fall off instead of reaching back to the first frame.
  std::vector<int16_t> level(2 * 8, 8000);
  level[0] = level[1] = -8000;
  auto buffer = test::MakeBuffer(device, MakePcmFormat(44100, 2, 16), test::Int16Bytes(level));
  buffer->SetFrequency(22050);
  buffer->Play(false);
  const auto out = test::RenderFrames(device, 17);
  EXPECT_EQ(out[2 * 14], 8000);  // exactly on frame 7, the last one
  EXPECT_GT(out[2 * 15], 0);     // halfway into the silence after it
  EXPECT_LT(out[2 * 15], 8000);
  EXPECT_EQ(out[2 * 16], 0);  // stopped
  EXPECT_FALSE(buffer->IsPlaying());
}

}  // namespace
}  // namespace veltro::platform::sound
