// The part of a device that drives the mix: the manual backend (the caller of Render drives
// it), "Null output" (a thread at real-time pace) and a PortAudio stream.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>

#include "platform/sound/MixerCore.h"

namespace veltro::platform::sound {

class Backend {
 public:
  virtual ~Backend() = default;
  // Starts pulling the mix. False when the output cannot run. UI thread.
  virtual bool Start() = 0;
  // Returns once the mix no longer runs and will not run again. UI thread.
  virtual void Stop() = 0;
  // True for the manual backend, whose mix only advances through SoundDevice::Render.
  virtual bool IsManual() const { return false; }
};

// Nothing runs by itself: SoundDevice::Render calls the mix on the caller's thread.
class ManualBackend final : public Backend {
 public:
  bool Start() override { return true; }
  void Stop() override {}
  bool IsManual() const override { return true; }
};

}  // namespace veltro::platform::sound
