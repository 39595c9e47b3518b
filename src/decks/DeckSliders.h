// The arithmetic of a deck's sliders: the position slider's steps, the pitch slider's action
// table and label, the attenuation sliders' volume rule. Pure functions of their arguments; any
// thread.
//
// Units: positions in hundredths of a second, pitch values in tenths of a percent, slider and
// volume values of the attenuation sliders in hundredths of a decibel of attenuation.
#pragma once

#include <optional>
#include <string>

namespace veltro::decks {

// What a scroll bar reports. "Decrease" is up on a vertical bar and left on a horizontal one.
enum class ScrollAction {
  kLineDecrease,
  kLineIncrease,
  kPageDecrease,
  kPageIncrease,
  kToMinimum,  // top / leftmost
  kToMaximum,  // bottom / rightmost
  kThumbPosition,
  kThumbTrack,
  kEndScroll,  // the end of a drag or a held arrow: nothing to do
};

// Pitch slider: positions 0 ... 255, the pitch value is position - 127.
inline constexpr int kPitchSliderMax = 255;
inline constexpr int kPitchCentre = 127;

// The outcome of one pitch slider action: the slider's new position and, when the action sets
// a pitch, the pitch value (tenths of a percent) to apply and show.
struct PitchStep {
  int slider = kPitchCentre;
  std::optional<int> pitch;
};
// `slider` is the current position, `given` the position carried by thumb actions.
PitchStep PitchSliderAction(int slider, ScrollAction action, int given);

// The pitch label: value * 0.1 with three significant digits ("12.7", "-12.7", "5.3", "0").
std::string PitchLabel(int pitchValue);

// Attenuation sliders: positions 0 ... 3000; above 2900 after a downward move means silence.
inline constexpr int kAttenuationMax = 3000;
inline constexpr int kSilenceThreshold = 2900;
inline constexpr int kSilentVolume = -10000;

struct AttenuationStep {
  int slider = 0;
  int volume = 0;  // hundredths of a decibel, 0 = full, -10000 = silence
};
// `slider` is the current position, `given` the position carried by thumb actions. Nullopt for
// an action that changes nothing (end of scroll).
std::optional<AttenuationStep> AttenuationSliderAction(int slider, ScrollAction action, int given);
// The volume a slider position stands for when it is applied as a whole (at load time).
int AttenuationVolume(int slider);

// The position slider's new position (0 ... length) for a stepping or thumb-position action,
// nullopt for thumb tracking and end of scroll (which do not move it).
std::optional<int> PositionSliderAction(int slider, ScrollAction action, int given, int length);

}  // namespace veltro::decks
