// A thread that calls a function at a fixed period on the steady clock (replaces the multimedia
// timer). Deadlines sit on a fixed grid (start + n * period), so ticks do not drift; when a call
// overruns by more than a period, the missed ticks are skipped rather than delivered in a burst.
// Calls never overlap: the next call starts only after the previous one returned.
#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

namespace veltro::platform {

class PeriodicTimer {
 public:
  using Clock = std::chrono::steady_clock;
  using Callback = std::function<void()>;
  static constexpr std::chrono::milliseconds kDefaultPeriod{100};

  PeriodicTimer() = default;
  // Stops the timer (see Stop). Must not run on the timer's own thread (inside the callback).
  ~PeriodicTimer();
  PeriodicTimer(const PeriodicTimer&) = delete;
  PeriodicTimer& operator=(const PeriodicTimer&) = delete;

  // UI thread (any thread but the timer's own). Starts calling `callback` on a new thread every
  // `period` (a non-positive period counts as 1 ms), the first call one period from now. A
  // running timer is stopped first, so Start restarts it. The timer owns the callback until
  // it stops.
  void Start(Callback callback, Clock::duration period = kDefaultPeriod);

  // Any thread. Ends the timer. From any thread but the timer's own it returns only after the
  // callback has returned and the thread has ended; no call happens after that. Called from
  // inside the callback, it lets the current call finish and makes it the last one.
  void Stop();

  // Any thread. True from Start until Stop.
  bool IsRunning() const;

  // The deadline after a call that was due at `previous` and returned at `now`: the next grid
  // point, or, when the call overran by more than a period, the latest grid point not after
  // `now` (so one late call follows at once and the missed ones are dropped). Pure; any thread.
  static Clock::time_point NextDeadline(Clock::time_point previous, Clock::duration period,
                                        Clock::time_point now);

 private:
  void Run(Callback callback, Clock::duration period);

  mutable std::mutex mutex_;
  std::condition_variable wake_;
  bool stopRequested_ = true;  // guarded by mutex_
  std::thread thread_;         // touched only by the controlling (non-timer) thread
};

}  // namespace veltro::platform
