// The playlist window driven as a user would: mouse and keys on the list, its buttons and popup,
// over a library of four songs, with every hook recorded.
#include <gtest/gtest.h>

#include <QListView>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <filesystem>
#include <iterator>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "library/LibraryFileBytes.h"
#include "library/SongDatabase.h"
#include "playlist/ui/PlaylistWindow.h"
#include "support/TempDir.h"
#include "ui/LanguageModule.h"
#include "ui/MenuDescription.h"
#include "ui/TextFit.h"
#include "ui/UiTestSupport.h"

namespace veltro::playlist::ui {
namespace {

using Rows = std::vector<int>;
using Paths = std::vector<std::string>;

// In path order, as the library's data file keeps its records.
const std::vector<library::Song> kSongs = {{"Ann", "Alpha", "", "", "/m/a.mp3"},
                                           {"Bob", "Beta", "", "", "/m/b.mp3"},
                                           {"Cy", "Gamma", "", "", "/m/c.mp3"},
                                           {"Di", "Delta", "", "", "/m/d.mp3"}};

class PlaylistWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    testing::EnsureApplication();
    std::filesystem::create_directories(dir.Path() / "Data");
    testing::WriteBytes(dir.File("Data/Data.ndb"), library::DataFileBytes(kSongs));
    db = std::make_unique<library::SongDatabase>(dir.Path());
    db->LoadIndexes();
    ASSERT_TRUE(language.Load(testing::ModulePath("leng")));
    hooks.setAutomatic = [this](bool on) { automatic.push_back(on); };
    hooks.openHelp = [this](int context) { help.push_back(context); };
    hooks.placeWindow = [this](QWidget&) { ++placed; };
    hooks.warn = [this](const QString&, const QString& text) { warnings.push_back(text); };
    hooks.runPopup = [this](QMenu& popup, const QPoint&) {
      ++popups;
      return veltro::ui::FindCommandAction(popup, popupChoice);
    };
    window = std::make_unique<PlaylistWindow>(*db, &language, QString(), hooks);
  }
  // Opens the window with the first `count` songs, in library order.
  void OpenWith(size_t count) {
    if (!window->IsOpen()) window->Open();
    for (size_t i = 0; i < count; ++i) {
      window->Append(kSongs[i].artist, kSongs[i].songName, kSongs[i].path);
    }
  }
  QWidget* Viewport() const { return window->List()->viewport(); }
  QPoint At(int row) const {
    return window->List()->visualRect(window->List()->model()->index(row, 0)).center();
  }
  void Click(int row, Qt::KeyboardModifiers keys = {}) {
    QTest::mouseClick(Viewport(), Qt::LeftButton, keys, At(row));
  }
  Paths EntryPaths() const {
    Paths paths;
    for (const PlaylistEntry& entry : window->Logic().Entries()) paths.push_back(entry.path);
    return paths;
  }

  testing::TempDir dir;
  std::unique_ptr<library::SongDatabase> db;
  veltro::ui::LanguageModule language;
  PlaylistWindowHooks hooks;
  std::unique_ptr<PlaylistWindow> window;
  std::vector<bool> automatic;
  std::vector<int> help;
  std::vector<QString> warnings;
  int placed = 0;
  int popups = 0;
  int popupChoice = 0;  // the command the popup answers
};

TEST_F(PlaylistWindowTest, OpensPlacedAt500By300AndLaysOutOnResize) {
  OpenWith(2);
  EXPECT_EQ(placed, 1);
  EXPECT_EQ(window->Window()->size(), QSize(kPlaylistWidth, kPlaylistHeight));
  EXPECT_EQ(window->Window()->windowTitle(), QStringLiteral("Playlist"));
  window->Window()->resize(620, 410);
  EXPECT_EQ(window->List()->geometry(), QRect(0, 0, 620, 380));
  const int order[] = {kPlaylistAutoButton, kPlaylistSaveButton, kPlaylistCloseButton,
                       kPlaylistHelpButton};
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(window->Button(order[i])->geometry(), QRect(75 * i, 383, 75, 25)) << order[i];
  }
  EXPECT_EQ(window->List()->model()->index(1, 0).data().toString(), "2. Bob - Beta");
}

TEST_F(PlaylistWindowTest, AutoStartsFromFirstEntryAndTakeNextMovesTheBoldMarker) {
  OpenWith(4);
  window->Logic().SetMarker(3);
  db->SetCurrent(2);
  QTest::mouseClick(window->Button(kPlaylistAutoButton), Qt::LeftButton);
  EXPECT_EQ(automatic, std::vector<bool>{true});
  EXPECT_EQ(window->Logic().Marker(), 0);
  EXPECT_TRUE(window->EntryFont(0).bold());
  EXPECT_FALSE(window->EntryFont(3).bold());

  EXPECT_TRUE(window->TakeNextEntry());
  EXPECT_EQ(db->CurrentRecord(), 0);
  EXPECT_EQ(window->Logic().Marker(), 1);
  EXPECT_TRUE(window->EntryFont(1).bold());
  EXPECT_FALSE(window->EntryFont(0).bold());
}

TEST_F(PlaylistWindowTest, CloseButtonSwitchesAutomaticOffButTheCloseBoxLeavesIt) {
  for (const bool byButton : {true, false}) {
    automatic.clear();
    OpenWith(3);
    window->Logic().SetMarker(2);
    const QPointer<QWidget> closed = window->Window();
    if (byButton) {
      QTest::mouseClick(window->Button(kPlaylistCloseButton), Qt::LeftButton);
    } else {
      closed->close();
    }
    EXPECT_FALSE(window->IsOpen()) << byButton;
    EXPECT_EQ(window->Window(), nullptr);
    EXPECT_EQ(window->Logic().Count(), 0);
    EXPECT_EQ(automatic, byButton ? std::vector<bool>{false} : std::vector<bool>{}) << byButton;
    EXPECT_EQ(window->Logic().Marker(), byButton ? 0 : 2);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(closed.isNull());

    db->SetCurrent(3);
    window->Append("Ann", "Alpha", "/m/a.mp3");  // not taken while closed
    EXPECT_FALSE(window->TakeNextEntry());
    EXPECT_EQ(db->CurrentRecord(), 3);
  }
}

TEST_F(PlaylistWindowTest, ClicksSelectAsTheModifierKeysSay) {
  struct Step {
    int row;
    Qt::KeyboardModifiers keys;
  };
  const Qt::KeyboardModifiers none, shift = Qt::ShiftModifier, ctrl = Qt::ControlModifier;
  const struct {
    std::vector<Step> clicks;
    Rows selected;
  } cases[] = {
      {{{1, none}}, {1}},
      {{{1, none}, {3, none}}, {3}},
      {{{1, none}, {3, ctrl}}, {1, 3}},
      {{{1, none}, {3, ctrl}, {1, ctrl}}, {3}},
      {{{1, none}, {3, shift}}, {1, 2, 3}},
      {{{3, none}, {1, shift}}, {1, 2, 3}},
      {{{0, none}, {2, ctrl}, {3, shift}}, {0, 1, 2, 3}},
      {{{2, shift}}, {2}},
      {{{0, none}, {3, ctrl | shift}}, {0}},
      {{{1, none}, {2, ctrl}, {2, none}}, {2}},  // a click inside a selection keeps only it
  };
  OpenWith(4);
  for (const auto& test : cases) {
    window->List()->clearSelection();
    for (const Step& step : test.clicks) Click(step.row, step.keys);
    EXPECT_EQ(window->SelectedRows(), test.selected) << test.clicks.size();
  }
}

TEST_F(PlaylistWindowTest, DragMovesTheSelectionOneEntryPerStepOver11Pixels) {
  const Paths abcd = {"/m/a.mp3", "/m/b.mp3", "/m/c.mp3", "/m/d.mp3"};
  const Paths cabd = {"/m/c.mp3", "/m/a.mp3", "/m/b.mp3", "/m/d.mp3"};
  const Paths cdab = {"/m/c.mp3", "/m/d.mp3", "/m/a.mp3", "/m/b.mp3"};
  struct Move {
    int dy;  // from the press
    Paths order;
    Rows selected;
  };
  const struct {
    Rows selection;
    int pressRow;
    std::vector<Move> moves;
  } cases[] = {
      // 30 px is one step, however far; the next needs 12 px more; the end stops it.
      {{0, 1}, 1, {{30, cabd, {1, 2}}, {41, cabd, {1, 2}}, {42, cdab, {2, 3}}, {80, cdab, {2, 3}}}},
      {{2, 3}, 2, {{-11, abcd, {2, 3}}, {-12, {abcd[0], abcd[2], abcd[3], abcd[1]}, {1, 2}}}},
      {{0, 2}, 0, {{-30, abcd, {0, 2}}}},  // holds the first entry: nothing moves up
  };
  for (const auto& test : cases) {
    window->Logic().Clear();
    window->Refresh();
    OpenWith(4);
    for (const int row : test.selection) Click(row, Qt::ControlModifier);
    const QPoint press = At(test.pressRow);
    QTest::mousePress(Viewport(), Qt::LeftButton, {}, press);
    ASSERT_EQ(window->SelectedRows(), test.selection);
    for (const Move& move : test.moves) {
      QTest::mouseMove(Viewport(), press + QPoint(0, move.dy));
      EXPECT_EQ(EntryPaths(), move.order) << move.dy;
      EXPECT_EQ(window->SelectedRows(), move.selected) << move.dy;
    }
    QTest::mouseRelease(Viewport(), Qt::LeftButton, {}, press + QPoint(0, test.moves.back().dy));
    EXPECT_EQ(window->SelectedRows(), test.moves.back().selected);  // a drag keeps it
  }
}

TEST_F(PlaylistWindowTest, PopupAndDeleteKeyDeleteTheSelectionAndTheMarkerKeepsItsIndex) {
  for (const bool byPopup : {true, false}) {
    window->Logic().Clear();
    window->Refresh();
    OpenWith(4);
    window->Logic().SetMarker(2);
    Click(0);
    Click(3, Qt::ControlModifier);
    if (byPopup) {
      popupChoice = kPlaylistDeleteSelection;
      QTest::mouseClick(Viewport(), Qt::RightButton, {}, At(1));
      EXPECT_EQ(popups, 1);
    } else {
      QTest::keyClick(window->List(), Qt::Key_Delete);
    }
    EXPECT_EQ(EntryPaths(), (Paths{"/m/b.mp3", "/m/c.mp3"})) << byPopup;
    EXPECT_EQ(window->Logic().Marker(), 2);
    EXPECT_TRUE(window->SelectedRows().empty());
    EXPECT_EQ(window->List()->model()->index(1, 0).data().toString(), "2. Cy - Gamma");
  }
}

TEST_F(PlaylistWindowTest, HelpKeyButtonsAndPopupCommandsActAlike) {
  OpenWith(2);
  QTest::keyClick(window->List(), Qt::Key_F1);
  QTest::mouseClick(window->Button(kPlaylistHelpButton), Qt::LeftButton);
  for (const int command : {kPlaylistHelpButton, kPlaylistAutoButton, kPlaylistCloseButton}) {
    popupChoice = command;
    QTest::mouseClick(Viewport(), Qt::RightButton, {}, At(0));
  }
  EXPECT_EQ(help, std::vector<int>(3, kPlaylistHelpContext));
  EXPECT_EQ(automatic, (std::vector<bool>{true, false}));
  EXPECT_FALSE(window->IsOpen());
}

TEST_F(PlaylistWindowTest, DoubleClickSetsTheMarker) {
  OpenWith(4);
  QTest::mouseDClick(Viewport(), Qt::LeftButton, {}, At(3));
  EXPECT_EQ(window->Logic().Marker(), 3);
  EXPECT_TRUE(window->EntryFont(3).bold());
  EXPECT_FALSE(window->EntryFont(0).bold());
}

TEST_F(PlaylistWindowTest, LoadingOpensTheWindowReplacesEntriesAndWarnsOnceForSkippedLines) {
  const std::string file = dir.File("set.vtp");
  testing::WriteBytes(file, "/m/c.mp3\r\n/m/gone.mp3\r\n/m/a.mp3\r\n");
  ASSERT_TRUE(window->LoadFile(file));
  EXPECT_TRUE(window->IsOpen());
  EXPECT_EQ(EntryPaths(), (Paths{"/m/c.mp3", "/m/a.mp3"}));
  ASSERT_EQ(warnings.size(), 1u);
  EXPECT_TRUE(warnings[0].endsWith(QStringLiteral(": 1"))) << warnings[0].toStdString();

  warnings.clear();
  EXPECT_FALSE(window->LoadFile(dir.File("missing.vtp")));
  ASSERT_EQ(warnings.size(), 1u);
  EXPECT_TRUE(warnings[0].startsWith(QStringLiteral("The playlist could not be read: ")));
  EXPECT_EQ(EntryPaths(), (Paths{"/m/c.mp3", "/m/a.mp3"}));

  window->Window()->close();
  EXPECT_FALSE(window->LoadFile(dir.File("missing.vtp")));
  EXPECT_FALSE(window->IsOpen());
}

TEST_F(PlaylistWindowTest, ChooseAndLoadTakesTheChosenFileAndNothingWhenCancelled) {
  testing::WriteBytes(dir.File("set.vtp"), "/m/d.mp3\r\n");
  QString chosen;
  hooks.chooseOpenFile = [&chosen](QWidget*, const QString&) { return chosen; };
  window = std::make_unique<PlaylistWindow>(*db, &language, QString(), hooks);
  window->ChooseAndLoad(nullptr);
  EXPECT_FALSE(window->IsOpen());
  chosen = QString::fromStdString(dir.File("set.vtp"));
  window->ChooseAndLoad(nullptr);
  EXPECT_EQ(EntryPaths(), Paths{"/m/d.mp3"});
  EXPECT_TRUE(warnings.empty());
}

TEST_F(PlaylistWindowTest, SaveWritesTheChosenVtpOrWarnsWhyNot) {
  QString chosen, askedIn;
  hooks.chooseSaveFile = [&](QWidget*, const QString& folder) {
    askedIn = folder;
    return chosen;
  };
  const QString folder = QString::fromStdString(dir.Path().string());
  window = std::make_unique<PlaylistWindow>(*db, &language, folder, hooks);
  OpenWith(2);
  QTest::mouseClick(window->Button(kPlaylistSaveButton), Qt::LeftButton);  // cancelled
  EXPECT_EQ(askedIn, folder);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 1);  // Data/
  chosen = QString::fromStdString(dir.File("out.vtp"));
  QTest::mouseClick(window->Button(kPlaylistSaveButton), Qt::LeftButton);
  EXPECT_EQ(testing::ReadBytes(dir.File("out.vtp")), "/m/a.mp3\r\n/m/b.mp3\r\n");
  EXPECT_TRUE(warnings.empty());

  chosen = QString::fromStdString(dir.File("no/such/folder/out.vtp"));
  window->RunCommand(kPlaylistSaveButton);
  ASSERT_EQ(warnings.size(), 1u);
  EXPECT_TRUE(warnings[0].startsWith(QStringLiteral("The playlist could not be saved: ")));
}

TEST_F(PlaylistWindowTest, ButtonsShowTheLanguageTextsAndEveryTextFits) {
  const std::map<std::string, QStringList> expected = {
      {"leng", {"&Auto", "Save", "Cancel", "Help"}},
      {"lger", {"&Auto", "Speichern", "Abbrechen", "Hilfe"}}};
  const int order[] = {kPlaylistAutoButton, kPlaylistSaveButton, kPlaylistCloseButton,
                       kPlaylistHelpButton};
  for (const char* module : testing::kModules) {
    veltro::ui::LanguageModule other;
    ASSERT_TRUE(other.Load(testing::ModulePath(module)));
    PlaylistWindow shown(*db, &other, QString(), hooks);
    shown.Open();
    for (int i = 0; i < 4; ++i) {
      const QPushButton& button = *shown.Button(order[i]);
      if (expected.count(module) != 0) {
        EXPECT_EQ(button.text(), expected.at(module)[i]) << module;
      }
      const QString text = veltro::ui::ShownTexts(button).value(0);
      EXPECT_FALSE(text.isEmpty()) << module << i;
      EXPECT_TRUE(
          veltro::ui::TextFits(button.font(), text, veltro::ui::TextArea(button, button.font())))
          << module << " " << text.toStdString();
    }
    ASSERT_NE(shown.Popup(), nullptr) << module;
    EXPECT_NE(veltro::ui::FindCommandAction(*shown.Popup(), kPlaylistDeleteSelection), nullptr);
  }
}

}  // namespace
}  // namespace veltro::playlist::ui
