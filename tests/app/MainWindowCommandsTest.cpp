// The main window's command table on a running program: sending songs to the decks, driving
// deck A and B, the search form, the settings dialogs and the mixer's visibility.
#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QtTest/QTest>

#include "app/LibraryViews.h"
#include "app/MainWindowHarness.h"
#include "app/SettingsKeys.h"
#include "decks/ui/MixerWindow.h"
#include "library/SongDatabase.h"
#include "support/Fixtures.h"
#include "ui/MenuDescription.h"

namespace veltro::app {
namespace {

using decks::DeckState;

class MainWindowCommandsTest : public MainWindowTest {
 protected:
  void SetUp() override {
    MainWindowTest::SetUp();
    std::vector<library::Song> songs;
    for (const char* name : {"Alpha", "Beta"}) {
      const std::string path = dir.File(std::string(name) + ".wav");
      const auto samples = testing::Sine(440.0, 44100, 2.0, 2);
      testing::WriteBytes(
          path, testing::MakeWav(testing::PcmLayout(2, 44100), testing::Pcm16Bytes(samples)));
      songs.push_back({name, std::string(name) + " song", "Test", "2024", path, 0, 2000});
    }
    ASSERT_TRUE(QDir(Folder()).mkpath(QStringLiteral("Data")));
    testing::WriteBytes(dir.File("Data/Data.ndb"), library::DataFileBytes(songs));
    WriteDeviceSettings(kOneDevice, 1, 2);
    Start();
  }
  decks::DeckTransport& Deck(size_t i) { return window->Decks()[i].window->Transport(); }
};

TEST_F(MainWindowCommandsTest, SendLoadsBothDecksUnlessOneIsPlaying) {
  EXPECT_TRUE(window->windowTitle().endsWith(QStringLiteral("2 Songs")));
  window->Views().ShowPage(0);
  window->RunCommand(kSendSong);
  EXPECT_EQ(Deck(0).State(), DeckState::kLoaded);
  EXPECT_EQ(Deck(1).State(), DeckState::kLoaded);
  EXPECT_STREQ(Deck(0).Song().path, Deck(1).Song().path);

  window->RunCommand(kPlayDeckA);
  EXPECT_EQ(Deck(0).State(), DeckState::kPlaying);
  window->Library().SetCurrent(1);
  emit window->Views().sendSongRequested();  // a double click on a row
  EXPECT_STREQ(Deck(0).Song().artist, "Alpha") << "a playing deck keeps its song";
  EXPECT_STREQ(Deck(1).Song().artist, "Beta");
  window->RunCommand(kPlayDeckA);  // pause
  window->RunCommand(kCueDeckA);
  EXPECT_EQ(Deck(0).State(), DeckState::kCued);
}

TEST_F(MainWindowCommandsTest, DeckCommandsReachOnlyTheirDeck) {
  window->Library().SetCurrent(0);
  window->RunCommand(kLoadDeckB);
  EXPECT_EQ(Deck(0).State(), DeckState::kNoSong);
  EXPECT_EQ(Deck(1).State(), DeckState::kLoaded);
  window->RunCommand(kPlayDeckB);
  EXPECT_EQ(Deck(1).State(), DeckState::kPlaying);
  window->RunCommand(kLoadDeckA);
  window->RunCommand(kPlayDeckA);
  EXPECT_EQ(Deck(0).State(), DeckState::kPlaying);
  window->RunCommand(kCueDeckB);
  EXPECT_EQ(Deck(1).State(), DeckState::kCued);
  window->RunCommand(kCueDeckA);
  EXPECT_EQ(Deck(0).State(), DeckState::kCued);
}

TEST_F(MainWindowCommandsTest, SendOnTheSearchFormTabRunsTheSearch) {
  window->RunCommand(kSearchFormPage);
  EXPECT_EQ(window->Views().CurrentPage(), 1);
  window->Views().SearchField(0)->setText(QStringLiteral("B*"));
  window->RunCommand(kSendSong);
  EXPECT_EQ(window->Views().CurrentPage(), 2);
  EXPECT_EQ(window->Views().ResultCount()->text(), QStringLiteral("1"));
  EXPECT_EQ(Deck(0).State(), DeckState::kNoSong) << "the search form sends nothing";
}

TEST_F(MainWindowCommandsTest, MixerVisibilityCarriesTheCheckMark) {
  QAction* item = ui::FindCommandAction(*window->menuBar(), kMixerVisibility);
  ASSERT_NE(item, nullptr);
  EXPECT_FALSE(item->isChecked());
  item->trigger();  // as chosen from the menu
  EXPECT_TRUE(window->MixerShown());
  EXPECT_TRUE(item->isChecked());
  EXPECT_TRUE(window->Mixer().Dialog().isVisible());
  window->RunCommand(kMixerVisibility);  // as from the accelerator
  EXPECT_FALSE(item->isChecked());
  EXPECT_FALSE(window->Mixer().Dialog().isVisible());
}

TEST_F(MainWindowCommandsTest, ConfirmedSettingsDialogsSayTheyApplyAtTheNextStart) {
  answer = [](ui::TemplateDialog& dialog) {
    dialog.SendCommand(ui::kOkCommand);
    return dialog.result();
  };
  for (const int command : {kDeviceSettings, kLanguageSettings, kControllerPort}) {
    window->RunCommand(command);
  }
  EXPECT_EQ(shownDialogs, (std::vector<std::string>{"DEVICEDLG", "LANGUAGEDLG", "COMDLG"}));
  EXPECT_EQ(warnings.size(), 2u) << "the device and language dialogs, not the port";
  answer = nullptr;
  window->RunCommand(kDeviceSettings);
  EXPECT_EQ(warnings.size(), 2u) << "a cancelled dialog says nothing";
}

TEST_F(MainWindowCommandsTest, AcceleratorsWorkFromEveryWindow) {
  QWidget& deck = *window->Decks()[1].window;
  QApplication::setActiveWindow(&deck);
  QTest::keyClick(&deck, Qt::Key_M, Qt::ControlModifier);  // View > Mixer
  EXPECT_TRUE(window->MixerShown());
  QApplication::setActiveWindow(&window->Mixer().Dialog());
  QTest::keyClick(&window->Mixer().Dialog(), Qt::Key_F6);  // load deck B
  EXPECT_EQ(Deck(1).State(), DeckState::kLoaded);
  EXPECT_EQ(Deck(0).State(), DeckState::kNoSong);
}

TEST_F(MainWindowCommandsTest, PlayingDeckRefusesToCloseAndStoppedOneGoes) {
  window->RunCommand(kLoadDeckA);
  window->RunCommand(kPlayDeckA);
  EXPECT_FALSE(window->Decks()[0].window->close());
  EXPECT_EQ(window->Mixer().Logic().Deck(decks::MixerSide::kLeft), &Deck(0));
  window->RunCommand(kPlayDeckA);  // pause
  EXPECT_TRUE(window->Decks()[0].window->close());
  EXPECT_EQ(DeckNames(), (std::vector<std::string>{"Player 01"}));
  window->RunCommand(kPlayDeckA);  // deck A is gone: nothing happens
  window->RunCommand(kSendSong);
  EXPECT_EQ(Deck(0).State(), DeckState::kLoaded) << "deck B, now first in the list";
}

TEST_F(MainWindowCommandsTest, NewDeckAndUnknownCommands) {
  window->RunCommand(kNewDeck);
  EXPECT_EQ(DeckNames().back(), "Player 02");
  EXPECT_EQ(window->Mixer().Logic().Deck(decks::MixerSide::kRight), &Deck(1));
  for (const int command : {0, 103, 999, 1008}) window->RunCommand(command);
  EXPECT_EQ(window->Decks().size(), 3u);
}

}  // namespace
}  // namespace veltro::app
