#include "decks/ui/DeckLayout.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace veltro::decks::ui {
namespace {

// Base rectangles (x, y, width, height) in the order of DeckControl.
const std::array<QRect, kDeckControlCount> kBaseRects = {{
    {4, 4, 65, 25},      // Load
    {144, 4, 30, 30},    // "-"
    {176, 4, 30, 30},    // "+"
    {214, 4, 25, 150},   // pitch bar
    {4, 36, 161, 60},    // black panel behind the time display
    {8, 40, 45, 20},     // "Time"
    {56, 40, 69, 14},    // "Pitch:", right-aligned beside the value
    {125, 40, 37, 14},   // pitch value
    {8, 64, 155, 30},    // time display
    {170, 72, 40, 20},   // "Zero"
    {4, 96, 161, 17},    // position bar
    {120, 115, 40, 40},  // cue button
    {168, 115, 40, 40},  // play button
    {4, 136, 114, 14},   // status label, up to the cue button
    {0, 160, 242, 10},   // etched separator
    {4, 168, 25, 89},    // main attenuation bar
    {36, 168, 25, 25},   // monitor LED switch
    {36, 193, 25, 63},   // monitor attenuation bar
    {66, 168, 174, 37},  // black panel behind artist and title
    {70, 172, 166, 14},  // artist
    {70, 188, 166, 14},  // title
    {68, 212, 100, 17},  // "Cue-Load"
    {4, 260, 30, 14},    // "Aux"
    {36, 260, 38, 14},   // "Head", under the monitor bar
}};

struct FontStyle {
  double heightFactor;
  bool bold;
};
const std::array<FontStyle, kDeckFontCount> kFonts = {{
    {0.0367, false},  // labels
    {0.04, true},     // Load
    {0.0533, true},   // "+" and "-"
    {0.0833, true},   // time display
    {0.0367, true},   // "Zero", status
    {0.0433, true},   // cue
}};

int Scale(int value, int actual, int base) {
  return static_cast<int>(std::lround(static_cast<double>(value) * actual / base));
}

}  // namespace

QRect BaseRect(DeckControl control) {
  return kBaseRects.at(static_cast<size_t>(control));
}

QRect ScaledRect(DeckControl control, QSize size) {
  const QRect base = BaseRect(control);
  return QRect(Scale(base.x(), size.width(), kBaseWidth),
               Scale(base.y(), size.height(), kBaseHeight),
               Scale(base.width(), size.width(), kBaseWidth),
               Scale(base.height(), size.height(), kBaseHeight));
}

QFont ScaledFont(DeckFont font, int heightPixels) {
  const FontStyle& style = kFonts.at(static_cast<size_t>(font));
  QFont result(QStringLiteral("Arial"));
  result.setStyleHint(QFont::SansSerif);
  result.setPixelSize(std::max(1, static_cast<int>(std::lround(style.heightFactor * heightPixels))));
  result.setBold(style.bold);
  return result;
}

DeckFont FontOf(DeckControl control) {
  switch (control) {
    case DeckControl::kLoad:
      return DeckFont::kLoad;
    case DeckControl::kBendDown:
    case DeckControl::kBendUp:
      return DeckFont::kBend;
    case DeckControl::kTimeDisplay:
      return DeckFont::kTime;
    case DeckControl::kZero:
    case DeckControl::kStatus:
      return DeckFont::kSmallBold;
    case DeckControl::kCue:
      return DeckFont::kCue;
    case DeckControl::kArtist:
    case DeckControl::kTitle:
    case DeckControl::kCueLoad:
    case DeckControl::kAuxLabel:
    case DeckControl::kHeadLabel:
    case DeckControl::kTimeButton:
    case DeckControl::kPitchCaption:
    case DeckControl::kPitchValue:
      return DeckFont::kLabel;
    default:
      return DeckFont::kCount;
  }
}

int KeptWidth(int heightPixels) {
  return static_cast<int>(std::lround(kKeptWidthPerHeight * heightPixels));
}

}  // namespace veltro::decks::ui
