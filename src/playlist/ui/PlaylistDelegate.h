// Draws a playlist entry: its row filled with the base colour (the highlight colour when the
// entry is selected) and its text ("3. Artist - Title") at the row's top left, 2 pixels in, in
// the bold font for the entry at the next-entry marker and the normal font for all others.
//
// Thread: UI thread only. Ownership: borrows the Playlist (for the marker), which must outlive
// the delegate.
#pragma once

#include <QAbstractItemDelegate>
#include <QFont>
#include <QStyleOption>

#include "playlist/Playlist.h"

namespace veltro::playlist::ui {

class PlaylistDelegate : public QAbstractItemDelegate {
 public:
  // UI thread. `normal` and `bold` are the window's two fonts.
  PlaylistDelegate(const Playlist& playlist, QFont normal, QFont bold, QObject* parent = nullptr);

  // UI thread. The font entry `row` is drawn in now.
  const QFont& FontFor(int row) const;

  // UI thread. QAbstractItemDelegate.
  void paint(QPainter* painter, const QStyleOptionViewItem& option,
             const QModelIndex& index) const override;
  // The text's width in its font; every row is as high as the taller of the two fonts' lines.
  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

 private:
  const Playlist& playlist_;
  QFont normal_;
  QFont bold_;
};

}  // namespace veltro::playlist::ui
