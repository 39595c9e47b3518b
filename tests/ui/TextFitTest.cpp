// Text areas and fitted fonts, with Qt's own size hints as the oracle: a widget at its size hint
// shows its text whole, so the text must fit the area found for it and keep its font; a few
// pixels narrower the text no longer fits, so the font must shrink until it does again.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QFontMetrics>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <algorithm>
#include <functional>
#include <memory>

#include "ui/DialogBuilder.h"
#include "ui/TextFit.h"
#include "ui/UiTestSupport.h"

namespace veltro::testing {
namespace {

const QString kText = QStringLiteral("Remove missing songs, then scan");

struct WidgetCase {
  const char* name;
  std::function<QWidget*()> make;
  // Pixels a size hint gives beyond what the widget draws its text in: a framed label's hint
  // counts a whole "x" of indent where its text is indented by half an "x" on one side only;
  // a check box's or radio button's hint keeps 4 pixels around the label for the focus frame.
  int hintSlack = 0;
};

const WidgetCase kWidgetCases[] = {
    {"label", [] { return new QLabel(kText); }},
    {"framed label",  // a frame brings an indent of half an "x"
     [] {
       auto* label = new QLabel(kText);
       label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
       return label;
     },
     3},
    {"label with margin",
     [] {
       auto* label = new QLabel(kText);
       label->setMargin(4);
       return label;
     }},
    {"push button", [] { return new QPushButton(kText); }},
    {"default push button",
     [] {
       auto* button = new QPushButton(kText);
       button->setAutoDefault(true);
       return button;
     }},
    {"check box", [] { return new QCheckBox(kText); }, 4},
    {"radio button", [] { return new QRadioButton(kText); }, 4},
    {"combo box",
     [] {
       auto* combo = new QComboBox;
       combo->addItems({QStringLiteral("short"), kText});
       return combo;
     }},
};

class TextFitTest : public ::testing::Test {
 protected:
  void SetUp() override { EnsureApplication(); }
  const QFont font = ui::DialogFont();
};

TEST_F(TextFitTest, AtItsSizeHintAWidgetKeepsItsFontAndNarrowerItShrinksIt) {
  for (const WidgetCase& row : kWidgetCases) {
    SCOPED_TRACE(row.name);
    const std::unique_ptr<QWidget> widget(row.make());
    widget->setFont(font);
    const QSize hint = widget->sizeHint();
    widget->resize(hint);
    ui::FitFont(*widget, font);
    EXPECT_EQ(widget->font().pixelSize(), font.pixelSize());
    widget->resize(hint.width() - row.hintSlack, hint.height());
    ui::FitFont(*widget, font);
    EXPECT_EQ(widget->font().pixelSize(), font.pixelSize()) << "the slack is not needed";

    widget->resize(hint.width() - row.hintSlack - 3, hint.height());
    ui::FitFont(*widget, font);
    const QFont fitted = widget->font();
    EXPECT_LT(fitted.pixelSize(), font.pixelSize());
    EXPECT_EQ(fitted.family(), font.family());
    for (const QString& text : ui::ShownTexts(*widget)) {
      EXPECT_TRUE(ui::TextFits(fitted, text, ui::TextArea(*widget, fitted))) << text.toStdString();
    }
  }
}

// A group box's size hint leaves room beyond its title, so the oracle is the drawn title: at
// the narrowest width that keeps the font, the title's ink ends where it does in a wide box,
// and that width is within the style's few pixels of padding of the title's own width.
TEST_F(TextFitTest, GroupBoxKeepsItsFontExactlyWhileTheTitleIsDrawnWhole) {
  QGroupBox box(kText);
  const auto titleInkRight = [&box] {
    const QImage image = box.grab().toImage();
    int right = -1;
    for (int y = 0; y < QFontMetrics(box.font()).height(); ++y) {
      for (int x = 0; x < image.width(); ++x) {
        if (qGray(image.pixel(x, y)) < 100) right = std::max(right, x);
      }
    }
    return right;
  };
  box.setFont(font);
  box.resize(400, 60);
  const int wholeRight = titleInkRight();
  int width = 400;
  for (; width > 0; --width) {
    box.resize(width - 1, 60);
    ui::FitFont(box, font);
    if (box.font().pixelSize() < font.pixelSize()) break;
  }
  box.resize(width, 60);
  ui::FitFont(box, font);
  ASSERT_EQ(box.font().pixelSize(), font.pixelSize());
  EXPECT_EQ(titleInkRight(), wholeRight);
  EXPECT_LE(width, ui::TextExtent(font, kText).width() + 8);
}

TEST_F(TextFitTest, FittingFontStepsDownToTheSmallestSizeAndNeverGrows) {
  const auto area = [](int width, int height) {
    return [width, height](const QFont&) { return QRect(0, 0, width, height); };
  };
  const QString word = QStringLiteral("Überblenden");
  const int natural = ui::TextExtent(font, word).width();
  // Room for the text at 11 pixels: kept; a pixel less: smaller, and fitting.
  EXPECT_EQ(ui::FittingFont(font, {word}, area(natural, 20)).pixelSize(), 11);
  const QFont smaller = ui::FittingFont(font, {word, QStringLiteral("x")}, area(natural - 1, 20));
  EXPECT_LT(smaller.pixelSize(), 11);
  EXPECT_LE(ui::TextExtent(smaller, word).width(), natural - 1);
  // Too low for the line height: shrinks for the height alone.
  EXPECT_LT(ui::FittingFont(font, {word}, area(1000, 10)).pixelSize(), 11);
  // Nothing fits: stops at the smallest size.
  EXPECT_EQ(ui::FittingFont(font, {word}, area(3, 3)).pixelSize(), ui::kSmallestTextPixels);
  // A font given in points starts at its pixel size.
  QFont points(QStringLiteral("Arial"));
  points.setPointSize(30);
  EXPECT_GT(ui::FittingFont(points, {word}, area(1000, 1000)).pixelSize(), 30);
}

TEST_F(TextFitTest, WrappedTextsBreakBetweenWordsOnly) {
  const QString sentence = QStringLiteral("Choose the language for the next start");
  const int oneLine = ui::TextExtent(font, sentence).width();
  const int lineHeight = ui::TextExtent(font, sentence).height();
  const QRect twoLines(0, 0, oneLine / 2 + 20, 2 * lineHeight + 2);
  EXPECT_FALSE(ui::TextFits(font, sentence, twoLines));
  EXPECT_TRUE(ui::TextFits(font, sentence, twoLines, true));
  EXPECT_FALSE(ui::TextFits(font, sentence, twoLines.adjusted(0, 0, 0, -lineHeight), true));
  const QString longWord = QStringLiteral("Donaudampfschifffahrtsgesellschaft");
  EXPECT_FALSE(ui::TextFits(font, longWord, QRect(0, 0, 60, 200), true));
}

TEST_F(TextFitTest, ShownTextsDropMnemonicMarksAndListEntries) {
  QPushButton button(QStringLiteral("&Save && quit"));
  EXPECT_EQ(ui::ShownTexts(button), QStringList{QStringLiteral("Save & quit")});
  QComboBox combo;
  combo.addItems({QStringLiteral("Player 00"), QStringLiteral("Player 01")});
  EXPECT_EQ(ui::ShownTexts(combo).size(), 2);
  EXPECT_TRUE(ui::ShownTexts(QWidget()).isEmpty());
  EXPECT_TRUE(ui::ShownTexts(QLabel()).isEmpty()) << "an empty text is no text";
}

}  // namespace
}  // namespace veltro::testing
