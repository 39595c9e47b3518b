// The deck's pitch slider, pitch bend, Mastertempo, attenuation sliders and monitor switch,
// measured on the engine's sound buffers and in the rendered output of manual sound devices.
#include <gtest/gtest.h>

#include <cmath>

#include "DeckHarness.h"
#include "MixerTestDoubles.h"

namespace veltro::decks {
namespace {

// 44100 Hz + value * 44 Hz: frequency-mode pitch on a 44.1 kHz song.
constexpr uint32_t FrequencyFor(int value) {
  return static_cast<uint32_t>(44100 + value * 44);
}

class DeckControlsTest : public DeckTest {
 protected:
  void SetUp() override {
    DeckTest::SetUp();
    MakeLibrary({{"Tone", "Sine", "Test", "2024", WriteSong("tone.wav", 4.0), 0, 4000}});
  }
  DeckTransport& Loaded(DeckSettings settings = {},
                        platform::sound::SoundDevice* monitor = nullptr) {
    DeckTransport& d = MakeDeck(settings, nullptr, monitor);
    d.LoadFromLibrary();
    EXPECT_EQ(d.State(), DeckState::kLoaded);
    return d;
  }
  uint32_t Hz() { return deck->Engine().MainFrequencyHz(); }
};

TEST_F(DeckControlsTest, PitchExtremesShowTwelvePointSevenAndSetTheirFrequency) {
  DeckTransport& d = Loaded();
  EXPECT_EQ(Hz(), 44100u);
  d.PitchSlider(ScrollAction::kToMaximum);
  EXPECT_EQ(view.pitchSlider, 255);
  EXPECT_EQ(view.pitchLabel, "12.7");
  EXPECT_EQ(Hz(), FrequencyFor(127));
  d.PitchSlider(ScrollAction::kToMinimum);
  EXPECT_EQ(view.pitchSlider, 0);
  EXPECT_EQ(view.pitchLabel, "-12.7");
  EXPECT_EQ(Hz(), FrequencyFor(-127));
  d.PitchSlider(ScrollAction::kThumbPosition, 180);  // moves the slider only
  EXPECT_EQ(view.pitchSlider, 180);
  EXPECT_EQ(Hz(), FrequencyFor(-127));
  d.PitchSlider(ScrollAction::kLineDecrease);
  EXPECT_EQ(view.pitchLabel, "5.2");
  EXPECT_EQ(Hz(), FrequencyFor(52));
  d.PitchSlider(ScrollAction::kPageIncrease);
  EXPECT_EQ(view.pitchLabel, "6.2");
  d.ZeroPitch();
  EXPECT_EQ(view.pitchSlider, 127);
  EXPECT_EQ(view.pitchLabel, "0");
  EXPECT_EQ(Hz(), 44100u);
}

TEST_F(DeckControlsTest, PlusFiftyWithoutMastertempoPlaysAt46300Hz) {
  DeckTransport& d = Loaded();
  // The controller's pair: thumb position, then thumb track with the same position.
  d.PitchSlider(ScrollAction::kThumbPosition, 177);
  d.PitchSlider(ScrollAction::kThumbTrack, 177);
  EXPECT_EQ(view.pitchLabel, "5");
  EXPECT_EQ(Hz(), 46300u);
  d.PressPlay();
  Tick();
  const auto heard = Render(32768);
  const auto tone = testing::AnalyzeTone(testing::Channel(heard, 2, 0), 44100);
  EXPECT_NEAR(tone.peakHz, 1000.0 * 46300 / 44100, 2.0);
  // The pitch also carries over to the next song.
  d.PressPlay();
  d.LoadFromLibrary();
  EXPECT_EQ(Hz(), 46300u);
}

TEST_F(DeckControlsTest, MastertempoKeepsTheFrequencyAndSwitchingItOffAppliesThePitch) {
  DeckTransport& d = Loaded({.mastertempo = true});
  d.PitchSlider(ScrollAction::kThumbPosition, 177);
  d.PitchSlider(ScrollAction::kThumbTrack, 177);
  EXPECT_EQ(view.pitchLabel, "5");
  EXPECT_EQ(Hz(), 44100u);
  d.PressPlay();
  Tick();
  Tick();
  // Tempo +5 %: the tone stays at 1 kHz.
  const auto tone = testing::AnalyzeTone(testing::Channel(Render(32768), 2, 0), 44100);
  EXPECT_NEAR(tone.peakHz, 1000.0, 2.0);
  EXPECT_NEAR(d.Engine().TempoChangePercent(), 5.0, 1e-9);
  d.SetMastertempo(false);
  EXPECT_EQ(d.Engine().TempoMode(), 0);
  EXPECT_EQ(Hz(), 46300u);
  EXPECT_NEAR(d.Engine().TempoChangePercent(), 0.0, 1e-9);
  // Switching it on again returns to the nominal rate and carries +5 % as the tempo change.
  d.SetMastertempo(true);
  EXPECT_EQ(d.Engine().TempoMode(), 1);
  EXPECT_EQ(Hz(), 44100u);
  EXPECT_NEAR(d.Engine().TempoChangePercent(), 5.0, 1e-9);
  d.ZeroPitch();
  EXPECT_EQ(Hz(), 44100u);
  EXPECT_NEAR(d.Engine().TempoChangePercent(), 0.0, 1e-9);
}

TEST_F(DeckControlsTest, PitchBendRampsOnePercentPerTickUpToThirtyAndReleasesToTheSlider) {
  DeckTransport& d = Loaded();
  d.PitchSlider(ScrollAction::kPageIncrease);  // v = 10
  ASSERT_TRUE(d.PressBend(BendDirection::kUp));
  EXPECT_EQ(d.NudgeCount(), 0);
  EXPECT_EQ(Hz(), FrequencyFor(10));
  d.BendTick();
  EXPECT_EQ(Hz(), FrequencyFor(20));
  d.BendTick();
  EXPECT_EQ(Hz(), FrequencyFor(30));
  for (int i = 2; i < 30; ++i) d.BendTick();
  EXPECT_EQ(d.NudgeCount(), 30);
  EXPECT_EQ(Hz(), FrequencyFor(310));
  d.BendTick();
  d.BendTick();
  EXPECT_EQ(d.NudgeCount(), 32);
  EXPECT_EQ(Hz(), FrequencyFor(310));  // holds after 30 ticks
  d.ReleaseBend();
  EXPECT_EQ(Hz(), FrequencyFor(10));
  d.BendTick();  // released: ticks do nothing
  EXPECT_EQ(Hz(), FrequencyFor(10));

  ASSERT_TRUE(d.PressBend(BendDirection::kDown));
  EXPECT_EQ(d.NudgeCount(), 0);
  for (int i = 0; i < 3; ++i) d.BendTick();
  EXPECT_EQ(Hz(), FrequencyFor(-20));
}

TEST_F(DeckControlsTest, BendInMastertempoMovesTheNominalRateAndReleaseReturnsToIt) {
  DeckTransport& d = Loaded({.mastertempo = true});
  d.PitchSlider(ScrollAction::kThumbPosition, 177);
  d.PitchSlider(ScrollAction::kThumbTrack, 177);  // +50: a tempo change of +5 %
  const auto tempoIsFivePercent = [&d] {
    EXPECT_NEAR(d.Engine().TempoChangePercent(), 5.0, 1e-9);
  };
  for (const BendDirection direction : {BendDirection::kUp, BendDirection::kDown}) {
    const int sign = direction == BendDirection::kUp ? 1 : -1;
    ASSERT_TRUE(d.PressBend(direction));
    d.BendTick();
    EXPECT_EQ(Hz(), FrequencyFor(sign * 10));
    d.BendTick();
    EXPECT_EQ(Hz(), FrequencyFor(sign * 20));
    tempoIsFivePercent();
    d.ReleaseBend();
    EXPECT_EQ(Hz(), 44100u);
    tempoIsFivePercent();
  }
}

// RMS of 0.1 s of output while playing.
double PlayedLevel(platform::sound::SoundDevice& output) {
  std::vector<int16_t> out(2 * 4410);
  output.Render(out.data(), 4410);
  return Rms(out);
}

TEST_F(DeckControlsTest, MainSliderAboveTwentyNineHundredIsSilentAndAtItMinusTwentyNineDb) {
  DeckTransport& d = Loaded();
  d.PressPlay();
  Tick();
  const double full = PlayedLevel(device);
  EXPECT_NEAR(full, 0.5 * 32768 / std::sqrt(2.0), 300.0);
  d.SetMainAttenuationPosition(2950);
  EXPECT_EQ(view.mainSlider, 2950);
  EXPECT_EQ(PlayedLevel(device), 0.0);
  d.SetMainAttenuationPosition(2900);
  EXPECT_NEAR(PlayedLevel(device) / full, std::pow(10.0, -29.0 / 20.0), 0.002);
  d.MainAttenuationSlider(ScrollAction::kLineIncrease);  // tests 2900 before the step
  EXPECT_EQ(view.mainSlider, 2910);
  EXPECT_GT(PlayedLevel(device), 0.0);
  d.MainAttenuationSlider(ScrollAction::kLineIncrease);  // tests 2910
  EXPECT_EQ(PlayedLevel(device), 0.0);
  d.MainAttenuationSlider(ScrollAction::kToMinimum);
  EXPECT_NEAR(PlayedLevel(device), full, 50.0);
  d.MainAttenuationSlider(ScrollAction::kPageIncrease);  // 100: -1 dB
  EXPECT_NEAR(PlayedLevel(device) / full, std::pow(10.0, -1.0 / 20.0), 0.002);
}

TEST_F(DeckControlsTest, MonitorSwitchAndSliderDriveTheMonitorDevice) {
  platform::sound::SoundDevice monitor;
  ASSERT_TRUE(monitor.OpenManual());
  DeckTransport& d = Loaded({}, &monitor);
  EXPECT_TRUE(view.monitorEnabled);
  EXPECT_FALSE(view.ledOn);
  d.PressPlay();
  Tick();
  EXPECT_EQ(PlayedLevel(monitor), 0.0);                           // monitor off: silent
  d.MonitorAttenuationSlider(ScrollAction::kThumbPosition, 600);  // ignored while off
  EXPECT_EQ(d.MonitorAttenuation(), 0);
  d.ToggleMonitor();
  EXPECT_TRUE(view.ledOn);
  const double full = PlayedLevel(monitor);
  EXPECT_GT(full, 10000.0);
  d.MonitorAttenuationSlider(ScrollAction::kThumbPosition, 600);
  EXPECT_EQ(view.monitorSlider, 600);
  EXPECT_NEAR(PlayedLevel(monitor) / full, std::pow(10.0, -6.0 / 20.0), 0.002);
  d.MonitorAttenuationSlider(ScrollAction::kToMaximum);
  EXPECT_EQ(PlayedLevel(monitor), 0.0);
  d.MonitorAttenuationSlider(ScrollAction::kLineDecrease);  // 2990, a step up: audible
  EXPECT_GT(PlayedLevel(monitor), 0.0);
  d.ToggleMonitor();
  EXPECT_FALSE(view.ledOn);
  EXPECT_EQ(PlayedLevel(monitor), 0.0);
  EXPECT_GT(PlayedLevel(device), 10000.0);  // the main output is untouched
}

TEST_F(DeckControlsTest, WithoutAMonitorDeviceTheSwitchIsDisabled) {
  DeckTransport& d = Loaded();
  EXPECT_FALSE(view.monitorEnabled);
  EXPECT_FALSE(d.HasMonitor());
  d.ToggleMonitor();
  EXPECT_FALSE(d.MonitorOn());
  EXPECT_FALSE(view.ledOn);
}

TEST_F(DeckControlsTest, NearEndFollowsTheTimeDisplayAndTheEndWarning) {
  playstart = 1;  // the engine takes the mixer's Playstart seconds as its end warning
  DeckTransport& d = Loaded();
  EXPECT_EQ(d.Engine().EndWarning(), 100);
  EXPECT_FALSE(d.NearEnd());
  d.SetEndWarning(150);
  d.PositionSlider(ScrollAction::kThumbPosition, 260);  // 1.40 s left
  EXPECT_TRUE(d.NearEnd());
  d.PositionSlider(ScrollAction::kThumbPosition, 240);
  EXPECT_FALSE(d.NearEnd());
  // A new load starts with the flag cleared.
  d.PositionSlider(ScrollAction::kThumbPosition, 390);
  EXPECT_TRUE(d.NearEnd());
  d.PressCue();
  d.LoadFromLibrary();
  EXPECT_FALSE(d.NearEnd());
}

TEST_F(DeckControlsTest, CrossfaderSetBeforeTheFirstLoadSilencesThatDeckFromItsFirstSample) {
  DeckTransport& left = MakeDeck();
  RecordingView rightView;
  std::unique_ptr<DeckTransport> right = NewDeck(rightView);
  mixertest::MixerClock clock;
  Mixer mixer(clock, nullptr);
  mixer.ChooseDeck(MixerSide::kLeft, &left);
  mixer.ChooseDeck(MixerSide::kRight, right.get());
  mixer.MoveFader(kFaderMin);  // only the left deck is heard; neither holds a song yet
  EXPECT_EQ(right->MainAttenuation(), 3000);
  EXPECT_EQ(rightView.mainSlider, 3000);
  right->LoadFromLibrary();
  right->PressPlay();
  const auto first = Render(kTickFrames);
  EXPECT_EQ(*std::max_element(first.begin(), first.end()), 0);
  EXPECT_EQ(*std::min_element(first.begin(), first.end()), 0);
  mixer.MoveFader(0);
  EXPECT_GT(Rms(Render(kTickFrames)), 5000.0);
}

}  // namespace
}  // namespace veltro::decks
