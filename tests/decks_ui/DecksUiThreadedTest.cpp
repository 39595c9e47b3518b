// Two decks playing on "Null output" with their real 100 ms timer threads while the test (UI)
// thread moves the crossfader and the pitch bars: the ticks must reach the windows only through
// the event queue, and the device must never run dry.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QScrollBar>
#include <QSlider>
#include <QTest>

#include "DeckWindowHarness.h"
#include "decks/ui/MixerWindow.h"
#include "platform/sound/SoundSystem.h"
#include "ui/DialogBuilder.h"

namespace veltro::decks::ui {
namespace {

constexpr int kRunMs = 10000;
constexpr double kSongSeconds = 14.0;

class DecksUiThreadedTest : public DeckWindowTest {
 protected:
  PlayerWindow& RealDeck(const std::string& name) {
    PlayerWindowSetup setup;
    setup.deckName = name;
    setup.mainDevice = &nullDevice;
    setup.library = db.get();
    setup.language = &language;  // timerFactory left empty: the real timer thread
    windows.push_back(std::make_unique<PlayerWindow>(std::move(setup)));
    return *windows.back();
  }
  platform::sound::SoundDevice nullDevice;
};

TEST_F(DecksUiThreadedTest, TwoDecksPlayWhileTheFaderAndPitchMove) {
  ASSERT_TRUE(nullDevice.Open(platform::sound::SoundSystem::NullOutputGuid()));
  MakeLibrary({{"A", "One", "", "", WriteSong("one.wav", kSongSeconds), 0, 14000},
               {"B", "Two", "", "", WriteSong("two.wav", kSongSeconds), 0, 10000}});
  MixerWindow mixer(&language, nullptr);
  PlayerWindow& left = RealDeck("Player 00");
  PlayerWindow& right = RealDeck("Player 01");
  for (PlayerWindow* window : {&left, &right}) {
    window->SetMixerWindow(&mixer);
    mixer.AddDeck(QString::fromStdString(window->DeckName()), &window->Transport());
  }
  mixer.ChooseDeck(MixerSide::kLeft, &left.Transport());
  mixer.ChooseDeck(MixerSide::kRight, &right.Transport());
  left.RunCommand(kCommandLoad);
  db->SetCurrent(1);
  right.RunCommand(kCommandLoad);
  left.RunCommand(kCommandPlay);
  right.RunCommand(kCommandPlay);
  ASSERT_EQ(left.Transport().State(), DeckState::kPlaying);
  ASSERT_EQ(right.Transport().State(), DeckState::kPlaying);

  auto* fader = mixer.Dialog().ControlById<QSlider>(kCrossfader);
  ASSERT_NE(fader, nullptr);
  QElapsedTimer clock;
  clock.start();
  int step = 0;
  while (clock.elapsed() < kRunMs) {
    fader->setValue((step * 250) % 6000 - 3000);
    for (PlayerWindow* window : {&left, &right}) {
      window->Controls().pitchBar->triggerAction(step % 2 == 0
                                                     ? QAbstractSlider::SliderPageStepAdd
                                                     : QAbstractSlider::SliderSingleStepSub);
    }
    ++step;
    QTest::qWait(20);
  }
  QTest::qWait(150);  // the last posted ticks
  for (PlayerWindow* window : {&left, &right}) {
    EXPECT_EQ(window->Transport().State(), DeckState::kPlaying);
    // At least most of the run has passed through the engine and reached the slider.
    EXPECT_GT(window->Controls().positionBar->value(), kRunMs / 10 - 150);
    EXPECT_EQ(window->Controls().positionBar->value(), window->Transport().Position());
  }
  EXPECT_EQ(left.Transport().MainAttenuation(), std::max(0, fader->value()));
  EXPECT_EQ(nullDevice.UnderrunCount(), 0u);
  left.RunCommand(kCommandPlay);
  right.RunCommand(kCommandPlay);
  EXPECT_EQ(left.Transport().State(), DeckState::kPaused);
  windows.clear();  // before the mixer and the device
}

}  // namespace
}  // namespace veltro::decks::ui
