#include <gtest/gtest.h>
#include <poll.h>

#include <thread>

#include "platform/WakeUpSignal.h"

namespace veltro::platform {
namespace {

// Whether the signal's descriptor is readable now, without waiting (or within `waitMs`).
bool Readable(const WakeUpSignal& signal, int waitMs = 0) {
  pollfd watch{signal.WaitDescriptor(), POLLIN, 0};
  return poll(&watch, 1, waitMs) == 1 && (watch.revents & POLLIN) != 0;
}

TEST(WakeUpSignal, AnyNumberOfRaisesIsOneWakeUpThatOneClearConsumes) {
  // More raises than a pipe holds must neither block nor leave a wake-up behind the clear.
  for (const int raises : {1, 2, 200000}) {
    SCOPED_TRACE(raises);
    WakeUpSignal signal;
    EXPECT_FALSE(Readable(signal));
    for (int i = 0; i < raises; ++i) signal.Raise();
    EXPECT_TRUE(Readable(signal));
    signal.Clear();
    EXPECT_FALSE(Readable(signal));
    signal.Clear();  // clearing a lowered signal is harmless
    EXPECT_FALSE(Readable(signal));
  }
}

TEST(WakeUpSignalThreaded, ARaiseFromAnotherThreadWakesTheWaiter) {
  WakeUpSignal signal;
  std::thread raiser([&signal] { signal.Raise(); });
  EXPECT_TRUE(Readable(signal, 20000));
  raiser.join();
}

}  // namespace
}  // namespace veltro::platform
