// The main window's command table on a running program: sending songs to the decks or the
// playlist, driving deck A and B, the search form, the settings dialogs, the mixer's
// visibility, the playlist's commands and the tag editor.
#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QTableView>
#include <QtTest/QTest>

#include "app/LibraryViews.h"
#include "app/MainWindowHarness.h"
#include "app/SettingsKeys.h"
#include "decks/ControllerLink.h"
#include "decks/ui/MixerWindow.h"
#include "library/SongDatabase.h"
#include "platform/Profile.h"
#include "playlist/Playlist.h"
#include "playlist/ui/PlaylistWindow.h"
#include "tags/ui/TagEditor.h"
#include "support/Fixtures.h"
#include "ui/MenuDescription.h"

namespace veltro::app {
namespace {

using decks::DeckState;

class MainWindowCommandsTest : public MainWindowTest {
 protected:
  void SetUp() override {
    MainWindowTest::SetUp();
    const std::vector<library::Song> songs = WriteTwoSongLibrary();
    WriteDeviceSettings(kOneDevice, 1, 2);
    songPaths = {songs[0].path, songs[1].path};
    Start();
  }
  std::vector<std::string> songPaths;
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
  // A port that cannot be opened: the confirmed port dialog tries it and says so, whatever
  // ports this machine has.
  window->Settings().WriteString(kDevicesSection, kComportKey, dir.File("no-port"));
  for (const int command : {kDeviceSettings, kLanguageSettings, kControllerPort}) {
    window->RunCommand(command);
  }
  EXPECT_EQ(shownDialogs, (std::vector<std::string>{"DEVICEDLG", "LANGUAGEDLG", "COMDLG"}));
  ASSERT_EQ(warnings.size(), 3u) << "the device and language dialogs, then the port";
  EXPECT_EQ(warnings.back(), decks::kControllerBusyText);
  answer = nullptr;
  window->RunCommand(kDeviceSettings);
  EXPECT_EQ(warnings.size(), 3u) << "a cancelled dialog says nothing";
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

namespace veltro::app {
namespace {

// With the playlist open, sending a song appends it and leaves the decks alone; 112 loads a
// chosen file into it; the settings keep its rectangle only while it is open, and it opens
// there again.
TEST_F(MainWindowCommandsTest, PlaylistTakesSentSongsLoadsFilesAndKeepsItsPlace) {
  window->RunCommand(kOpenPlaylist);
  playlist::ui::PlaylistWindow& list = window->Playlist();
  ASSERT_TRUE(list.IsOpen());
  window->Library().SetCurrent(1);
  window->RunCommand(kSendSong);
  EXPECT_EQ(Deck(0).State(), DeckState::kNoSong);
  ASSERT_EQ(list.Logic().Count(), 1);
  EXPECT_EQ(list.Logic().DisplayText(0), "1. Beta - Beta song");

  const std::string file = dir.File("Playlist/set.vtp");
  testing::WriteBytes(file, songPaths[0] + "\r\n" + songPaths[1] + "\r\n");
  window->Playlist().Window()->close();
  EXPECT_FALSE(list.IsOpen());
  window.reset();
  MainWindowHooks hooks = Hooks();
  QString offeredFolder;
  hooks.choosePlaylistToOpen = [&](QWidget*, const QString& folder) {
    offeredFolder = folder;
    return QString::fromStdString(file);
  };
  window = std::make_unique<MainWindow>(hooks);
  window->CreateAndStart();
  window->RunCommand(kLoadPlaylist);
  EXPECT_EQ(offeredFolder, window->PlaylistDirectory());
  ASSERT_TRUE(window->Playlist().IsOpen());
  EXPECT_EQ(window->Playlist().Logic().Count(), 2);

  window->Playlist().Window()->setGeometry(40, 50, 420, 260);
  ASSERT_TRUE(window->SaveSettings());
  const QRect frame = window->Playlist().Window()->frameGeometry();
  const std::vector<int> expected = {frame.x(), frame.y(), frame.width(), frame.height()};
  const auto savedRect = [this] {
    platform::Profile saved(IniPath());
    std::vector<int> values;
    for (const char* key : {kLeftKey, kTopKey, kWidthKey, kHeightKey}) {
      values.push_back(saved.GetInt(kPlaylistSection, key, -1));
    }
    return values;
  };
  EXPECT_EQ(savedRect(), expected);
  window->Playlist().Window()->close();
  window->RunCommand(kOpenPlaylist);
  EXPECT_EQ(window->Playlist().Window()->frameGeometry(), frame) << "it opens where it was";
  window->Playlist().Window()->setGeometry(100, 120, 300, 200);
  window->Playlist().Window()->close();
  ASSERT_TRUE(window->SaveSettings());
  EXPECT_EQ(savedRect(), expected) << "a closed playlist's keys stay as they were";
}

// 104 opens the editor over a disabled main window; a stored cell reaches the deck holding
// the song, and closing the editor enables the main window and lets it go.
TEST_F(MainWindowCommandsTest, TagEditorEditsReachTheDecksAndClosingEnablesTheMainWindow) {
  window->Library().SetCurrent(0);
  window->RunCommand(kLoadDeckA);
  window->RunCommand(kTagEditor);
  tags::ui::TagEditor* editor = window->TagEditor();
  ASSERT_NE(editor, nullptr);
  EXPECT_FALSE(window->isEnabled());
  ASSERT_EQ(window->Library().RecordForRow(0), 0);  // artist order: Alpha first
  QTableView* list = editor->List();
  QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                    list->visualRect(list->model()->index(0, 0)).center());
  ASSERT_TRUE(editor->CellOpen());
  editor->CellEdit()->selectAll();
  QTest::keyClicks(editor->CellEdit(), QStringLiteral("Gamma"));
  QTest::keyClick(editor->CellEdit(), Qt::Key_Tab);
  EXPECT_STREQ(Deck(0).Song().artist, "Gamma");
  EXPECT_STREQ(Deck(1).Song().artist, "") << "deck B holds no song";

  editor->Close();
  EXPECT_TRUE(window->isEnabled());
  QCoreApplication::processEvents();
  EXPECT_EQ(window->TagEditor(), nullptr);
  window->RunCommand(kTagEditor);
  ASSERT_NE(window->TagEditor(), nullptr) << "the editor opens again";
  window->TagEditor()->Close();
}

}  // namespace
}  // namespace veltro::app
