// The mixer's logic: a crossfader between a left and a right deck, two cut buttons, a centre
// button, a "fade now" button and an automatic mode that starts the idle deck when the playing
// one nears its end and crossfades to it. The mixer never touches audio: it moves the decks' main
// attenuation sliders and presses their play and cue buttons, as the user would.
//
// Threads: every member is called on the UI thread only (the timers are UI-thread timers). The
// only value another thread changes is a deck's NearEnd, which the deck keeps atomic.
// Ownership: the mixer does not own the decks, the timers or the view; each must outlive it or be
// withdrawn first (ForgetDeck for a deck).
#pragma once

#include <functional>

#include "decks/MixerDeck.h"
#include "decks/MixerTimers.h"

namespace veltro::decks {

// Fader positions: negative toward the left deck (it alone is heard at kFaderMin), positive
// toward the right deck. A position is also the attenuation, in hundredths of a decibel, given to
// the deck on the far side of the centre.
inline constexpr int kFaderMin = -3000;
inline constexpr int kFaderMax = 3000;

// Playstart (how long before its end a playing deck makes the automatic mode start the other
// one) and Fadetime (length of a crossfade), in whole seconds.
inline constexpr int kDefaultPlaystartSeconds = 7;
inline constexpr int kDefaultFadetimeSeconds = 5;
inline constexpr int kMinLeadSeconds = 0;
inline constexpr int kMaxLeadSeconds = 100;

enum class MixerSide { kLeft, kRight };
enum class MouseButton { kLeft, kRight };

// Which way a running crossfade moves the fader (and so which deck it brings in).
enum class FadeDirection { kNone, kTowardRight, kTowardLeft };

// What the mixer window shows of the mixer's own changes. UI thread only.
class MixerView {
 public:
  virtual ~MixerView() = default;
  // The mixer moved the fader itself (cut, centre, fade); `position` kFaderMin ... kFaderMax.
  // Not called for moves the user made; the view must not report this move back as one.
  virtual void ShowFaderPosition(int position) = 0;
  // The "fade now" button becomes usable or not.
  virtual void SetFadeNowEnabled(bool enabled) = 0;
};

class Mixer {
 public:
  // Makes the playlist's next entry the library's current record and moves the playlist's
  // marker on; it does nothing when there is no playlist or it is empty.
  using TakeNextEntry = std::function<void()>;

  // `view` may be null (nothing is shown). Lead times are clamped to kMinLeadSeconds ...
  // kMaxLeadSeconds. No deck is chosen, the fader is at 0, automatic mode and crossfade are off.
  Mixer(MixerTimers& timers, MixerView* view, int playstartSeconds = kDefaultPlaystartSeconds,
        int fadetimeSeconds = kDefaultFadetimeSeconds);

  // The playlist's take-next-entry step; an empty function means no playlist.
  void SetTakeNextEntry(TakeNextEntry takeNextEntry);

  // The deck chosen in the left or right list; null clears the choice. Until both decks are
  // chosen, "fade now" and the automatic mode do nothing.
  void ChooseDeck(MixerSide side, MixerDeck* deck);
  // A deck is going away: clears every choice of it and ends a running fade without cueing.
  void ForgetDeck(const MixerDeck* deck);
  MixerDeck* Deck(MixerSide side) const { return side == MixerSide::kLeft ? left_ : right_; }

  // The user moved the fader to `position` (clamped to the fader's range); applied to the decks.
  void MoveFader(int position);
  int FaderPosition() const { return fader_; }
  // The centre button: fader to 0.
  void Centre();
  // A cut button pressed with either mouse button jumps the fader to the side's end (the left
  // button cuts to the left deck: kFaderMin). Releasing the right mouse button returns it to 0,
  // so a right-button cut lasts only while held; a left-button release changes nothing.
  void PressCut(MixerSide side, MouseButton button);
  void ReleaseCut(MixerSide side, MouseButton button);

  // "Fade now": brings in the right deck if it is not playing, else the left deck if it is not
  // playing; the idle deck is given the next playlist entry, loaded and started.
  void FadeNow();
  bool FadeNowEnabled() const { return fadeNowEnabled_; }
  FadeDirection Fade() const { return fade_; }

  // The automatic-mode box: starts or stops the 500 ms automatic timer.
  void SetAutomatic(bool on);
  bool Automatic() const { return automatic_; }
  // The crossfade box: when clear, the automatic mode switches decks without fading.
  void SetCrossfade(bool on) { crossfade_ = on; }
  bool Crossfade() const { return crossfade_; }

  // The Playstart text was edited to `seconds` (clamped): every chosen deck's end warning
  // becomes Playstart x 100 hundredths, provided Fadetime is below its maximum.
  void PlaystartTextChanged(int seconds);
  // The Playstart arrows were clicked, giving `seconds` (clamped): every chosen deck whose
  // engine has a song loaded gets the new end warning.
  void PlaystartStepped(int seconds);
  // A new Fadetime (clamped); the next fade step uses it.
  void SetFadetimeSeconds(int seconds);
  // Read by each deck as it loads a song (its end warning).
  int PlaystartSeconds() const { return playstartSeconds_; }
  int FadetimeSeconds() const { return fadetimeSeconds_; }

  // The automatic timer fired: when the right deck is near its end and the left deck is not
  // playing, the left deck gets the next entry (with the crossfade box set, a fade toward it
  // starts from kFaderMax); otherwise the same with the sides swapped. At most one deck a tick.
  void OnAutoTick();
  // The fade timer fired: moves the fader one step of its travel / (10 x Fadetime); the tick
  // after it reached its end cues the old deck and stops the timer. Without the crossfade box,
  // or with Fadetime 0, the first tick jumps to the end and cues at once.
  void OnFadeTick();

 private:
  bool BothDecksChosen() const { return left_ != nullptr && right_ != nullptr; }
  void ApplyFader();
  void MoveFaderTo(int position);  // a move of the mixer's own, shown on the view
  void SetFadeNowEnabled(bool enabled);
  void StartDeck(MixerDeck& deck);
  void BeginFade(FadeDirection direction);
  void EndFade(MixerDeck* oldDeck);
  void SetEndWarnings(bool onlyLoadedEngines);

  MixerTimers& timers_;
  MixerView* view_;
  TakeNextEntry takeNextEntry_;
  MixerDeck* left_ = nullptr;
  MixerDeck* right_ = nullptr;
  int fader_ = 0;
  FadeDirection fade_ = FadeDirection::kNone;
  bool fadeNowEnabled_ = true;
  bool automatic_ = false;
  bool crossfade_ = false;
  int playstartSeconds_;
  int fadetimeSeconds_;
};

}  // namespace veltro::decks
