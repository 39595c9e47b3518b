// The main window's library views on a small library of 200 songs: display texts, quick search,
// the lists' cursor keys and clicks, the search form, the tab keys, and texts in every language.
#include <gtest/gtest.h>

#include <QFocusEvent>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTabBar>
#include <QTest>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "app/LibraryList.h"
#include "app/LibraryViews.h"
#include "library/SongDatabase.h"
#include "support/TempDir.h"
#include "ui/LanguageModule.h"
#include "ui/TextFit.h"
#include "ui/UiTestSupport.h"

namespace veltro::app {
namespace {

// The key's name; QTest::toString hands over a new[] copy that the caller frees.
std::string KeyName(Qt::Key key) {
  const std::unique_ptr<char[]> name(QTest::toString(key));
  return name.get();
}

using library::SongRecord;

constexpr int kSongs = 200;

std::string Numbered(const char* prefix, int number) {
  char text[32];
  std::snprintf(text, sizeof text, "%s %03d", prefix, number);
  return text;
}

// Song i: artist "Artist i" (artist order = i), genre "Genre i%5", and a path that puts it at
// record 199 - i (records are kept in path order).
library::SongRecord Song(int i) {
  return library::MakeRecord(Numbered("Artist", i), Numbered("Song", i),
                             "Genre" + std::to_string(i % 5), std::to_string(1990 + i % 10),
                             Numbered("/music/track", kSongs - 1 - i) + ".mp3",
                             static_cast<uint32_t>(60'000 + 1'000 * i));
}

void SendFocusIn(QWidget* widget) {
  QFocusEvent focusIn(QEvent::FocusIn, Qt::TabFocusReason);
  QApplication::sendEvent(widget, &focusIn);
}

QPoint RowPoint(LibraryList* list, int row) {
  return list->visualRect(list->model()->index(row, 1)).center();
}

class LibraryViewsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    veltro::testing::EnsureApplication();
    ASSERT_TRUE(language.Load(veltro::testing::ModulePath("leng")));
    database = std::make_unique<library::SongDatabase>(dir.Path());
    for (int i = 0; i < kSongs; ++i) database->StageRecord(Song(i));
    database->CommitStaging();
    database->SortIndexes();
    views = std::make_unique<LibraryViews>(*database, &language);
    views->resize(800, 600);
    views->show();
    views->ShowLibrary();
  }
  LibraryList* List() { return views->Library(); }
  // The list's cursor is `row` and that row is the selected one.
  void ExpectCursorShown(LibraryList* list, int row, const char* step) {
    EXPECT_EQ(list->Cursor(), row) << step;
    EXPECT_EQ(list->SelectedRow(), row) << step;
  }

  veltro::testing::TempDir dir;
  ui::LanguageModule language;
  std::unique_ptr<library::SongDatabase> database;
  std::unique_ptr<LibraryViews> views;
};

TEST(LengthTextTest, MinutesAndTwoDigitSeconds) {
  const struct {
    int32_t ms;
    const char* text;
  } cases[] = {{0, "0:00"},        {225000, "3:45"}, {61000, "1:01"}, {599999, "9:59"},
               {3600000, "60:00"}, {999, "0:00"},    {-1, "0:00"},    {INT32_MIN, "0:00"}};
  for (const auto& c : cases) EXPECT_EQ(LengthText(c.ms), c.text) << c.ms;
}

TEST(ColumnTextTest, DecodesEachFieldWithinItsBytes) {
  SongRecord record = library::MakeRecord("Bj\xC3\xB6rk", "Caf\xE9", "Pop", "1999", "/a.mp3", 0);
  record.lengthMs = 0x80000000u;  // damaged: negative as a signed length
  EXPECT_EQ(ColumnText(record, kArtistColumn), QString::fromUtf8("Bj\xC3\xB6rk"));
  EXPECT_EQ(ColumnText(record, kTitleColumn), QString::fromUtf8("Caf\xC3\xA9"));  // Windows-1252
  EXPECT_EQ(ColumnText(record, kGenreColumn), QStringLiteral("Pop"));
  EXPECT_EQ(ColumnText(record, kYearColumn), QStringLiteral("1999"));
  EXPECT_EQ(ColumnText(record, kLengthColumn), QStringLiteral("0:00"));
  // A field filled to its last byte ends there, not in the next field.
  std::memset(record.artist, 'A', sizeof record.artist);
  std::memset(record.year, '7', sizeof record.year);
  EXPECT_EQ(ColumnText(record, kArtistColumn), QString(31, QLatin1Char('A')));
  EXPECT_EQ(ColumnText(record, kYearColumn), QStringLiteral("77777"));
}

TEST_F(LibraryViewsTest, ShowsTheLibraryInArtistOrderAtTheDescribedRectangles) {
  EXPECT_EQ(database->OrderName(), "Artist");
  const QAbstractItemModel* model = List()->model();
  ASSERT_EQ(model->rowCount(), kSongs);
  EXPECT_EQ(model->index(7, kArtistColumn).data().toString(), QStringLiteral("Artist 007"));
  EXPECT_EQ(model->index(7, kLengthColumn).data().toString(), QStringLiteral("1:07"));
  EXPECT_EQ(model->headerData(kLengthColumn, Qt::Horizontal).toString(), QStringLiteral("Length"));
  EXPECT_EQ(List()->geometry(), QRect(5, 47, 790, 549));
  EXPECT_EQ(views->Results()->geometry(), QRect(5, 40, 790, 556));
  EXPECT_EQ(views->Tabs()->geometry(), QRect(0, 0, 800, 600));
  EXPECT_EQ(views->CurrentPage(), 0);
  EXPECT_TRUE(List()->isVisible());
  EXPECT_FALSE(views->Results()->isVisible());
}

TEST_F(LibraryViewsTest, QuickSearchSelectsAndScrollsToTheHitWithoutMovingTheCursor) {
  SendFocusIn(views->QuickSearch(1));
  EXPECT_EQ(database->OrderName(), "Songname");
  SendFocusIn(views->QuickSearch(0));
  EXPECT_EQ(database->OrderName(), "Artist");
  QTest::keyClicks(views->QuickSearch(0), "artist 15");
  EXPECT_EQ(List()->SelectedRow(), 150);
  EXPECT_EQ(database->CurrentRecord(), kSongs - 1 - 150);
  EXPECT_EQ(List()->Cursor(), 0);
  const int top = List()->rowAt(0);
  EXPECT_LE(top, 150);
  EXPECT_LT(150 - top, List()->RowsPerPage() / 2) << "the hit is scrolled up into sight";
  // Nothing sorts after this text: the previous hit stays selected and current.
  views->QuickSearch(0)->setText(QStringLiteral("zzz"));
  EXPECT_EQ(List()->SelectedRow(), 150);
  EXPECT_EQ(database->CurrentRecord(), kSongs - 1 - 150);
  EXPECT_EQ(views->QuickSearch(0)->maxLength(), 29);
  EXPECT_EQ(views->QuickSearch(3)->maxLength(), 4);
}

TEST_F(LibraryViewsTest, CursorKeysFollowTheListRules) {
  const int page = List()->RowsPerPage();
  ASSERT_GT(page, 5);
  const struct {
    Qt::Key key;
    int cursor;
  } steps[] = {{Qt::Key_Down, 1},
               {Qt::Key_Up, 0},
               {Qt::Key_Up, 0},
               {Qt::Key_PageDown, page},
               {Qt::Key_PageDown, 2 * page},
               {Qt::Key_PageUp, page},
               {Qt::Key_Home, 0},
               {Qt::Key_PageUp, 0},
               {Qt::Key_End, kSongs - 1},
               {Qt::Key_PageDown, kSongs - 1},
               {Qt::Key_Up, kSongs - 2}};
  for (const auto& step : steps) {
    QTest::keyClick(List(), step.key);
    const std::string name = KeyName(step.key);
    ExpectCursorShown(List(), step.cursor, name.c_str());
    EXPECT_EQ(database->CurrentRecord(), kSongs - 1 - step.cursor) << name;
  }
  // Letters do not move the selection.
  QTest::keyClicks(List(), "Artist");
  ExpectCursorShown(List(), kSongs - 2, "letters");
  // Down on the last row does nothing at all, not even choose the row again.
  QTest::keyClick(List(), Qt::Key_End);
  List()->clearSelection();
  database->SetCurrent(5);
  QTest::keyClick(List(), Qt::Key_Down);
  EXPECT_EQ(List()->Cursor(), kSongs - 1);
  EXPECT_EQ(List()->SelectedRow(), -1);
  EXPECT_EQ(database->CurrentRecord(), 5);
}

TEST_F(LibraryViewsTest, SearchFormFillsTheResultsAndShowsPageTwo) {
  views->ShowPage(1);
  EXPECT_TRUE(views->StartButton()->isVisible());
  EXPECT_FALSE(List()->isVisible());
  views->SearchField(0)->setText(QStringLiteral("artist 1*"));
  views->SearchField(2)->setText(QStringLiteral("genre2"));
  QTest::mouseClick(views->StartButton(), Qt::LeftButton);
  EXPECT_EQ(views->CurrentPage(), 2);
  EXPECT_EQ(views->FocusedTab(), 2);
  EXPECT_EQ(views->ResultCount()->text(), QStringLiteral("20"));
  EXPECT_EQ(views->Results()->model()->rowCount(), 20);
  EXPECT_EQ(database->OrderName(), "Path");
  EXPECT_TRUE(views->Results()->isVisible());
  EXPECT_FALSE(views->StartButton()->isVisible());
}

TEST_F(LibraryViewsTest, ResultsListSelectsByPath) {
  views->SearchField(0)->setText(QStringLiteral("artist 1*"));
  views->SearchField(2)->setText(QStringLiteral("genre2"));
  views->RunSearchForm();
  LibraryList* results = views->Results();
  ASSERT_LT(results->model()->rowCount(), results->RowsPerPage());
  database->SetOrder("Artist");
  QTest::mouseClick(results->viewport(), Qt::LeftButton, {}, RowPoint(results, 3));
  ExpectCursorShown(results, 3, "click");
  EXPECT_EQ(database->OrderName(), "Path");
  EXPECT_EQ(database->CurrentRecord(), database->SearchResultRecords()[3]);
  QTest::keyClick(results, Qt::Key_Down);
  EXPECT_EQ(database->CurrentRecord(), database->SearchResultRecords()[4]);
  // Below the last row: nothing is chosen and nothing changes.
  QTest::mouseClick(results->viewport(), Qt::LeftButton, {},
                    QPoint(20, results->viewport()->height() - 2));
  ExpectCursorShown(results, 4, "click below the rows");
  EXPECT_EQ(database->CurrentRecord(), database->SearchResultRecords()[4]);
}

TEST_F(LibraryViewsTest, ClickChoosesTheRowAndDoubleClickSendsTheSong) {
  QSignalSpy sends(views.get(), &LibraryViews::sendSongRequested);
  QTest::mouseClick(List()->viewport(), Qt::LeftButton, {}, RowPoint(List(), 4));
  ExpectCursorShown(List(), 4, "click");
  EXPECT_EQ(database->CurrentRecord(), kSongs - 1 - 4);
  EXPECT_EQ(views->focusWidget(), List());
  EXPECT_EQ(sends.count(), 0);
  QTest::mouseDClick(List()->viewport(), Qt::LeftButton, {}, RowPoint(List(), 4));
  EXPECT_EQ(sends.count(), 1);
}

TEST_F(LibraryViewsTest, TabKeysWrapAndClicksChooseTheTab) {
  QTabBar* tabs = views->Tabs();
  const struct {
    Qt::Key key;
    int page;
  } steps[] = {{Qt::Key_Left, 2}, {Qt::Key_Right, 0}, {Qt::Key_Down, 1},
               {Qt::Key_A, 1},    {Qt::Key_Up, 0},    {Qt::Key_Up, 2}};
  for (const auto& step : steps) {
    QTest::keyClick(tabs, step.key);
    EXPECT_EQ(views->CurrentPage(), step.page) << KeyName(step.key);
    EXPECT_EQ(views->FocusedTab(), step.page) << KeyName(step.key);
  }
  EXPECT_TRUE(views->ResultCount()->isVisible());
  QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(1).center());
  EXPECT_EQ(views->CurrentPage(), 1);
  EXPECT_EQ(views->focusWidget(), tabs);
  views->ShowPage(3);
  EXPECT_EQ(views->CurrentPage(), 1);
}

TEST_F(LibraryViewsTest, EveryTextFitsItsControlInEveryLanguage) {
  for (const char* name : veltro::testing::kModules) {
    ui::LanguageModule module;
    ASSERT_TRUE(module.Load(veltro::testing::ModulePath(name))) << name;
    LibraryViews localized(*database, &module);
    localized.resize(800, 600);
    for (LibraryList* list : {localized.Library(), localized.Results()}) {
      const QHeaderView* header = list->horizontalHeader();
      for (int column = 0; column < kLibraryColumnCount; ++column) {
        EXPECT_FALSE(header->model()->headerData(column, Qt::Horizontal).toString().isEmpty());
        EXPECT_GE(header->sectionSize(column), kColumnWidths[column]) << name << column;
        EXPECT_GE(header->sectionSize(column), header->sectionSizeHint(column)) << name << column;
      }
    }
    for (const QLabel* label : localized.findChildren<QLabel*>(Qt::FindDirectChildrenOnly)) {
      EXPECT_TRUE(ui::TextFits(label->font(), label->text(), ui::TextArea(*label, label->font())))
          << name << " " << label->text().toStdString();
    }
    const QPushButton* start = localized.StartButton();
    EXPECT_TRUE(ui::TextFits(start->font(), start->text(), ui::TextArea(*start, start->font())));
    const QTabBar* tabs = localized.Tabs();
    for (int tab = 0; tab < tabs->count(); ++tab) {
      EXPECT_GE(tabs->tabRect(tab).width(),
                ui::TextExtent(tabs->font(), tabs->tabText(tab)).width())
          << name << tab;
      EXPECT_LE(tabs->tabRect(tab).bottom(), 24) << "clear of the controls at y 25";
    }
  }
}

}  // namespace
}  // namespace veltro::app
