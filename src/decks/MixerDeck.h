// What the mixer (and the serial controller) needs of a deck: the deck's own entry points, each
// behaving exactly as the user action it stands for. The deck's transport logic implements it.
//
// Threads: UI thread only, except NearEnd, which the deck's timer thread updates (atomic).
#pragma once

#include "decks/DeckState.h"

namespace veltro::decks {

class MixerDeck {
 public:
  virtual ~MixerDeck() = default;

  virtual DeckState State() const = 0;
  // Loads the library's current record (ignored while playing or seeking).
  virtual void LoadFromLibrary() = 0;
  // The play and cue buttons.
  virtual void PressPlay() = 0;
  virtual void PressCue() = 0;
  // A thumb-position action of the main attenuation slider: `position` 0 ... 3000 (hundredths of
  // a decibel of attenuation; above 2900 silent).
  virtual void SetMainAttenuationPosition(int position) = 0;
  // The engine has a song loaded.
  virtual bool EngineLoaded() const = 0;
  // The remaining time is below the end warning (refreshed with every time display update).
  virtual bool NearEnd() const = 0;
  // The engine's end warning, in hundredths of a second of remaining time.
  virtual void SetEndWarning(int hundredths) = 0;
  // The pitch slider moved to `position` (0 ... 255, 127 = no change; outside clamped as the
  // slider clamps) as a thumb-position action followed by a thumb-track action: what the serial
  // controller's pitch lines do. Ignored, like every pitch slider action, before a song is loaded.
  virtual void SetPitchThumb(int position) = 0;
  // One line step of the position slider: forward = one line increase, else one line decrease;
  // like every position slider action it stops a playing deck to seek, and is ignored before a
  // song is loaded.
  virtual void StepPosition(bool forward) = 0;
};

}  // namespace veltro::decks
