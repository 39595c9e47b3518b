#include "app/LibraryModel.h"

#include <algorithm>
#include <span>

#include "library/SongDatabase.h"
#include "platform/TextEncoding.h"
#include "ui/LanguageModule.h"

namespace veltro::app {
namespace {

constexpr int32_t kMsPerMinute = 60000;
constexpr int32_t kMsPerSecond = 1000;

template <size_t N>
QString FieldDisplayText(const char (&field)[N]) {
  return QString::fromStdString(platform::ToUtf8FromTagText(library::FieldText(field)));
}

}  // namespace

std::string LengthText(int32_t lengthMs) {
  const int32_t ms = std::max<int32_t>(lengthMs, 0);
  const int32_t seconds = ms % kMsPerMinute / kMsPerSecond;
  std::string text = std::to_string(ms / kMsPerMinute);
  text += seconds < 10 ? ":0" : ":";
  text += std::to_string(seconds);
  return text;
}

QString ColumnText(const library::SongRecord& record, int column) {
  switch (column) {
    case kArtistColumn:
      return FieldDisplayText(record.artist);
    case kTitleColumn:
      return FieldDisplayText(record.songName);
    case kGenreColumn:
      return FieldDisplayText(record.genre);
    case kYearColumn:
      return FieldDisplayText(record.year);
    case kLengthColumn:
      // The field is unsigned on disk; a value above INT32_MAX is a damaged record and reads
      // as negative, which shows as 0:00.
      return QString::fromStdString(LengthText(static_cast<int32_t>(record.lengthMs)));
    default:
      return {};
  }
}

LibraryModel::LibraryModel(const library::SongDatabase& library, ListSource source,
                           const ui::LanguageModule* language, QObject* parent)
    : QAbstractTableModel(parent), library_(library), source_(source), language_(language) {}

int LibraryModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : rows_;
}

int LibraryModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : kLibraryColumnCount;
}

QVariant LibraryModel::data(const QModelIndex& index, int role) const {
  if (role == Qt::TextAlignmentRole) {
    return QVariant::fromValue(Qt::Alignment(Qt::AlignLeft | Qt::AlignVCenter));
  }
  if (role != Qt::DisplayRole || !index.isValid()) return {};
  const library::SongRecord* record = RecordAt(index.row());
  if (record == nullptr) return {};
  return ColumnText(*record, index.column());
}

QVariant LibraryModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || section < 0 || section >= kLibraryColumnCount) return {};
  if (role == Qt::TextAlignmentRole) {
    return QVariant::fromValue(Qt::Alignment(Qt::AlignLeft | Qt::AlignVCenter));
  }
  if (role != Qt::DisplayRole) return {};
  return language_ != nullptr ? language_->String(kColumnHeaderStrings[section]) : QString();
}

void LibraryModel::Reset(int rows) {
  beginResetModel();
  rows_ = std::max(rows, 0);
  endResetModel();
}

void LibraryModel::SetRowCount(int rows) {
  rows = std::max(rows, 0);
  if (rows != rows_) {
    Reset(rows);
    return;
  }
  if (rows_ > 0) emit dataChanged(index(0, 0), index(rows_ - 1, kLibraryColumnCount - 1));
}

const library::SongRecord* LibraryModel::RecordAt(int row) const {
  if (row < 0 || row >= rows_) return nullptr;
  if (source_ == ListSource::kSearchResults) {
    const std::span<const library::SongRecord> results = library_.SearchResults();
    return static_cast<size_t>(row) < results.size() ? &results[static_cast<size_t>(row)] : nullptr;
  }
  const int record = library_.RecordForRow(row);
  const std::span<const library::SongRecord> records = library_.Records();
  return record >= 0 && static_cast<size_t>(record) < records.size()
             ? &records[static_cast<size_t>(record)]
             : nullptr;
}

}  // namespace veltro::app
