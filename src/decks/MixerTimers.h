// The two repeating timers the mixer runs, and the interface through which it starts and stops
// them. The window implements it with UI-thread timers and calls Mixer::OnAutoTick or
// Mixer::OnFadeTick when one fires; tests implement it with a clock they advance by hand.
#pragma once

#include <chrono>

namespace veltro::decks {

enum class MixerTimer {
  kAutomatic = 10,  // the automatic mode's check, every kAutomaticTickInterval
  kFade = 20,       // one crossfade step, every kFadeTickInterval
};

inline constexpr std::chrono::milliseconds kAutomaticTickInterval{500};
inline constexpr std::chrono::milliseconds kFadeTickInterval{100};

class MixerTimers {
 public:
  virtual ~MixerTimers() = default;

  // Starts `timer` so that it fires every `interval`, the first time one interval from now.
  // Starting a running timer restarts its period. UI thread only.
  virtual void Start(MixerTimer timer, std::chrono::milliseconds interval) = 0;
  // Stops `timer`; stopping a stopped timer does nothing. UI thread only.
  virtual void Stop(MixerTimer timer) = 0;
};

}  // namespace veltro::decks
