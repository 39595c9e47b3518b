// MP3 songs on the deck engine: loaded by extension with the engine's own MP3 decoder, played
// on a manual sound device from start to end and measured against the stream decoded frame by
// frame through the media framework.
#include <gtest/gtest.h>

#include <cstdio>

#include "engine/EngineHarness.h"
#include "engine/Mp3Decoder.h"
#include "media/modules/FrameworkDecoding.h"
#include "support/Mp3Encoder.h"

namespace veltro::engine {
namespace {

using platform::sound::SoundDevice;
using testing::Mp3EncoderOptions;
using testing::Mp3Mode;

class Mp3PlaybackTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(device.OpenManual());
    engine.AttachDevices(&device, nullptr);
  }
  // Encodes `samples` and writes the file; `bytes` receives the file's bytes.
  std::string WriteMp3(const std::string& name, const std::vector<int16_t>& samples, Mp3Mode mode,
                       int rateHz, std::vector<uint8_t>& bytes) {
    Mp3EncoderOptions options;
    options.mode = mode;
    options.sampleRateHz = rateHz;
    options.cbrKbps = rateHz >= 32000 ? 128 : 64;
    bytes = testing::EncodeMp3(samples, options);
    const std::string path = dir.File(name);
    testing::WriteBytes(
        path, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
    return path;
  }
  testing::TempDir dir;
  SoundDevice device;
  PlayerEngine engine;
};

// Each step renders 0.1 s and calls Service: the position it reports is the time rendered so
// far, to the hundredth, until the song's end has been counted.
std::vector<int16_t> PlayCheckingPositions(PlayerEngine& engine, SoundDevice& device,
                                           int startHundredths, size_t& endFrame) {
  std::vector<int16_t> all;
  engine.Play();
  endFrame = 0;
  int previous = startHundredths;
  for (int step = 1; step <= 600; ++step) {
    const auto rendered = testing::RenderFrames(device, 4410);
    all.insert(all.end(), rendered.begin(), rendered.end());
    const int position = engine.Service();
    if (engine.EndCount() == 0) {
      EXPECT_NEAR(position, startHundredths + 10 * step, 1) << "step " << step;
      EXPECT_GE(position, previous);
      previous = position;
    }
    if (engine.EndCount() >= 3) {
      endFrame = all.size() / 2;
      break;
    }
  }
  return all;
}

TEST_F(Mp3PlaybackTest, StereoSongPlaysToItsEndWithPositionsOfWhatIsHeard) {
  std::vector<uint8_t> bytes;
  const std::string path =
      WriteMp3("song.mp3", testing::MusicLike(44100, 20.0, 2, 8), Mp3Mode::kStereo, 44100, bytes);
  ASSERT_FALSE(bytes.empty());
  const auto decoding = media::DecodeThroughFramework(bytes);
  ASSERT_EQ(decoding.endCode, media::kMfEndOfStream);
  ASSERT_TRUE(engine.Load(path, 7, ".MP3")) << engine.LastError();
  EXPECT_EQ(engine.Format().channels, 2);
  EXPECT_EQ(engine.Format().samplesPerSec, 44100u);
  EXPECT_EQ(engine.Length(), static_cast<int>(bytes.size() * 8 / 128 / 10));
  engine.Prime(0);
  size_t endFrame = 0;
  const auto out = PlayCheckingPositions(engine, device, 0, endFrame);
  ASSERT_GT(endFrame, 0u) << "the end was never counted";
  EXPECT_EQ(engine.EndCount(), 3);
  // Played against decoded: the same samples after the tempo processor's latency, to the end.
  const auto source = testing::Channel(decoding.pcm, 2, 0);
  const auto played = testing::Channel(out, 2, 0);
  const int lag = testing::FindLag(source, played, 4096, 44100);
  const double snr = testing::SnrDb(source, played, lag, 0, source.size());
  const double tailSnr = testing::SnrDb(source, played, lag, source.size() - 44100, 44100);
  const long lastSource = testing::LastLoudSample(source, 0.01);
  const long lastPlayed = testing::LastLoudSample(played, 0.01);
  std::printf(
      "latency %d frames, SNR %.1f dB, last second %.1f dB, end counted %.3f s after "
      "the last audio\n",
      lag, snr, tailSnr, static_cast<double>(endFrame - lastPlayed) / 44100);
  EXPECT_GT(snr, 60.0);
  EXPECT_GT(tailSnr, 60.0);
  EXPECT_NEAR(static_cast<double>(lastPlayed - lag), static_cast<double>(lastSource), 2.0);
  // The end comes after the last audio, within the half holding it plus one Service period.
  EXPECT_GT(endFrame, static_cast<size_t>(lastPlayed));
  EXPECT_LT(endFrame, static_cast<size_t>(lastPlayed) + 11025 + 4410 + 4410);
  // Everything rendered after the song's last decoded sample is silence.
  const size_t songEnd = 2 * (source.size() + static_cast<size_t>(lag));
  ASSERT_LT(songEnd, out.size());
  EXPECT_TRUE(std::all_of(out.begin() + static_cast<long>(songEnd), out.end(),
                          [](int16_t s) { return s == 0; }));
}

TEST_F(Mp3PlaybackTest, PrimeAtAPositionPlaysFromThere) {
  std::vector<uint8_t> bytes;
  const std::string path =
      WriteMp3("song.mp3", testing::MusicLike(44100, 8.0, 2, 9), Mp3Mode::kStereo, 44100, bytes);
  ASSERT_TRUE(engine.Load(path, 7, ".mp3")) << engine.LastError();
  engine.Prime(500);
  engine.Play();
  for (int step = 1; step <= 20; ++step) {
    testing::RenderFrames(device, 4410);
    EXPECT_NEAR(engine.Service(), 500 + 10 * step, 1) << step;
  }
}

// A 22.05 kHz mono MP3 (MPEG-2) plays at its own speed and pitch on the stereo device.
TEST_F(Mp3PlaybackTest, LowRateMonoSongPlaysAtTheRightSpeedAndPitch) {
  std::vector<uint8_t> bytes;
  const std::string path =
      WriteMp3("tone.mp3", testing::Sine(1000, 22050, 3.0, 1), Mp3Mode::kMono, 22050, bytes);
  ASSERT_TRUE(engine.Load(path, 7, ".MP3")) << engine.LastError();
  EXPECT_EQ(engine.Format().channels, 1);
  EXPECT_EQ(engine.Format().samplesPerSec, 22050u);
  engine.Prime(0);
  size_t endFrame = 0;
  const auto out = testing::PlayToEnd(engine, device, endFrame);
  ASSERT_GT(endFrame, 0u);
  const auto left = testing::Channel(out, 2, 0);
  EXPECT_EQ(left, testing::Channel(out, 2, 1));
  const auto tone = testing::AnalyzeTone(
      std::vector<double>(left.begin() + 8000, left.begin() + 8000 + 65536), 44100);
  const double seconds = static_cast<double>(testing::LastLoudSample(left, 0.1)) / 44100;
  std::printf("peak %.2f Hz, last loud sample at %.3f s\n", tone.peakHz, seconds);
  EXPECT_NEAR(tone.peakHz, 1000.0, 2.0);
  // 3 s of tone behind the encoder's and decoder's delay (about 1100 samples at 22.05 kHz).
  EXPECT_NEAR(seconds, 3.0 + 1105.0 / 22050, 0.02);
}

TEST_F(Mp3PlaybackTest, FilesWithoutMpegAudioDoNotLoad) {
  std::vector<uint8_t> bytes;
  const std::string good =
      WriteMp3("good.mp3", testing::MusicLike(44100, 1.0, 2), Mp3Mode::kStereo, 44100, bytes);
  const std::string text = dir.File("text.mp3");
  testing::WriteBytes(text, std::string(3000, 'z'));
  const std::string empty = dir.File("empty.mp3");
  testing::WriteBytes(empty, "");
  const struct {
    std::string path, reason;
  } cases[] = {
      {dir.File("missing.mp3"), "cannot open"}, {text, "no MPEG audio"}, {empty, "no MPEG audio"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path);
    ASSERT_TRUE(engine.Load(good, 7, ".MP3")) << engine.LastError();
    EXPECT_FALSE(engine.Load(c.path, 7, ".MP3"));
    EXPECT_FALSE(engine.IsLoaded());
    EXPECT_NE(engine.LastError().find(c.reason), std::string::npos) << engine.LastError();
    EXPECT_EQ(engine.Length(), 0);
    engine.Prime(0);  // harmless while unloaded
    EXPECT_EQ(engine.Service(), 0);
  }
}

TEST_F(Mp3PlaybackTest, TheMp3DecoderCanBeReplacedOrRemoved) {
  std::vector<uint8_t> bytes;
  const std::string path =
      WriteMp3("song.mp3", testing::MusicLike(44100, 1.0, 2), Mp3Mode::kStereo, 44100, bytes);
  ASSERT_TRUE(engine.Load(path, 7, ".MP3"));
  engine.SetMp3Decoder(nullptr);  // unloads the MP3 song it was playing
  EXPECT_FALSE(engine.IsLoaded());
  EXPECT_FALSE(engine.Load(path, 7, ".MP3"));
  EXPECT_NE(engine.LastError().find("unsupported file type"), std::string::npos);
  engine.SetMp3Decoder(std::make_unique<Mp3Decoder>());
  ASSERT_TRUE(engine.Load(path, 7, ".MP3")) << engine.LastError();
  EXPECT_EQ(engine.Length(), static_cast<int>(bytes.size() * 8 / 128 / 10));
}

}  // namespace
}  // namespace veltro::engine
