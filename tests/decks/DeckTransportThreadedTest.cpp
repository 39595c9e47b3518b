// The deck on its real 100 ms timer thread: the timer thread only services the engine and posts
// the rest of each tick to a stand-in UI thread (this test's main thread draining a queue).
// Runs under the thread sanitizer.
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>

#include "DeckHarness.h"
#include "platform/sound/SoundSystem.h"

namespace veltro::decks {
namespace {

using namespace std::chrono_literals;

// A queue of work posted from any thread and run on the thread that drains it.
class UiQueue {
 public:
  void Post(std::function<void()> work) {
    {
      std::lock_guard lock(mutex_);
      queue_.push_back(std::move(work));
    }
    wake_.notify_one();
  }
  // Runs what arrives within `wait`; returns how many were run.
  int RunFor(std::chrono::milliseconds wait) {
    std::unique_lock lock(mutex_);
    wake_.wait_for(lock, wait, [this] { return !queue_.empty(); });
    int ran = 0;
    while (!queue_.empty()) {
      auto work = std::move(queue_.front());
      queue_.pop_front();
      lock.unlock();
      work();
      ++ran;
      lock.lock();
    }
    return ran;
  }

 private:
  std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<std::function<void()>> queue_;
};

TEST(DeckTransportThreaded, PlaysToTheEndOnTheRealTimerWithControlsChangingMeanwhile) {
  testing::TempDir dir;
  const std::string path = dir.File("short.wav");
  testing::WriteBytes(path,
                      testing::MakeWav(testing::PcmLayout(2, 44100),
                                       testing::Pcm16Bytes(testing::MusicLike(44100, 1.5, 2))));
  platform::sound::SoundDevice device;
  ASSERT_TRUE(device.Open(platform::sound::SoundSystem::NullOutputGuid()));
  UiQueue ui;
  RecordingView view;
  DeckCollaborators parts;
  parts.mainDevice = &device;
  parts.view = &view;
  parts.postToUi = [&ui](std::function<void()> work) { ui.Post(std::move(work)); };
  parts.timerFactory = PeriodicDeckTimerFactory();
  DeckTransport deck(std::move(parts), {});
  deck.DropFiles({path});
  ASSERT_EQ(deck.State(), DeckState::kLoaded);

  deck.PressPlay();
  ASSERT_EQ(deck.State(), DeckState::kPlaying);
  int ticks = 0;
  int lastPosition = 0;
  bool paused = false;
  const auto deadline = std::chrono::steady_clock::now() + 8s;
  while (deck.State() != DeckState::kEnded && std::chrono::steady_clock::now() < deadline) {
    ticks += ui.RunFor(50ms);
    if (deck.State() == DeckState::kPlaying) {
      EXPECT_GE(view.position, lastPosition);
      lastPosition = view.position;
    }
    // UI-thread calls into the engine while its timer thread services it.
    deck.PitchSlider(ScrollAction::kThumbTrack, 127 + ticks % 3);
    deck.MainAttenuationSlider(ScrollAction::kThumbPosition, 10 * (ticks % 5));
    if (!paused && ticks >= 4) {
      deck.PressPlay();  // pause, let posted ticks go stale, resume
      ASSERT_EQ(deck.State(), DeckState::kPaused);
      const int pausedAt = view.position;
      ui.RunFor(150ms);
      EXPECT_EQ(view.position, pausedAt);
      deck.PressPlay();
      paused = true;
    }
  }
  ASSERT_EQ(deck.State(), DeckState::kEnded) << "ticks " << ticks;
  EXPECT_GE(ticks, 12);
  EXPECT_GE(lastPosition, 80);  // most of the 1.5 s song was reported on the way
  EXPECT_LE(lastPosition, 150);
  EXPECT_EQ(view.position, 0);
  EXPECT_EQ(view.status, "ended");
  // Nothing more arrives once the deck has ended.
  ui.RunFor(250ms);
  EXPECT_EQ(deck.State(), DeckState::kEnded);
}

}  // namespace
}  // namespace veltro::decks
