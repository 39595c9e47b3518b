// Where the deck window's controls sit and how big its fonts are, as fractions of the window.
// The rectangles are the layout of a 250 x 300 window; every resize places each control at the
// same fractions of the new width and height, and the six fonts follow the height. The window
// makes a control's font smaller still where one of its texts would not fit otherwise.
//
// Pure data and arithmetic, no widgets: any thread.
#pragma once

#include <QFont>
#include <QRect>
#include <QSize>

namespace veltro::decks::ui {

// The window size the base rectangles are drawn for (pixels), and the width-to-height ratio
// that "keep proportions" holds.
inline constexpr int kBaseWidth = 250;
inline constexpr int kBaseHeight = 300;
inline constexpr double kKeptWidthPerHeight = 0.8333;

// Every control and static of the deck window.
enum class DeckControl {
  kLoad,
  kBendDown,
  kBendUp,
  kPitchBar,
  kTimePanel,
  kTimeButton,
  kPitchCaption,
  kPitchValue,
  kTimeDisplay,
  kZero,
  kPositionBar,
  kCue,
  kPlay,
  kStatus,
  kSeparator,
  kMainBar,
  kMonitorSwitch,
  kMonitorBar,
  kSongPanel,
  kArtist,
  kTitle,
  kCueLoad,
  kAuxLabel,
  kHeadLabel,
  kCount,
};
inline constexpr int kDeckControlCount = static_cast<int>(DeckControl::kCount);

// The six fonts, each a height factor (of the window height) and a weight.
enum class DeckFont {
  kLabel,      // artist, title, "Cue-Load", "Aux", "Head", "Time", "Pitch:", pitch value
  kLoad,       // the Load button
  kBend,       // "+" and "-"
  kTime,       // the time display
  kSmallBold,  // "Zero" and the status label
  kCue,        // the cue button's text
  kCount,
};
inline constexpr int kDeckFontCount = static_cast<int>(DeckFont::kCount);

// The control's rectangle in the 250 x 300 layout.
QRect BaseRect(DeckControl control);
// The control's rectangle in a window (client area) of `size` pixels.
QRect ScaledRect(DeckControl control, QSize size);
// The font `font` for a window `heightPixels` high: Arial (or the nearest sans-serif face)
// with a pixel size of factor x height, at least 1.
QFont ScaledFont(DeckFont font, int heightPixels);
// The font each control uses; kCount for controls that show no text.
DeckFont FontOf(DeckControl control);
// The width that keeps the window's proportions for `heightPixels` (pixels).
int KeptWidth(int heightPixels);

}  // namespace veltro::decks::ui
