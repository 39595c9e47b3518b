// The list's model over the playlist entries: one row per entry, showing Playlist::DisplayText
// ("3. Artist - Title"). The entries are not copied; every change the window makes goes through
// this class, which tells the view exactly which rows appeared, went or changed, so the view's
// scroll position and selection model stay in step without a reset.
//
// Thread: UI thread only. Ownership: borrows the Playlist, which must outlive the model (or the
// model is detached first).
#pragma once

#include <QAbstractListModel>
#include <string_view>
#include <vector>

#include "playlist/Playlist.h"

namespace veltro::library {
class SongDatabase;
}

namespace veltro::playlist::ui {

class PlaylistModel : public QAbstractListModel {
 public:
  // UI thread. Shows the entries `playlist` holds now.
  explicit PlaylistModel(Playlist& playlist, QObject* parent = nullptr);

  // UI thread. QAbstractListModel: one row per entry; the display text of an entry (decoded as
  // UTF-8, or as Windows-1252 when its bytes are not UTF-8).
  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

  // UI thread. The playlist's own operations, with the view told what they changed.
  void Append(std::string_view artist, std::string_view title, std::string_view path);
  void Replace(std::vector<PlaylistEntry> entries);
  // Deletes the entries at `rows`, from the highest index down; the marker keeps its index.
  void Remove(std::vector<int> rows);
  // Playlist::DragStep; `selection` ascending, updated to where the entries went.
  bool DragStep(std::vector<int>& selection, int& rememberedY, int y);
  void SetMarker(int index);
  // Playlist::TakeNext; the rows at the old and new marker are repainted.
  bool TakeNext(library::SongDatabase& library);
  // Shows whatever the playlist holds now (after a change made to it directly).
  void Refresh();
  // Shows no rows from now on, whatever the playlist holds: for a view that is being closed
  // while the playlist lives on.
  void Detach();

 private:
  void RowsChanged(int first, int last);

  Playlist& playlist_;
  bool detached_ = false;
};

}  // namespace veltro::playlist::ui
