// The table model behind the main window's two song lists. It copies nothing: every row is
// answered from the song database when the view asks for it, so a list of a million songs costs
// no more than the rows on screen. The library list shows the record that RecordForRow gives
// for each row (the library in its current order); the results list shows the entries of the
// last Search.
//
// The row count is the list's own state, as the item count of a virtual list is: it changes
// only through Reset or SetRowCount, never by itself when the database changes underneath.
//
// Thread: UI thread only (Qt models, and the database is a UI-thread object). Ownership: the
// database and the language module are borrowed and must outlive the model.
#pragma once

#include <QAbstractTableModel>
#include <QString>
#include <cstdint>
#include <string>

#include "library/SongRecord.h"

namespace veltro::library {
class SongDatabase;
}

namespace veltro::ui {
class LanguageModule;
}

namespace veltro::app {

// Length in milliseconds as m:ss (minutes = ms / 60000, seconds two digits): 0 -> "0:00",
// 225000 -> "3:45", 61000 -> "1:01", 599999 -> "9:59", 3600000 -> "60:00". A negative length
// (a damaged record) -> "0:00". Any thread.
std::string LengthText(int32_t lengthMs);

// The columns of both lists, in display order.
enum LibraryColumn : int {
  kArtistColumn = 0,
  kTitleColumn,
  kGenreColumn,
  kYearColumn,
  kLengthColumn,
  kLibraryColumnCount
};

// Language string ids of the column headers, by column.
inline constexpr int kColumnHeaderStrings[kLibraryColumnCount] = {910, 911, 912, 913, 926};

// The text a list shows in `column` of `record`: the field's bytes up to its first NUL (never
// past the field), decoded as UTF-8, or as Windows-1252 when they are not valid UTF-8; the
// length as LengthText. Empty for a column outside the five. Any thread.
QString ColumnText(const library::SongRecord& record, int column);

// Which rows of the database a model shows.
enum class ListSource { kLibrary, kSearchResults };

class LibraryModel : public QAbstractTableModel {
 public:
  // UI thread. `language` may be null (headers without texts). Starts with no rows.
  LibraryModel(const library::SongDatabase& library, ListSource source,
               const ui::LanguageModule* language, QObject* parent = nullptr);

  // UI thread. QAbstractTableModel: rows as set last, the five columns, the display texts and
  // left alignment of cells, the header texts (language strings 910, 911, 912, 913, 926).
  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation,
                      int role = Qt::DisplayRole) const override;

  // UI thread. A new list (a library loaded or replaced, a new search): `rows` rows (negative
  // counts as 0), selection and current row of every view forgotten (model reset).
  void Reset(int rows);
  // UI thread. The same rows in another order: when the count stays, the views keep their
  // selection and only repaint every row; a different count resets as Reset does.
  void SetRowCount(int rows);

  // UI thread. The record shown at `row`, or null for a row outside the list or one whose
  // record is not (or no longer) in the database. Valid until the database changes.
  const library::SongRecord* RecordAt(int row) const;

 private:
  const library::SongDatabase& library_;
  const ListSource source_;
  const ui::LanguageModule* language_;
  int rows_ = 0;
};

}  // namespace veltro::app
