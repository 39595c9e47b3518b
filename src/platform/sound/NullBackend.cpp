#include "platform/sound/NullBackend.h"

#include <chrono>

namespace veltro::platform::sound {

NullBackend::NullBackend(std::shared_ptr<MixerCore> core, std::atomic<uint64_t>& underruns)
    : core_(std::move(core)), underruns_(underruns), period_(2 * kPeriodFrames) {}

NullBackend::~NullBackend() {
  Stop();
}

bool NullBackend::Start() {
  if (thread_.joinable()) return true;
  running_.store(true, std::memory_order_release);
  thread_ = std::thread([this] { Run(); });
  return true;
}

void NullBackend::Stop() {
  running_.store(false, std::memory_order_release);
  if (thread_.joinable()) thread_.join();
}

void NullBackend::Run() {
  using Clock = std::chrono::steady_clock;
  constexpr auto kPeriod = std::chrono::microseconds(10000);  // 441 frames at 44100 Hz
  auto deadline = Clock::now();
  while (running_.load(std::memory_order_acquire)) {
    core_->Mix(period_.data(), kPeriodFrames);
    deadline += kPeriod;
    std::this_thread::sleep_until(deadline);
    // Like a sound card with a buffer of kBufferPeriods periods, a late wake-up is caught up
    // by mixing the missed periods at once; only one later than the whole buffer is a dropout.
    const auto now = Clock::now();
    if (now - deadline > kBufferPeriods * kPeriod) {
      underruns_.fetch_add(1, std::memory_order_relaxed);
      deadline = now;
    }
  }
}

}  // namespace veltro::platform::sound
