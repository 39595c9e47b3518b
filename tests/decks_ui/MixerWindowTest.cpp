// The mixer window over two real deck windows: deck lists, crossfader, cut buttons, centre,
// fade now, language switch and help.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QPushButton>
#include <QScrollBar>
#include <QSlider>
#include <QSpinBox>
#include <QTest>

#include "DeckWindowHarness.h"
#include "decks/ui/MixerWindow.h"
#include "ui/DialogBuilder.h"

namespace veltro::decks::ui {
namespace {

class MixerWindowTest : public DeckWindowTest {
 protected:
  void SetUp() override {
    DeckWindowTest::SetUp();
    MakeLibrary({{"A", "Song", "", "", WriteSong("a.wav", 3.0), 0, 3000}});
    mixer = std::make_unique<MixerWindow>(&language,
                                          [this](int context) { helpContexts.push_back(context); });
    left = &MakeWindow({}, nullptr, "Player 00");
    right = &MakeWindow({}, nullptr, "Player 01");
    for (PlayerWindow* window : {left, right}) {
      window->SetMixerWindow(mixer.get());
      mixer->AddDeck(QString::fromStdString(window->DeckName()), &window->Transport());
    }
  }
  void TearDown() override {
    DeckWindowTest::TearDown();  // the decks leave the mixer's lists first
    mixer.reset();
  }
  template <typename T>
  T* Control(int id) {
    T* control = mixer->Dialog().ControlById<T>(id);
    EXPECT_NE(control, nullptr) << id;
    return control;
  }
  void Pick(int listId, int index) {
    auto* list = Control<QComboBox>(listId);
    list->setCurrentIndex(index);
    emit list->activated(index);
  }
  void PickBoth() {
    Pick(kLeftDeckList, 0);
    Pick(kRightDeckList, 1);
  }
  // Both decks load the library's song (a deck's bars move only with a song loaded).
  void LoadBoth() {
    for (PlayerWindow* window : {left, right}) QTest::keyClick(window, 'l');
  }

  std::unique_ptr<MixerWindow> mixer;
  PlayerWindow* left = nullptr;
  PlayerWindow* right = nullptr;
};

TEST_F(MixerWindowTest, ListsChooseDecksAndTheFaderMovesTheirMainBars) {
  EXPECT_EQ(Control<QComboBox>(kLeftDeckList)->count(), 2);
  EXPECT_EQ(Control<QComboBox>(kLeftDeckList)->currentIndex(), -1);  // nothing chosen yet
  PickBoth();
  EXPECT_EQ(mixer->Logic().Deck(MixerSide::kLeft), &left->Transport());
  EXPECT_EQ(mixer->Logic().Deck(MixerSide::kRight), &right->Transport());
  LoadBoth();

  auto* fader = Control<QSlider>(kCrossfader);
  EXPECT_EQ(fader->minimum(), -3000);
  EXPECT_EQ(fader->maximum(), 3000);
  fader->setValue(1500);
  EXPECT_EQ(left->Controls().mainBar->value(), 1500);
  EXPECT_EQ(left->Transport().MainAttenuation(), 1500);
  EXPECT_EQ(right->Controls().mainBar->value(), 0);
  fader->setValue(-2950);
  EXPECT_EQ(left->Controls().mainBar->value(), 0);
  EXPECT_EQ(right->Controls().mainBar->value(), 2950);

  QTest::mouseClick(Control<QPushButton>(kCentreButton), Qt::LeftButton);
  EXPECT_EQ(fader->value(), 0);
  EXPECT_EQ(right->Controls().mainBar->value(), 0);
}

TEST_F(MixerWindowTest, CutButtonsSwitchOnPressAndRightReleaseReturns) {
  PickBoth();
  LoadBoth();
  auto* fader = Control<QSlider>(kCrossfader);
  auto* cutLeft = Control<QPushButton>(kCutLeftButton);
  auto* cutRight = Control<QPushButton>(kCutRightButton);
  QTest::mousePress(cutRight, Qt::RightButton);
  EXPECT_EQ(fader->value(), 3000);
  EXPECT_EQ(left->Transport().MainAttenuation(), 3000);
  QTest::mouseRelease(cutRight, Qt::RightButton);
  EXPECT_EQ(fader->value(), 0);
  QTest::mouseClick(cutLeft, Qt::LeftButton);
  EXPECT_EQ(fader->value(), -3000);  // a left click stays
  EXPECT_EQ(right->Transport().MainAttenuation(), 3000);
}

TEST_F(MixerWindowTest, FadeNowWithFadetimeZeroStartsRightDeckAndCuesLeftOnNextTick) {
  PickBoth();
  Control<QSpinBox>(kFadetimeUpDown)->setValue(0);
  EXPECT_EQ(mixer->Logic().FadetimeSeconds(), 0);
  QTest::mouseClick(Control<QPushButton>(kFadeNowButton), Qt::LeftButton);
  EXPECT_EQ(right->Transport().State(), DeckState::kPlaying);
  EXPECT_EQ(Control<QSlider>(kCrossfader)->value(), -3000);
  EXPECT_FALSE(Control<QPushButton>(kFadeNowButton)->isEnabled());
  QTest::qWait(250);  // fade timer 20 runs every 100 ms
  EXPECT_EQ(Control<QSlider>(kCrossfader)->value(), 3000);
  EXPECT_TRUE(Control<QPushButton>(kFadeNowButton)->isEnabled());
  EXPECT_EQ(left->Transport().State(), DeckState::kNoSong);  // the cue of an empty deck
  QTest::keyClick(right, 'p');
}

TEST_F(MixerWindowTest, BoxesLeadTimesAndLanguageSwitchKeepState) {
  PickBoth();
  LoadBoth();
  QTest::mouseClick(Control<QCheckBox>(kAutomaticBox), Qt::LeftButton);
  EXPECT_TRUE(mixer->Logic().Automatic());
  QTest::mouseClick(Control<QCheckBox>(kCrossfadeBox), Qt::LeftButton);
  EXPECT_TRUE(mixer->Logic().Crossfade());
  Control<QSpinBox>(kPlaystartUpDown)->setValue(12);
  EXPECT_EQ(mixer->PlaystartSeconds(), 12);
  Control<QSlider>(kCrossfader)->setValue(700);
  EXPECT_EQ(Control<QPushButton>(kFadeNowButton)->text(), QStringLiteral("Fade now"));

  ASSERT_TRUE(language.Load(LanguageFile("lger")));
  mixer->SetLanguage(&language);
  EXPECT_EQ(mixer->Dialog().windowTitle(), QStringLiteral("Mischpult"));
  EXPECT_EQ(Control<QPushButton>(kFadeNowButton)->text(), QStringLiteral("Jetzt blenden"));
  EXPECT_EQ(Control<QCheckBox>(kAutomaticBox)->text(), QStringLiteral("Automatik"));
  EXPECT_TRUE(Control<QCheckBox>(kAutomaticBox)->isChecked());
  EXPECT_TRUE(Control<QCheckBox>(kCrossfadeBox)->isChecked());
  EXPECT_EQ(Control<QSpinBox>(kPlaystartUpDown)->value(), 12);
  EXPECT_EQ(Control<QSlider>(kCrossfader)->value(), 700);
  EXPECT_EQ(Control<QComboBox>(kRightDeckList)->currentText(), QStringLiteral("Player 01"));
  // The rebuilt controls still drive the logic.
  Control<QSlider>(kCrossfader)->setValue(-400);
  EXPECT_EQ(right->Transport().MainAttenuation(), 400);

  QTest::keyClick(&mixer->Dialog(), Qt::Key_F1);
  EXPECT_EQ(helpContexts, std::vector<int>{kMixerHelpContext});
}

TEST_F(MixerWindowTest, ADeckGoingAwayLeavesBothLists) {
  PickBoth();
  windows.pop_back();  // "Player 01"
  EXPECT_EQ(Control<QComboBox>(kLeftDeckList)->count(), 1);
  EXPECT_EQ(Control<QComboBox>(kRightDeckList)->count(), 1);
  EXPECT_EQ(Control<QComboBox>(kRightDeckList)->currentIndex(), -1);
  EXPECT_EQ(Control<QComboBox>(kLeftDeckList)->currentText(), QStringLiteral("Player 00"));
  EXPECT_EQ(mixer->Logic().Deck(MixerSide::kRight), nullptr);
}

}  // namespace
}  // namespace veltro::decks::ui
