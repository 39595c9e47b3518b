// Texts in fixed-size controls. The deck window and the dialogs place their controls at pixel
// rectangles drawn for one font; a translation, another machine's font or a bold display text
// may need more room than that. These functions know where each kind of widget draws its text
// and shrink a widget's font, a pixel at a time, until every text it can show fits there whole
// (width and height), instead of letting the widget cut it off.
//
// Thread: UI thread only (they read widgets, fonts and the style).
#pragma once

#include <QFont>
#include <QRect>
#include <QSize>
#include <QString>
#include <QStringList>
#include <functional>

class QWidget;

namespace veltro::ui {

// The smallest pixel size a fitted font is given, even when a text does not fit at it.
inline constexpr int kSmallestTextPixels = 6;

// The room `text` takes in `font` (pixels): per line the wider of its advance and its ink, and
// the font's line height for each line ('\n' separates lines).
QSize TextExtent(const QFont& font, const QString& text);

// True when `text` fits `area` in `font`. With `wrap`, lines break between words at the area's
// width (as a word-wrapping label breaks them) and no single word may be wider than the area.
bool TextFits(const QFont& font, const QString& text, const QRect& area, bool wrap = false);

// The rectangle, in `widget`'s coordinates, in which it draws its text when its font is `font`:
// a QLabel's contents less its margin and indent; a QPushButton's contents (inside the bevel)
// less half the style's button margin at either side; a QCheckBox's or QRadioButton's part
// beside the indicator; a QComboBox's or QSpinBox's edit field less the line edit's margins;
// a QGroupBox's title row, as wide as the frame less the title's indent at both ends and less
// what the style adds to the title's own width. Any other widget: its whole rectangle.
QRect TextArea(const QWidget& widget, const QFont& font);

// The texts `widget` shows now: a label's text, a button's or group box's (mnemonic marks
// removed), a combo box's entries, a spin box's minimum and maximum; no empty text. Empty for
// other widgets.
QStringList ShownTexts(const QWidget& widget);

// The largest font, from `font` down a pixel at a time to kSmallestTextPixels, in which every
// text of `texts` fits the area `areaFor` gives for that font (see TextFits for `wrap`).
// `font` keeps its family, weight and style; a font without a pixel size starts at the pixel
// size it resolves to.
QFont FittingFont(const QFont& font, const QStringList& texts,
                  const std::function<QRect(const QFont&)>& areaFor, bool wrap = false);

// Gives `widget` the largest font not larger than `font` in which each of `texts` and each text
// it shows now (ShownTexts) fits its TextArea; a word-wrapping label may wrap them. The widget
// carries each candidate font while it is measured.
void FitFont(QWidget& widget, const QFont& font, const QStringList& texts = {});

}  // namespace veltro::ui
