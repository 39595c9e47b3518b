#include "ui/TextFit.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFontInfo>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QStyle>
#include <QStyleOption>
#include <algorithm>

namespace veltro::ui {
namespace {

// The margins a line edit (also the one inside a spin box or an editable combo box) keeps
// between its frame and its text.
constexpr int kLineEditHorizontalMargin = 2;
constexpr int kLineEditVerticalMargin = 1;
// Height of the rectangle a wrapped text is laid out in: tall enough for any dialog text.
constexpr int kUnboundedHeight = 100000;

// "&Save && quit" -> "Save & quit": the text a button shows for its mnemonic text.
QString WithoutMnemonics(const QString& text) {
  QString shown;
  shown.reserve(text.size());
  for (qsizetype i = 0; i < text.size(); ++i) {
    if (text.at(i) == QLatin1Char('&') && i + 1 < text.size()) ++i;
    shown.append(text.at(i));
  }
  return shown;
}

QRect LabelArea(const QLabel& label, const QFont& font) {
  QRect area = label.contentsRect();
  const int margin = label.margin();
  area.adjust(margin, margin, -margin, -margin);
  // A framed label without an explicit indent keeps half an "x" from its frame.
  int indent = label.indent();
  if (indent < 0 && label.frameWidth() > 0) {
    indent = QFontMetrics(font).horizontalAdvance(QLatin1Char('x')) / 2 - margin;
  }
  if (indent <= 0) return area;
  const Qt::Alignment align = QStyle::visualAlignment(label.layoutDirection(), label.alignment());
  if (align & Qt::AlignLeft) area.setLeft(area.left() + indent);
  if (align & Qt::AlignRight) area.setRight(area.right() - indent);
  if (align & Qt::AlignTop) area.setTop(area.top() + indent);
  if (align & Qt::AlignBottom) area.setBottom(area.bottom() - indent);
  return area;
}

QRect PushButtonArea(const QPushButton& button) {
  QStyleOptionButton option;
  option.initFrom(&button);
  option.text = button.text();
  if (button.isDefault()) option.features |= QStyleOptionButton::DefaultButton;
  if (button.autoDefault()) option.features |= QStyleOptionButton::AutoDefaultButton;
  if (button.isFlat()) option.features |= QStyleOptionButton::Flat;
  const QStyle* style = button.style();
  const int halfMargin = style->pixelMetric(QStyle::PM_ButtonMargin, &option, &button) / 2;
  return style->subElementRect(QStyle::SE_PushButtonContents, &option, &button)
      .adjusted(halfMargin, 0, -halfMargin, 0);
}

QRect IndicatorButtonArea(const QAbstractButton& button, QStyle::SubElement contents) {
  QStyleOptionButton option;
  option.initFrom(&button);
  option.text = button.text();
  return button.style()->subElementRect(contents, &option, &button);
}

QRect LineEditTextArea(const QRect& field) {
  return field.adjusted(kLineEditHorizontalMargin, kLineEditVerticalMargin,
                        -kLineEditHorizontalMargin, -kLineEditVerticalMargin);
}

QRect ComboBoxArea(const QComboBox& combo) {
  QStyleOptionComboBox option;
  option.initFrom(&combo);
  option.editable = combo.isEditable();
  option.frame = combo.hasFrame();
  option.subControls = QStyle::SC_All;
  return LineEditTextArea(combo.style()->subControlRect(QStyle::CC_ComboBox, &option,
                                                        QStyle::SC_ComboBoxEditField, &combo));
}

QRect SpinBoxArea(const QSpinBox& spin) {
  QStyleOptionSpinBox option;
  option.initFrom(&spin);
  option.frame = spin.hasFrame();
  option.buttonSymbols = spin.buttonSymbols();
  option.subControls = QStyle::SC_All;
  return LineEditTextArea(spin.style()->subControlRect(QStyle::CC_SpinBox, &option,
                                                       QStyle::SC_SpinBoxEditField, &spin));
}

QRect GroupBoxArea(const QGroupBox& box, const QFont& font) {
  QStyleOptionGroupBox option;
  option.initFrom(&box);
  option.fontMetrics = QFontMetrics(font);
  option.text = box.title();
  option.textAlignment = box.alignment();
  option.lineWidth = 1;
  option.subControls = QStyle::SC_GroupBoxFrame | QStyle::SC_GroupBoxLabel;
  if (box.isCheckable()) option.subControls |= QStyle::SC_GroupBoxCheckBox;
  if (box.isFlat()) option.features |= QStyleOptionFrame::Flat;
  const QRect label =
      box.style()->subControlRect(QStyle::CC_GroupBox, &option, QStyle::SC_GroupBoxLabel, &box);
  // The style's title rectangle is the title plus the style's padding (and some styles measure
  // and draw the title in the box's own font made bold). The area leaves room for that extra,
  // so that the title fits exactly when the style's rectangle ends inside the box, as far from
  // its right edge as it starts from the left.
  const int extra = label.width() - TextExtent(font, WithoutMnemonics(box.title())).width();
  return QRect(label.left(), label.top(), box.width() - 2 * label.left() - extra, label.height());
}

bool AllFit(const QFont& font, const QStringList& texts, const QRect& area, bool wrap) {
  return std::all_of(texts.begin(), texts.end(),
                     [&](const QString& text) { return TextFits(font, text, area, wrap); });
}

}  // namespace

QSize TextExtent(const QFont& font, const QString& text) {
  const QFontMetrics metrics(font);
  const QStringList lines = text.split(QLatin1Char('\n'));
  int width = 0;
  for (const QString& line : lines) {
    const QRect ink = metrics.boundingRect(line);
    const int right = std::max(metrics.horizontalAdvance(line), ink.right() + 1);
    width = std::max(width, right - std::min(0, ink.left()));
  }
  const int height = metrics.height() + static_cast<int>(lines.size() - 1) * metrics.lineSpacing();
  return QSize(width, height);
}

bool TextFits(const QFont& font, const QString& text, const QRect& area, bool wrap) {
  if (!wrap) {
    const QSize extent = TextExtent(font, text);
    return extent.width() <= area.width() && extent.height() <= area.height();
  }
  const QRect laidOut = QFontMetrics(font).boundingRect(QRect(0, 0, area.width(), kUnboundedHeight),
                                                        Qt::AlignLeft | Qt::TextWordWrap, text);
  return laidOut.width() <= area.width() && laidOut.height() <= area.height();
}

QRect TextArea(const QWidget& widget, const QFont& font) {
  if (const auto* label = qobject_cast<const QLabel*>(&widget)) return LabelArea(*label, font);
  if (const auto* push = qobject_cast<const QPushButton*>(&widget)) return PushButtonArea(*push);
  if (const auto* check = qobject_cast<const QCheckBox*>(&widget)) {
    return IndicatorButtonArea(*check, QStyle::SE_CheckBoxContents);
  }
  if (const auto* radio = qobject_cast<const QRadioButton*>(&widget)) {
    return IndicatorButtonArea(*radio, QStyle::SE_RadioButtonContents);
  }
  if (const auto* combo = qobject_cast<const QComboBox*>(&widget)) return ComboBoxArea(*combo);
  if (const auto* spin = qobject_cast<const QSpinBox*>(&widget)) return SpinBoxArea(*spin);
  if (const auto* box = qobject_cast<const QGroupBox*>(&widget)) return GroupBoxArea(*box, font);
  return widget.rect();
}

QStringList ShownTexts(const QWidget& widget) {
  QStringList texts;
  if (const auto* label = qobject_cast<const QLabel*>(&widget)) {
    texts = {label->text()};
  } else if (const auto* button = qobject_cast<const QAbstractButton*>(&widget)) {
    texts = {WithoutMnemonics(button->text())};
  } else if (const auto* box = qobject_cast<const QGroupBox*>(&widget)) {
    texts = {WithoutMnemonics(box->title())};
  } else if (const auto* combo = qobject_cast<const QComboBox*>(&widget)) {
    for (int i = 0; i < combo->count(); ++i) texts.append(combo->itemText(i));
    if (combo->isEditable()) texts.append(combo->currentText());
  } else if (const auto* spin = qobject_cast<const QSpinBox*>(&widget)) {
    texts = {spin->prefix() + QString::number(spin->minimum()) + spin->suffix(),
             spin->prefix() + QString::number(spin->maximum()) + spin->suffix()};
  }
  texts.removeAll(QString());
  return texts;
}

QFont FittingFont(const QFont& font, const QStringList& texts,
                  const std::function<QRect(const QFont&)>& areaFor, bool wrap) {
  QFont fitted = font;
  const int start = font.pixelSize() > 0 ? font.pixelSize() : QFontInfo(font).pixelSize();
  for (int pixels = start;; --pixels) {
    fitted.setPixelSize(pixels);
    if (pixels <= kSmallestTextPixels || AllFit(fitted, texts, areaFor(fitted), wrap)) {
      return fitted;
    }
  }
}

void FitFont(QWidget& widget, const QFont& font, const QStringList& texts) {
  const auto* label = qobject_cast<const QLabel*>(&widget);
  const bool wrap = label != nullptr && label->wordWrap();
  // The widget carries each candidate while it is measured: some styles measure its text in
  // the widget's own font rather than the one they are given.
  const auto areaFor = [&widget](const QFont& candidate) {
    widget.setFont(candidate);
    return TextArea(widget, candidate);
  };
  widget.setFont(FittingFont(font, texts + ShownTexts(widget), areaFor, wrap));
}

}  // namespace veltro::ui
