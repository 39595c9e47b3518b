#include "decks/ui/DeckButtons.h"

#include <QPainter>
#include <QPolygon>

namespace veltro::decks::ui {
namespace {

const QColor kPlayGreen(0, 255, 0);
const QColor kCueRed(255, 0, 0);

}  // namespace

DeckButton::DeckButton(Face face, QWidget* parent) : QAbstractButton(parent), face_(face) {
  setText(face == Face::kCue ? QStringLiteral("CUE") : QString());
  setFocusPolicy(Qt::NoFocus);  // keys go to the deck window (l, p, c)
}

void DeckButton::SetShownDown(bool down) {
  if (shownDown_ == down) return;
  shownDown_ = down;
  update();
}

void DeckButton::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), face_ == Face::kPlay ? kPlayGreen : kCueRed);
  const bool down = shownDown_ || isDown();
  if (face_ == Face::kPlay) {
    PaintPlaySymbol(painter);
  } else {
    painter.setPen(Qt::black);
    painter.setFont(font());
    painter.drawText(TextArea(), Qt::AlignCenter | Qt::TextSingleLine, text());
  }
  PaintEdges(painter, down);
}

QRect DeckButton::TextArea() const {
  return rect().adjusted(1, 1, -2, -2);  // the edges PaintEdges draws
}

void DeckButton::PaintEdges(QPainter& painter, bool down) const {
  const int w = width();
  const int h = height();
  const QColor light = down ? Qt::black : Qt::white;
  const QColor dark = down ? Qt::white : Qt::black;
  painter.fillRect(0, 0, w, 1, light);     // top, one pixel
  painter.fillRect(0, 0, 1, h, light);     // left, one pixel
  painter.fillRect(0, h - 2, w, 2, dark);  // bottom, two pixels
  painter.fillRect(w - 2, 0, 2, h, dark);  // right, two pixels
}

void DeckButton::PaintPlaySymbol(QPainter& painter) const {
  const int w = width();
  const int h = height();
  const QPolygon triangle({QPoint(3 * w / 16, 5 * h / 16), QPoint(9 * w / 16, 8 * h / 16),
                           QPoint(3 * w / 16, 11 * h / 16)});
  painter.setPen(Qt::black);
  painter.setBrush(Qt::black);
  painter.drawPolygon(triangle);
  painter.drawLine(11 * w / 16, 5 * h / 16, 11 * w / 16, 11 * h / 16);
  painter.drawLine(13 * w / 16, 5 * h / 16, 13 * w / 16, 11 * h / 16);
}

}  // namespace veltro::decks::ui
