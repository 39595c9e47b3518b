// The engine serviced by its timer thread while the UI thread changes everything it may
// change, on a device that plays in real time ("Null output"): no dropouts, no races.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "engine/EngineHarness.h"
#include "platform/PeriodicTimer.h"
#include "platform/sound/SoundSystem.h"

namespace veltro::engine {
namespace {

using namespace std::chrono_literals;

TEST(EngineThreaded, TimerServiceWithConcurrentControlChangesHasNoUnderruns) {
  testing::TempDir dir;
  const std::string path = dir.File("song.wav");
  testing::WriteBytes(path,
                      testing::MakeWav(testing::PcmLayout(2, 44100),
                                       testing::Pcm16Bytes(testing::MusicLike(44100, 30, 2))));
  platform::sound::SoundDevice device;
  ASSERT_TRUE(device.Open(platform::sound::SoundSystem::NullOutputGuid()));
  PlayerEngine engine;
  engine.AttachDevices(&device, nullptr);
  ASSERT_TRUE(engine.Load(path, 7, ".WAV")) << engine.LastError();
  engine.Prime(0);
  engine.Play();

  std::atomic<int> lastPosition{0};
  std::atomic<int> services{0};
  platform::PeriodicTimer timer;
  timer.Start([&] {
    lastPosition = engine.Service();
    ++services;
  });
  const auto deadline = std::chrono::steady_clock::now() + 10s;
  for (int step = 0; std::chrono::steady_clock::now() < deadline; ++step) {
    switch (step % 8) {
      case 0:
        engine.SetPitch(step % 100 - 50);
        break;
      case 1:
        engine.SetTempoMode(1);
        engine.ConfigureTempo();
        break;
      case 2:
        engine.SetPitch(30);
        break;
      case 3:
        engine.SetMainVolume(-(step % 3000));
        break;
      case 4:
        engine.SetTempoMode(0);
        engine.ClearTempoChange();
        break;
      case 5:
        engine.SetRate(-10);
        break;
      case 6:
        if (step % 40 == 6) engine.Prime(step % 2000);
        break;
      default:
        engine.TimeText(lastPosition, step % 2);
        break;
    }
    std::this_thread::sleep_for(20ms);
  }
  timer.Stop();
  engine.Stop();
  EXPECT_GT(services.load(), 80);
  EXPECT_GT(engine.RefillCount(), 30u);
  EXPECT_EQ(device.UnderrunCount(), 0u);
  engine.Unload();
}

}  // namespace
}  // namespace veltro::engine
