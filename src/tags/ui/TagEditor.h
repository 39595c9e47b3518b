// The tag editor: a window of its own ("Id3Editor") listing every song of the library in the
// main list's order, whose artist, song name, genre and year the user edits cell by cell.
//
// A left click on a row makes its record current and opens a line edit over the cell of the
// column under the click, holding the field's text all selected (a click below the last row
// opens nothing). Each cell accepts what its record field holds, counted in bytes of UTF-8:
// 30 for artist and song name, 10 for the genre, 4 for the year. In the cell:
//   Tab        the next cell: artist, song name, genre, year, then the artist of the next row
//   Shift+Tab  the previous cell, from the artist to the year of the previous row
//              (at the first and the last cell of the list the same cell opens again)
//   Up, Down   the same column of the previous / next row (none at the first / last row)
//   Page Up, Page Down  the same column a page of rows up / down, at most to the first / last row
//   Return     stores the cell and keeps it open
//   F1         the help topic 80
// Every move to another row makes that row's record current. Leaving a changed cell in any of
// these ways, by a click, or by closing the window stores it: the record in memory and in place
// in Data.ndb (flushed), then the song's tag: an ID3v1 tag for ".mp3" files, Vorbis comments
// for ".ogg" files (extensions in any letter case, the path used exactly as stored), nothing
// for other files. When the library or the tag cannot be written, a status line at the bottom
// of the window says why (the newest failure replaces the one before); the library keeps the
// new text either way. Scrolling the list moves an open cell with its row; a cell scrolled out
// of sight is stored and closed.
//
// The window is top-level (not a child of the owner, whose disabling would disable it too); the
// owner is disabled while it is open and enabled again when it closes. Closing stores a changed
// open cell and, when anything was stored while it was open, rebuilds the four index files, so
// that they follow the edited keys; until then the index files stay as they were.
//
// Threads: constructed, used and destroyed on the UI thread; every tag write happens there
// (one file per stored cell). Ownership: owns its window and everything in it; borrows the
// library, the language module and the owner (which may go away first: the editor then closes).
#pragma once

#include <QObject>
#include <QPointer>
#include <functional>
#include <memory>

#include "library/SongRecord.h"

class QLabel;
class QLineEdit;
class QTableView;
class QWidget;

namespace veltro::library {
class SongDatabase;
}
namespace veltro::ui {
class LanguageModule;
}

namespace veltro::tags::ui {

class TagEditorModel;
class Utf8ByteLimit;

inline constexpr int kTagEditorHelpContext = 80;
// Language string of the status line after a failed tag write ("...: %1", the reason).
inline constexpr int kTagWriteFailedStringId = 934;

// What the editor tells its surroundings; an empty member is not called.
struct TagEditorHooks {
  // F1: open the help at `context` (kTagEditorHelpContext).
  std::function<void(int context)> openHelp;
  // After each stored cell, with the record as it now is in the library (UI thread).
  std::function<void(const library::SongRecord& record)> saved;
};

class TagEditor : public QObject {
  Q_OBJECT

 public:
  // UI thread. Creates no window yet. `language` may be null (no titles, status texts are the
  // bare reasons); `owner` may be null (nothing is disabled).
  TagEditor(library::SongDatabase& library, const veltro::ui::LanguageModule* language,
            QWidget* owner, TagEditorHooks hooks = {});
  // UI thread. An editor still open is closed as by its close box (a changed cell stored, with
  // hooks.saved called, the indexes rebuilt, the owner enabled) but without the closed signal.
  ~TagEditor() override;
  TagEditor(const TagEditor&) = delete;
  TagEditor& operator=(const TagEditor&) = delete;

  // UI thread. Opens the editor: creates the window (500 x 300 the first time), lists the
  // library as it is now, disables the owner and shows the window. While it is open, it only
  // raises the window.
  void Show();
  // UI thread. Closes the window as its close box does; nothing when it is not open.
  void Close();
  // UI thread. The editor window (null before the first Show); owned by the editor.
  QWidget* Window() const { return window_.get(); }
  bool IsOpen() const { return open_; }

  // UI thread; for tests and the screenshot program. The list, the cell's line edit (hidden
  // while no cell is open) and the status line; owned by the window. Null before Show.
  QTableView* List() const { return list_; }
  QLineEdit* CellEdit() const { return edit_; }
  QLabel* StatusLine() const { return status_; }
  bool CellOpen() const { return cellOpen_; }
  // The row and column (TagColumn) of the open cell, or of the last one; -1 before the first.
  int EditedRow() const { return row_; }
  int EditedColumn() const { return column_; }

 signals:
  // The window closed (by its close box, Close or the owner going away), after the changed
  // cell was stored, the indexes were rebuilt and the owner enabled. Emitted from inside the
  // window's close: a receiver that destroys the editor uses deleteLater.
  void closed();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void Build();
  void BuildList();
  void BuildEdit();
  bool OnWindowEvent(QEvent* event);
  bool OnListEvent(QEvent* event);
  bool OnEditKey(int key, Qt::KeyboardModifiers modifiers);
  void OnListClick(const QPoint& position);
  void Step(int direction);
  void MoveToRow(int row);
  void OpenCell(int row, int column);
  void CloseCell();
  void PlaceEdit();
  void FollowResize();
  void SaveIfModified();
  void Save();
  void ShowStatus(const QString& text);
  void Finish(bool notify);
  int LastRow() const;
  int RowsPerPage() const;

  library::SongDatabase& library_;
  const veltro::ui::LanguageModule* language_;
  QPointer<QWidget> owner_;
  TagEditorHooks hooks_;
  std::unique_ptr<TagEditorModel> model_;  // outlives the window's list (declared first)
  std::unique_ptr<QWidget> window_;
  QTableView* list_ = nullptr;  // children of window_
  QLineEdit* edit_ = nullptr;
  QLabel* status_ = nullptr;
  QObject* viewport_ = nullptr;    // the list's viewport (owned by list_)
  Utf8ByteLimit* limits_[4] = {};  // children of edit_, by column

  library::SongRecord working_ = library::EmptyRecord();  // the open cell's record, as read
  int record_ = -1;                                       // its record number
  int row_ = -1;
  int column_ = -1;
  bool open_ = false;
  bool cellOpen_ = false;
  bool modified_ = false;  // the open cell's text was changed since it opened or was stored
  bool saved_ = false;     // a cell was stored since Show
};

}  // namespace veltro::tags::ui
