#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <future>
#include <mutex>
#include <thread>

#include "platform/PeriodicTimer.h"

namespace veltro::platform {
namespace {

using namespace std::chrono_literals;
using Clock = PeriodicTimer::Clock;

// Liveness bound only: generous enough that a loaded machine never trips it.
constexpr auto kPatience = 20s;

// Counts calls and lets the test wait until a number of them has arrived.
class TickCounter {
 public:
  void Tick() {
    std::lock_guard lock(mutex_);
    ++count_;
    arrived_.notify_all();
  }
  bool WaitFor(int count) {
    std::unique_lock lock(mutex_);
    return arrived_.wait_for(lock, kPatience, [&] { return count_ >= count; });
  }
  int Count() {
    std::lock_guard lock(mutex_);
    return count_;
  }

 private:
  std::mutex mutex_;
  std::condition_variable arrived_;
  int count_ = 0;
};

TEST(PeriodicTimerDeadlines, StayOnTheGridAndSkipMissedTicks) {
  const Clock::time_point start{};
  const auto period = 100ms;
  // On time or slightly late: the next grid point, so lateness does not accumulate.
  EXPECT_EQ(PeriodicTimer::NextDeadline(start, period, start + 5ms), start + 100ms);
  EXPECT_EQ(PeriodicTimer::NextDeadline(start, period, start + 150ms), start + 100ms);
  EXPECT_EQ(PeriodicTimer::NextDeadline(start, period, start + 200ms), start + 100ms);
  // Overran by more than a period: one call now, on the grid, the missed ones dropped.
  EXPECT_EQ(PeriodicTimer::NextDeadline(start, period, start + 250ms), start + 200ms);
  EXPECT_EQ(PeriodicTimer::NextDeadline(start, period, start + 1050ms), start + 1000ms);
  const auto next = PeriodicTimer::NextDeadline(start, period, start + 10s + 1ms);
  EXPECT_GT(next, start + 10s + 1ms - period);
  EXPECT_LE(next, start + 10s + 1ms);
}

TEST(PeriodicTimerThreaded, TicksRepeatedlyAndNeverAfterStop) {
  TickCounter ticks;
  std::atomic<bool> stopped{false};
  std::atomic<int> callsAfterStop{0};
  PeriodicTimer timer;
  EXPECT_FALSE(timer.IsRunning());
  timer.Start(
      [&] {
        if (stopped) ++callsAfterStop;
        ticks.Tick();
      },
      2ms);
  EXPECT_TRUE(timer.IsRunning());
  ASSERT_TRUE(ticks.WaitFor(5));
  timer.Stop();
  stopped = true;
  const int countAtStop = ticks.Count();
  EXPECT_FALSE(timer.IsRunning());
  std::this_thread::sleep_for(20ms);
  EXPECT_EQ(ticks.Count(), countAtStop);
  EXPECT_EQ(callsAfterStop, 0);
}

TEST(PeriodicTimerThreaded, CallsNeverOverlap) {
  std::atomic<int> inside{0};
  std::atomic<int> mostInside{0};
  TickCounter ticks;
  PeriodicTimer timer;
  timer.Start(
      [&] {
        const int now = ++inside;
        mostInside = std::max(mostInside.load(), now);
        std::this_thread::sleep_for(6ms);  // three periods
        --inside;
        ticks.Tick();
      },
      2ms);
  ASSERT_TRUE(ticks.WaitFor(4));
  timer.Stop();
  EXPECT_EQ(mostInside, 1);
  EXPECT_EQ(inside, 0) << "Stop returned while the callback was still running";
}

TEST(PeriodicTimerThreaded, StopInsideCallbackEndsAfterThatCall) {
  TickCounter ticks;
  PeriodicTimer timer;
  timer.Start(
      [&] {
        ticks.Tick();
        if (ticks.Count() == 3) timer.Stop();
      },
      1ms);
  ASSERT_TRUE(ticks.WaitFor(3));
  std::this_thread::sleep_for(20ms);
  EXPECT_EQ(ticks.Count(), 3);
  EXPECT_FALSE(timer.IsRunning());
  timer.Stop();  // joins the ended thread; a second Stop is harmless
}

TEST(PeriodicTimerThreaded, StopDoesNotWaitOutThePeriod) {
  PeriodicTimer timer;
  timer.Start([] {}, 1h);
  auto stopping = std::async(std::launch::async, [&] { timer.Stop(); });
  EXPECT_EQ(stopping.wait_for(kPatience), std::future_status::ready);
}

TEST(PeriodicTimerThreaded, StartRestartsWithTheNewCallback) {
  TickCounter first, second;
  std::atomic<bool> restarted{false};
  std::atomic<int> firstAfterRestart{0};
  PeriodicTimer timer;
  timer.Start(
      [&] {
        if (restarted) ++firstAfterRestart;
        first.Tick();
      },
      1ms);
  ASSERT_TRUE(first.WaitFor(2));
  timer.Start([&] { second.Tick(); }, 1ms);
  restarted = true;
  ASSERT_TRUE(second.WaitFor(3));
  EXPECT_EQ(firstAfterRestart, 0);
}

TEST(PeriodicTimerThreaded, DestructorStops) {
  TickCounter ticks;
  std::atomic<bool> destroyed{false};
  std::atomic<int> callsAfterDestruction{0};
  {
    PeriodicTimer timer;
    timer.Start(
        [&] {
          if (destroyed) ++callsAfterDestruction;
          ticks.Tick();
        },
        1ms);
    ASSERT_TRUE(ticks.WaitFor(2));
  }
  destroyed = true;
  std::this_thread::sleep_for(10ms);
  EXPECT_EQ(callsAfterDestruction, 0);
}

}  // namespace
}  // namespace veltro::platform
