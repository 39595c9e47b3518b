// The periodic timer a playing deck runs: every 100 ms it calls the deck's tick on a thread of
// its own. An interface, so that tests can deliver ticks by hand.
#pragma once

#include <functional>
#include <memory>

#include "platform/PeriodicTimer.h"

namespace veltro::decks {

class DeckTimer {
 public:
  virtual ~DeckTimer() = default;
  // UI thread. Starts calling `tick` every 100 ms (on the timer's thread), the first call 100 ms
  // from now. False when no timer could be obtained; nothing is called then.
  virtual bool Start(std::function<void()> tick) = 0;
  // UI thread (never from inside `tick`). Returns once no call is running and none will follow.
  virtual void Stop() = 0;
};

// Makes a new timer for each start of playback; may return null (no timer available).
using DeckTimerFactory = std::function<std::unique_ptr<DeckTimer>()>;

// The real timer: a platform::PeriodicTimer thread at 100 ms.
class PeriodicDeckTimer : public DeckTimer {
 public:
  bool Start(std::function<void()> tick) override;
  void Stop() override;

 private:
  platform::PeriodicTimer timer_;
};

// A factory of PeriodicDeckTimer objects. Any thread.
DeckTimerFactory PeriodicDeckTimerFactory();

}  // namespace veltro::decks
