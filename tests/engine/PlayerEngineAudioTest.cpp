// What the engine sounds like: whole songs played through decoder, tempo processor, buffers
// and mixer on a manual device, measured against the source signal.
#include <gtest/gtest.h>

#include "engine/EngineHarness.h"

namespace veltro::engine {
namespace {

using platform::sound::SoundDevice;

class EngineAudioTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(device.OpenManual());
    engine.AttachDevices(&device, nullptr);
  }
  std::string Write(const std::string& name, const std::string& data, uint16_t channels,
                    uint32_t rate, uint16_t bits = 16) {
    const std::string path = dir.File(name);
    testing::WriteBytes(path, testing::MakeWav(testing::PcmLayout(channels, rate, bits), data));
    return path;
  }
  testing::TempDir dir;
  SoundDevice device;
  PlayerEngine engine;
};

// The song comes out whole: same samples after the processor's latency, nothing lost at
// the end, and the end is counted only after the last audio was rendered.
void ExpectFaithfulPlayback(PlayerEngine& engine, SoundDevice& device,
                            const std::vector<int16_t>& song, double minSnrDb) {
  engine.Prime(0);
  size_t endFrame = 0;
  const auto out = testing::PlayToEnd(engine, device, endFrame);
  ASSERT_GT(endFrame, 0u) << "the end was never counted";
  const auto source = testing::Channel(song, 2, 0);
  const auto played = testing::Channel(out, 2, 0);
  const int lag = testing::FindLag(source, played, 4096, 44100);
  const double snr = testing::SnrDb(source, played, lag, 0, source.size());
  const double tailSnr = testing::SnrDb(source, played, lag, source.size() - 4410, 4410);
  std::printf("latency %d frames, SNR %.1f dB, last 0.1 s SNR %.1f dB\n", lag, snr, tailSnr);
  EXPECT_GT(snr, minSnrDb);
  EXPECT_GT(tailSnr, minSnrDb);  // the song's last audio is played
  const long lastSource = testing::LastLoudSample(source, 0.01);
  const long lastPlayed = testing::LastLoudSample(played, 0.01);
  EXPECT_NEAR(static_cast<double>(lastPlayed - lag), static_cast<double>(lastSource), 2.0);
  EXPECT_GT(endFrame, static_cast<size_t>(lastPlayed));
  // ... and not much later: within the half holding it plus one Service period.
  EXPECT_LT(endFrame, static_cast<size_t>(lastPlayed) + 11025 + 4410 + 4410);
}

TEST_F(EngineAudioTest, WavPlaysToItsEndUnchanged) {
  const auto song = testing::MusicLike(44100, 3.3, 2, 7);
  ASSERT_TRUE(engine.Load(Write("song.wav", testing::Pcm16Bytes(song), 2, 44100), 7, ".WAV"));
  engine.SetPitch(0);
  ExpectFaithfulPlayback(engine, device, song, 60.0);
}

TEST_F(EngineAudioTest, OggPlaysToItsEndUnchanged) {
  const auto song = testing::MusicLike(44100, 2.7, 2, 3);
  const std::string path = dir.File("song.ogg");
  ASSERT_TRUE(testing::WriteOgg(path, song, 2, 44100, 0.9f));
  // The source samples of an Ogg song are what its decoder delivers.
  OggDecoder reference;
  ASSERT_TRUE(reference.Open(path));
  std::vector<int16_t> decoded;
  std::vector<uint8_t> block(16384);
  int status = DecoderBase::kOk;
  while (status == DecoderBase::kOk) {
    status = reference.Read(block.data(), 16384);
    const auto samples = testing::SamplesFromBytes(block.data(), reference.LastReadAudioBytes());
    decoded.insert(decoded.end(), samples.begin(), samples.end());
  }
  ASSERT_GE(decoded.size(), song.size() - 2 * 4096);
  ASSERT_TRUE(engine.Load(path, 7, ".OGG"));
  ExpectFaithfulPlayback(engine, device, decoded, 60.0);
}

TEST_F(EngineAudioTest, FrequencyPitchRaisesSpeedAndTone) {
  const auto song = testing::Sine(1000, 44100, 3.0, 2);
  ASSERT_TRUE(engine.Load(Write("sine.wav", testing::Pcm16Bytes(song), 2, 44100), 7, ".WAV"));
  engine.SetTempoMode(0);
  engine.Prime(0);
  engine.SetPitch(50);
  EXPECT_EQ(engine.MainFrequencyHz(), 46300u);
  size_t endFrame = 0;
  const auto out = testing::PlayToEnd(engine, device, endFrame);
  const auto played = testing::Channel(out, 2, 0);
  const auto tone = testing::AnalyzeTone(
      std::vector<double>(played.begin() + 4410, played.begin() + 4410 + 65536), 44100);
  std::printf("peak %.2f Hz, worst other component %.1f dB\n", tone.peakHz, tone.worstOtherDb);
  EXPECT_NEAR(tone.peakHz, 1000.0 * 46300 / 44100, 2.0);
  EXPECT_LT(tone.worstOtherDb, -60.0);
  // Speed follows: 3 s play in 3 * 44100 / 46300 s.
  EXPECT_NEAR(static_cast<double>(testing::LastLoudSample(played, 0.1)) / 44100,
              3.0 * 44100 / 46300, 0.01);
  engine.SetRate(-20);  // pitch bend: always the frequency form
  EXPECT_EQ(engine.MainFrequencyHz(), 44100u - 20 * 44);
}

TEST_F(EngineAudioTest, MastertempoChangesSpeedButNotTone) {
  const auto song = testing::Sine(1000, 44100, 20.0, 2);
  ASSERT_TRUE(engine.Load(Write("sine.wav", testing::Pcm16Bytes(song), 2, 44100), 7, ".WAV"));
  engine.SetTempoMode(1);
  engine.SetPitch(50);
  EXPECT_EQ(engine.MainFrequencyHz(), 44100u);
  engine.Prime(0);
  size_t endFrame = 0;
  const auto out = testing::PlayToEnd(engine, device, endFrame);
  const auto played = testing::Channel(out, 2, 0);
  const double seconds = static_cast<double>(testing::LastLoudSample(played, 0.1)) / 44100;
  std::printf("20 s at +5 %% tempo played in %.3f s, end counted at %.3f s\n", seconds,
              static_cast<double>(endFrame) / 44100);
  EXPECT_NEAR(seconds, 20.0 / 1.05, 20.0 / 1.05 * 0.01);
  const auto tone = testing::AnalyzeTone(
      std::vector<double>(played.begin() + 44100 * 5, played.begin() + 44100 * 5 + 65536), 44100);
  EXPECT_NEAR(tone.peakHz, 1000.0, 2.0);
  // Switching Mastertempo off returns to the original speed.
  engine.ClearTempoChange();
  engine.ResetEndCount();
  engine.Prime(0);
  const auto normal = testing::Channel(testing::PlayToEnd(engine, device, endFrame), 2, 0);
  EXPECT_NEAR(static_cast<double>(testing::LastLoudSample(normal, 0.1)) / 44100, 20.0, 0.01);
}

TEST_F(EngineAudioTest, LowRateMonoAndEightBitPlayAtTheRightSpeedAndPitch) {
  const struct {
    uint32_t rate;
    uint16_t channels, bits;
  } cases[] = {{22050, 1, 16}, {44100, 2, 8}, {22050, 2, 8}};
  for (const auto& c : cases) {
    const auto song = testing::Sine(1000, c.rate, 2.0, c.channels);
    const std::string data = c.bits == 8 ? testing::Pcm8Bytes(song) : testing::Pcm16Bytes(song);
    ASSERT_TRUE(engine.Load(Write("tone.wav", data, c.channels, c.rate, c.bits), 7, ".WAV"));
    EXPECT_EQ(engine.Format().bitsPerSample, 16);
    engine.Prime(0);
    size_t endFrame = 0;
    const auto out = testing::PlayToEnd(engine, device, endFrame);
    const auto left = testing::Channel(out, 2, 0);
    const auto right = testing::Channel(out, 2, 1);
    EXPECT_EQ(left, right);
    const auto tone = testing::AnalyzeTone(
        std::vector<double>(left.begin() + 2000, left.begin() + 2000 + 65536), 44100);
    EXPECT_NEAR(tone.peakHz, 1000.0, 2.0) << c.rate << " Hz " << c.bits << "-bit";
    EXPECT_NEAR(static_cast<double>(testing::LastLoudSample(left, 0.1)) / 44100, 2.0, 0.01);
    engine.Unload();
  }
}

}  // namespace
}  // namespace veltro::engine
