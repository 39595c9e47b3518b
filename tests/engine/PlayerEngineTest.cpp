// PlayerEngine end to end on manual sound devices: buffer contents after Prime, the refill
// schedule, end-of-song counting, volumes, the time text and failure handling.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cmath>
#include <filesystem>

#include "engine/EngineHarness.h"
#include "engine/OggDecoder.h"
#include "engine/WavDecoder.h"

namespace veltro::engine {
namespace {

using platform::sound::SoundDevice;
using testing::RenderFrames;

class PlayerEngineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(mainDevice.OpenManual());
    engine.AttachDevices(&mainDevice, nullptr);
  }
  std::string WriteWav(const std::string& name, const std::vector<int16_t>& samples,
                       uint16_t channels = 2, uint32_t rate = 44100) {
    const std::string path = dir.File(name);
    testing::WriteBytes(
        path, testing::MakeWav(testing::PcmLayout(channels, rate), testing::Pcm16Bytes(samples)));
    return path;
  }
  testing::TempDir dir;
  SoundDevice mainDevice;
  PlayerEngine engine;
};

// The main buffer after Prime(0) holds the first half second exactly as the decoder delivers
// it through the tempo processor, the cue buffer the first cue-buffer bytes of it.
// `refillsBefore` is the engine's refill count before the Prime under test.
void ExpectPrimedBuffers(PlayerEngine& engine, SoundDevice& device, DecoderBase& reference,
                         uint64_t refillsBefore = 0) {
  const auto expected = testing::ReferenceOutput(reference, 88200);
  EXPECT_EQ(engine.HalfSize(), 44100u);
  EXPECT_EQ(engine.CueBytes(), 27136u);  // 176400 * 10 / 65 = 27138, rounded to a frame
  engine.Play();
  const auto main = RenderFrames(device, 22050);
  engine.Stop();
  EXPECT_EQ(main, expected);
  engine.PlayCue();
  const auto cue = RenderFrames(device, 6784);
  engine.StopCue();
  EXPECT_TRUE(std::equal(cue.begin(), cue.end(), expected.begin()));
  EXPECT_EQ(engine.RefillCount() - refillsBefore, 2u);  // Prime's two halves, nothing more
}

TEST_F(PlayerEngineTest, PrimeFillsMainAndCueBuffersFromWavAndOgg) {
  const std::string wav = WriteWav("song.wav", testing::MusicLike(44100, 3.0, 2));
  const std::string ogg = dir.File("song.ogg");
  ASSERT_TRUE(testing::WriteOgg(ogg, testing::MusicLike(44100, 3.0, 2), 2, 44100));
  WavDecoder wavReference;
  OggDecoder oggReference;
  const struct {
    std::string path;
    std::string extension;
    DecoderBase& reference;
  } cases[] = {{wav, ".WAV", wavReference}, {ogg, ".ogg", oggReference}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path);
    ASSERT_TRUE(engine.Load(c.path, 7, c.extension)) << engine.LastError();
    const uint64_t refillsBefore = engine.RefillCount();
    engine.Prime(0);
    ASSERT_TRUE(c.reference.Open(c.path));
    ExpectPrimedBuffers(engine, mainDevice, c.reference, refillsBefore);
    engine.Unload();
  }
}

TEST_F(PlayerEngineTest, PrimeAtAPositionStartsThere) {
  const auto song = testing::MusicLike(44100, 3.0, 2);
  const std::string path = WriteWav("song.wav", song);
  ASSERT_TRUE(engine.Load(path, 7, ".WAV"));
  engine.Prime(150);
  WavDecoder reference;
  ASSERT_TRUE(reference.Open(path));
  reference.Seek(150);
  const auto expected = testing::ReferenceOutput(reference, 88200);
  engine.Play();
  EXPECT_EQ(RenderFrames(mainDevice, 22050), expected);
}

TEST_F(PlayerEngineTest, EachHalfIsRefilledOnceWhenTheCursorLeavesIt) {
  const std::string path = WriteWav("song.wav", testing::MusicLike(44100, 3.0, 2));
  ASSERT_TRUE(engine.Load(path, 7, ".WAV"));
  engine.Prime(0);
  engine.Play();
  const uint64_t primed = engine.RefillCount();
  RenderFrames(mainDevice, 5000);  // cursor 20000 bytes: still in the first half
  engine.Service();
  EXPECT_EQ(engine.RefillCount(), primed);
  RenderFrames(mainDevice, 7000);  // cursor 48000: in the second half
  engine.Service();
  EXPECT_EQ(engine.RefillCount(), primed + 1);
  EXPECT_EQ(engine.LastRefillOffset(), 0u);
  engine.Service();
  RenderFrames(mainDevice, 8000);  // cursor 80000: still in the second half
  engine.Service();
  EXPECT_EQ(engine.RefillCount(), primed + 1);
  RenderFrames(mainDevice, 3000);  // wrapped: cursor 3800
  engine.Service();
  EXPECT_EQ(engine.RefillCount(), primed + 2);
  EXPECT_EQ(engine.LastRefillOffset(), 44100u);
  engine.Service();
  EXPECT_EQ(engine.RefillCount(), primed + 2);
}

TEST_F(PlayerEngineTest, ServiceReportsThePositionBeingHeard) {
  const std::string path = WriteWav("song.wav", testing::MusicLike(44100, 6.0, 2));
  ASSERT_TRUE(engine.Load(path, 7, ".WAV"));
  engine.Prime(100);
  engine.Play();
  int previous = 0;
  for (int step = 1; step <= 30; ++step) {
    RenderFrames(mainDevice, 4410);
    const int position = engine.Service();
    // Everything taken from the decoder but not yet heard is accounted for: the position is
    // the rendered time to the hundredth.
    EXPECT_GE(position, 100 + step * 10 - 1) << step;
    EXPECT_LE(position, 100 + step * 10 + 1) << step;
    EXPECT_GE(position, previous);
    previous = position;
  }
}

TEST_F(PlayerEngineTest, MastertempoPositionAdvancesFasterThanTheClock) {
  const std::string path = WriteWav("song.wav", testing::MusicLike(44100, 8.0, 2));
  ASSERT_TRUE(engine.Load(path, 7, ".WAV"));
  engine.SetTempoMode(1);
  engine.SetPitch(50);  // +5.0 %: 1.05 s of the song per second heard
  engine.Prime(100);
  engine.Play();
  for (int step = 1; step <= 40; ++step) {
    RenderFrames(mainDevice, 4410);
    const int position = engine.Service();
    const double expected = 100 + step * 10 * 1.05;
    // The processor works in overlapping sequences of some 80 ms, so the song time behind
    // its output moves in small steps around the ideal line.
    EXPECT_NEAR(position, expected, 3) << step;
  }
}

TEST_F(PlayerEngineTest, ShortSongEndsAfterItsOnlyHalfIsPlayed) {
  const auto song = testing::MusicLike(44100, 0.2, 2);
  const std::string path = WriteWav("short.wav", song);
  ASSERT_TRUE(engine.Load(path, 7, ".WAV"));
  engine.Prime(0);
  EXPECT_EQ(engine.EndCount(), 2);
  engine.Play();
  const auto first = RenderFrames(mainDevice, 11000);
  engine.Service();
  EXPECT_EQ(engine.EndCount(), 2);
  RenderFrames(mainDevice, 25);  // the cursor enters the second half
  engine.Service();
  EXPECT_EQ(engine.EndCount(), 3);
  // The whole song was in the first half (no audio lost at the end).
  const auto left = testing::Channel(first, 2, 0);
  const auto source = testing::Channel(song, 2, 0);
  EXPECT_GT(testing::SnrDb(source, left, 0, 0, source.size()), 60.0);
  EXPECT_EQ(testing::LastLoudSample(left, 0.02) / 100, testing::LastLoudSample(source, 0.02) / 100);
}

// A chained Ogg file whose second link is 48 kHz plays its 44.1 kHz first link and ends
// there, instead of playing the second link at the wrong speed.
TEST_F(PlayerEngineTest, ChainedOggEndsWhereALinkChangesFormat) {
  const std::string chain = dir.File("chain.ogg");
  ASSERT_TRUE(testing::WriteChainedOgg(chain, 1.0, 2, 48000, 2.0));
  ASSERT_TRUE(engine.Load(chain, 7, ".OGG")) << engine.LastError();
  EXPECT_EQ(engine.Length(), 100);
  engine.Prime(0);
  size_t endFrame = 0;
  const auto played = testing::PlayToEnd(engine, mainDevice, endFrame);
  ASSERT_GT(endFrame, 0u) << "the song never ended";
  EXPECT_LT(endFrame, 44100u * 3 / 2);
  const double lastLoudSeconds =
      static_cast<double>(testing::LastLoudSample(testing::Channel(played, 2, 0), 0.02)) / 44100;
  EXPECT_NEAR(lastLoudSeconds, 1.0, 0.05);
}

TEST_F(PlayerEngineTest, MainAndMonitorCarryTheSameAudioWithTheirOwnVolumes) {
  SoundDevice monitorDevice;
  ASSERT_TRUE(monitorDevice.OpenManual());
  engine.AttachDevices(&mainDevice, &monitorDevice);
  const std::string path = WriteWav("song.wav", testing::MusicLike(44100, 3.0, 2));
  ASSERT_TRUE(engine.Load(path, 7, ".WAV"));
  engine.Prime(0);
  WavDecoder reference;
  ASSERT_TRUE(reference.Open(path));
  const auto expected = testing::ReferenceOutput(reference, 88200);
  engine.Play();
  const auto main1 = RenderFrames(mainDevice, 8820);
  const auto monitor1 = RenderFrames(monitorDevice, 8820);
  EXPECT_EQ(main1, monitor1);
  engine.SetMonitorVolume(-10000);
  const auto main2 = RenderFrames(mainDevice, 4410);
  const auto monitor2 = RenderFrames(monitorDevice, 4410);
  EXPECT_TRUE(std::all_of(monitor2.begin(), monitor2.end(), [](int16_t s) { return s == 0; }));
  // The main output is untouched by the monitor's volume.
  EXPECT_TRUE(std::equal(main2.begin(), main2.end(), expected.begin() + 2 * 8820));
  engine.SetMonitorVolume(0);
  engine.SetMainVolume(-2900);
  const auto main3 = RenderFrames(mainDevice, 4410);
  const auto monitor3 = RenderFrames(monitorDevice, 4410);
  double mainEnergy = 0, monitorEnergy = 0;
  for (size_t i = 0; i < main3.size(); ++i) {
    mainEnergy += static_cast<double>(main3[i]) * main3[i];
    monitorEnergy += static_cast<double>(monitor3[i]) * monitor3[i];
  }
  EXPECT_NEAR(10 * std::log10(mainEnergy / monitorEnergy), -29.0, 0.1);
}

TEST_F(PlayerEngineTest, TimeTextAndNearEnd) {
  // 200 s of 1 kHz mono: length 20000.
  const std::string path = WriteWav("long.wav", std::vector<int16_t>(200000, 100), 1, 1000);
  ASSERT_TRUE(engine.Load(path, 7, ".WAV"));
  ASSERT_EQ(engine.Length(), 20000);
  EXPECT_EQ(engine.TimeText(19000, 0), "-00:00:10:00");
  EXPECT_EQ(engine.NearEnd(), 0);
  EXPECT_EQ(engine.TimeText(19301, 0), "-00:00:06:99");
  EXPECT_EQ(engine.NearEnd(), 1);
  EXPECT_EQ(engine.TimeText(19300, 1), "00:03:13:00");
  EXPECT_EQ(engine.NearEnd(), 0);  // exactly 7 s left is not below the warning
  EXPECT_EQ(engine.TimeText(12, 1), "00:00:00:12");
  EXPECT_EQ(engine.TimeText(6000, 1), "00:01:00:00");
  EXPECT_EQ(engine.TimeText(20000 - 18725, 0), "-00:03:07:25");
  EXPECT_EQ(engine.TimeText(20100, 0), "-00:00:00:00");
  engine.SetEndWarning(1500);
  engine.TimeText(18600, 0);
  EXPECT_EQ(engine.NearEnd(), 1);
}

TEST_F(PlayerEngineTest, LoadFailuresLeaveTheEngineUnloadedWithAReason) {
  const std::string good = WriteWav("good.wav", testing::MusicLike(44100, 1.0, 2));
  const std::string garbageOgg = dir.File("garbage.ogg");
  const std::string garbageWav = dir.File("garbage.wav");
  testing::WriteBytes(garbageOgg, std::string(3000, 'z'));
  testing::WriteBytes(garbageWav, std::string(3000, 'z'));
  // Special files named like songs: opening one must neither wait for a writer nor read a
  // device.
  const std::string fifo = dir.File("fifo");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0644), 0);
  const std::string folder = dir.File("folder.wav");
  std::filesystem::create_directory(folder);
  const std::string device = dir.File("device.ogg");
  std::filesystem::create_symlink("/dev/zero", device);
  const struct {
    std::string path, extension, reason;
  } cases[] = {
      {dir.File("missing.wav"), ".WAV", "cannot open"},
      {dir.File("missing.ogg"), ".OGG", "cannot open"},
      {garbageOgg, ".OGG", "not an Ogg Vorbis"},
      {garbageWav, ".WAV", "not a WAV"},
      {good, ".FLAC", "unsupported file type"},
      {good, ".MP3", "no MPEG audio"},  // a WAV file named as an MP3 song
      {fifo, ".WAV", "is a FIFO, not a regular file"},
      {fifo, ".OGG", "is a FIFO, not a regular file"},
      {fifo, ".MP3", "is a FIFO, not a regular file"},
      {folder, ".WAV", "is a folder, not a regular file"},
      {device, ".OGG", "is a device, not a regular file"},
  };
  for (const auto& c : cases) {
    ASSERT_TRUE(engine.Load(good, 7, ".WAV"));
    EXPECT_FALSE(engine.Load(c.path, 7, c.extension)) << c.path;
    EXPECT_FALSE(engine.IsLoaded());
    EXPECT_NE(engine.LastError().find(c.reason), std::string::npos) << engine.LastError();
    EXPECT_EQ(engine.Length(), 0);
    engine.Prime(0);  // harmless while unloaded
    EXPECT_EQ(engine.Service(), 0);
  }
}

TEST_F(PlayerEngineTest, LostBuffersAreSkipped) {
  const std::string path = WriteWav("song.wav", testing::MusicLike(44100, 2.0, 2));
  ASSERT_TRUE(engine.Load(path, 7, ".WAV"));
  engine.Prime(0);
  engine.Play();
  RenderFrames(mainDevice, 12000);
  mainDevice.Close();
  for (int i = 0; i < 20; ++i) engine.Service();
  engine.Prime(50);
  engine.SetMainVolume(-500);
  engine.SetMonitorVolume(-500);
  engine.SetPitch(20);
  engine.SetRate(-20);
  engine.PlayCue();
  engine.StopCue();
  engine.Stop();
  EXPECT_TRUE(engine.IsLoaded());
  engine.Unload();
  // A closed main device cannot take a new song.
  EXPECT_FALSE(engine.Load(path, 7, ".WAV"));
  EXPECT_NE(engine.LastError().find("sound buffer"), std::string::npos);
}

TEST_F(PlayerEngineTest, DeckWithoutDevicesStillDecodes) {
  PlayerEngine silent;
  silent.AttachDevices(nullptr, nullptr);
  const std::string path = WriteWav("song.wav", testing::MusicLike(44100, 2.0, 2));
  ASSERT_TRUE(silent.Load(path, 7, ".WAV"));
  silent.Prime(0);
  silent.Play();
  EXPECT_GT(silent.Service(), 0);
  EXPECT_EQ(silent.RefillCount(), 2u);
}

}  // namespace
}  // namespace veltro::engine
