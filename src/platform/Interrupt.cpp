#include "platform/Interrupt.h"

#include <signal.h>

#include <atomic>

namespace veltro::platform {
namespace {

std::atomic<bool> requested{false};
static_assert(std::atomic<bool>::is_always_lock_free, "the flag is set from a signal handler");

void OnInterrupt(int /*signal*/) {
  requested.store(true);
}

}  // namespace

void CatchInterruptRequests() {
  struct sigaction action {};
  action.sa_handler = OnInterrupt;
  sigemptyset(&action.sa_mask);
  action.sa_flags = 0;  // no SA_RESTART: a blocked read returns and the flag is seen
  sigaction(SIGINT, &action, nullptr);
}

bool InterruptRequested() {
  return requested.load();
}

}  // namespace veltro::platform
