#include "playlist/ui/PlaylistDelegate.h"

#include <QFontMetrics>
#include <QPainter>
#include <algorithm>
#include <utility>

namespace veltro::playlist::ui {
namespace {

// The text starts this far right of the row's left edge, clear of the list's frame.
constexpr int kTextInset = 2;

}  // namespace

PlaylistDelegate::PlaylistDelegate(const Playlist& playlist, QFont normal, QFont bold,
                                   QObject* parent)
    : QAbstractItemDelegate(parent),
      playlist_(playlist),
      normal_(std::move(normal)),
      bold_(std::move(bold)) {}

const QFont& PlaylistDelegate::FontFor(int row) const {
  return row == playlist_.Marker() ? bold_ : normal_;
}

void PlaylistDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                             const QModelIndex& index) const {
  const bool selected = option.state.testFlag(QStyle::State_Selected);
  const QPalette::ColorGroup group =
      option.state.testFlag(QStyle::State_Active) ? QPalette::Active : QPalette::Inactive;
  const QPalette& palette = option.palette;
  painter->save();
  painter->fillRect(option.rect,
                    palette.brush(group, selected ? QPalette::Highlight : QPalette::Base));
  painter->setPen(palette.color(group, selected ? QPalette::HighlightedText : QPalette::Text));
  painter->setFont(FontFor(index.row()));
  painter->drawText(option.rect.adjusted(kTextInset, 0, 0, 0),
                    Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine,
                    index.data(Qt::DisplayRole).toString());
  painter->restore();
}

QSize PlaylistDelegate::sizeHint(const QStyleOptionViewItem&, const QModelIndex& index) const {
  const QString text = index.data(Qt::DisplayRole).toString();
  const QFontMetrics metrics(FontFor(index.row()));
  const int height = std::max(QFontMetrics(normal_).height(), QFontMetrics(bold_).height());
  return {kTextInset + metrics.horizontalAdvance(text) + kTextInset, height};
}

}  // namespace veltro::playlist::ui
