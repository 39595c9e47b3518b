// "Null output": a thread that mixes fixed periods (441 frames, 10 ms) at real-time pace on a
// steady clock and throws the sound away. It behaves like a device with a buffer of
// kBufferPeriods periods (40 ms): a wake-up up to that late is caught up by mixing the missed
// periods at once; a later one counts as an underrun, and the pace then restarts from the
// present (the lost time is not caught up, as with a real device that ran dry).
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <thread>
#include <vector>

#include "platform/sound/Backend.h"

namespace veltro::platform::sound {

class NullBackend final : public Backend {
 public:
  static constexpr size_t kPeriodFrames = 441;
  static constexpr int kBufferPeriods = 4;

  // Shares `core`; counts underruns into `underruns`, which must outlive the backend.
  NullBackend(std::shared_ptr<MixerCore> core, std::atomic<uint64_t>& underruns);
  ~NullBackend() override;

  bool Start() override;  // UI thread
  void Stop() override;   // UI thread; joins the mixing thread

 private:
  void Run();

  std::shared_ptr<MixerCore> core_;
  std::atomic<uint64_t>& underruns_;
  std::atomic<bool> running_{false};
  std::thread thread_;
  std::vector<int16_t> period_;  // 2 * kPeriodFrames, owned by the mixing thread while it runs
};

}  // namespace veltro::platform::sound
