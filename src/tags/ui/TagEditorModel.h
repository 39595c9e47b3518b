// The tag editor's list: the four editable fields of every song of the library (artist, song
// name, genre, year), one row per record in the order the main list shows. Like the main
// window's lists it copies nothing: each cell is read from the song database when the view
// asks for it.
//
// The order is pinned when the list is reset: rows keep mapping to the same records while the
// editor is open, even when something else (a playlist, the mixer's automatic mode) switches
// the database to another order meanwhile. A database still in the order "None" is shown in
// record (path) order, since "None" maps every row to record 0.
//
// Thread: UI thread only (a Qt model over a UI-thread database). Ownership: the database and
// the language module are borrowed and must outlive the model.
#pragma once

#include <QAbstractTableModel>
#include <QValidator>
#include <string>
#include <string_view>

#include "library/SongRecord.h"

namespace veltro::library {
class SongDatabase;
}
namespace veltro::ui {
class LanguageModule;
}

namespace veltro::tags::ui {

// The editable columns, in display order.
enum TagColumn : int { kArtistColumn = 0, kSongNameColumn, kGenreColumn, kYearColumn };
inline constexpr int kTagColumnCount = 4;

// Per column: the language string of its title, its initial width in pixels and the most bytes
// of UTF-8 text its record field holds (the field's size less its NUL).
struct TagColumnLayout {
  int titleStringId;
  int initialWidth;
  int byteLimit;
};
inline constexpr TagColumnLayout kTagColumns[kTagColumnCount] = {
    {910, 180, 30}, {911, 181, 30}, {912, 72, 10}, {913, 36, 4}};

// Any thread; pure. The bytes of `column`'s field in `record` up to its NUL (empty for a column
// outside the four).
std::string_view TagFieldText(const library::SongRecord& record, int column);
// Any thread; pure. Stores `utf8` in `column`'s field of `record` (cut to the field without
// splitting a UTF-8 sequence, zero-filled after); a column outside the four changes nothing.
void StoreTagField(library::SongRecord& record, int column, std::string_view utf8);
// Any thread; pure. The field's text for display and editing: UTF-8 when it is valid UTF-8,
// otherwise read as Windows-1252.
QString TagCellText(const library::SongRecord& record, int column);
// Any thread; pure. The column a point `contentX` pixels from the left edge of the first
// column lies in, given the four column widths: before the end of the first column the artist,
// and so on; at or right of the third column's end the year.
int TagColumnAt(int contentX, const int (&widths)[kTagColumnCount]);

// Accepts a text only when its UTF-8 form has at most `maxBytes` bytes, so that a line edit
// refuses the keystroke (or paste) that would not fit the record's field, and an accented
// letter is never cut in half. UI thread (a Qt validator).
class Utf8ByteLimit : public QValidator {
 public:
  Utf8ByteLimit(int maxBytes, QObject* parent) : QValidator(parent), maxBytes_(maxBytes) {}
  State validate(QString& input, int& position) const override;

 private:
  int maxBytes_;
};

class TagEditorModel : public QAbstractTableModel {
 public:
  // UI thread. `language` may be null (titles without texts). Starts with no rows.
  TagEditorModel(library::SongDatabase& library, const veltro::ui::LanguageModule* language,
                 QObject* parent = nullptr);

  // UI thread. QAbstractTableModel: the rows of the last Reset, the four columns, the cell texts
  // (TagCellText of the row's record) left-aligned, the column titles (strings 910 to 913).
  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation,
                      int role = Qt::DisplayRole) const override;

  // UI thread. A new list: one row per record of the library now, in the database's order now
  // (pinned, see above); every view's selection is forgotten.
  void Reset();
  // UI thread. The record number shown at `row` (0 for a row outside the list, as RecordForRow).
  int RecordAt(int row) const;
  // UI thread. Repaints the cells of `row` after its record changed.
  void RowChanged(int row);

 private:
  library::SongDatabase& library_;
  const veltro::ui::LanguageModule* language_;
  std::string order_;  // the order name the rows follow
  int rows_ = 0;
};

}  // namespace veltro::tags::ui
