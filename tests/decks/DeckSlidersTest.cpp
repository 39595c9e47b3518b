// The slider arithmetic of a deck, action by action.
#include <gtest/gtest.h>

#include "decks/DeckSliders.h"

namespace veltro::decks {
namespace {

using A = ScrollAction;

TEST(DeckSliders, PitchActionsMoveTheSliderAndSetTheValueOfTheirRow) {
  struct Row {
    int slider;
    A action;
    int given;
    int expectedSlider;
    std::optional<int> expectedPitch;
  };
  const Row rows[] = {
      {127, A::kLineDecrease, 0, 126, -1},      {127, A::kLineIncrease, 0, 128, 1},
      {127, A::kPageDecrease, 0, 117, -10},     {127, A::kPageIncrease, 0, 137, 10},
      {140, A::kThumbTrack, 200, 140, 73},      {140, A::kThumbPosition, 200, 200, std::nullopt},
      {90, A::kToMinimum, 0, 0, -127},          {90, A::kToMaximum, 0, 255, 127},
      {0, A::kLineDecrease, 0, 0, -127},        {250, A::kPageIncrease, 0, 255, 128},
      {60, A::kEndScroll, 0, 60, std::nullopt},
  };
  for (const Row& row : rows) {
    const PitchStep step = PitchSliderAction(row.slider, row.action, row.given);
    EXPECT_EQ(step.slider, row.expectedSlider) << static_cast<int>(row.action);
    EXPECT_EQ(step.pitch, row.expectedPitch) << static_cast<int>(row.action);
  }
}

TEST(DeckSliders, PitchLabelHasThreeSignificantDigits) {
  EXPECT_EQ(PitchLabel(127), "12.7");
  EXPECT_EQ(PitchLabel(-127), "-12.7");
  EXPECT_EQ(PitchLabel(53), "5.3");
  EXPECT_EQ(PitchLabel(0), "0");
  EXPECT_EQ(PitchLabel(100), "10");
  EXPECT_EQ(PitchLabel(-1), "-0.1");
}

TEST(DeckSliders, AttenuationIsSilentAboveTwentyNineHundredAfterDownwardMoves) {
  struct Row {
    int slider;
    A action;
    int given;
    int expectedSlider;
    int expectedVolume;
  };
  const Row rows[] = {
      {0, A::kThumbPosition, 2950, 2950, -10000},
      {0, A::kThumbPosition, 2900, 2900, -2900},
      {0, A::kThumbTrack, 2901, 2901, -10000},
      {1200, A::kLineIncrease, 0, 1210, -1210},
      {1200, A::kPageDecrease, 0, 1100, -1100},
      // Steps down test the position they started from.
      {2895, A::kLineIncrease, 0, 2905, -2905},
      {2905, A::kLineIncrease, 0, 2915, -10000},
      {2850, A::kPageIncrease, 0, 2950, -2950},
      {2901, A::kPageIncrease, 0, 3000, -10000},
      // Steps up never silence.
      {2990, A::kLineDecrease, 0, 2980, -2980},
      {2000, A::kToMinimum, 0, 0, 0},
      {10, A::kToMaximum, 0, 3000, -10000},
      {5, A::kPageDecrease, 0, 0, 0},
  };
  for (const Row& row : rows) {
    const auto step = AttenuationSliderAction(row.slider, row.action, row.given);
    ASSERT_TRUE(step.has_value());
    EXPECT_EQ(step->slider, row.expectedSlider)
        << row.slider << " " << static_cast<int>(row.action);
    EXPECT_EQ(step->volume, row.expectedVolume)
        << row.slider << " " << static_cast<int>(row.action);
  }
  EXPECT_FALSE(AttenuationSliderAction(100, A::kEndScroll, 0).has_value());
  EXPECT_EQ(AttenuationVolume(2900), -2900);
  EXPECT_EQ(AttenuationVolume(2901), -10000);
  EXPECT_EQ(AttenuationVolume(0), 0);
}

TEST(DeckSliders, PositionStepsStayWithinTheSong) {
  EXPECT_EQ(PositionSliderAction(100, A::kLineIncrease, 0, 300), 101);
  EXPECT_EQ(PositionSliderAction(100, A::kLineDecrease, 0, 300), 99);
  EXPECT_EQ(PositionSliderAction(100, A::kPageIncrease, 0, 300), 110);
  EXPECT_EQ(PositionSliderAction(5, A::kPageDecrease, 0, 300), 0);
  EXPECT_EQ(PositionSliderAction(295, A::kPageIncrease, 0, 300), 300);
  EXPECT_EQ(PositionSliderAction(100, A::kToMinimum, 0, 300), 0);
  EXPECT_EQ(PositionSliderAction(100, A::kToMaximum, 0, 300), 300);
  EXPECT_EQ(PositionSliderAction(100, A::kThumbPosition, 250, 300), 250);
  EXPECT_EQ(PositionSliderAction(100, A::kThumbPosition, 999, 300), 300);
  EXPECT_FALSE(PositionSliderAction(100, A::kThumbTrack, 250, 300).has_value());
  EXPECT_FALSE(PositionSliderAction(100, A::kEndScroll, 0, 300).has_value());
}

}  // namespace
}  // namespace veltro::decks
