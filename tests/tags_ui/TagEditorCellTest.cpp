// The cells of the tag editor: which cell a click opens, where the keys move it (each move
// making the row's record current), the byte limits of the fields, scrolling, clicks that hit
// no row, the window itself, and rows that keep their records when the database's order
// changes underneath.
#include <sys/stat.h>

#include <QScrollBar>

#include "tags_ui/TagEditorHarness.h"

namespace veltro::tags::ui {
namespace {

using library::FieldText;

constexpr int kSongs = 40;

ino_t Inode(const std::string& path) {
  struct stat status {};
  return stat(path.c_str(), &status) == 0 ? status.st_ino : 0;
}

// "Artist 00" ... in row order, in files of no tagged type: stores reach the library only.
std::vector<SongFile> ManySongs(int count = kSongs) {
  std::vector<SongFile> songs;
  for (int i = 0; i < count; ++i) {
    const std::string number = (i < 10 ? "0" : "") + std::to_string(i);
    songs.push_back({"song" + number + ".flac", "Artist " + number, "Title " + number});
  }
  return songs;
}

class TagEditorCellTest : public TagEditorTest {
 protected:
  void OpenCellAt(int row, int column) {
    editor->List()->scrollTo(editor->List()->model()->index(row, 0));
    Click(row, column);
  }
  // The open cell is (row, column), stands over that cell, holds its text all selected, and its
  // record is the current one.
  void ExpectCell(int row, int column, const std::string& context) {
    SCOPED_TRACE(context);
    ASSERT_TRUE(editor->CellOpen());
    EXPECT_EQ(editor->EditedRow(), row);
    EXPECT_EQ(editor->EditedColumn(), column);
    const QLineEdit* edit = editor->CellEdit();
    EXPECT_EQ(edit->text().toStdString(), Shown(row, column));
    EXPECT_EQ(edit->selectedText(), edit->text());
    const QRect cell =
        CellRect(row, column)
            .translated(editor->List()->viewport()->mapTo(editor->Window(), QPoint(0, 0)));
    EXPECT_TRUE(edit->geometry().contains(cell));
    EXPECT_EQ(edit->geometry().center().y(), cell.center().y());
    EXPECT_EQ(edit->geometry().left(), cell.left());
    EXPECT_EQ(edit->width(), cell.width());
    EXPECT_EQ(FieldText(library->GetCurrentRecord().artist), Shown(row, kArtistColumn));
  }
};

TEST_F(TagEditorCellTest, KeysMoveTheCellAndMakeEachNewRowCurrent) {
  MakeLibrary(ManySongs());
  Open();
  const int last = kSongs - 1;
  const int page = editor->List()->viewport()->height() / CellRect(0, 0).height();
  const Qt::KeyboardModifiers shift = Qt::ShiftModifier;
  const struct {
    int row, column;
    Qt::Key key;
    Qt::KeyboardModifiers modifiers;
    int toRow, toColumn;
  } cases[] = {
      {0, kArtistColumn, Qt::Key_Tab, {}, 0, kSongNameColumn},
      {0, kGenreColumn, Qt::Key_Tab, {}, 0, kYearColumn},
      {0, kYearColumn, Qt::Key_Tab, {}, 1, kArtistColumn},
      {last, kYearColumn, Qt::Key_Tab, {}, last, kYearColumn},
      {1, kArtistColumn, Qt::Key_Backtab, shift, 0, kYearColumn},
      {1, kArtistColumn, Qt::Key_Tab, shift, 0, kYearColumn},
      {1, kGenreColumn, Qt::Key_Backtab, shift, 1, kSongNameColumn},
      {0, kArtistColumn, Qt::Key_Backtab, shift, 0, kArtistColumn},
      {5, kGenreColumn, Qt::Key_Up, {}, 4, kGenreColumn},
      {0, kGenreColumn, Qt::Key_Up, {}, 0, kGenreColumn},
      {5, kYearColumn, Qt::Key_Down, {}, 6, kYearColumn},
      {last, kSongNameColumn, Qt::Key_Down, {}, last, kSongNameColumn},
      {1, kArtistColumn, Qt::Key_PageUp, {}, 0, kArtistColumn},
      {last - 1, kArtistColumn, Qt::Key_PageDown, {}, last, kArtistColumn},
      {0, kSongNameColumn, Qt::Key_PageDown, {}, page, kSongNameColumn},
      {30, kSongNameColumn, Qt::Key_PageUp, {}, 30 - page, kSongNameColumn},
  };
  for (const auto& c : cases) {
    const std::string context = "row " + std::to_string(c.row) + " column " +
                                std::to_string(c.column) + " key " + std::to_string(c.key);
    OpenCellAt(c.row, c.column);
    ExpectCell(c.row, c.column, context + " clicked");
    Key(c.key, c.modifiers);
    ExpectCell(c.toRow, c.toColumn, context);
  }
  const ino_t artists = Inode(Path("Data/a.ndx"));
  editor->Close();
  EXPECT_TRUE(saved.empty()) << "nothing was typed";
  EXPECT_EQ(Inode(Path("Data/a.ndx")), artists) << "nothing stored, nothing rebuilt";
}

TEST_F(TagEditorCellTest, TheClickedColumnFollowsTheColumnWidths) {
  MakeLibrary(ManySongs());
  Open();
  int end[kTagColumnCount] = {};
  for (int column = 0; column < kTagColumnCount; ++column) {
    end[column] = (column > 0 ? end[column - 1] : 0) +
                  editor->List()->horizontalHeader()->sectionSize(column);
  }
  const std::pair<int, int> clicks[] = {{0, kArtistColumn},        {end[0] - 1, kArtistColumn},
                                        {end[0], kSongNameColumn}, {end[1] - 1, kSongNameColumn},
                                        {end[1], kGenreColumn},    {end[2] - 1, kGenreColumn},
                                        {end[2], kYearColumn},     {end[3] - 1, kYearColumn}};
  for (const auto& [x, column] : clicks) {
    ClickAt({x, CellRect(3, 0).center().y()});
    ExpectCell(3, column, "x " + std::to_string(x));
  }
}

TEST_F(TagEditorCellTest, AFieldTakesWhatItsRecordHoldsInUtf8Bytes) {
  MakeLibrary({{"a.flac", "Artist"}});
  Open();
  const QString e = QStringLiteral("é");
  const struct {
    int column;
    QString typed, kept;
  } cases[] = {
      {kArtistColumn, QString(31, QLatin1Char('a')), QString(30, QLatin1Char('a'))},
      {kSongNameColumn, QString(31, QLatin1Char('b')), QString(30, QLatin1Char('b'))},
      {kGenreColumn, QString(11, QLatin1Char('g')), QString(10, QLatin1Char('g'))},
      {kYearColumn, QStringLiteral("12345"), QStringLiteral("1234")},
      {kArtistColumn, e.repeated(16), e.repeated(15)},
      {kSongNameColumn, QString(29, QLatin1Char('c')) + e, QString(29, QLatin1Char('c'))},
      {kGenreColumn, e.repeated(6), e.repeated(5)},
      {kYearColumn, QStringLiteral("19") + e + QStringLiteral("9"), QStringLiteral("19") + e},
  };
  for (const auto& c : cases) {
    Edit(0, c.column, c.typed);
    EXPECT_EQ(editor->CellEdit()->text(), c.kept) << c.typed.toStdString();
    Key(Qt::Key_Return);  // stores and keeps the cell
    EXPECT_EQ(TagFieldText(OnDisk()[0], c.column), c.kept.toStdString());
  }
}

TEST_F(TagEditorCellTest, AnOpenCellMovesWithItsRowAndIsStoredWhenScrolledAway) {
  MakeLibrary(ManySongs());
  Open();
  Edit(2, kArtistColumn, QStringLiteral("Scrolled"));
  const int top = editor->CellEdit()->y();
  QScrollBar* bar = editor->List()->verticalScrollBar();
  bar->setValue(1);
  ASSERT_TRUE(editor->CellOpen());
  EXPECT_EQ(editor->CellEdit()->y(), top - CellRect(0, 0).height());
  EXPECT_TRUE(saved.empty());
  bar->setValue(3);
  EXPECT_FALSE(editor->CellOpen());
  EXPECT_TRUE(editor->CellEdit()->isHidden());
  EXPECT_EQ(FieldText(OnDisk()[2].artist), "Scrolled");
}

TEST_F(TagEditorCellTest, AClickThatHitsNoRowOpensNothingAndStoresTheOpenCell) {
  for (const int songs : {0, 2}) {
    SCOPED_TRACE(songs);
    MakeLibrary(ManySongs(songs));
    Open();
    if (songs > 0) Edit(0, kArtistColumn, QStringLiteral("Stored"));
    ClickAt({20, editor->List()->viewport()->height() - 2});
    EXPECT_FALSE(editor->CellOpen());
    EXPECT_TRUE(editor->CellEdit()->isHidden());
    EXPECT_EQ(saved.size(), songs > 0 ? 1u : 0u);
    editor->Close();
  }
}

TEST_F(TagEditorCellTest, TheWindowStandsAloneRefusesDropsAndOpensItsHelp) {
  MakeLibrary(ManySongs());
  Open();
  QWidget* window = editor->Window();
  EXPECT_TRUE(window->isWindow() && window->parentWidget() == nullptr && window->isEnabled());
  EXPECT_EQ(editor->List()->geometry(), window->rect()) << "the list fills the window";
  for (const QWidget* target :
       {window, editor->List()->viewport(), static_cast<QWidget*>(editor->CellEdit())}) {
    EXPECT_FALSE(target->acceptDrops());
  }
  QTest::keyClick(window, Qt::Key_F1);
  Click(0, kArtistColumn);
  Key(Qt::Key_F1);
  EXPECT_EQ(helpContexts, (std::vector<int>{80, 80}));
}

// Something else (a playlist, the mixer's automatic mode) switches the order and the current
// record while a cell is open: the rows keep their records and the store goes to the record
// that was read.
TEST_F(TagEditorCellTest, RowsKeepTheirRecordsWhenTheOrderChangesUnderneath) {
  MakeLibrary({{"a.flac", "Zed"}, {"b.flac", "Abe"}});
  Open();
  Edit(0, kArtistColumn, QStringLiteral("Ann"));
  library->SetOrder("Path");
  library->SetCurrent(0);
  Key(Qt::Key_Down);
  EXPECT_EQ(FieldText(OnDisk()[0].artist), "Zed");
  EXPECT_EQ(FieldText(OnDisk()[1].artist), "Ann");
  EXPECT_EQ(library->OrderName(), "Path") << "the database's order is left as it was set";
  ExpectCell(1, kArtistColumn, "row 1 is still Zed's");
}

}  // namespace
}  // namespace veltro::tags::ui
