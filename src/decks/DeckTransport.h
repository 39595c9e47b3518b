// One deck's transport logic: the six states and their transitions, loading from the library
// or from dropped files, the play and cue buttons, the position slider with its cue snippet,
// the 100 ms playback tick with the end-of-song transition, the pitch slider and pitch bend,
// the two attenuation sliders, the monitor switch, the elapsed/remaining toggle, Mastertempo
// and Cue-Load. The deck window is a thin layer over this class: it turns widget events into
// these calls and shows what DeckView is told.
//
// Units: positions and lengths in hundredths of a second; pitch values in tenths of a percent
// (pitch slider 0 ... 255, value = position - 127); attenuation slider positions in hundredths
// of a decibel (0 ... 3000); volumes in hundredths of a decibel (0 = full, -10000 = silence).
//
// Ownership: the transport owns its PlayerEngine. Devices, library and view are borrowed and
// must outlive the transport.
//
// Threads: every public method is for the UI thread. While playing, the timer's thread calls
// only the engine's Service and posts the rest of the tick (slider, time display, end of song)
// to the UI thread through the post function. A posted tick that arrives after the timer was
// stopped (or the transport destroyed) does nothing. NearEnd may be read from any thread.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "decks/DeckSliders.h"
#include "decks/DeckState.h"
#include "decks/DeckTimer.h"
#include "decks/DeckView.h"
#include "decks/MixerDeck.h"
#include "engine/PlayerEngine.h"
#include "library/SongDatabase.h"
#include "platform/sound/SoundDevice.h"

namespace veltro::decks {

// String-table identifiers of the warning shown when a song cannot be opened.
inline constexpr int kCannotOpenTextId = 903;
inline constexpr int kCannotOpenCaptionId = 902;
// The time display before a load, and what a deck without an output device adds to its state.
inline constexpr const char* kNoSongTime = "No Song";
inline constexpr const char* kNoSoundSuffix = " (no sound)";
// String-table identifier of the status note shown when a new cue could not be stored.
inline constexpr int kCueNotStoredTextId = 927;

struct DeckCollaborators {
  // The deck's outputs. A null or unopened main device makes a silent deck (the transport works,
  // nothing is heard, the status says so); a null or unopened monitor device disables the
  // monitor controls.
  platform::sound::SoundDevice* mainDevice = nullptr;
  platform::sound::SoundDevice* monitorDevice = nullptr;
  // The song library; null ignores loads from the library.
  library::SongDatabase* library = nullptr;
  // Required.
  DeckView* view = nullptr;
  // Runs a function on the UI thread later; callable from any thread. Required.
  std::function<void(std::function<void()>)> postToUi;
  // Makes the playback timer (see DeckTimer.h); null or a factory returning null = no timer.
  DeckTimerFactory timerFactory;
  // The mixer's Playstart value in seconds, read at each load; null = 0.
  std::function<int()> playstartSeconds;
};

struct DeckSettings {
  bool autoCue = false;      // "Cue-Load": a library load starts at the song's cue position
  int elapsedMode = 1;       // 1 = elapsed time, 0 = remaining time
  bool mastertempo = false;  // the pitch changes the tempo, not the frequency
};

enum class BendDirection { kNone, kUp, kDown };

class DeckTransport : public MixerDeck {
 public:
  static constexpr int kMaxNudgeTicks = 30;  // the bend grows for 30 ticks (3 s), then holds
  static constexpr int kNudgeStep = 10;      // pitch value added per bend tick (1 %)

  // Attaches the devices to the engine and shows the initial view. UI thread.
  DeckTransport(DeckCollaborators collaborators, DeckSettings settings);
  // Stops the timer (waiting for a running tick) and releases the engine. UI thread.
  ~DeckTransport() override;
  DeckTransport(const DeckTransport&) = delete;
  DeckTransport& operator=(const DeckTransport&) = delete;

  // MixerDeck entry points (see MixerDeck.h). A library song whose file cannot be opened shows
  // the warning 903/902 and leaves song and state as they were.
  DeckState State() const override { return state_; }
  void LoadFromLibrary() override;
  void PressPlay() override;
  void PressCue() override;
  void SetMainAttenuationPosition(int position) override;
  bool EngineLoaded() const override { return engine_->IsLoaded(); }
  bool NearEnd() const override { return engine_->NearEnd() != 0; }
  void SetEndWarning(int hundredths) override { engine_->SetEndWarning(hundredths); }
  void SetPitchThumb(int position) override;
  void StepPosition(bool forward) override;

  // Files dropped on the window: only the first counts, and only when its extension is .MP3,
  // .OGG or .WAV (any case) and the deck is neither playing nor seeking.
  void DropFiles(const std::vector<std::string>& paths);
  // Slider actions; `position` is the thumb position of thumb actions.
  void PositionSlider(ScrollAction action, int position = 0);
  void PitchSlider(ScrollAction action, int position = 0);
  void MainAttenuationSlider(ScrollAction action, int position = 0);
  void MonitorAttenuationSlider(ScrollAction action, int position = 0);
  // The Zero button: pitch slider to the centre, pitch 0.
  void ZeroPitch();
  // Pitch bend: the window calls BendTick every 100 ms while the button is held (its first call
  // 100 ms after the press) and ReleaseBend on release. PressBend is ignored (false) before a
  // song is loaded. The bend changes the output frequency (speed and pitch together) from the
  // frequency the pitch slider gives: nominal + slider value without Mastertempo, the nominal
  // rate with it (where the slider's value stays the tempo change). Release returns there.
  bool PressBend(BendDirection direction);
  void BendTick();
  void ReleaseBend();
  // Monitor switch (ignored before a load and without a monitor device); time button; options.
  void ToggleMonitor();
  void ToggleElapsed();
  // Switching on returns the output to the nominal rate and carries the pitch slider's value as
  // the tempo change; switching off clears the tempo change and applies the value as frequency.
  void SetMastertempo(bool on);
  void SetAutoCue(bool on) { autoCue_ = on; }

  // What the window and the settings need to read. UI thread.
  bool AutoCue() const { return autoCue_; }
  int ElapsedMode() const { return elapsedMode_; }
  bool Mastertempo() const { return mastertempo_; }
  bool MonitorOn() const { return monitorOn_; }
  bool HasSound() const { return hasSound_; }
  bool HasMonitor() const { return hasMonitor_; }
  int Position() const { return position_; }
  int Length() const { return length_; }
  int PitchPosition() const { return pitchSlider_; }
  int MainAttenuation() const { return mainSlider_; }
  int MonitorAttenuation() const { return monitorSlider_; }
  int NudgeCount() const { return nudgeCount_; }
  // A copy of the deck's song (cue position included): the library's record of the song
  // loaded from it or dropped on the deck, or an empty record for a dropped file the library
  // does not hold.
  const library::SongRecord& Song() const { return song_; }
  // The tag editor saved `record`: a deck holding that song from the library (same path, byte
  // for byte) takes its new artist, title, genre and year and shows them; the cue position and
  // everything else of the deck stay. A song dropped on the deck keeps showing its file name.
  void SongEdited(const library::SongRecord& record);
  // The deck's engine, for the window's diagnostics and for tests. UI thread.
  engine::PlayerEngine& Engine() { return *engine_; }

 private:
  bool IsBusy() const { return state_ == DeckState::kPlaying || state_ == DeckState::kSeeking; }
  bool LoadEngine(const std::string& path, const std::string& extension);
  void FinishLoad(bool atCue, const std::string& artist, const std::string& title);
  void ApplyVolumesAndPitch();
  bool StartPlaying();
  void StopPlaying();
  void StopTimer();
  void OnTimerTick(uint64_t generation, int heard);
  void EndOfSong();
  void SetState(DeckState next);
  void SetButtons(bool playDown, bool cueDown);
  void SetPosition(int value);
  void UpdateTime();
  int PitchValue() const { return pitchSlider_ - kPitchCentre; }
  int FrequencyPitch() const;
  int CueStart() const;
  bool StoreCue();

  std::unique_ptr<engine::PlayerEngine> engine_;
  library::SongDatabase* library_;
  DeckView* view_;
  std::function<void(std::function<void()>)> postToUi_;
  DeckTimerFactory timerFactory_;
  std::function<int()> playstartSeconds_;
  bool hasSound_ = false;
  bool hasMonitor_ = false;

  DeckState state_ = DeckState::kNoSong;
  library::SongRecord song_ = library::EmptyRecord();
  std::string songPath_;  // the loaded file; a new cue is stored on the record with this path
  bool showsRecordTexts_ = false;  // the song's texts are its library record's (not a file name)
  int length_ = 0;
  int position_ = 0;
  int pitchSlider_ = kPitchCentre;
  int mainSlider_ = 0;
  int monitorSlider_ = 0;
  bool monitorOn_ = false;
  bool autoCue_;
  int elapsedMode_;
  bool mastertempo_;
  BendDirection bend_ = BendDirection::kNone;
  int nudgeCount_ = 0;

  std::unique_ptr<DeckTimer> timer_;
  uint64_t timerGeneration_ = 0;  // changes whenever the timer stops; stale ticks compare unequal
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);  // posted ticks hold a weak copy
};

}  // namespace veltro::decks
