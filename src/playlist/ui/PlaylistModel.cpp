#include "playlist/ui/PlaylistModel.h"

#include <algorithm>
#include <functional>
#include <utility>

#include "platform/TextEncoding.h"

namespace veltro::playlist::ui {

PlaylistModel::PlaylistModel(Playlist& playlist, QObject* parent)
    : QAbstractListModel(parent), playlist_(playlist) {}

int PlaylistModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() || detached_ ? 0 : playlist_.Count();
}

QVariant PlaylistModel::data(const QModelIndex& index, int role) const {
  if (role != Qt::DisplayRole || !index.isValid() || index.row() >= rowCount()) return {};
  return QString::fromStdString(platform::ToUtf8FromTagText(playlist_.DisplayText(index.row())));
}

void PlaylistModel::Append(std::string_view artist, std::string_view title, std::string_view path) {
  const int row = rowCount();
  beginInsertRows({}, row, row);
  playlist_.Append(artist, title, path);
  endInsertRows();
}

void PlaylistModel::Replace(std::vector<PlaylistEntry> entries) {
  beginResetModel();
  playlist_.Clear();
  for (PlaylistEntry& entry : entries) playlist_.Append(std::move(entry));
  endResetModel();
}

void PlaylistModel::Remove(std::vector<int> rows) {
  std::sort(rows.begin(), rows.end(), std::greater<>());
  rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
  bool removed = false;
  for (const int row : rows) {
    if (row < 0 || row >= rowCount()) continue;
    beginRemoveRows({}, row, row);
    playlist_.Remove({row});
    endRemoveRows();
    removed = true;
  }
  // Every entry after the first one removed shows a new position number.
  if (removed) RowsChanged(0, rowCount() - 1);
}

bool PlaylistModel::DragStep(std::vector<int>& selection, int& rememberedY, int y) {
  if (detached_ || selection.empty()) return false;
  const int first = selection.front() - 1;
  const int last = selection.back() + 1;
  if (!playlist_.DragStep(selection, rememberedY, y)) return false;
  RowsChanged(first, last);
  return true;
}

void PlaylistModel::SetMarker(int index) {
  const int old = playlist_.Marker();
  playlist_.SetMarker(index);
  RowsChanged(old, old);
  RowsChanged(index, index);
}

bool PlaylistModel::TakeNext(library::SongDatabase& library) {
  if (detached_) return false;
  const int old = playlist_.Marker();
  const bool taken = playlist_.TakeNext(library);
  RowsChanged(old, old);
  RowsChanged(playlist_.Marker(), playlist_.Marker());
  return taken;
}

void PlaylistModel::Refresh() {
  beginResetModel();
  endResetModel();
}

void PlaylistModel::Detach() {
  beginResetModel();
  detached_ = true;
  endResetModel();
}

void PlaylistModel::RowsChanged(int first, int last) {
  first = std::max(first, 0);
  last = std::min(last, rowCount() - 1);
  if (first > last) return;
  emit dataChanged(index(first), index(last), {Qt::DisplayRole, Qt::FontRole});
}

}  // namespace veltro::playlist::ui
