#include <gtest/gtest.h>

#include <vector>

#include "decks/Mixer.h"
#include "decks/MixerTestDoubles.h"

namespace veltro::decks {
namespace {

using mixertest::MixerRig;
using std::chrono::milliseconds;

TEST(MixerAutomatic, NearEndOfRightDeckCrossfadesToTheNextEntryOnTheLeft) {
  MixerRig rig(7, 5);
  rig.ChooseBoth();
  rig.mixer.SetCrossfade(true);
  rig.right.Prepare(DeckState::kPlaying);
  rig.left.Prepare(DeckState::kCued);
  rig.mixer.SetAutomatic(true);
  EXPECT_TRUE(rig.timers.IsRunning(MixerTimer::kAutomatic));

  rig.timers.Advance(milliseconds(1000));  // two ticks, nothing near its end
  EXPECT_EQ(rig.library.entriesTaken, 0);
  EXPECT_EQ(rig.left.state, DeckState::kCued);

  rig.right.nearEnd = true;  // 6.99 s left at a 7 s warning
  rig.timers.Advance(milliseconds(499));
  EXPECT_EQ(rig.library.entriesTaken, 0);
  rig.timers.Advance(milliseconds(1));  // the tick at 1.5 s
  EXPECT_EQ(rig.library.entriesTaken, 1);
  EXPECT_EQ(rig.left.loadedRecords, (std::vector<int>{2}));  // the entry taken, not the old one
  EXPECT_EQ(rig.left.state, DeckState::kPlaying);
  EXPECT_EQ(rig.mixer.FaderPosition(), 3000);
  EXPECT_EQ(rig.left.attenuation, 3000);
  EXPECT_EQ(rig.right.attenuation, 0);
  EXPECT_EQ(rig.mixer.Fade(), FadeDirection::kTowardLeft);
  EXPECT_TRUE(rig.mixer.FadeNowEnabled());

  const milliseconds fadeStart = rig.timers.Now();
  rig.timers.Advance(milliseconds(100));
  EXPECT_EQ(rig.mixer.FaderPosition(), 2880);  // 6000 / 50 per tick
  rig.timers.Advance(milliseconds(2400));
  EXPECT_EQ(rig.mixer.FaderPosition(), 0);
  EXPECT_EQ(rig.left.attenuation, 0);
  rig.timers.Advance(milliseconds(2500));  // 50th tick: the far end, not yet cued
  EXPECT_EQ(rig.mixer.FaderPosition(), -3000);
  EXPECT_EQ(rig.right.attenuation, 3000);
  EXPECT_TRUE(rig.right.cueTimes.empty());
  rig.timers.Advance(milliseconds(100));  // 51st tick
  ASSERT_EQ(rig.right.cueTimes.size(), 1u);
  const milliseconds fadeLength = rig.right.cueTimes[0] - fadeStart;
  EXPECT_GE(fadeLength.count(), 5000);
  EXPECT_LE(fadeLength.count(), 5200);
  EXPECT_EQ(rig.right.state, DeckState::kCued);
  EXPECT_FALSE(rig.timers.IsRunning(MixerTimer::kFade));
  EXPECT_EQ(rig.mixer.Fade(), FadeDirection::kNone);

  // The stale near-end flag of the cued deck starts nothing more while the left deck plays.
  rig.timers.Advance(milliseconds(5000));
  EXPECT_EQ(rig.library.entriesTaken, 1);
  EXPECT_EQ(rig.right.cueTimes.size(), 1u);
  EXPECT_EQ(rig.mixer.FaderPosition(), -3000);
}

TEST(MixerAutomatic, NearEndOfLeftDeckFadesToTheRightWithoutLockingFadeNow) {
  MixerRig rig(7, 1);
  rig.ChooseBoth();
  rig.mixer.SetCrossfade(true);
  rig.left.Prepare(DeckState::kPlaying);
  rig.left.nearEnd = true;
  rig.mixer.SetAutomatic(true);
  rig.timers.Advance(milliseconds(500));
  EXPECT_EQ(rig.right.state, DeckState::kPlaying);
  EXPECT_EQ(rig.right.loadedRecords, (std::vector<int>{2}));
  EXPECT_EQ(rig.mixer.Fade(), FadeDirection::kTowardRight);
  EXPECT_EQ(rig.mixer.FaderPosition(), -3000);
  EXPECT_TRUE(rig.mixer.FadeNowEnabled());

  rig.timers.Advance(milliseconds(1000));  // Fadetime 1: ten steps of 600
  EXPECT_EQ(rig.mixer.FaderPosition(), 3000);
  EXPECT_TRUE(rig.left.cueTimes.empty());
  rig.timers.Advance(milliseconds(100));
  ASSERT_EQ(rig.left.cueTimes.size(), 1u);
  EXPECT_EQ(rig.left.cueTimes[0], milliseconds(1600));
  EXPECT_EQ(rig.view.fadeNowStates, (std::vector<bool>{true}));
}

TEST(MixerAutomatic, WithoutCrossfadeSwitchesDecksWithoutMovingTheFaderOrCueing) {
  MixerRig rig;
  rig.ChooseBoth();
  rig.mixer.MoveFader(-500);
  rig.right.Prepare(DeckState::kPlaying);
  rig.right.nearEnd = true;
  rig.mixer.SetAutomatic(true);
  rig.timers.Advance(milliseconds(500));
  EXPECT_EQ(rig.left.state, DeckState::kPlaying);
  EXPECT_EQ(rig.library.entriesTaken, 1);
  EXPECT_EQ(rig.mixer.FaderPosition(), -500);
  EXPECT_FALSE(rig.timers.IsRunning(MixerTimer::kFade));

  rig.timers.Advance(milliseconds(10000));
  EXPECT_EQ(rig.mixer.FaderPosition(), -500);
  EXPECT_TRUE(rig.right.cueTimes.empty());
  EXPECT_EQ(rig.right.state, DeckState::kPlaying);
  EXPECT_TRUE(rig.view.shownPositions.empty());
}

TEST(MixerAutomatic, StartsAtMostOneDeckPerTickAndStopsWhenSwitchedOff) {
  MixerRig rig;
  rig.ChooseBoth();
  rig.left.Prepare(DeckState::kPaused);
  rig.right.Prepare(DeckState::kPaused);
  rig.left.nearEnd = true;
  rig.right.nearEnd = true;
  rig.mixer.SetAutomatic(true);
  rig.timers.Advance(milliseconds(500));
  EXPECT_EQ(rig.library.entriesTaken, 1);  // the left deck is served first
  EXPECT_EQ(rig.left.state, DeckState::kPlaying);
  EXPECT_EQ(rig.right.state, DeckState::kPaused);

  rig.mixer.SetAutomatic(false);
  EXPECT_FALSE(rig.timers.IsRunning(MixerTimer::kAutomatic));
  rig.left.nearEnd = true;  // cleared by the load; near its end again
  rig.timers.Advance(milliseconds(3000));
  EXPECT_EQ(rig.library.entriesTaken, 1);
  EXPECT_EQ(rig.right.state, DeckState::kPaused);
}

TEST(MixerAutomatic, WithoutAPlaylistTheDeckLoadsTheLibrarysCurrentRecord) {
  MixerRig rig;
  rig.mixer.SetTakeNextEntry(nullptr);
  rig.ChooseBoth();
  rig.right.Prepare(DeckState::kPlaying);
  rig.right.nearEnd = true;
  rig.mixer.SetAutomatic(true);
  rig.timers.Advance(milliseconds(500));
  EXPECT_EQ(rig.left.loadedRecords, (std::vector<int>{1}));
  EXPECT_EQ(rig.left.state, DeckState::kPlaying);
}

TEST(MixerFadeNow, FadeToTheRightLocksTheButtonUntilTheLeftDeckIsCued) {
  MixerRig rig;
  rig.ChooseBoth();
  rig.left.Prepare(DeckState::kPlaying);
  rig.mixer.FadeNow();
  EXPECT_EQ(rig.mixer.FaderPosition(), -3000);
  EXPECT_EQ(rig.right.attenuation, 3000);
  EXPECT_EQ(rig.right.state, DeckState::kPlaying);
  EXPECT_EQ(rig.library.entriesTaken, 1);
  EXPECT_EQ(rig.mixer.Fade(), FadeDirection::kTowardRight);
  EXPECT_FALSE(rig.mixer.FadeNowEnabled());
  EXPECT_TRUE(rig.timers.IsRunning(MixerTimer::kFade));

  // The crossfade box is clear: the first step jumps to the far end and cues the old deck.
  rig.timers.Advance(milliseconds(100));
  EXPECT_EQ(rig.mixer.FaderPosition(), 3000);
  EXPECT_EQ(rig.left.state, DeckState::kCued);
  EXPECT_TRUE(rig.mixer.FadeNowEnabled());
  EXPECT_FALSE(rig.timers.IsRunning(MixerTimer::kFade));
  EXPECT_EQ(rig.view.fadeNowStates, (std::vector<bool>{false, true}));
  EXPECT_EQ(rig.view.shownPositions, (std::vector<int>{-3000, 3000}));
}

TEST(MixerFadeNow, FadeToTheLeftKeepsTheButtonEnabledAndBothPlayingDoesNothing) {
  MixerRig rig;
  rig.ChooseBoth();
  rig.mixer.SetCrossfade(true);
  rig.right.Prepare(DeckState::kPlaying);
  rig.mixer.FadeNow();
  EXPECT_EQ(rig.mixer.Fade(), FadeDirection::kTowardLeft);
  EXPECT_EQ(rig.mixer.FaderPosition(), 3000);
  EXPECT_EQ(rig.left.state, DeckState::kPlaying);
  EXPECT_TRUE(rig.mixer.FadeNowEnabled());

  rig.timers.Advance(milliseconds(2000));
  EXPECT_EQ(rig.mixer.FaderPosition(), 3000 - 20 * 120);
  rig.mixer.FadeNow();  // both decks play now
  EXPECT_EQ(rig.library.entriesTaken, 1);
  EXPECT_EQ(rig.mixer.Fade(), FadeDirection::kTowardLeft);

  rig.timers.Advance(milliseconds(3100));
  EXPECT_EQ(rig.right.state, DeckState::kCued);
  EXPECT_EQ(rig.right.cueTimes, (std::vector<milliseconds>{milliseconds(5100)}));
  EXPECT_TRUE(rig.view.fadeNowStates.empty() || rig.view.fadeNowStates.back());
  for (bool enabled : rig.view.fadeNowStates) EXPECT_TRUE(enabled);
}

TEST(MixerFadeNow, FadetimeZeroJumpsOnTheNextTick) {
  MixerRig rig(7, 0);
  rig.ChooseBoth();
  rig.mixer.SetCrossfade(true);
  rig.left.Prepare(DeckState::kPlaying);
  rig.mixer.FadeNow();
  rig.timers.Advance(milliseconds(99));
  EXPECT_EQ(rig.mixer.FaderPosition(), -3000);
  EXPECT_TRUE(rig.left.cueTimes.empty());
  rig.timers.Advance(milliseconds(1));
  EXPECT_EQ(rig.mixer.FaderPosition(), 3000);
  EXPECT_EQ(rig.left.attenuation, 3000);
  EXPECT_EQ(rig.left.cueTimes, (std::vector<milliseconds>{milliseconds(100)}));
  EXPECT_FALSE(rig.timers.IsRunning(MixerTimer::kFade));
}

TEST(MixerFadeNow, UnevenStepsReachTheEndClampedAndFadetimeIsReadEachTick) {
  MixerRig rig(7, 7);  // 70 steps of 85: 69 ticks reach 2865, the 70th 2950, the 71st 3000
  rig.ChooseBoth();
  rig.mixer.SetCrossfade(true);
  rig.left.Prepare(DeckState::kPlaying);
  rig.mixer.FadeNow();
  rig.timers.Advance(milliseconds(7000));
  EXPECT_EQ(rig.mixer.FaderPosition(), 2950);
  rig.timers.Advance(milliseconds(100));
  EXPECT_EQ(rig.mixer.FaderPosition(), 3000);
  EXPECT_TRUE(rig.left.cueTimes.empty());
  rig.timers.Advance(milliseconds(100));
  EXPECT_EQ(rig.left.cueTimes, (std::vector<milliseconds>{milliseconds(7200)}));

  rig.mixer.SetCrossfade(true);
  rig.right.Prepare(DeckState::kPlaying);
  rig.mixer.FadeNow();              // toward the left from +3000
  rig.mixer.SetFadetimeSeconds(2);  // 20 steps of 300
  rig.timers.Advance(milliseconds(100));
  EXPECT_EQ(rig.mixer.FaderPosition(), 2700);
}

TEST(MixerDeckChoice, NothingFadesOrStartsBeforeBothDecksAreChosen) {
  MixerRig rig;
  rig.mixer.SetCrossfade(true);
  rig.mixer.ChooseDeck(MixerSide::kLeft, &rig.left);
  rig.left.Prepare(DeckState::kPlaying);
  rig.left.nearEnd = true;
  rig.mixer.SetAutomatic(true);
  rig.mixer.FadeNow();
  rig.timers.Advance(milliseconds(2000));
  EXPECT_EQ(rig.library.entriesTaken, 0);
  EXPECT_EQ(rig.mixer.Fade(), FadeDirection::kNone);
  EXPECT_TRUE(rig.mixer.FadeNowEnabled());
  EXPECT_FALSE(rig.timers.IsRunning(MixerTimer::kFade));
  EXPECT_EQ(rig.right.state, DeckState::kNoSong);

  rig.mixer.ChooseDeck(MixerSide::kLeft, nullptr);
  rig.mixer.ChooseDeck(MixerSide::kRight, &rig.right);
  rig.right.Prepare(DeckState::kPlaying);
  rig.right.nearEnd = true;
  rig.timers.Advance(milliseconds(2000));
  rig.mixer.FadeNow();
  EXPECT_EQ(rig.library.entriesTaken, 0);
  EXPECT_EQ(rig.mixer.FaderPosition(), 0);

  rig.mixer.ChooseDeck(MixerSide::kLeft, &rig.left);  // now the next tick acts
  rig.left.state = DeckState::kCued;
  rig.timers.Advance(milliseconds(500));
  EXPECT_EQ(rig.library.entriesTaken, 1);
  EXPECT_EQ(rig.left.state, DeckState::kPlaying);
}

TEST(MixerDeckChoice, ForgettingADeckEndsARunningFadeWithoutCueing) {
  MixerRig rig;
  rig.ChooseBoth();
  rig.mixer.SetCrossfade(true);
  rig.left.Prepare(DeckState::kPlaying);
  rig.mixer.FadeNow();
  rig.timers.Advance(milliseconds(1000));
  rig.mixer.ForgetDeck(&rig.left);
  EXPECT_EQ(rig.mixer.Deck(MixerSide::kLeft), nullptr);
  EXPECT_EQ(rig.mixer.Deck(MixerSide::kRight), &rig.right);
  EXPECT_FALSE(rig.timers.IsRunning(MixerTimer::kFade));
  EXPECT_TRUE(rig.mixer.FadeNowEnabled());
  rig.timers.Advance(milliseconds(10000));
  EXPECT_TRUE(rig.left.cueTimes.empty());
  EXPECT_EQ(rig.left.state, DeckState::kPlaying);
}

}  // namespace
}  // namespace veltro::decks
