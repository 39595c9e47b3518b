#include "platform/PeriodicTimer.h"

#include <algorithm>

namespace veltro::platform {

namespace {

// The timer whose callback is running on this thread, if any. Lets Stop tell a call from
// inside the callback (which must not join its own thread) from one on the controlling thread.
thread_local const PeriodicTimer* tRunningTimer = nullptr;

}  // namespace

PeriodicTimer::~PeriodicTimer() {
  Stop();
}

void PeriodicTimer::Start(Callback callback, Clock::duration period) {
  Stop();
  period = std::max<Clock::duration>(period, std::chrono::milliseconds(1));
  {
    std::lock_guard lock(mutex_);
    stopRequested_ = false;
  }
  thread_ = std::thread(&PeriodicTimer::Run, this, std::move(callback), period);
}

void PeriodicTimer::Stop() {
  {
    std::lock_guard lock(mutex_);
    stopRequested_ = true;
  }
  wake_.notify_all();
  if (tRunningTimer == this) return;  // inside the callback: Run ends after this call
  if (thread_.joinable()) thread_.join();
}

bool PeriodicTimer::IsRunning() const {
  std::lock_guard lock(mutex_);
  return !stopRequested_;
}

PeriodicTimer::Clock::time_point PeriodicTimer::NextDeadline(Clock::time_point previous,
                                                             Clock::duration period,
                                                             Clock::time_point now) {
  Clock::time_point next = previous + period;
  if (now - next > period) next += ((now - next) / period) * period;
  return next;
}

void PeriodicTimer::Run(Callback callback, Clock::duration period) {
  tRunningTimer = this;
  Clock::time_point deadline = Clock::now() + period;
  std::unique_lock lock(mutex_);
  // The wait wakes at once when Stop sets the flag, so stopping never waits out a period.
  while (!wake_.wait_until(lock, deadline, [this] { return stopRequested_; })) {
    lock.unlock();
    callback();
    lock.lock();
    deadline = NextDeadline(deadline, period, Clock::now());
  }
  tRunningTimer = nullptr;
}

}  // namespace veltro::platform
