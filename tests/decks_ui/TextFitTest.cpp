// Every text of the deck window and of the mixer fits whole inside its control, in every
// language module and at several window sizes: measured with the font each control was given,
// against the rectangle the control draws its text in. No two of the deck's controls with a
// text overlap, so that fitting texts also stay apart.
#include <gtest/gtest.h>

#include <QFontMetrics>
#include <QLabel>
#include <QSize>
#include <QTest>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "DeckWindowHarness.h"
#include "decks/DeckState.h"
#include "decks/DeckTransport.h"
#include "decks/ui/DeckButtons.h"
#include "decks/ui/MixerWindow.h"
#include "ui/DialogBuilder.h"
#include "ui/TextFit.h"

namespace veltro::decks::ui {
namespace {

// The default size, a uniform enlargement, a fractional scale, and a tall narrow window
// (fonts follow the height, widths the width).
const QSize kDeckSizes[] = {{250, 300}, {500, 600}, {375, 450}, {250, 450}};

// Every word the status label can show: the state words, alone and as a deck without an output
// device shows them, and the note that a cue was not stored.
QStringList StatusTexts(const veltro::ui::LanguageModule& language) {
  QStringList texts = {language.String(kCueNotStoredTextId)};
  for (int state = 0; state <= static_cast<int>(DeckState::kSeeking); ++state) {
    const QString word = QString::fromLatin1(DeckStateWord(static_cast<DeckState>(state)));
    texts << word << word + QStringLiteral(" (no sound)");
  }
  return texts;
}

class TextFitTest : public DeckWindowTest, public ::testing::WithParamInterface<const char*> {
 protected:
  void SetUp() override {
    DeckWindowTest::SetUp();
    ASSERT_TRUE(language.Load(LanguageFile(GetParam())));
    MakeLibrary({{"Tone Artist", "Sine Title", "", "", WriteSong("tone.wav", 1.0), 0, 1000}});
  }
  // Checks that each text fits `area` in `widget`'s font; `what` names the control.
  static void ExpectFits(const QWidget& widget, const QStringList& texts, const QRect& area,
                         const std::string& what) {
    const QFontMetrics metrics(widget.font());
    for (const QString& text : texts) {
      EXPECT_LE(metrics.horizontalAdvance(text), area.width())
          << what << " \"" << text.toStdString() << "\" width, font px "
          << widget.font().pixelSize();
      EXPECT_LE(metrics.height(), area.height())
          << what << " \"" << text.toStdString() << "\" height, font px "
          << widget.font().pixelSize();
    }
  }
};

TEST_P(TextFitTest, EveryDeckTextFitsItsControl) {
  PlayerWindow& w = MakeWindow();
  w.show();                  // a hidden window is laid out only when shown
  QTest::keyClick(&w, 'l');  // artist and title shown
  const PlayerWindowControls& c = w.Controls();
  // Texts a control shows later, beyond the one it shows now.
  const std::map<const QWidget*, QStringList> later = {
      {c.timeDisplay, {QStringLiteral("-00:00:00:00"), QStringLiteral("No Song")}},
      {c.status, StatusTexts(language)},
      {c.pitchValue, {QStringLiteral("-12.7")}},
  };
  for (const QSize size : kDeckSizes) {
    w.resize(size);
    std::vector<std::pair<QRect, std::string>> placed;  // controls with a text, and where
    for (int place = 0; place < kDeckControlCount; ++place) {
      const QWidget* widget = c.byPlace.at(static_cast<size_t>(place));
      const QStringList shown = widget != nullptr ? veltro::ui::ShownTexts(*widget) : QStringList();
      if (shown.isEmpty()) continue;
      const std::string what = std::to_string(size.width()) + "x" + std::to_string(size.height()) +
                               " control " + std::to_string(place) + " \"" +
                               shown.first().toStdString() + "\"";
      const auto* painted = qobject_cast<const DeckButton*>(widget);
      const QRect area =
          painted != nullptr ? painted->TextArea() : veltro::ui::TextArea(*widget, widget->font());
      const auto extra = later.find(widget);
      ExpectFits(*widget, shown + (extra != later.end() ? extra->second : QStringList()), area,
                 what);
      for (const auto& [other, otherWhat] : placed) {
        EXPECT_FALSE(widget->geometry().intersects(other)) << what << " covers " << otherWhat;
      }
      placed.emplace_back(widget->geometry(), what);
    }
  }
}

TEST_P(TextFitTest, EveryMixerTextFitsItsControl) {
  MixerWindow mixer(&language, {});
  PlayerWindow& window = MakeWindow();
  mixer.AddDeck(QStringLiteral("Player 00"), &window.Transport());
  const auto children = mixer.Dialog().findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
  int withText = 0;
  for (const QWidget* child : children) {
    const QStringList texts = veltro::ui::ShownTexts(*child);
    if (texts.isEmpty()) continue;
    ++withText;
    ExpectFits(*child, texts, veltro::ui::TextArea(*child, child->font()),
               std::string(child->metaObject()->className()) + " " +
                   texts.join(QLatin1Char('|')).toStdString());
  }
  EXPECT_GE(withText, 12);  // 4 buttons, 2 boxes, 3 labels, 2 lists, 2 spin boxes
}

INSTANTIATE_TEST_SUITE_P(Languages, TextFitTest,
                         ::testing::Values("leng", "lger", "lfra", "lita", "lesp"));

}  // namespace
}  // namespace veltro::decks::ui
