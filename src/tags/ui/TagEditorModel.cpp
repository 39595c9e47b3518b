#include "tags/ui/TagEditorModel.h"

#include "library/SongDatabase.h"
#include "platform/TextEncoding.h"
#include "ui/LanguageModule.h"

namespace veltro::tags::ui {
namespace {

constexpr std::string_view kNoOrder = "None";
constexpr std::string_view kPathOrder = "Path";

bool ValidColumn(int column) {
  return column >= 0 && column < kTagColumnCount;
}

}  // namespace

std::string_view TagFieldText(const library::SongRecord& record, int column) {
  switch (column) {
    case kArtistColumn:
      return library::FieldText(record.artist);
    case kSongNameColumn:
      return library::FieldText(record.songName);
    case kGenreColumn:
      return library::FieldText(record.genre);
    case kYearColumn:
      return library::FieldText(record.year);
    default:
      return {};
  }
}

void StoreTagField(library::SongRecord& record, int column, std::string_view utf8) {
  switch (column) {
    case kArtistColumn:
      library::StoreField(record.artist, utf8);
      break;
    case kSongNameColumn:
      library::StoreField(record.songName, utf8);
      break;
    case kGenreColumn:
      library::StoreField(record.genre, utf8);
      break;
    case kYearColumn:
      library::StoreField(record.year, utf8);
      break;
    default:
      break;
  }
}

QString TagCellText(const library::SongRecord& record, int column) {
  return QString::fromStdString(platform::ToUtf8FromTagText(TagFieldText(record, column)));
}

int TagColumnAt(int contentX, const int (&widths)[kTagColumnCount]) {
  int end = 0;
  for (int column = 0; column < kTagColumnCount - 1; ++column) {
    end += widths[column];
    if (contentX < end) return column;
  }
  return kYearColumn;
}

QValidator::State Utf8ByteLimit::validate(QString& input, int&) const {
  return input.toUtf8().size() <= maxBytes_ ? Acceptable : Invalid;
}

TagEditorModel::TagEditorModel(library::SongDatabase& library,
                               const veltro::ui::LanguageModule* language, QObject* parent)
    : QAbstractTableModel(parent), library_(library), language_(language) {}

int TagEditorModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : rows_;
}

int TagEditorModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : kTagColumnCount;
}

QVariant TagEditorModel::data(const QModelIndex& index, int role) const {
  if (role == Qt::TextAlignmentRole) {
    return QVariant::fromValue(Qt::Alignment(Qt::AlignLeft | Qt::AlignVCenter));
  }
  if (role != Qt::DisplayRole || !index.isValid() || index.row() >= rows_) return {};
  const int record = RecordAt(index.row());
  if (record < 0 || record >= library_.RecordCount()) return {};
  return TagCellText(library_.Records()[static_cast<size_t>(record)], index.column());
}

QVariant TagEditorModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || !ValidColumn(section)) return {};
  if (role == Qt::TextAlignmentRole) {
    return QVariant::fromValue(Qt::Alignment(Qt::AlignLeft | Qt::AlignVCenter));
  }
  if (role != Qt::DisplayRole || language_ == nullptr) return {};
  return language_->String(kTagColumns[section].titleStringId);
}

void TagEditorModel::Reset() {
  beginResetModel();
  const std::string_view order = library_.OrderName();
  order_ = order == kNoOrder ? kPathOrder : order;
  rows_ = library_.RecordCount();
  endResetModel();
}

// The database answers rows in its own order only; when that has changed since the reset it
// is switched to the pinned order for the one look-up and straight back.
int TagEditorModel::RecordAt(int row) const {
  if (library_.OrderName() == order_) return library_.RecordForRow(row);
  const std::string shown(library_.OrderName());
  library_.SetOrder(order_);
  const int record = library_.RecordForRow(row);
  library_.SetOrder(shown);
  return record;
}

void TagEditorModel::RowChanged(int row) {
  if (row < 0 || row >= rows_) return;
  emit dataChanged(index(row, 0), index(row, kTagColumnCount - 1), {Qt::DisplayRole});
}

}  // namespace veltro::tags::ui
