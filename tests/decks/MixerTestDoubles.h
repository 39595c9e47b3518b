// Collaborators for driving the mixer in tests: a clock that fires the mixer's timers in time
// order as a test advances it, a deck that follows the deck rules the mixer relies on and records
// what was done to it, and a view that remembers what it was told.
#pragma once

#include <atomic>
#include <chrono>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "decks/Mixer.h"

namespace veltro::decks::mixertest {

using std::chrono::milliseconds;

class MixerClock : public MixerTimers {
 public:
  void Start(MixerTimer timer, milliseconds interval) override {
    timers_[timer] = Running{interval, now_ + interval};
  }
  void Stop(MixerTimer timer) override { timers_.erase(timer); }

  bool IsRunning(MixerTimer timer) const { return timers_.count(timer) != 0; }
  milliseconds Now() const { return now_; }

  // Sends each due tick to the mixer's matching handler.
  void Connect(Mixer& mixer) { mixer_ = &mixer; }

  // Moves the clock forward by `duration`, firing every tick that falls due on the way in time
  // order (the automatic timer first when both fall due together).
  void Advance(milliseconds duration) {
    const milliseconds target = now_ + duration;
    while (true) {
      auto due = timers_.end();
      for (auto it = timers_.begin(); it != timers_.end(); ++it) {
        if (it->second.nextDue <= target &&
            (due == timers_.end() || it->second.nextDue < due->second.nextDue)) {
          due = it;
        }
      }
      if (due == timers_.end()) break;
      now_ = due->second.nextDue;
      due->second.nextDue += due->second.interval;
      Fire(due->first);
    }
    now_ = target;
  }

 private:
  struct Running {
    milliseconds interval;
    milliseconds nextDue;
  };

  void Fire(MixerTimer timer) {
    if (mixer_ == nullptr) return;
    if (timer == MixerTimer::kAutomatic) {
      mixer_->OnAutoTick();
    } else {
      mixer_->OnFadeTick();
    }
  }

  std::map<MixerTimer, Running> timers_;
  milliseconds now_{0};
  Mixer* mixer_ = nullptr;
};

// The library's current record as a number; the playlist's take-next step advances it.
struct FakeLibrary {
  int currentRecord = 1;
  int entriesTaken = 0;
  void TakeNextEntry() {
    ++currentRecord;
    ++entriesTaken;
  }
};

// A deck with the transport rules the mixer depends on: a load is refused while playing or
// seeking; play toggles between playing and paused; cue stops at the cue position ("cued");
// the attenuation slider gives a volume of -position hundredths of a decibel, silent above 2900.
// Every button, load, pitch and position call is also written to `calls`, whatever its effect
// ("load", "play", "cue", "pitch 140", "step forward", "step back").
class RecordingDeck : public MixerDeck {
 public:
  RecordingDeck(const MixerClock& clock, const FakeLibrary& library)
      : clock_(clock), library_(library) {}

  DeckState State() const override { return state; }
  void LoadFromLibrary() override {
    calls.emplace_back("load");
    if (state == DeckState::kPlaying || state == DeckState::kSeeking) return;
    state = DeckState::kLoaded;
    loaded = true;
    nearEnd = false;
    loadedRecords.push_back(library_.currentRecord);
  }
  void PressPlay() override {
    calls.emplace_back("play");
    if (state == DeckState::kNoSong) return;
    state = state == DeckState::kPlaying ? DeckState::kPaused : DeckState::kPlaying;
    playTimes.push_back(clock_.Now());
  }
  void PressCue() override {
    calls.emplace_back("cue");
    if (state == DeckState::kNoSong) return;
    state = DeckState::kCued;
    cueTimes.push_back(clock_.Now());
  }
  void SetMainAttenuationPosition(int position) override { attenuation = position; }
  bool EngineLoaded() const override { return loaded; }
  bool NearEnd() const override { return nearEnd.load(); }
  void SetEndWarning(int hundredths) override { endWarning = hundredths; }
  void SetPitchThumb(int position) override {
    calls.push_back("pitch " + std::to_string(position));
  }
  void StepPosition(bool forward) override {
    calls.emplace_back(forward ? "step forward" : "step back");
  }

  // Volume in hundredths of a decibel; empty when silent.
  std::optional<int> VolumeCentibels() const {
    if (attenuation > 2900) return std::nullopt;
    return -attenuation;
  }
  // Puts a song on the deck in `newState` without going through the mixer.
  void Prepare(DeckState newState) {
    state = newState;
    loaded = true;
  }

  DeckState state = DeckState::kNoSong;
  bool loaded = false;
  std::atomic<bool> nearEnd{false};
  int attenuation = 0;
  int endWarning = -1;
  std::vector<int> loadedRecords;
  std::vector<milliseconds> playTimes;
  std::vector<milliseconds> cueTimes;
  std::vector<std::string> calls;

 private:
  const MixerClock& clock_;
  const FakeLibrary& library_;
};

class RecordingView : public MixerView {
 public:
  void ShowFaderPosition(int position) override { shownPositions.push_back(position); }
  void SetFadeNowEnabled(bool enabled) override { fadeNowStates.push_back(enabled); }

  std::vector<int> shownPositions;
  std::vector<bool> fadeNowStates;
};

// A mixer wired to the manual clock, a view, a library with a playlist, and two decks.
struct MixerRig {
  explicit MixerRig(int playstartSeconds = kDefaultPlaystartSeconds,
                    int fadetimeSeconds = kDefaultFadetimeSeconds)
      : mixer(timers, &view, playstartSeconds, fadetimeSeconds) {
    timers.Connect(mixer);
    mixer.SetTakeNextEntry([this] { library.TakeNextEntry(); });
  }
  void ChooseBoth() {
    mixer.ChooseDeck(MixerSide::kLeft, &left);
    mixer.ChooseDeck(MixerSide::kRight, &right);
  }

  MixerClock timers;
  RecordingView view;
  FakeLibrary library;
  RecordingDeck left{timers, library};
  RecordingDeck right{timers, library};
  Mixer mixer;
};

}  // namespace veltro::decks::mixertest
