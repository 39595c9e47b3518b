// Ten thousand small songs are scanned through the program's scan dialog while two decks play on
// "Null output" with their real timer threads and the mixer's automatic mode crossfades from one
// to the other: the songs arrive, neither device runs dry, the crossfade ends, and the UI thread
// keeps running posted work while the scan runs. The worst lateness of that work is printed,
// never judged: a slow machine must not fail the test. Under a sanitizer the program runs many
// times slower, so there the devices' underruns are not judged either; and the suite stays out
// of the thread-sanitizer pass, where Qt's own image thread pool (not instrumented) shows as
// races in every painted frame.
#include <QCheckBox>
#include <QElapsedTimer>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "app/MainWindowHarness.h"
#include "app/SettingsKeys.h"
#include "decks/DeckTransport.h"
#include "decks/Mixer.h"
#include "decks/ui/MixerWindow.h"
#include "library/LibraryFileBytes.h"
#include "library/SongDatabase.h"
#include "library/ui/ScanDialog.h"
#include "platform/sound/SoundSystem.h"
#include "support/Fixtures.h"

namespace veltro::app {
namespace {

namespace fs = std::filesystem;

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif

// The scanned tree: ten folders of ten folders of a hundred tiny WAV files.
constexpr int kTreeFolders = 100;
constexpr int kSongsPerFolder = 100;
constexpr int kTreeSongs = kTreeFolders * kSongsPerFolder;
constexpr size_t kTinySongDataBytes = 400;

// Deck A's song nears its end (Playstart) soon after it starts, so the automatic mode brings in
// deck B's song, which lasts well past the scan; Fadetime is short so the fade ends early.
constexpr double kFirstSongSeconds = 3.0;
constexpr double kSecondSongSeconds = 20.0;
constexpr int kPlaystartSeconds = 2;
constexpr int kFadetimeSeconds = 1;

constexpr int kProbeIntervalMs = 5;
constexpr int kWaitMs = 120000;  // a generous bound for sanitizer builds on a busy machine

void WriteTree(const fs::path& root) {
  const std::string song = testing::MakeWav(testing::PcmLayout(2, 44100),
                                            std::string(kTinySongDataBytes, '\0'));
  for (int folder = 0; folder < kTreeFolders; ++folder) {
    const fs::path where =
        root / ("d" + std::to_string(folder / 10)) / ("e" + std::to_string(folder % 10));
    fs::create_directories(where);
    for (int i = 0; i < kSongsPerFolder; ++i) {
      testing::WriteBytes((where / ("s" + std::to_string(i) + ".wav")).string(), song);
    }
  }
}

std::string WriteMusic(const fs::path& path, double seconds) {
  testing::WriteBytes(path.string(),
                      testing::MakeWav(testing::PcmLayout(2, 44100),
                                       testing::Pcm16Bytes(testing::MusicLike(44100, seconds, 2))));
  return path.string();
}

// A repeating UI-thread timer that measures how late each run comes after the one before, and
// lets the test sample the program's state at every run.
class UiProbe {
 public:
  explicit UiProbe(std::function<void(qint64 elapsedMs)> sample) : sample_(std::move(sample)) {
    timer_.setTimerType(Qt::PreciseTimer);
    timer_.setInterval(kProbeIntervalMs);
    QObject::connect(&timer_, &QTimer::timeout, [this] { Run(); });
  }
  void Start() {
    clock_.start();
    lastNs_ = 0;
    timer_.start();
  }
  void Stop() { timer_.stop(); }
  int Runs() const { return runs_; }
  qint64 ElapsedMs() const { return clock_.elapsed(); }
  double WorstLateMs() const { return static_cast<double>(worstLateNs_) / 1e6; }
  qint64 WorstAtMs() const { return worstAtMs_; }

 private:
  void Run() {
    const qint64 now = clock_.nsecsElapsed();
    const qint64 lateNs = now - lastNs_ - qint64{kProbeIntervalMs} * 1000000;
    if (lateNs > worstLateNs_) {
      worstLateNs_ = lateNs;
      worstAtMs_ = clock_.elapsed();
    }
    lastNs_ = now;
    ++runs_;
    sample_(clock_.elapsed());
  }

  std::function<void(qint64)> sample_;
  QTimer timer_;
  QElapsedTimer clock_;
  qint64 lastNs_ = 0;
  qint64 worstLateNs_ = 0;
  qint64 worstAtMs_ = 0;
  int runs_ = 0;
};

class ScanWhilePlayingTest : public MainWindowTest {
 protected:
  // Two decks, each on its own "Null output" device, the automatic mode's lead times short, and
  // a library of the two decks' songs.
  void WriteProgramFiles() {
    WriteIni("[MainWnd]\nLanguage=leng.dll\n[Devices]\nMode=" + std::to_string(kDevicePerDeck) +
             "\nCount=2\nCard_0=Null output\nCard_1=Null output\n[present Devices]\nNull output=" +
             platform::sound::SoundSystem::NullOutputGuid() + "\n[Player]\nCount=2\n[Mixer]\n" +
             "Playstart=" + std::to_string(kPlaystartSeconds) +
             "\nFadetime=" + std::to_string(kFadetimeSeconds) + "\n");
    fs::create_directories(dir.Path() / kDataFolder);
    const std::vector<library::Song> songs = {
        {"A", "One", "", "", WriteMusic(dir.Path() / "one.wav", kFirstSongSeconds), 0,
         static_cast<uint32_t>(kFirstSongSeconds * 1000)},
        {"B", "Two", "", "", WriteMusic(dir.Path() / "two.wav", kSecondSongSeconds), 0,
         static_cast<uint32_t>(kSecondSongSeconds * 1000)}};
    testing::WriteBytes((dir.Path() / kDataFolder / "Data.ndb").string(),
                        library::DataFileBytes(songs));
  }

  // The program as it runs for a user: real devices opened by GUID, real deck timers.
  void StartProgram() {
    MainWindowHooks hooks = Hooks();
    hooks.openDevice = nullptr;
    hooks.timerFactory = nullptr;
    hooks.chooseFolder = [this](const QString&) { return QString::fromStdString(Tree()); };
    hooks.scanPlaces = [] { return std::vector<std::string>{}; };
    window = std::make_unique<MainWindow>(hooks);
    window->CreateAndStart();
  }

  std::string Tree() const { return dir.File("tree"); }
  decks::Mixer& Mixer() { return window->Mixer().Logic(); }
  decks::DeckTransport& Deck(size_t index) { return window->Decks()[index].window->Transport(); }

  void CheckMixerBox(int box) {
    auto* check = window->Mixer().Dialog().ControlById<QCheckBox>(box);
    ASSERT_NE(check, nullptr) << box;
    check->click();
  }
};

TEST_F(ScanWhilePlayingTest, DecksPlayAndCrossfadeWhileTenThousandSongsAreScanned) {
  WriteTree(Tree());
  WriteProgramFiles();
  StartProgram();
  ASSERT_EQ(window->Decks().size(), 2u);
  ASSERT_EQ(window->Devices().size(), 2u);
  ASSERT_EQ(window->Library().RecordCount(), 2);
  std::vector<uint64_t> underrunsBefore;
  for (const auto& device : window->Devices()) {
    ASSERT_TRUE(device->IsOpen());
    underrunsBefore.push_back(device->UnderrunCount());
  }

  CheckMixerBox(decks::ui::kAutomaticBox);
  CheckMixerBox(decks::ui::kCrossfadeBox);
  ASSERT_TRUE(Mixer().Automatic() && Mixer().Crossfade());
  window->Library().SetCurrent(0);
  window->RunCommand(kLoadDeckA);
  window->Library().SetCurrent(1);  // the song the automatic mode gives deck B
  window->RunCommand(kPlayDeckA);
  ASSERT_EQ(Deck(0).State(), decks::DeckState::kPlaying);
  // The scan starts at the fade's last step, so that the fade ends and deck A is cued while the
  // scan runs (the fader moves a tenth of its travel per tenth of a second of Fadetime).
  const int lastStep = decks::kFaderMax - (decks::kFaderMax - decks::kFaderMin) /
                                              (10 * kFadetimeSeconds);
  ASSERT_TRUE(QTest::qWaitFor([&] { return Mixer().FaderPosition() >= lastStep; }, kWaitMs));
  EXPECT_EQ(Mixer().Fade(), decks::FadeDirection::kTowardRight);
  for (const size_t deck : {0u, 1u}) {
    EXPECT_EQ(Deck(deck).State(), decks::DeckState::kPlaying) << "as the scan starts: " << deck;
  }

  qint64 fadeEndMs = -1;
  UiProbe probe([&](qint64 elapsedMs) {
    if (fadeEndMs < 0 && Mixer().Fade() == decks::FadeDirection::kNone) fadeEndMs = elapsedMs;
  });
  qint64 scanMs = -1;
  int probesBeforeTheEnd = -1;
  answer = [&](ui::TemplateDialog& dialog) {
    QObject::connect(&dialog, &QDialog::finished, [&] {
      scanMs = probe.ElapsedMs();
      probesBeforeTheEnd = probe.Runs();
    });
    probe.Start();
    dialog.SendCommand(library::ui::kScanAddFolderButton);
    dialog.SendCommand(library::ui::kScanNewButton);
    EXPECT_TRUE(QTest::qWaitFor([&] { return scanMs >= 0; }, kWaitMs));
    probe.Stop();
    return dialog.result();
  };
  window->RunCommand(kFolderScan);

  EXPECT_EQ(shownDialogs, std::vector<std::string>{"SCANDLG"});
  EXPECT_EQ(window->Library().RecordCount(), 2 + kTreeSongs);
  EXPECT_GT(probesBeforeTheEnd, 0) << "the UI thread ran posted work while the scan ran";
  ASSERT_TRUE(QTest::qWaitFor([&] { return Mixer().Fade() == decks::FadeDirection::kNone; },
                              kWaitMs));
  EXPECT_EQ(Mixer().FaderPosition(), decks::kFaderMax);
  EXPECT_EQ(Deck(0).State(), decks::DeckState::kCued) << "the faded-out deck is cued";
  EXPECT_EQ(Deck(1).State(), decks::DeckState::kPlaying);
  EXPECT_GT(Deck(1).Position(), 0);
  for (size_t i = 0; i < underrunsBefore.size() && !kSanitized; ++i) {
    EXPECT_EQ(window->Devices()[i]->UnderrunCount() - underrunsBefore[i], 0u) << "device " << i;
  }

  RecordProperty("worst_ui_late_ms", std::to_string(probe.WorstLateMs()));
  RecordProperty("scan_ms", std::to_string(scanMs));
  std::printf("scan of %d songs: %lld ms, %d UI probes, worst lateness %.1f ms (at %lld ms), "
              "crossfade ended %s%lld ms into the scan\n",
              kTreeSongs, static_cast<long long>(scanMs), probesBeforeTheEnd, probe.WorstLateMs(),
              static_cast<long long>(probe.WorstAtMs()), fadeEndMs < 0 ? "after it, not " : "",
              static_cast<long long>(fadeEndMs));
  EXPECT_TRUE(warnings.empty());
}

}  // namespace
}  // namespace veltro::app
