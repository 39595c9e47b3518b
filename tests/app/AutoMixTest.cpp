// The whole automatic mix in the program: three songs are sent to the playlist, "Auto" and then
// "Fade now" start it, and the mixer's automatic mode plays the playlist through with a
// crossfade into each next song. Everything runs on one clock the test advances in 100 ms
// steps: the manual sound device renders the mix, the decks' playback timers fire, and the
// mixer's automatic and fade timers fall due.
#include <QCoreApplication>
#include <QPushButton>
#include <chrono>
#include <cmath>
#include <string>
#include <vector>

#include "app/MainWindowHarness.h"
#include "decks/DeckTransport.h"
#include "decks/MixerTestDoubles.h"
#include "decks/ui/MixerWindow.h"
#include "library/LibraryFileBytes.h"
#include "library/SongDatabase.h"
#include "playlist/Playlist.h"
#include "playlist/ui/PlaylistWindow.h"
#include "support/Fixtures.h"

namespace veltro::app {
namespace {

using std::chrono::milliseconds;

constexpr size_t kTickFrames = 4410;  // 100 ms at the device rate
constexpr int kPlaystartSeconds = 2;
constexpr int kFadetimeSeconds = 1;
// Quieter than the quietest moment of a fade, where one deck plays at -24 dB or better.
constexpr double kSilenceRms = 100.0;

double BlockRms(const std::vector<int16_t>& block) {
  double sum = 0;
  for (int16_t s : block) sum += static_cast<double>(s) * s;
  return std::sqrt(sum / static_cast<double>(block.size()));
}

// A song start seen by the test: which deck, which file, and the deck's position right then.
struct SongStart {
  int deck;
  std::string path;
  int positionHundredths;
};

class AutoMixTest : public MainWindowTest {
 protected:
  // Three sine songs of different pitch, long enough for Playstart and Fadetime.
  void WriteSongs() {
    const double seconds[] = {4.0, 4.0, 6.0};
    const double hz[] = {440.0, 660.0, 990.0};
    std::vector<library::Song> songs;
    for (int i = 0; i < 3; ++i) {
      const std::string path = dir.File(std::string(1, static_cast<char>('a' + i)) + ".wav");
      testing::WriteBytes(path, testing::MakeWav(testing::PcmLayout(2, 44100),
                                                 testing::Pcm16Bytes(testing::Sine(
                                                     hz[i], 44100, seconds[i], 2))));
      songs.push_back({"Artist", "Song " + std::to_string(i + 1), "", "", path, 0,
                       static_cast<uint32_t>(seconds[i] * 1000)});
      paths.push_back(path);
    }
    std::filesystem::create_directories(dir.Path() / "Data");
    testing::WriteBytes((dir.Path() / "Data" / "Data.ndb").string(),
                        library::DataFileBytes(songs));
  }

  // One 100 ms step of the whole program; returns the mix the device played in it.
  std::vector<int16_t> Step() {
    std::vector<int16_t> block(2 * kTickFrames);
    window->Devices().front()->Render(block.data(), kTickFrames);
    timers.TickAll();
    QCoreApplication::processEvents();
    clock.Advance(milliseconds(100));
    QCoreApplication::processEvents();
    return block;
  }

  decks::DeckTransport& Deck(int i) { return window->Decks().at(i).window->Transport(); }

  // Notes every deck that has just started a song.
  void NoteStarts(std::vector<SongStart>& starts, std::vector<bool>& wasPlaying) {
    for (int i = 0; i < 2; ++i) {
      const bool playing = Deck(i).State() == decks::DeckState::kPlaying;
      if (playing && !wasPlaying[i]) {
        starts.push_back({i, std::string(library::FieldText(Deck(i).Song().path)),
                          Deck(i).Position()});
      }
      wasPlaying[i] = playing;
    }
  }

  decks::mixertest::MixerClock clock;
  std::vector<std::string> paths;
};

TEST_F(AutoMixTest, PlaylistOfThreeSongsPlaysThroughWithTwoCrossfades) {
  WriteSongs();
  WriteDeviceSettings(0, 1, 2,
                      "[Mixer]\nPlaystart=" + std::to_string(kPlaystartSeconds) +
                          "\nFadetime=" + std::to_string(kFadetimeSeconds) + "\n");
  MainWindowHooks hooks = Hooks();
  hooks.mixerTimers = &clock;
  window = std::make_unique<MainWindow>(hooks);
  window->CreateAndStart();
  clock.Connect(window->Mixer().Logic());
  ASSERT_EQ(window->Library().RecordCount(), 3);
  window->Mixer().Logic().SetCrossfade(true);

  window->RunCommand(kOpenPlaylist);
  for (int record = 0; record < 3; ++record) {
    window->Library().SetCurrent(record);
    window->RunCommand(kSendSong);
  }
  ASSERT_EQ(window->Playlist().Logic().Count(), 3);
  window->Playlist().Logic().SetMarker(2);  // Auto starts from the first entry whatever it was
  QPushButton* autoButton = window->Playlist().Button(playlist::ui::kPlaylistAutoButton);
  ASSERT_NE(autoButton, nullptr);
  autoButton->click();
  ASSERT_TRUE(window->Mixer().Logic().Automatic());
  window->Mixer().Logic().FadeNow();

  std::vector<SongStart> starts;
  std::vector<bool> wasPlaying(2, false);
  NoteStarts(starts, wasPlaying);
  int fades = 0;
  bool fading = window->Mixer().Logic().Fade() != decks::FadeDirection::kNone;
  int silentRun = 0, longestSilentRun = 0;
  bool heard = false;
  // The third song plays on until well after the second crossfade; then the test ends, before
  // the playlist would wrap round to its first song.
  for (int tick = 0; tick < 70; ++tick) {
    const double rms = BlockRms(Step());
    heard = heard || rms > kSilenceRms;
    silentRun = heard && rms <= kSilenceRms ? silentRun + 1 : 0;
    longestSilentRun = std::max(longestSilentRun, silentRun);
    NoteStarts(starts, wasPlaying);
    const bool nowFading = window->Mixer().Logic().Fade() != decks::FadeDirection::kNone;
    if (fading && !nowFading) ++fades;
    fading = nowFading;
  }

  // "Fade now" brought in the first song; the automatic mode crossfaded twice.
  EXPECT_EQ(fades, 3);
  ASSERT_EQ(starts.size(), 3u);
  const int expectedDeck[] = {1, 0, 1};  // the right deck first: it is the idle one
  for (size_t i = 0; i < starts.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(starts[i].deck, expectedDeck[i]);
    EXPECT_EQ(starts[i].path, paths[i]);
    EXPECT_EQ(starts[i].positionHundredths, 0);  // from its first sample
  }
  EXPECT_LE(longestSilentRun, 1);
  EXPECT_EQ(Deck(1).State(), decks::DeckState::kPlaying);
  EXPECT_EQ(Deck(0).State(), decks::DeckState::kCued);
  EXPECT_EQ(window->Mixer().Logic().FaderPosition(), decks::kFaderMax);
}

}  // namespace
}  // namespace veltro::app
