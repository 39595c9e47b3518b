#include "decks/Mixer.h"

#include <algorithm>
#include <utility>

namespace veltro::decks {
namespace {

int ClampLeadSeconds(int seconds) {
  return std::clamp(seconds, kMinLeadSeconds, kMaxLeadSeconds);
}

// The fader's whole travel, split into one step per fade tick.
constexpr int kFaderTravel = kFaderMax - kFaderMin;
constexpr int kFadeTicksPerSecond = 10;

bool IsPlaying(const MixerDeck& deck) {
  return deck.State() == DeckState::kPlaying;
}

}  // namespace

Mixer::Mixer(MixerTimers& timers, MixerView* view, int playstartSeconds, int fadetimeSeconds)
    : timers_(timers),
      view_(view),
      playstartSeconds_(ClampLeadSeconds(playstartSeconds)),
      fadetimeSeconds_(ClampLeadSeconds(fadetimeSeconds)) {}

void Mixer::SetTakeNextEntry(TakeNextEntry takeNextEntry) {
  takeNextEntry_ = std::move(takeNextEntry);
}

void Mixer::ChooseDeck(MixerSide side, MixerDeck* deck) {
  (side == MixerSide::kLeft ? left_ : right_) = deck;
}

void Mixer::ForgetDeck(const MixerDeck* deck) {
  if (deck == nullptr || (deck != left_ && deck != right_)) return;
  if (left_ == deck) left_ = nullptr;
  if (right_ == deck) right_ = nullptr;
  if (fade_ != FadeDirection::kNone) EndFade(nullptr);
}

// Each deck stays at full level until the fader passes the centre toward the other deck; from
// there its attenuation is the fader's distance from the centre.
void Mixer::ApplyFader() {
  const int leftAttenuation = fader_ > 0 ? fader_ : 0;
  const int rightAttenuation = fader_ < 0 ? -fader_ : 0;
  if (left_ != nullptr) left_->SetMainAttenuationPosition(leftAttenuation);
  if (right_ != nullptr) right_->SetMainAttenuationPosition(rightAttenuation);
}

void Mixer::MoveFader(int position) {
  fader_ = std::clamp(position, kFaderMin, kFaderMax);
  ApplyFader();
}

void Mixer::MoveFaderTo(int position) {
  fader_ = std::clamp(position, kFaderMin, kFaderMax);
  if (view_ != nullptr) view_->ShowFaderPosition(fader_);
  ApplyFader();
}

void Mixer::Centre() {
  MoveFaderTo(0);
}

void Mixer::PressCut(MixerSide side, MouseButton /*button*/) {
  MoveFaderTo(side == MixerSide::kLeft ? kFaderMin : kFaderMax);
}

void Mixer::ReleaseCut(MixerSide /*side*/, MouseButton button) {
  if (button == MouseButton::kRight) MoveFaderTo(0);
}

void Mixer::SetFadeNowEnabled(bool enabled) {
  fadeNowEnabled_ = enabled;
  if (view_ != nullptr) view_->SetFadeNowEnabled(enabled);
}

// Loads the playlist's next entry (or, without one, the library's current record) and plays it.
void Mixer::StartDeck(MixerDeck& deck) {
  if (takeNextEntry_) takeNextEntry_();
  deck.LoadFromLibrary();
  deck.PressPlay();
}

// Puts the fader at the end where only the deck being faded out is heard and starts stepping.
void Mixer::BeginFade(FadeDirection direction) {
  fade_ = direction;
  MoveFaderTo(direction == FadeDirection::kTowardRight ? kFaderMin : kFaderMax);
  timers_.Start(MixerTimer::kFade, kFadeTickInterval);
}

void Mixer::EndFade(MixerDeck* oldDeck) {
  SetFadeNowEnabled(true);
  if (oldDeck != nullptr) oldDeck->PressCue();
  timers_.Stop(MixerTimer::kFade);
  fade_ = FadeDirection::kNone;
}

// Only a fade toward the right deck locks the button, so that the left deck can still be
// brought in by hand while it runs.
void Mixer::FadeNow() {
  if (!BothDecksChosen()) return;
  if (!IsPlaying(*right_)) {
    BeginFade(FadeDirection::kTowardRight);
    StartDeck(*right_);
    SetFadeNowEnabled(false);
  } else if (!IsPlaying(*left_)) {
    BeginFade(FadeDirection::kTowardLeft);
    StartDeck(*left_);
  }
}

void Mixer::SetAutomatic(bool on) {
  automatic_ = on;
  if (on) {
    timers_.Start(MixerTimer::kAutomatic, kAutomaticTickInterval);
  } else {
    timers_.Stop(MixerTimer::kAutomatic);
  }
}

// When one deck nears its end and the other is idle, the idle one gets the next song; the left
// deck is checked first. Without the crossfade box the fader stays where it is and nothing fades.
void Mixer::OnAutoTick() {
  if (!BothDecksChosen()) return;
  if (right_->NearEnd() && !IsPlaying(*left_)) {
    if (crossfade_) BeginFade(FadeDirection::kTowardLeft);
    StartDeck(*left_);
  } else if (left_->NearEnd() && !IsPlaying(*right_)) {
    if (crossfade_) BeginFade(FadeDirection::kTowardRight);
    StartDeck(*right_);
  }
}

// A fade of F seconds takes 10 x F steps of the whole travel; the step after the fader has
// reached its end cues the deck that was faded out. Without the crossfade box, or with a
// Fadetime of 0, the first step jumps to the end and cues at once.
void Mixer::OnFadeTick() {
  if (!BothDecksChosen() || fade_ == FadeDirection::kNone) return;
  const int steps = fadetimeSeconds_ == 0 ? 1 : kFadeTicksPerSecond * fadetimeSeconds_;
  const int step = kFaderTravel / steps;
  const bool towardRight = fade_ == FadeDirection::kTowardRight;
  const int end = towardRight ? kFaderMax : kFaderMin;
  MixerDeck* oldDeck = towardRight ? left_ : right_;
  if (!crossfade_ || steps == 1) {
    MoveFaderTo(end);
    EndFade(oldDeck);
    return;
  }
  const int before = fader_;
  MoveFaderTo(towardRight ? before + step : before - step);
  if (before == end) EndFade(oldDeck);
}

void Mixer::SetEndWarnings(bool onlyLoadedEngines) {
  const int hundredths = playstartSeconds_ * 100;
  for (MixerDeck* deck : {left_, right_}) {
    if (deck == nullptr || (onlyLoadedEngines && !deck->EngineLoaded())) continue;
    deck->SetEndWarning(hundredths);
  }
}

void Mixer::PlaystartTextChanged(int seconds) {
  playstartSeconds_ = ClampLeadSeconds(seconds);
  if (fadetimeSeconds_ < kMaxLeadSeconds) SetEndWarnings(false);
}

void Mixer::PlaystartStepped(int seconds) {
  playstartSeconds_ = ClampLeadSeconds(seconds);
  SetEndWarnings(true);
}

void Mixer::SetFadetimeSeconds(int seconds) {
  fadetimeSeconds_ = ClampLeadSeconds(seconds);
}

}  // namespace veltro::decks
