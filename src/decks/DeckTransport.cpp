#include "decks/DeckTransport.h"

#include <algorithm>
#include <cstdio>

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
    : engine(std::make_unique<engine::PlayerEngine>()),
      library(collaborators.library),
      view(collaborators.view),
      postToUi(std::move(collaborators.postToUi)),
      timerFactory(std::move(collaborators.timerFactory)),
      playstartSeconds(std::move(collaborators.playstartSeconds)),
      autoCue(settings.autoCue),
      elapsedMode(settings.elapsedMode != 0 ? 1 : 0),
      mastertempo(settings.mastertempo) {
  // An unopened device would make every load fail; without it the deck still works, silently.
  platform::sound::SoundDevice* main = OpenedOrNull(collaborators.mainDevice);
  platform::sound::SoundDevice* monitor = OpenedOrNull(collaborators.monitorDevice);
  engine->AttachDevices(main, monitor);
  hasSound = main != nullptr;
  hasMonitor = monitor != nullptr;
  engine->SetTempoMode(mastertempo ? 1 : 0);
  view->EnableMonitorControls(hasMonitor);
  view->ShowMonitorLed(false);
  view->ShowPitch(pitchSlider, PitchLabel(0));
  view->ShowMainAttenuation(mainSlider);
  view->ShowMonitorAttenuation(monitorSlider);
  view->ShowButtons(false, false);
  view->ShowTime(kNoSongTime);
  SetState(DeckState::kNoSong);
}

DeckTransport::~DeckTransport() {
  StopTimer();
  engine->Unload();
}

// ---- Loading ----

void DeckTransport::LoadFromLibrary() {
  if (IsBusy() || library == nullptr) return;
  const library::SongRecord record = library->GetCurrentRecord();
  const std::string path(library::FieldText(record.path));
  if (!CanOpenForReading(path)) {
    view->ShowWarning(kCannotOpenTextId, kCannotOpenCaptionId);
    return;
  }
  song = record;
  if (!LoadEngine(path, UpperExtension(path))) return;
  songPath = path;
  FinishLoad(autoCue, std::string(library::FieldText(song.artist)),
             std::string(library::FieldText(song.songName)));
}

void DeckTransport::DropFiles(const std::vector<std::string>& paths) {
  if (paths.empty() || IsBusy()) return;
  const std::string& path = paths.front();
  const std::optional<std::string> extension = SongExtension(path);
  if (!extension) return;
  if (!LoadEngine(path, *extension)) return;
  // The deck's song is now this file: its cue is the library's when the library holds it, else
  // none yet (and a cue set on it is kept in the deck only).
  const int record = library != nullptr ? library->RecordWithPath(path) : -1;
  song = record >= 0 ? library->Records()[static_cast<size_t>(record)] : library::EmptyRecord();
  songPath = path;
  FinishLoad(false, FileNamePart(path), "");  // Cue-Load is for library loads only
}

bool DeckTransport::LoadEngine(const std::string& path, const std::string& extension) {
  if (engine->IsLoaded()) engine->Unload();
  const int playstart = playstartSeconds ? playstartSeconds() : 0;
  if (engine->Load(path, playstart, extension)) return true;
  // The file opened but is no song the engine can play: the previous song is gone already.
  length = 0;
  SetPosition(0);
  view->ShowPositionRange(0);
  view->ShowSong("", "");
  view->ShowButtons(false, false);
  view->ShowTime(kNoSongTime);
  SetState(DeckState::kNoSong);
  view->ShowWarning(kCannotOpenTextId, kCannotOpenCaptionId);
  return false;
}

void DeckTransport::FinishLoad(bool atCue, const std::string& artist, const std::string& title) {
  length = engine->Length();
  view->ShowPositionRange(length);
  SetPosition(atCue ? CueStart() : 0);
  engine->Prime(position);
  ApplyVolumesAndPitch();
  SetState(DeckState::kLoaded);
  view->ShowSong(artist, title);
  SetButtons(false, true);
  engine->ResetEndCount();
  UpdateTime();  // also recomputes the engine's near-end flag for the new song
}

void DeckTransport::ApplyVolumesAndPitch() {
  engine->SetMainVolume(AttenuationVolume(mainSlider));
  engine->SetPitch(PitchValue());
  engine->SetMonitorVolume(monitorOn ? AttenuationVolume(monitorSlider) : kSilentVolume);
}

// ---- Play and cue ----

void DeckTransport::PressPlay() {
  switch (state) {
    case DeckState::kNoSong:
      return;
    case DeckState::kPlaying:
      StopPlaying();
      SetState(DeckState::kPaused);
      SetButtons(false, false);
      return;
    case DeckState::kSeeking:
      engine->StopCue();
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
  if (state == DeckState::kNoSong || state == DeckState::kCued) return;
  if (state == DeckState::kPlaying) StopPlaying();
  bool cueStored = true;
  if (state != DeckState::kSeeking) {
    SetPosition(CueStart());
  } else {
    // Scrubbed to a new place: it becomes the song's cue position.
    engine->StopCue();
    song.cuePosition = static_cast<uint32_t>(position);
    cueStored = StoreCue();
  }
  engine->Prime(position);
  SetState(DeckState::kCued);
  SetButtons(false, true);
  UpdateTime();
  if (!cueStored) view->ShowStatusNote(kCueNotStoredTextId);
}

bool DeckTransport::StoreCue() {
  // By path, not through the library's current record: the selection, the playlist or the
  // automatic mode may have moved that to another song since this one was loaded.
  return library != nullptr && library->SetCuePositionOfPath(songPath, song.cuePosition);
}

int DeckTransport::CueStart() const {
  return static_cast<int>(std::min<uint32_t>(song.cuePosition, static_cast<uint32_t>(length)));
}

bool DeckTransport::StartPlaying() {
  std::unique_ptr<DeckTimer> next = timerFactory ? timerFactory() : nullptr;
  if (!next) return false;
  const uint64_t generation = ++timerGeneration;
  engine::PlayerEngine* player = engine.get();
  auto post = postToUi;
  std::weak_ptr<bool> weak = alive;
  // Timer thread: only the engine's Service; the rest of the tick runs on the UI thread.
  auto tick = [this, player, post, weak, generation] {
    const int heard = player->Service();
    post([this, weak, generation, heard] {
      if (!weak.expired()) OnTimerTick(generation, heard);
    });
  };
  if (!next->Start(std::move(tick))) return false;
  timer = std::move(next);
  engine->Play();
  SetState(DeckState::kPlaying);
  SetButtons(true, false);
  return true;
}

void DeckTransport::StopPlaying() {
  StopTimer();
  engine->Stop();
}

void DeckTransport::StopTimer() {
  if (timer) {
    timer->Stop();
    timer.reset();
  }
  ++timerGeneration;  // ticks already posted are now stale
}

void DeckTransport::OnTimerTick(uint64_t generation, int heard) {
  if (generation != timerGeneration || state != DeckState::kPlaying) return;
  SetPosition(heard);
  UpdateTime();
  if (engine->EndCount() >= kEndTicks) EndOfSong();
}

void DeckTransport::EndOfSong() {
  // The half holding the song's last audio has been played out: back to the start, or to the
  // song's cue with Cue-Load, ready to play it again from where a load would start it.
  StopTimer();
  engine->Stop();
  SetPosition(autoCue ? CueStart() : 0);
  SetButtons(false, true);
  engine->ResetEndCount();
  engine->Prime(position);
  SetState(DeckState::kEnded);
  UpdateTime();
}

// ---- Sliders ----

void DeckTransport::PositionSlider(ScrollAction action, int thumb) {
  if (state == DeckState::kNoSong) return;
  if (state == DeckState::kPlaying) StopPlaying();
  if (state != DeckState::kSeeking) {
    engine->PlayCue();
    SetState(DeckState::kSeeking);
    SetButtons(false, false);
  }
  if (const std::optional<int> moved = PositionSliderAction(position, action, thumb, length)) {
    SetPosition(*moved);
    engine->Prime(position);
    UpdateTime();
  } else if (action == ScrollAction::kThumbTrack) {
    // Dragging: only the time of the tracked place is shown.
    view->ShowTime(engine->TimeText(std::clamp(thumb, 0, length), elapsedMode));
  }
}

void DeckTransport::PitchSlider(ScrollAction action, int thumb) {
  if (state == DeckState::kNoSong) return;
  const PitchStep step = PitchSliderAction(pitchSlider, action, thumb);
  pitchSlider = step.slider;
  if (step.pitch) {
    engine->SetPitch(*step.pitch);
    view->ShowPitch(pitchSlider, PitchLabel(*step.pitch));
  } else {
    view->ShowPitch(pitchSlider, PitchLabel(PitchValue()));
  }
}

void DeckTransport::ZeroPitch() {
  pitchSlider = kPitchCentre;
  if (state != DeckState::kNoSong) engine->SetPitch(0);
  view->ShowPitch(pitchSlider, PitchLabel(0));
}

void DeckTransport::MainAttenuationSlider(ScrollAction action, int thumb) {
  // Works before the first load too: the crossfader may set it for a deck that is still empty,
  // and the load applies it.
  const std::optional<AttenuationStep> step = AttenuationSliderAction(mainSlider, action, thumb);
  if (!step) return;
  mainSlider = step->slider;
  view->ShowMainAttenuation(mainSlider);
  engine->SetMainVolume(step->volume);
}

void DeckTransport::SetMainAttenuationPosition(int thumb) {
  MainAttenuationSlider(ScrollAction::kThumbPosition, thumb);
}

void DeckTransport::MonitorAttenuationSlider(ScrollAction action, int thumb) {
  if (state == DeckState::kNoSong || !monitorOn) return;
  const std::optional<AttenuationStep> step = AttenuationSliderAction(monitorSlider, action, thumb);
  if (!step) return;
  monitorSlider = step->slider;
  view->ShowMonitorAttenuation(monitorSlider);
  engine->SetMonitorVolume(step->volume);
}

// ---- Pitch bend ----

bool DeckTransport::PressBend(BendDirection direction) {
  if (state == DeckState::kNoSong || direction == BendDirection::kNone) return false;
  bend = direction;
  nudgeCount = 0;
  return true;
}

void DeckTransport::BendTick() {
  if (bend == BendDirection::kNone) return;
  ++nudgeCount;
  if (nudgeCount > kMaxNudgeTicks) return;  // the bend holds where it is
  const int offset = kNudgeStep * nudgeCount;
  const int from = FrequencyPitch();
  engine->SetRate(bend == BendDirection::kUp ? from + offset : from - offset);
}

void DeckTransport::ReleaseBend() {
  if (bend == BendDirection::kNone) return;
  bend = BendDirection::kNone;
  engine->SetRate(FrequencyPitch());
}

int DeckTransport::FrequencyPitch() const {
  // In Mastertempo the slider is a tempo change and the output runs at the nominal rate; else
  // the slider's value is the frequency change itself.
  return mastertempo ? 0 : PitchValue();
}

// ---- Switches ----

void DeckTransport::ToggleMonitor() {
  if (state == DeckState::kNoSong || !hasMonitor) return;
  monitorOn = !monitorOn;
  engine->SetMonitorVolume(monitorOn ? AttenuationVolume(monitorSlider) : kSilentVolume);
  view->ShowMonitorLed(monitorOn);
}

void DeckTransport::ToggleElapsed() {
  if (state == DeckState::kNoSong) return;
  elapsedMode = 1 - elapsedMode;
  UpdateTime();
}

void DeckTransport::SetMastertempo(bool on) {
  mastertempo = on;
  if (on) {
    // The output returns to the nominal rate and the slider's value becomes the tempo change:
    // the song keeps its speed and gets its key back.
    engine->ConfigureTempo();
    engine->SetTempoMode(1);
    engine->SetRate(0);
    engine->SetPitch(PitchValue());
  } else {
    engine->ClearTempoChange();
    engine->SetTempoMode(0);
    engine->SetPitch(PitchValue());
  }
}

// ---- View updates ----

void DeckTransport::SetState(DeckState next) {
  state = next;
  std::string text = DeckStateWord(state);
  if (!hasSound) text += kNoSoundSuffix;
  view->ShowStatus(text);
}

void DeckTransport::SetButtons(bool playDown, bool cueDown) {
  view->ShowButtons(playDown, cueDown);
}

void DeckTransport::SetPosition(int value) {
  // The slider keeps within 0 ... length even when the engine's position runs past the end.
  position = std::clamp(value, 0, std::max(length, 0));
  view->ShowPosition(position);
}

void DeckTransport::UpdateTime() {
  view->ShowTime(engine->TimeText(position, elapsedMode));
}

}  // namespace veltro::decks
