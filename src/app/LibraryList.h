// One song list of the main window (the library list or the results list): a table of whole
// rows over a LibraryModel with the five fixed columns, rows of one height (which keeps a list
// of a million rows as cheap as one of a hundred), no sorting, no vertical header.
//
// The list keeps its own cursor, the row last chosen with the keys or the mouse, and moves it
// only this way:
//   Page Up    cursor = max(0, cursor - rows per page)
//   Page Down  cursor + rows per page if that is below the row count, else the last row
//   End, Home  the last row, row 0
//   Up         cursor - 1 when cursor > 0 (at row 0 the row is chosen again)
//   Down       cursor + 1; on the last row nothing happens at all
//   left click the row under the pointer (below the last row: nothing happens)
// After each of these the cursor row becomes the selected and current row, is scrolled fully
// into view and cursorMoved is emitted. Every other key is swallowed (letters do not jump to a
// row). A left release gives the list the keyboard focus; a left double click emits
// sendSongRequested. A cursor left beyond the end by a shorter new list is brought back to the
// last row by the next key; a list without rows ignores the keys.
//
// Thread: UI thread only. Ownership: the model is the caller's (set with setModel).
#pragma once

#include <QTableView>

namespace veltro::app {

// Column widths in pixels, by column (artist, title, genre, year, length). A header text wider
// than its column widens that column to fit.
inline constexpr int kColumnWidths[] = {180, 181, 72, 36, 40};

class LibraryList : public QTableView {
  Q_OBJECT

 public:
  // UI thread.
  explicit LibraryList(QWidget* parent = nullptr);

  // UI thread. Sets the column widths (kColumnWidths, widened where the header text needs
  // it) and the row height from the current font; call after setModel and after a font change.
  void ApplyColumnLayout();

  // UI thread. The cursor row (starts at 0).
  int Cursor() const { return cursor_; }
  // UI thread. Rows that fit whole in the visible part of the list (at least 1).
  int RowsPerPage() const;
  // UI thread. The height of every row in pixels.
  int RowHeight() const;
  // UI thread. The selected row, or -1.
  int SelectedRow() const;

  // UI thread. Shows a quick-search hit without moving the cursor: `row` becomes the selected
  // and current row; it is scrolled into view unless part of it is visible already; then, if
  // its bottom edge (in the list's client area, header included) lies below one page height
  // (rows per page x row height), the list scrolls down by that page height less 10 pixels,
  // in whole rows. A row outside the list does nothing.
  void ShowQuickSearchHit(int row);

  // QAbstractItemView: no jumping to a row by typed text.
  void keyboardSearch(const QString& search) override;

 signals:
  // The cursor moved to `row` by a navigation key (byClick false) or a left click (true).
  void cursorMoved(int row, bool byClick);
  // A left double click: "send the current song".
  void sendSongRequested();

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;

 private:
  int RowCount() const;
  void SelectRow(int row);
  void MoveCursor(int row, bool byClick);
  void ScrollDownByPixels(int pixels);

  int cursor_ = 0;
};

}  // namespace veltro::app
