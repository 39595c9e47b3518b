#include <gtest/gtest.h>

#include <optional>
#include <vector>

#include "decks/Mixer.h"
#include "decks/MixerTestDoubles.h"

namespace veltro::decks {
namespace {

using mixertest::MixerRig;
using std::chrono::milliseconds;

TEST(MixerFader, StartsCentredWithDefaultLeadTimesAndNothingRunning) {
  MixerRig rig;
  EXPECT_EQ(rig.mixer.FaderPosition(), 0);
  EXPECT_EQ(rig.mixer.PlaystartSeconds(), 7);
  EXPECT_EQ(rig.mixer.FadetimeSeconds(), 5);
  EXPECT_EQ(rig.mixer.Deck(MixerSide::kLeft), nullptr);
  EXPECT_EQ(rig.mixer.Deck(MixerSide::kRight), nullptr);
  EXPECT_TRUE(rig.mixer.FadeNowEnabled());
  EXPECT_FALSE(rig.mixer.Automatic());
  EXPECT_FALSE(rig.timers.IsRunning(MixerTimer::kAutomatic));
  EXPECT_FALSE(rig.timers.IsRunning(MixerTimer::kFade));

  const MixerRig clamped(150, -4);
  EXPECT_EQ(clamped.mixer.PlaystartSeconds(), 100);
  EXPECT_EQ(clamped.mixer.FadetimeSeconds(), 0);
}

TEST(MixerFader, AttenuatesOnlyTheDeckOnTheFarSideOfTheCentre) {
  MixerRig rig;
  rig.ChooseBoth();

  rig.mixer.MoveFader(1500);
  EXPECT_EQ(rig.left.attenuation, 1500);
  EXPECT_EQ(rig.left.VolumeCentibels(), std::optional<int>(-1500));  // 15 dB down
  EXPECT_EQ(rig.right.attenuation, 0);
  EXPECT_EQ(rig.right.VolumeCentibels(), std::optional<int>(0));

  rig.mixer.MoveFader(2950);
  EXPECT_EQ(rig.left.VolumeCentibels(), std::nullopt);
  EXPECT_EQ(rig.right.VolumeCentibels(), std::optional<int>(0));

  rig.mixer.MoveFader(2900);
  EXPECT_EQ(rig.left.VolumeCentibels(), std::optional<int>(-2900));

  rig.mixer.MoveFader(-1200);
  EXPECT_EQ(rig.left.attenuation, 0);
  EXPECT_EQ(rig.right.attenuation, 1200);

  rig.mixer.MoveFader(0);
  EXPECT_EQ(rig.left.attenuation, 0);
  EXPECT_EQ(rig.right.attenuation, 0);

  rig.mixer.MoveFader(4000);  // beyond the fader's end
  EXPECT_EQ(rig.mixer.FaderPosition(), 3000);
  EXPECT_EQ(rig.left.attenuation, 3000);
  rig.mixer.MoveFader(-3001);
  EXPECT_EQ(rig.mixer.FaderPosition(), -3000);
  EXPECT_EQ(rig.right.attenuation, 3000);

  // The user's own moves are already on screen; they are not echoed to the view.
  EXPECT_TRUE(rig.view.shownPositions.empty());
}

TEST(MixerFader, AppliesToTheOneDeckChosenSoFar) {
  MixerRig rig;
  rig.mixer.ChooseDeck(MixerSide::kRight, &rig.right);
  rig.mixer.MoveFader(-2000);
  EXPECT_EQ(rig.right.attenuation, 2000);
  EXPECT_EQ(rig.left.attenuation, 0);
  rig.mixer.MoveFader(2000);
  EXPECT_EQ(rig.right.attenuation, 0);
  EXPECT_EQ(rig.left.attenuation, 0);  // not chosen: never touched
}

TEST(MixerFader, LeftClickOnACutButtonSwitchesAndStays) {
  MixerRig rig;
  rig.ChooseBoth();
  rig.mixer.PressCut(MixerSide::kLeft, MouseButton::kLeft);
  EXPECT_EQ(rig.mixer.FaderPosition(), -3000);
  EXPECT_EQ(rig.left.attenuation, 0);
  EXPECT_EQ(rig.right.attenuation, 3000);
  rig.mixer.ReleaseCut(MixerSide::kLeft, MouseButton::kLeft);
  EXPECT_EQ(rig.mixer.FaderPosition(), -3000);

  rig.mixer.PressCut(MixerSide::kRight, MouseButton::kLeft);
  rig.mixer.ReleaseCut(MixerSide::kRight, MouseButton::kLeft);
  EXPECT_EQ(rig.mixer.FaderPosition(), 3000);
  EXPECT_EQ(rig.left.attenuation, 3000);
  EXPECT_EQ(rig.right.attenuation, 0);
  EXPECT_EQ(rig.view.shownPositions, (std::vector<int>{-3000, 3000}));
}

TEST(MixerFader, RightButtonHoldOnACutButtonSwitchesOnlyWhileHeld) {
  MixerRig rig;
  rig.ChooseBoth();
  rig.mixer.MoveFader(700);
  rig.mixer.PressCut(MixerSide::kRight, MouseButton::kRight);
  EXPECT_EQ(rig.mixer.FaderPosition(), 3000);
  EXPECT_EQ(rig.left.VolumeCentibels(), std::nullopt);
  rig.mixer.ReleaseCut(MixerSide::kRight, MouseButton::kRight);
  EXPECT_EQ(rig.mixer.FaderPosition(), 0);  // back to the centre, not to 700
  EXPECT_EQ(rig.left.attenuation, 0);
  EXPECT_EQ(rig.right.attenuation, 0);

  rig.mixer.PressCut(MixerSide::kLeft, MouseButton::kRight);
  EXPECT_EQ(rig.right.attenuation, 3000);
  rig.mixer.ReleaseCut(MixerSide::kLeft, MouseButton::kRight);
  EXPECT_EQ(rig.mixer.FaderPosition(), 0);
  EXPECT_EQ(rig.view.shownPositions, (std::vector<int>{3000, 0, -3000, 0}));
}

TEST(MixerFader, CentreButtonReturnsTheFaderToZero) {
  MixerRig rig;
  rig.ChooseBoth();
  rig.mixer.MoveFader(-2400);
  rig.mixer.Centre();
  EXPECT_EQ(rig.mixer.FaderPosition(), 0);
  EXPECT_EQ(rig.right.attenuation, 0);
  EXPECT_EQ(rig.view.shownPositions, (std::vector<int>{0}));
}

TEST(MixerPlaystart, EditedValueSetsEveryChosenDecksEndWarning) {
  MixerRig rig;
  rig.ChooseBoth();
  rig.left.Prepare(DeckState::kPlaying);  // right deck: engine empty
  rig.mixer.PlaystartTextChanged(7);
  EXPECT_EQ(rig.left.endWarning, 700);
  EXPECT_EQ(rig.right.endWarning, 700);

  rig.mixer.PlaystartTextChanged(250);  // clamped to the range's end
  EXPECT_EQ(rig.mixer.PlaystartSeconds(), 100);
  EXPECT_EQ(rig.left.endWarning, 10000);
  EXPECT_EQ(rig.right.endWarning, 10000);
}

TEST(MixerPlaystart, ArrowClicksReachOnlyDecksWithALoadedEngine) {
  MixerRig rig;
  rig.ChooseBoth();
  rig.mixer.PlaystartTextChanged(7);
  rig.left.Prepare(DeckState::kLoaded);
  rig.mixer.PlaystartStepped(9);
  EXPECT_EQ(rig.mixer.PlaystartSeconds(), 9);
  EXPECT_EQ(rig.left.endWarning, 900);
  EXPECT_EQ(rig.right.endWarning, 700);
}

TEST(MixerPlaystart, EditsWaitWhileFadetimeIsAtItsMaximumAndSkipUnchosenDecks) {
  MixerRig rig(7, 100);
  rig.mixer.ChooseDeck(MixerSide::kLeft, &rig.left);
  rig.mixer.PlaystartTextChanged(12);
  EXPECT_EQ(rig.mixer.PlaystartSeconds(), 12);
  EXPECT_EQ(rig.left.endWarning, -1);

  rig.mixer.SetFadetimeSeconds(99);
  rig.mixer.PlaystartTextChanged(12);
  EXPECT_EQ(rig.left.endWarning, 1200);
  EXPECT_EQ(rig.right.endWarning, -1);  // never chosen
}

}  // namespace
}  // namespace veltro::decks
