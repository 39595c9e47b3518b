// The deck's two painted buttons: play (green, a triangle and two bars) and cue (red, "CUE").
// Each is drawn up or down as the transport says (ShowButtons), not as the mouse holds it:
// up = a 1-pixel white edge at the left and top and a 2-pixel black edge at the right and
// bottom; down = the same edges with the colours swapped. A press still shows down while the
// mouse holds the button.
//
// Thread: UI thread only. Owned by its parent widget.
#pragma once

#include <QAbstractButton>

namespace veltro::decks::ui {

class DeckButton : public QAbstractButton {
  Q_OBJECT

 public:
  enum class Face { kPlay, kCue };

  DeckButton(Face face, QWidget* parent);

  // The state the transport shows (true = down).
  void SetShownDown(bool down);
  bool ShownDown() const { return shownDown_; }
  Face ButtonFace() const { return face_; }
  // Where the cue face's text is drawn: inside the edges.
  QRect TextArea() const;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  void PaintEdges(class QPainter& painter, bool down) const;
  void PaintPlaySymbol(class QPainter& painter) const;

  Face face_;
  bool shownDown_ = false;
};

}  // namespace veltro::decks::ui
