// The deck's state machine over a real engine on a manual sound device, with real WAV songs and
// a real song library: loading, play, pause, cue, scrubbing and the end of a song.
#include <gtest/gtest.h>

#include "DeckHarness.h"
#include "support/Mp3Encoder.h"

namespace veltro::decks {
namespace {

class DeckTransportTest : public DeckTest {
 protected:
  // A library of a 3 s song (cue at 1.50 s), a 2 s song and a song whose file is missing.
  void SetUp() override {
    DeckTest::SetUp();
    songA_ = WriteSong("a.wav", 3.0);
    songB_ = WriteSong("b.wav", 2.0);
    MakeLibrary({{"Artist A", "Title A", "Rock", "1999", songA_, 150, 3000},
                 {"Artist B", "Title B", "Pop", "2001", songB_, 40, 2000},
                 {"Gone", "Missing", "Pop", "2001", dir.File("missing.wav"), 0, 0}});
  }
  DeckTransport& LoadedDeck(DeckSettings settings = {}) {
    DeckTransport& d = MakeDeck(settings);
    d.LoadFromLibrary();
    EXPECT_EQ(d.State(), DeckState::kLoaded);
    return d;
  }
  void PlayTicks(int ticks) {
    for (int i = 0; i < ticks; ++i) Tick();
  }
  // Plays from where the deck is until it ends (at most 6 s); what was heard on the left.
  std::vector<double> PlayUntilEnded(DeckTransport& d) {
    d.PressPlay();
    std::vector<double> heard;
    for (int ticks = 0; d.State() == DeckState::kPlaying && ticks < 60; ++ticks) {
      const auto step = testing::Channel(Tick(), 2, 0);
      heard.insert(heard.end(), step.begin(), step.end());
      if (d.State() == DeckState::kPlaying) {
        EXPECT_LE(view.position, d.Length());
      }
    }
    EXPECT_EQ(d.State(), DeckState::kEnded);
    return heard;
  }
  // Data.ndb as the test wrote it, with the cue positions of the records given.
  std::string LibraryBytesWithCues(uint32_t cueA, uint32_t cueB) {
    return library::DataFileBytes({{"Artist A", "Title A", "Rock", "1999", songA_, cueA, 3000},
                                   {"Artist B", "Title B", "Pop", "2001", songB_, cueB, 2000},
                                   {"Gone", "Missing", "Pop", "2001", dir.File("missing.wav"), 0, 0}});
  }
  std::string LibraryBytesOnDisk() { return testing::ReadBytes((dir.Path() / "Data" / "Data.ndb").string()); }
  std::string songA_, songB_;
};

TEST_F(DeckTransportTest, BeforeTheFirstLoadEveryTransportControlWaits) {
  DeckTransport& d = MakeDeck();
  EXPECT_EQ(view.status, "Status");
  EXPECT_EQ(view.time, "No Song");
  EXPECT_EQ(view.pitchLabel, "0");
  EXPECT_FALSE(view.monitorEnabled);  // no monitor device
  d.PressPlay();
  d.PressCue();
  d.PositionSlider(ScrollAction::kPageIncrease);
  d.PitchSlider(ScrollAction::kToMaximum);
  d.MainAttenuationSlider(ScrollAction::kThumbPosition, 2000);
  d.ToggleElapsed();
  EXPECT_FALSE(d.PressBend(BendDirection::kUp));
  EXPECT_EQ(d.State(), DeckState::kNoSong);
  EXPECT_EQ(timers.starts, 0);
  EXPECT_EQ(d.PitchPosition(), 127);
  EXPECT_EQ(d.MainAttenuation(), 2000);  // kept for the first load (the crossfader sets it)
  EXPECT_EQ(d.ElapsedMode(), 1);
  EXPECT_FALSE(d.EngineLoaded());
}

TEST_F(DeckTransportTest, LibraryLoadPrimesAtZeroOrAtTheCueWithCueLoad) {
  DeckTransport& d = LoadedDeck();
  EXPECT_EQ(view.status, "loaded");
  EXPECT_EQ(view.artist, "Artist A");
  EXPECT_EQ(view.title, "Title A");
  EXPECT_EQ(view.range, 300);
  EXPECT_EQ(view.position, 0);
  EXPECT_FALSE(view.playDown);
  EXPECT_TRUE(view.cueDown);
  EXPECT_EQ(view.time, "00:00:00:00");
  EXPECT_EQ(d.Engine().EndWarning(), 700);  // the mixer's Playstart (7 s) reached the engine
  d.SetAutoCue(true);
  d.PressCue();  // loaded -> cued
  db->SetCurrent(1);
  d.LoadFromLibrary();
  EXPECT_EQ(d.State(), DeckState::kLoaded);
  EXPECT_EQ(view.artist, "Artist B");
  EXPECT_EQ(view.range, 200);
  EXPECT_EQ(view.position, 40);
  EXPECT_EQ(view.time, "00:00:00:40");
  d.ToggleElapsed();
  EXPECT_EQ(view.time, "-00:00:01:60");
}

TEST_F(DeckTransportTest, UnopenableLibrarySongWarnsAndKeepsSongAndState) {
  DeckTransport& d = LoadedDeck();
  d.PressCue();
  db->SetCurrent(2);
  d.LoadFromLibrary();
  ASSERT_EQ(view.warnings.size(), 1u);
  EXPECT_EQ(view.warnings[0], std::make_pair(903, 902));
  EXPECT_EQ(d.State(), DeckState::kCued);
  EXPECT_EQ(view.artist, "Artist A");
  EXPECT_EQ(std::string(library::FieldText(d.Song().artist)), "Artist A");
  EXPECT_TRUE(d.EngineLoaded());
  EXPECT_EQ(view.range, 300);
}

TEST_F(DeckTransportTest, LoadsAreIgnoredWhilePlayingOrSeeking) {
  DeckTransport& d = LoadedDeck();
  d.PressPlay();
  db->SetCurrent(1);
  d.LoadFromLibrary();
  d.DropFiles({songB_});
  EXPECT_EQ(d.State(), DeckState::kPlaying);
  EXPECT_EQ(view.artist, "Artist A");
  d.PositionSlider(ScrollAction::kLineIncrease);
  d.LoadFromLibrary();
  d.DropFiles({songB_});
  EXPECT_EQ(d.State(), DeckState::kSeeking);
  EXPECT_EQ(view.range, 300);
  d.PressPlay();
  d.PressPlay();  // paused: loads work again
  d.LoadFromLibrary();
  EXPECT_EQ(d.State(), DeckState::kLoaded);
  EXPECT_EQ(view.range, 200);
  EXPECT_TRUE(view.warnings.empty());
}

TEST_F(DeckTransportTest, DroppedSongsLoadByExtensionFirstFileOnly) {
  const std::string mp3 = dir.File("dropped song.mp3");
  const auto bytes = testing::EncodeMp3(testing::Sine(440, 44100, 1.0, 2), {});
  ASSERT_FALSE(bytes.empty());
  testing::WriteBytes(mp3,
                      std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
  const std::string mpeg = dir.File("other.mpeg");
  testing::WriteBytes(mpeg,
                      std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));

  DeckTransport& d = MakeDeck({.autoCue = true});
  d.DropFiles({mpeg, mp3});  // only the first counts, and it is no song
  EXPECT_EQ(d.State(), DeckState::kNoSong);
  d.DropFiles({mp3, mpeg});
  EXPECT_EQ(d.State(), DeckState::kLoaded);
  EXPECT_TRUE(d.EngineLoaded());
  EXPECT_EQ(view.artist, "dropped song.mp3");
  EXPECT_EQ(view.title, "");
  EXPECT_EQ(view.position, 0);
  EXPECT_GE(view.range, 99);
  EXPECT_LE(view.range, 106);
  // Dropping never applies Cue-Load; a dropped file the library holds brings its record.
  d.DropFiles({songA_});
  EXPECT_EQ(view.range, 300);
  EXPECT_EQ(view.position, 0);
  EXPECT_EQ(library::FieldText(d.Song().path), songA_);
  EXPECT_EQ(d.Song().cuePosition, 150u);
  EXPECT_TRUE(view.warnings.empty());
}

// The tag editor's saves reach the deck holding the song: its texts change, its cue does not; a
// save of another song, or of a song dropped on the deck, leaves what the deck shows.
TEST_F(DeckTransportTest, EditedTextsOfTheLoadedSongAreShownAtOnce) {
  DeckTransport& d = LoadedDeck();
  library::SongRecord edited = db->GetCurrentRecord();
  library::StoreField(edited.artist, "New Artist");
  library::StoreField(edited.songName, "New Title");
  edited.cuePosition = 999;
  library::SongRecord other = db->Records()[1];
  library::StoreField(other.artist, "Other");
  d.SongEdited(other);
  EXPECT_EQ(view.artist, "Artist A");
  d.SongEdited(edited);
  EXPECT_EQ(view.artist, "New Artist");
  EXPECT_EQ(view.title, "New Title");
  EXPECT_EQ(library::FieldText(d.Song().artist), "New Artist");
  EXPECT_EQ(d.Song().cuePosition, 150u);
  d.DropFiles({songB_});
  library::StoreField(other.artist, "Dropped");
  d.SongEdited(other);
  EXPECT_EQ(view.artist, "b.wav");
  EXPECT_EQ(library::FieldText(d.Song().artist), "Dropped");
}

TEST_F(DeckTransportTest, PlayThenPlayPausesAndResumesAtTheSamePlace) {
  DeckTransport& d = LoadedDeck();
  d.PressPlay();
  EXPECT_EQ(view.status, "playing");
  EXPECT_TRUE(view.playDown);
  EXPECT_FALSE(view.cueDown);
  EXPECT_TRUE(timers.Running());
  PlayTicks(8);
  const int paused = view.position;
  EXPECT_GT(paused, 40);
  EXPECT_LT(paused, 90);
  d.PressPlay();
  EXPECT_EQ(view.status, "paused");
  EXPECT_FALSE(view.playDown);
  EXPECT_FALSE(timers.Running());
  EXPECT_EQ(Rms(Render(kTickFrames)), 0.0);  // stopped: nothing is heard
  EXPECT_EQ(view.position, paused);
  d.PressPlay();
  EXPECT_EQ(view.status, "playing");
  EXPECT_GT(Rms(Tick()), 5000.0);
  // The position carries on from the pause, one tick later.
  EXPECT_GE(view.position, paused);
  EXPECT_LE(view.position, paused + 15);
  EXPECT_EQ(timers.starts, 2);
}

TEST_F(DeckTransportTest, CueWhilePlayingReturnsToTheCueAndASecondCueDoesNothing) {
  DeckTransport& d = LoadedDeck();
  d.PressPlay();
  PlayTicks(5);
  d.PressCue();
  EXPECT_EQ(d.State(), DeckState::kCued);
  EXPECT_EQ(view.status, "cued");
  EXPECT_EQ(view.position, 150);
  EXPECT_EQ(view.time, "00:00:01:50");
  EXPECT_FALSE(view.playDown);
  EXPECT_TRUE(view.cueDown);
  EXPECT_FALSE(timers.Running());
  const int statusCalls = view.statusCalls;
  d.PressCue();
  EXPECT_EQ(view.statusCalls, statusCalls);
  EXPECT_EQ(d.State(), DeckState::kCued);
  // Play from the cue: the first tick reports a position just after 1.50 s.
  d.PressPlay();
  Tick();
  EXPECT_GE(view.position, 150);
  EXPECT_LE(view.position, 165);
}

TEST_F(DeckTransportTest, ScrubFromPausedLoopsTheSnippetAndCueStoresThePlace) {
  DeckTransport& d = LoadedDeck();
  d.PressPlay();
  PlayTicks(4);
  d.PressPlay();
  const int paused = view.position;
  d.PositionSlider(ScrollAction::kLineIncrease);
  EXPECT_EQ(view.status, "seeking");
  EXPECT_FALSE(view.playDown);
  EXPECT_FALSE(view.cueDown);
  EXPECT_EQ(view.position, paused + 1);
  d.PositionSlider(ScrollAction::kPageIncrease);
  EXPECT_EQ(d.State(), DeckState::kSeeking);
  const int scrubbed = paused + 11;
  EXPECT_EQ(view.position, scrubbed);
  // The cue snippet loops: its length is the cue buffer (27136 bytes = 6784 frames).
  const auto heard = Render(3 * 6784);
  EXPECT_GT(Rms(heard), 5000.0);
  for (size_t i = 0; i < 2 * 6784; i += 97) EXPECT_EQ(heard[i], heard[i + 2 * 6784]) << i;
  d.PressCue();
  EXPECT_EQ(d.State(), DeckState::kCued);
  EXPECT_EQ(view.position, scrubbed);
  EXPECT_EQ(d.Song().cuePosition, static_cast<uint32_t>(scrubbed));
  EXPECT_EQ(Rms(Render(kTickFrames)), 0.0);  // the snippet stopped
  library::SongDatabase reopened(dir.Path());
  reopened.LoadIndexes();
  ASSERT_EQ(reopened.RecordCount(), 3);
  EXPECT_EQ(reopened.Records()[0].cuePosition, static_cast<uint32_t>(scrubbed));
  EXPECT_EQ(reopened.Records()[1].cuePosition, 40u);
}

TEST_F(DeckTransportTest, PositionSliderActionsWhileSeeking) {
  DeckTransport& d = LoadedDeck();
  d.PositionSlider(ScrollAction::kToMaximum);
  EXPECT_EQ(d.State(), DeckState::kSeeking);
  EXPECT_EQ(view.position, 300);
  EXPECT_EQ(view.time, "00:00:03:00");
  d.PositionSlider(ScrollAction::kThumbPosition, 120);
  EXPECT_EQ(view.position, 120);
  d.PositionSlider(ScrollAction::kThumbTrack, 250);
  EXPECT_EQ(view.position, 120);  // tracking shows the time only
  EXPECT_EQ(view.time, "00:00:02:50");
  d.PositionSlider(ScrollAction::kToMinimum);
  EXPECT_EQ(view.position, 0);
  d.PositionSlider(ScrollAction::kLineDecrease);
  EXPECT_EQ(view.position, 0);
  d.PressPlay();
  EXPECT_EQ(d.State(), DeckState::kPlaying);
  EXPECT_TRUE(timers.Running());
}

// Everything of the 2 s song was heard before the end: its 88200 frames (plus the processor's
// latency), and the last loud frame came before the state changed.
void ExpectWholeSongHeard(const std::vector<double>& heard) {
  const long lastLoud = testing::LastLoudSample(heard, 0.1);
  EXPECT_GE(lastLoud, 88200 - 10);
  EXPECT_LT(lastLoud, 88200 + 4410);
}

TEST_F(DeckTransportTest, SongPlaysToItsLastAudioThenEndsAtZeroAndPlaysFromTheStart) {
  db->SetCurrent(1);  // 2 s
  DeckTransport& d = LoadedDeck();
  ExpectWholeSongHeard(PlayUntilEnded(d));
  EXPECT_EQ(view.status, "ended");
  EXPECT_EQ(view.position, 0);
  EXPECT_FALSE(view.playDown);
  EXPECT_TRUE(view.cueDown);
  EXPECT_EQ(d.Engine().EndCount(), 0);
  EXPECT_FALSE(timers.Running());
  d.PressPlay();
  Tick();
  EXPECT_EQ(d.State(), DeckState::kPlaying);
  EXPECT_LE(view.position, 15);
  EXPECT_GT(Rms(Tick()), 5000.0);
}

TEST_F(DeckTransportTest, ScrubbingIntoTheLastHalfSecondTwiceStillPlaysToTheTrueEnd) {
  db->SetCurrent(1);  // 2 s
  DeckTransport& d = LoadedDeck();
  d.PositionSlider(ScrollAction::kThumbPosition, 170);
  d.PositionSlider(ScrollAction::kThumbPosition, 190);
  EXPECT_EQ(d.Engine().EndCount(), 2);  // both halves hold the end: counted afresh each time
  d.PositionSlider(ScrollAction::kToMinimum);
  EXPECT_EQ(d.Engine().EndCount(), 0);
  ExpectWholeSongHeard(PlayUntilEnded(d));
}

TEST_F(DeckTransportTest, WithCueLoadTheEndReturnsToTheCueAndPlaysFromThere) {
  db->SetCurrent(1);  // 2 s, cue at 0.40 s
  DeckTransport& d = LoadedDeck({.autoCue = true});
  EXPECT_EQ(view.position, 40);
  PlayUntilEnded(d);
  EXPECT_EQ(view.position, 40);
  EXPECT_EQ(view.time, "00:00:00:40");
  EXPECT_EQ(d.Engine().EndCount(), 0);
  d.PressPlay();
  Tick();
  EXPECT_GE(view.position, 40);
  EXPECT_LE(view.position, 55);
}

TEST_F(DeckTransportTest, ANewCueGoesToTheDecksOwnRecordWhereverTheSelectionMoved) {
  DeckTransport& d = LoadedDeck();  // song A, cue 1.50 s
  db->SetCurrent(1);                // the library's selection moves on to song B
  d.PositionSlider(ScrollAction::kThumbPosition, 120);
  d.PressCue();
  EXPECT_EQ(LibraryBytesOnDisk(), LibraryBytesWithCues(120, 40));
  EXPECT_EQ(db->Records()[0].cuePosition, 120u);
  EXPECT_EQ(db->Records()[1].cuePosition, 40u);
  EXPECT_TRUE(view.statusNotes.empty());
  EXPECT_EQ(view.status, "cued");

  // A dropped song the library holds keeps its cue there too.
  d.DropFiles({songB_});
  EXPECT_EQ(d.Song().cuePosition, 40u);
  d.PositionSlider(ScrollAction::kThumbPosition, 90);
  d.PressCue();
  EXPECT_EQ(LibraryBytesOnDisk(), LibraryBytesWithCues(120, 90));
}

TEST_F(DeckTransportTest, ACueOnADroppedFileOutsideTheLibraryStaysInTheDeckAndSaysSo) {
  DeckTransport& d = MakeDeck();
  const std::string before = LibraryBytesOnDisk();
  d.DropFiles({WriteSong("outside.wav", 2.0)});
  EXPECT_EQ(d.Song().cuePosition, 0u);
  d.PositionSlider(ScrollAction::kThumbPosition, 75);
  d.PressCue();
  EXPECT_EQ(LibraryBytesOnDisk(), before);
  EXPECT_EQ(view.statusNotes, std::vector<int>{kCueNotStoredTextId});
  EXPECT_EQ(d.Song().cuePosition, 75u);
  d.PressPlay();
  d.PressCue();  // back to the cue kept in the deck
  EXPECT_EQ(view.position, 75);
  EXPECT_EQ(view.status, "cued");
  EXPECT_EQ(view.statusNotes.size(), 1u);
}

TEST_F(DeckTransportTest, CueFromLoadedPausedAndEndedGoesToTheStoredCue) {
  db->SetCurrent(1);  // 2 s, cue at 0.40 s
  DeckTransport& d = LoadedDeck();
  d.PressCue();
  EXPECT_EQ(d.State(), DeckState::kCued);
  EXPECT_EQ(view.position, 40);
  d.PressPlay();
  PlayTicks(3);
  d.PressPlay();
  ASSERT_EQ(d.State(), DeckState::kPaused);
  EXPECT_GT(view.position, 50);
  d.PressCue();
  EXPECT_EQ(d.State(), DeckState::kCued);
  EXPECT_EQ(view.position, 40);
  d.PressPlay();
  for (int i = 0; i < 40 && d.State() == DeckState::kPlaying; ++i) Tick();
  ASSERT_EQ(d.State(), DeckState::kEnded);
  d.PressCue();
  EXPECT_EQ(d.State(), DeckState::kCued);
  EXPECT_EQ(view.position, 40);
  EXPECT_EQ(d.Song().cuePosition, 40u);  // only a cue from seeking stores a new one
}

TEST_F(DeckTransportTest, MissingTimerLeavesTheDeckWhereItWas) {
  DeckTransport& d = LoadedDeck();
  timers.noTimer = true;
  d.PressPlay();
  EXPECT_EQ(d.State(), DeckState::kLoaded);
  EXPECT_FALSE(view.playDown);
  timers.noTimer = false;
  timers.refuseStart = true;
  d.PressPlay();
  EXPECT_EQ(d.State(), DeckState::kLoaded);
  EXPECT_EQ(Rms(Render(kTickFrames)), 0.0);
  timers.refuseStart = false;
  d.PressPlay();
  EXPECT_EQ(d.State(), DeckState::kPlaying);
}

TEST_F(DeckTransportTest, StaleTicksAfterAPauseChangeNothing) {
  DeckTransport& d = LoadedDeck();
  d.PressPlay();
  PlayTicks(3);
  Render(kTickFrames);
  timers.tick();  // the timer thread serviced, but the UI thread has not run the rest yet
  d.PressPlay();
  const int paused = view.position;
  DrainUi();
  EXPECT_EQ(view.position, paused);
  EXPECT_EQ(d.State(), DeckState::kPaused);
}

TEST_F(DeckTransportTest, DeckWithoutAnOpenDeviceWorksSilentlyAndSaysSo) {
  platform::sound::SoundDevice closed;  // never opened
  DeckTransport& d = MakeDeck({}, &closed);
  EXPECT_FALSE(d.HasSound());
  EXPECT_EQ(view.status, "Status (no sound)");
  d.LoadFromLibrary();
  EXPECT_EQ(view.status, "loaded (no sound)");
  EXPECT_EQ(view.range, 300);
  d.PressPlay();
  EXPECT_EQ(view.status, "playing (no sound)");
  Tick();
  d.PressCue();
  EXPECT_EQ(d.State(), DeckState::kCued);
  EXPECT_EQ(view.position, 150);
  EXPECT_EQ(d.Engine().MainFrequencyHz(), 0u);
}

}  // namespace
}  // namespace veltro::decks
