#include "decks/DeckTransport.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "decks/PathParts.h"
#include "platform/RegularFile.h"

namespace veltro::decks {

namespace {

constexpr int kEndTicks = 3;  // refills past the song's end before the deck calls it ended

platform::sound::SoundDevice* OpenedOrNull(platform::sound::SoundDevice* device) {
  return device != nullptr && device->IsOpen() ? device : nullptr;
}

// The song can be read: a regular file that opens (never waiting on a FIFO named like a song).
bool CanOpenForReading(const std::string& path) {
  std::FILE* file = platform::OpenRegularFileStream(path, platform::FileAccess::kRead);
  if (file == nullptr) return false;
  std::fclose(file);
  return true;
}

}  // namespace

DeckTransport::DeckTransport(DeckCollaborators collaborators, DeckSettings settings)
    : engine_(std::make_unique<engine::PlayerEngine>()),
      library_(collaborators.library),
      view_(collaborators.view),
      postToUi_(std::move(collaborators.postToUi)),
      timerFactory_(std::move(collaborators.timerFactory)),
      playstartSeconds_(std::move(collaborators.playstartSeconds)),
      autoCue_(settings.autoCue),
      elapsedMode_(settings.elapsedMode != 0 ? 1 : 0),
      mastertempo_(settings.mastertempo) {
  // An unopened device would make every load fail; without it the deck still works, silently.
  platform::sound::SoundDevice* main = OpenedOrNull(collaborators.mainDevice);
  platform::sound::SoundDevice* monitor = OpenedOrNull(collaborators.monitorDevice);
  engine_->AttachDevices(main, monitor);
  hasSound_ = main != nullptr;
  hasMonitor_ = monitor != nullptr;
  engine_->SetTempoMode(mastertempo_ ? 1 : 0);
  view_->EnableMonitorControls(hasMonitor_);
  view_->ShowMonitorLed(false);
  view_->ShowPitch(pitchSlider_, PitchLabel(0));
  view_->ShowMainAttenuation(mainSlider_);
  view_->ShowMonitorAttenuation(monitorSlider_);
  view_->ShowButtons(false, false);
  view_->ShowTime(kNoSongTime);
  SetState(DeckState::kNoSong);
}

DeckTransport::~DeckTransport() {
  StopTimer();
  engine_->Unload();
}

// ---- Loading ----

void DeckTransport::LoadFromLibrary() {
  if (IsBusy() || library_ == nullptr) return;
  const library::SongRecord record = library_->GetCurrentRecord();
  const std::string path(library::FieldText(record.path));
  if (!CanOpenForReading(path)) {
    view_->ShowWarning(kCannotOpenTextId, kCannotOpenCaptionId);
    return;
  }
  song_ = record;
  if (!LoadEngine(path, UpperExtension(path))) return;
  songPath_ = path;
  showsRecordTexts_ = true;
  FinishLoad(autoCue_, std::string(library::FieldText(song_.artist)),
             std::string(library::FieldText(song_.songName)));
}

void DeckTransport::DropFiles(const std::vector<std::string>& paths) {
  if (paths.empty() || IsBusy()) return;
  const std::string& path = paths.front();
  const std::optional<std::string> extension = SongExtension(path);
  if (!extension) return;
  if (!LoadEngine(path, *extension)) return;
  // The deck's song is now this file: its cue is the library's when the library holds it, else
  // none yet (and a cue set on it is kept in the deck only).
  const int record = library_ != nullptr ? library_->RecordWithPath(path) : -1;
  song_ = record >= 0 ? library_->Records()[static_cast<size_t>(record)] : library::EmptyRecord();
  songPath_ = path;
  showsRecordTexts_ = false;
  FinishLoad(false, FileNamePart(path), "");  // Cue-Load is for library loads only
}

void DeckTransport::SongEdited(const library::SongRecord& record) {
  if (state_ == DeckState::kNoSong || songPath_ != library::FieldText(record.path)) return;
  std::memcpy(song_.artist, record.artist, sizeof song_.artist);
  std::memcpy(song_.songName, record.songName, sizeof song_.songName);
  std::memcpy(song_.genre, record.genre, sizeof song_.genre);
  std::memcpy(song_.year, record.year, sizeof song_.year);
  if (showsRecordTexts_) {
    view_->ShowSong(std::string(library::FieldText(song_.artist)),
                    std::string(library::FieldText(song_.songName)));
  }
}

bool DeckTransport::LoadEngine(const std::string& path, const std::string& extension) {
  if (engine_->IsLoaded()) engine_->Unload();
  const int playstart = playstartSeconds_ ? playstartSeconds_() : 0;
  if (engine_->Load(path, playstart, extension)) return true;
  // The file opened but is no song the engine can play: the previous song is gone already.
  length_ = 0;
  SetPosition(0);
  view_->ShowPositionRange(0);
  view_->ShowSong("", "");
  view_->ShowButtons(false, false);
  view_->ShowTime(kNoSongTime);
  SetState(DeckState::kNoSong);
  view_->ShowWarning(kCannotOpenTextId, kCannotOpenCaptionId);
  return false;
}

void DeckTransport::FinishLoad(bool atCue, const std::string& artist, const std::string& title) {
  length_ = engine_->Length();
  view_->ShowPositionRange(length_);
  SetPosition(atCue ? CueStart() : 0);
  engine_->Prime(position_);
  ApplyVolumesAndPitch();
  SetState(DeckState::kLoaded);
  view_->ShowSong(artist, title);
  SetButtons(false, true);
  engine_->ResetEndCount();
  UpdateTime();  // also recomputes the engine's near-end flag for the new song
}

void DeckTransport::ApplyVolumesAndPitch() {
  engine_->SetMainVolume(AttenuationVolume(mainSlider_));
  engine_->SetPitch(PitchValue());
  engine_->SetMonitorVolume(monitorOn_ ? AttenuationVolume(monitorSlider_) : kSilentVolume);
}

// ---- Play and cue ----

void DeckTransport::PressPlay() {
  switch (state_) {
    case DeckState::kNoSong:
      return;
    case DeckState::kPlaying:
      StopPlaying();
      SetState(DeckState::kPaused);
      SetButtons(false, false);
      return;
    case DeckState::kSeeking:
      engine_->StopCue();
      StartPlaying();
      return;
    case DeckState::kLoaded:
    case DeckState::kCued:
    case DeckState::kPaused:
    case DeckState::kEnded:
      StartPlaying();
      return;
  }
}

void DeckTransport::PressCue() {
  if (state_ == DeckState::kNoSong || state_ == DeckState::kCued) return;
  if (state_ == DeckState::kPlaying) StopPlaying();
  bool cueStored = true;
  if (state_ != DeckState::kSeeking) {
    SetPosition(CueStart());
  } else {
    // Scrubbed to a new place: it becomes the song's cue position.
    engine_->StopCue();
    song_.cuePosition = static_cast<uint32_t>(position_);
    cueStored = StoreCue();
  }
  engine_->Prime(position_);
  SetState(DeckState::kCued);
  SetButtons(false, true);
  UpdateTime();
  if (!cueStored) view_->ShowStatusNote(kCueNotStoredTextId);
}

bool DeckTransport::StoreCue() {
  // By path, not through the library's current record: the selection, the playlist or the
  // automatic mode may have moved that to another song since this one was loaded.
  return library_ != nullptr && library_->SetCuePositionOfPath(songPath_, song_.cuePosition);
}

int DeckTransport::CueStart() const {
  return static_cast<int>(std::min<uint32_t>(song_.cuePosition, static_cast<uint32_t>(length_)));
}

bool DeckTransport::StartPlaying() {
  std::unique_ptr<DeckTimer> next = timerFactory_ ? timerFactory_() : nullptr;
  if (!next) return false;
  const uint64_t generation = ++timerGeneration_;
  engine::PlayerEngine* player = engine_.get();
  auto post = postToUi_;
  std::weak_ptr<bool> weak = alive_;
  // Timer thread: only the engine's Service; the rest of the tick runs on the UI thread.
  auto tick = [this, player, post, weak, generation] {
    const int heard = player->Service();
    post([this, weak, generation, heard] {
      if (!weak.expired()) OnTimerTick(generation, heard);
    });
  };
  if (!next->Start(std::move(tick))) return false;
  timer_ = std::move(next);
  engine_->Play();
  SetState(DeckState::kPlaying);
  SetButtons(true, false);
  return true;
}

void DeckTransport::StopPlaying() {
  StopTimer();
  engine_->Stop();
}

void DeckTransport::StopTimer() {
  if (timer_) {
    timer_->Stop();
    timer_.reset();
  }
  ++timerGeneration_;  // ticks already posted are now stale
}

void DeckTransport::OnTimerTick(uint64_t generation, int heard) {
  if (generation != timerGeneration_ || state_ != DeckState::kPlaying) return;
  SetPosition(heard);
  UpdateTime();
  if (engine_->EndCount() >= kEndTicks) EndOfSong();
}

void DeckTransport::EndOfSong() {
  // The half holding the song's last audio has been played out: back to the start, or to the
  // song's cue with Cue-Load, ready to play it again from where a load would start it.
  StopTimer();
  engine_->Stop();
  SetPosition(autoCue_ ? CueStart() : 0);
  SetButtons(false, true);
  engine_->ResetEndCount();
  engine_->Prime(position_);
  SetState(DeckState::kEnded);
  UpdateTime();
}

// ---- Sliders ----

void DeckTransport::PositionSlider(ScrollAction action, int thumb) {
  if (state_ == DeckState::kNoSong) return;
  if (state_ == DeckState::kPlaying) StopPlaying();
  if (state_ != DeckState::kSeeking) {
    engine_->PlayCue();
    SetState(DeckState::kSeeking);
    SetButtons(false, false);
  }
  if (const std::optional<int> moved = PositionSliderAction(position_, action, thumb, length_)) {
    SetPosition(*moved);
    engine_->Prime(position_);
    UpdateTime();
  } else if (action == ScrollAction::kThumbTrack) {
    // Dragging: only the time of the tracked place is shown.
    view_->ShowTime(engine_->TimeText(std::clamp(thumb, 0, length_), elapsedMode_));
  }
}

void DeckTransport::PitchSlider(ScrollAction action, int thumb) {
  if (state_ == DeckState::kNoSong) return;
  const PitchStep step = PitchSliderAction(pitchSlider_, action, thumb);
  pitchSlider_ = step.slider;
  if (step.pitch) {
    engine_->SetPitch(*step.pitch);
    view_->ShowPitch(pitchSlider_, PitchLabel(*step.pitch));
  } else {
    view_->ShowPitch(pitchSlider_, PitchLabel(PitchValue()));
  }
}

void DeckTransport::SetPitchThumb(int position) {
  PitchSlider(ScrollAction::kThumbPosition, position);
  PitchSlider(ScrollAction::kThumbTrack, position);
}

void DeckTransport::StepPosition(bool forward) {
  PositionSlider(forward ? ScrollAction::kLineIncrease : ScrollAction::kLineDecrease);
}

void DeckTransport::ZeroPitch() {
  pitchSlider_ = kPitchCentre;
  if (state_ != DeckState::kNoSong) engine_->SetPitch(0);
  view_->ShowPitch(pitchSlider_, PitchLabel(0));
}

void DeckTransport::MainAttenuationSlider(ScrollAction action, int thumb) {
  // Works before the first load too: the crossfader may set it for a deck that is still empty,
  // and the load applies it.
  const std::optional<AttenuationStep> step = AttenuationSliderAction(mainSlider_, action, thumb);
  if (!step) return;
  mainSlider_ = step->slider;
  view_->ShowMainAttenuation(mainSlider_);
  engine_->SetMainVolume(step->volume);
}

void DeckTransport::SetMainAttenuationPosition(int thumb) {
  MainAttenuationSlider(ScrollAction::kThumbPosition, thumb);
}

void DeckTransport::MonitorAttenuationSlider(ScrollAction action, int thumb) {
  if (state_ == DeckState::kNoSong || !monitorOn_) return;
  const std::optional<AttenuationStep> step =
      AttenuationSliderAction(monitorSlider_, action, thumb);
  if (!step) return;
  monitorSlider_ = step->slider;
  view_->ShowMonitorAttenuation(monitorSlider_);
  engine_->SetMonitorVolume(step->volume);
}

// ---- Pitch bend ----

bool DeckTransport::PressBend(BendDirection direction) {
  if (state_ == DeckState::kNoSong || direction == BendDirection::kNone) return false;
  bend_ = direction;
  nudgeCount_ = 0;
  return true;
}

void DeckTransport::BendTick() {
  if (bend_ == BendDirection::kNone) return;
  ++nudgeCount_;
  if (nudgeCount_ > kMaxNudgeTicks) return;  // the bend holds where it is
  const int offset = kNudgeStep * nudgeCount_;
  const int from = FrequencyPitch();
  engine_->SetRate(bend_ == BendDirection::kUp ? from + offset : from - offset);
}

void DeckTransport::ReleaseBend() {
  if (bend_ == BendDirection::kNone) return;
  bend_ = BendDirection::kNone;
  engine_->SetRate(FrequencyPitch());
}

int DeckTransport::FrequencyPitch() const {
  // In Mastertempo the slider is a tempo change and the output runs at the nominal rate; else
  // the slider's value is the frequency change itself.
  return mastertempo_ ? 0 : PitchValue();
}

// ---- Switches ----

void DeckTransport::ToggleMonitor() {
  if (state_ == DeckState::kNoSong || !hasMonitor_) return;
  monitorOn_ = !monitorOn_;
  engine_->SetMonitorVolume(monitorOn_ ? AttenuationVolume(monitorSlider_) : kSilentVolume);
  view_->ShowMonitorLed(monitorOn_);
}

void DeckTransport::ToggleElapsed() {
  if (state_ == DeckState::kNoSong) return;
  elapsedMode_ = 1 - elapsedMode_;
  UpdateTime();
}

void DeckTransport::SetMastertempo(bool on) {
  mastertempo_ = on;
  if (on) {
    // The output returns to the nominal rate and the slider's value becomes the tempo change:
    // the song keeps its speed and gets its key back.
    engine_->ConfigureTempo();
    engine_->SetTempoMode(1);
    engine_->SetRate(0);
    engine_->SetPitch(PitchValue());
  } else {
    engine_->ClearTempoChange();
    engine_->SetTempoMode(0);
    engine_->SetPitch(PitchValue());
  }
}

// ---- View updates ----

void DeckTransport::SetState(DeckState next) {
  state_ = next;
  std::string text = DeckStateWord(state_);
  if (!hasSound_) text += kNoSoundSuffix;
  view_->ShowStatus(text);
}

void DeckTransport::SetButtons(bool playDown, bool cueDown) {
  view_->ShowButtons(playDown, cueDown);
}

void DeckTransport::SetPosition(int value) {
  // The slider keeps within 0 ... length even when the engine's position runs past the end.
  position_ = std::clamp(value, 0, std::max(length_, 0));
  view_->ShowPosition(position_);
}

void DeckTransport::UpdateTime() {
  view_->ShowTime(engine_->TimeText(position_, elapsedMode_));
}

}  // namespace veltro::decks
