#include "decks/DeckSliders.h"

#include <algorithm>
#include <cstdio>

namespace veltro::decks {

namespace {

constexpr int kPitchPage = 10;
constexpr int kAttenuationLine = 10;
constexpr int kAttenuationPage = 100;
constexpr int kPositionLine = 1;
constexpr int kPositionPage = 10;

int ClampPitch(int position) {
  return std::clamp(position, 0, kPitchSliderMax);
}

int ClampAttenuation(int position) {
  return std::clamp(position, 0, kAttenuationMax);
}

}  // namespace

PitchStep PitchSliderAction(int slider, ScrollAction action, int given) {
  switch (action) {
    case ScrollAction::kLineDecrease:
    case ScrollAction::kLineIncrease:
    case ScrollAction::kPageDecrease:
    case ScrollAction::kPageIncrease: {
      const bool page =
          action == ScrollAction::kPageDecrease || action == ScrollAction::kPageIncrease;
      const bool up =
          action == ScrollAction::kLineDecrease || action == ScrollAction::kPageDecrease;
      const int step = page ? kPitchPage : 1;
      const int moved = ClampPitch(up ? slider - step : slider + step);
      return {moved, moved - kPitchCentre};
    }
    case ScrollAction::kThumbTrack:
      return {slider, ClampPitch(given) - kPitchCentre};
    case ScrollAction::kThumbPosition:
      return {ClampPitch(given), std::nullopt};
    case ScrollAction::kToMinimum:
      return {0, -kPitchCentre};
    case ScrollAction::kToMaximum:
      // The bottom sets the largest symmetric value, not the slider's 128.
      return {kPitchSliderMax, kPitchCentre};
    case ScrollAction::kEndScroll:
      break;
  }
  return {slider, std::nullopt};
}

std::string PitchLabel(int pitchValue) {
  char text[16];
  std::snprintf(text, sizeof text, "%.3g", pitchValue * 0.1);
  return text;
}

std::optional<AttenuationStep> AttenuationSliderAction(int slider, ScrollAction action, int given) {
  int moved = slider;
  int tested = slider;  // the position the silence rule looks at
  bool downward = true;
  switch (action) {
    case ScrollAction::kLineDecrease:
    case ScrollAction::kPageDecrease:
      moved =
          slider - (action == ScrollAction::kPageDecrease ? kAttenuationPage : kAttenuationLine);
      downward = false;
      break;
    case ScrollAction::kLineIncrease:
    case ScrollAction::kPageIncrease:
      // A step down tests the position it started from.
      moved =
          slider + (action == ScrollAction::kPageIncrease ? kAttenuationPage : kAttenuationLine);
      break;
    case ScrollAction::kThumbTrack:
    case ScrollAction::kThumbPosition:
      moved = given;
      tested = ClampAttenuation(given);
      break;
    case ScrollAction::kToMinimum:
      return AttenuationStep{0, 0};
    case ScrollAction::kToMaximum:
      return AttenuationStep{kAttenuationMax, kSilentVolume};
    case ScrollAction::kEndScroll:
      return std::nullopt;
  }
  moved = ClampAttenuation(moved);
  const bool silent = downward && tested > kSilenceThreshold;
  return AttenuationStep{moved, silent ? kSilentVolume : -moved};
}

int AttenuationVolume(int slider) {
  const int position = ClampAttenuation(slider);
  return position > kSilenceThreshold ? kSilentVolume : -position;
}

std::optional<int> PositionSliderAction(int slider, ScrollAction action, int given, int length) {
  int moved = slider;
  switch (action) {
    case ScrollAction::kLineDecrease:
      moved = slider - kPositionLine;
      break;
    case ScrollAction::kLineIncrease:
      moved = slider + kPositionLine;
      break;
    case ScrollAction::kPageDecrease:
      moved = slider - kPositionPage;
      break;
    case ScrollAction::kPageIncrease:
      moved = slider + kPositionPage;
      break;
    case ScrollAction::kToMinimum:
      moved = 0;
      break;
    case ScrollAction::kToMaximum:
      moved = length;
      break;
    case ScrollAction::kThumbPosition:
      moved = given;
      break;
    case ScrollAction::kThumbTrack:
    case ScrollAction::kEndScroll:
      return std::nullopt;
  }
  return std::clamp(moved, 0, std::max(length, 0));
}

}  // namespace veltro::decks
