#include "decks/DeckTimer.h"

#include <system_error>

namespace veltro::decks {

bool PeriodicDeckTimer::Start(std::function<void()> tick) {
  try {
    timer_.Start(std::move(tick), platform::PeriodicTimer::kDefaultPeriod);
  } catch (const std::system_error&) {
    return false;  // the system refused a new thread
  }
  return true;
}

void PeriodicDeckTimer::Stop() {
  timer_.Stop();
}

DeckTimerFactory PeriodicDeckTimerFactory() {
  return [] { return std::make_unique<PeriodicDeckTimer>(); };
}

}  // namespace veltro::decks
