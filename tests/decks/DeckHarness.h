// Shared set-up for the deck transport tests: a view that records what it is told, a timer the
// test fires by hand, a UI-thread queue the test drains, WAV songs and a small song library in
// a temporary directory, and an engine on a manual sound device.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "decks/DeckTransport.h"
#include "library/LibraryFileBytes.h"
#include "library/SongDatabase.h"
#include "platform/sound/SoundDevice.h"
#include "support/Fixtures.h"
#include "support/TempDir.h"

namespace veltro::decks {

// Keeps the latest value of everything the transport shows.
class RecordingView : public DeckView {
 public:
  void ShowStatus(const std::string& text) override {
    status = text;
    ++statusCalls;
  }
  void ShowTime(const std::string& text) override { time = text; }
  void ShowPositionRange(int value) override { range = value; }
  void ShowPosition(int value) override { position = value; }
  void ShowPitch(int sliderPosition, const std::string& label) override {
    pitchSlider = sliderPosition;
    pitchLabel = label;
  }
  void ShowMainAttenuation(int value) override { mainSlider = value; }
  void ShowMonitorAttenuation(int value) override { monitorSlider = value; }
  void ShowButtons(bool play, bool cue) override {
    playDown = play;
    cueDown = cue;
  }
  void ShowSong(const std::string& a, const std::string& t) override {
    artist = a;
    title = t;
  }
  void ShowMonitorLed(bool on) override { ledOn = on; }
  void EnableMonitorControls(bool enabled) override { monitorEnabled = enabled; }
  void ShowWarning(int textId, int captionId) override { warnings.emplace_back(textId, captionId); }
  void ShowStatusNote(int textId) override { statusNotes.push_back(textId); }

  std::string status, time, pitchLabel, artist, title;
  int statusCalls = 0, range = -1, position = -1, pitchSlider = -1;
  int mainSlider = -1, monitorSlider = -1;
  bool playDown = false, cueDown = false, ledOn = true, monitorEnabled = true;
  std::vector<std::pair<int, int>> warnings;
  std::vector<int> statusNotes;
};

// Timers the test fires by hand: the test thread stands in for the timer thread. `tick` is the
// timer started last (one deck); TickAll fires every running timer (several decks).
struct ManualTimers {
  class Timer : public DeckTimer {
   public:
    explicit Timer(ManualTimers& timers) : owner_(timers) {}
    ~Timer() override { std::erase_if(owner_.running, [this](auto& r) { return r.first == this; }); }
    bool Start(std::function<void()> callback) override {
      if (owner_.refuseStart) return false;
      owner_.tick = callback;
      owner_.running.emplace_back(this, std::move(callback));
      ++owner_.starts;
      return true;
    }
    void Stop() override {
      owner_.tick = nullptr;
      std::erase_if(owner_.running, [this](auto& r) { return r.first == this; });
    }

   private:
    ManualTimers& owner_;
  };
  // One period of every running timer, in the order they started; a callback may stop timers.
  void TickAll() {
    const auto due = running;
    for (const auto& [timer, callback] : due) {
      if (std::any_of(running.begin(), running.end(), [&](auto& r) { return r.first == timer; })) {
        callback();
      }
    }
  }
  DeckTimerFactory Factory() {
    return [this]() -> std::unique_ptr<DeckTimer> {
      if (noTimer) return nullptr;
      return std::make_unique<Timer>(*this);
    };
  }
  bool Running() const { return static_cast<bool>(tick); }

  std::function<void()> tick;
  std::vector<std::pair<const Timer*, std::function<void()>>> running;
  int starts = 0;
  bool noTimer = false;
  bool refuseStart = false;
};

inline double Rms(const std::vector<int16_t>& samples) {
  double sum = 0;
  for (int16_t s : samples) sum += static_cast<double>(s) * s;
  return samples.empty() ? 0.0 : std::sqrt(sum / static_cast<double>(samples.size()));
}

class DeckTest : public ::testing::Test {
 protected:
  static constexpr size_t kTickFrames = 4410;  // 100 ms at the device rate

  void SetUp() override { ASSERT_TRUE(device.OpenManual()); }

  // A 44.1 kHz stereo WAV song of `seconds` holding a 1 kHz sine at half scale.
  std::string WriteSong(const std::string& name, double seconds, uint32_t rate = 44100) {
    const std::string path = dir.File(name);
    const auto samples = testing::Sine(1000.0, rate, seconds, 2);
    testing::WriteBytes(
        path, testing::MakeWav(testing::PcmLayout(2, rate), testing::Pcm16Bytes(samples)));
    return path;
  }
  // Writes Data/Data.ndb with these songs and opens it; the current record is 0.
  void MakeLibrary(const std::vector<library::Song>& songs) {
    std::filesystem::create_directories(dir.Path() / "Data");
    testing::WriteBytes((dir.Path() / "Data" / "Data.ndb").string(), library::DataFileBytes(songs));
    db = std::make_unique<library::SongDatabase>(dir.Path());
    db->LoadIndexes();  // no index files: the records are read, the indexes left empty
    ASSERT_EQ(db->RecordCount(), static_cast<int>(songs.size()));
  }
  DeckTransport& MakeDeck(DeckSettings settings = {}, platform::sound::SoundDevice* main = nullptr,
                          platform::sound::SoundDevice* monitor = nullptr) {
    deck = NewDeck(view, settings, main, monitor);
    return *deck;
  }
  // A deck on the fixture's device, library, UI queue and timers that shows itself on `shown`.
  std::unique_ptr<DeckTransport> NewDeck(DeckView& shown, DeckSettings settings = {},
                                         platform::sound::SoundDevice* main = nullptr,
                                         platform::sound::SoundDevice* monitor = nullptr) {
    DeckCollaborators parts;
    parts.mainDevice = main != nullptr ? main : &device;
    parts.monitorDevice = monitor;
    parts.library = db.get();
    parts.view = &shown;
    parts.postToUi = [this](std::function<void()> work) { posted.push_back(std::move(work)); };
    parts.timerFactory = timers.Factory();
    parts.playstartSeconds = [this] { return playstart; };
    return std::make_unique<DeckTransport>(std::move(parts), settings);
  }
  // One 100 ms period: the device plays it, then the timer fires and the UI thread runs what
  // the tick posted.
  std::vector<int16_t> Tick(size_t frames = kTickFrames) {
    std::vector<int16_t> out(2 * frames);
    device.Render(out.data(), frames);
    if (timers.tick) timers.tick();
    DrainUi();
    return out;
  }
  void DrainUi() {
    while (!posted.empty()) {
      auto work = std::move(posted.front());
      posted.pop_front();
      work();
    }
  }
  std::vector<int16_t> Render(size_t frames) {
    std::vector<int16_t> out(2 * frames);
    device.Render(out.data(), frames);
    return out;
  }

  testing::TempDir dir;
  platform::sound::SoundDevice device;
  std::unique_ptr<library::SongDatabase> db;
  RecordingView view;
  ManualTimers timers;
  std::deque<std::function<void()>> posted;
  int playstart = 7;
  std::unique_ptr<DeckTransport> deck;  // last: goes before everything it uses
};

}  // namespace veltro::decks
