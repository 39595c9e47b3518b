#include "ui/DialogBuilder.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QSpinBox>
#include <algorithm>
#include <cmath>

#include "ui/TextFit.h"

namespace veltro::ui {
namespace {

// The templates' 8-point "MS Sans Serif" at 96 dots per inch.
constexpr int kTemplateFontPixels = 11;

// A spin box whose arrows move the other way: the up arrow steps toward the minimum.
class ReversedSpinBox : public QSpinBox {
 public:
  using QSpinBox::QSpinBox;
  void stepBy(int steps) override { QSpinBox::stepBy(-steps); }

 protected:
  StepEnabled stepEnabled() const override {
    StepEnabled enabled = StepNone;
    if (value() > minimum()) enabled |= StepUpEnabled;
    if (value() < maximum()) enabled |= StepDownEnabled;
    return enabled;
  }
};

int Scaled(int pixels, double scale) {
  return static_cast<int>(std::lround(pixels * scale));
}

QRect ScaledRect(const QRect& rect, double scale) {
  return QRect(Scaled(rect.x(), scale), Scaled(rect.y(), scale), Scaled(rect.width(), scale),
               Scaled(rect.height(), scale));
}

QWidget* MakeButton(const ControlTemplate& control, TemplateDialog& dialog) {
  QAbstractButton* button = nullptr;
  if (control.kind == ControlKind::kCheckBox) {
    button = new QCheckBox(control.text, &dialog);
  } else if (control.kind == ControlKind::kRadioButton) {
    button = new QRadioButton(control.text, &dialog);
  } else {
    auto* push = new QPushButton(control.text, &dialog);
    push->setDefault(control.HasStyle("default"));
    push->setAutoDefault(false);
    button = push;
  }
  if (control.HasStyle("checked")) button->setChecked(true);
  const int id = control.id;
  QObject::connect(button, &QAbstractButton::clicked, &dialog,
                   [&dialog, id] { dialog.SendCommand(id); });
  return button;
}

QWidget* MakeLabel(const ControlTemplate& control, TemplateDialog& dialog) {
  auto* label = new QLabel(control.text, &dialog);
  Qt::Alignment alignment = Qt::AlignLeft;
  if (control.HasStyle("center")) alignment = Qt::AlignHCenter;
  if (control.HasStyle("right")) alignment = Qt::AlignRight;
  label->setAlignment(alignment | Qt::AlignVCenter);
  label->setWordWrap(control.HasStyle("wordwrap"));
  if (control.HasStyle("sunken")) label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  if (control.HasStyle("bold")) {
    QFont font = label->font();
    font.setBold(true);
    label->setFont(font);
  }
  return label;
}

QWidget* MakeEdit(const ControlTemplate& control, TemplateDialog& dialog) {
  auto* edit = new QLineEdit(control.text, &dialog);
  edit->setReadOnly(control.HasStyle("readonly"));
  if (control.HasStyle("number")) edit->setValidator(new QIntValidator(0, 999999999, edit));
  return edit;
}

QWidget* MakeCombo(const ControlTemplate& control, TemplateDialog& dialog) {
  auto* combo = new QComboBox(&dialog);
  combo->setEditable(control.HasStyle("dropdown"));
  if (combo->isEditable()) combo->setEditText(control.text);
  const int id = control.id;
  QObject::connect(combo, &QComboBox::activated, &dialog,
                   [&dialog, id] { dialog.SendCommand(id); });
  return combo;
}

QWidget* MakeTrackbar(const ControlTemplate& control, TemplateDialog& dialog) {
  const bool vertical = control.HasStyle("vertical");
  auto* slider = new QSlider(vertical ? Qt::Vertical : Qt::Horizontal, &dialog);
  slider->setRange(control.minimum, control.maximum);
  slider->setValue(control.value);
  if (control.pageStep > 0) slider->setPageStep(control.pageStep);
  if (control.tickInterval > 0) slider->setTickInterval(control.tickInterval);
  if (control.HasStyle("ticks")) slider->setTickPosition(QSlider::TicksBelow);
  return slider;
}

QWidget* MakeList(const ControlTemplate& control, TemplateDialog& dialog) {
  auto* list = new QListWidget(&dialog);
  list->setSelectionMode(control.HasStyle("multiselect") ? QAbstractItemView::MultiSelection
                                                         : QAbstractItemView::SingleSelection);
  return list;
}

QWidget* MakeProgress(const ControlTemplate& control, TemplateDialog& dialog) {
  auto* bar = new QProgressBar(&dialog);
  bar->setRange(control.minimum, control.maximum > control.minimum ? control.maximum : 100);
  bar->setValue(control.value);
  return bar;
}

// The widget for every kind except the up-down (which needs its buddy built first).
QWidget* MakeControl(const ControlTemplate& control, TemplateDialog& dialog) {
  switch (control.kind) {
    case ControlKind::kPushButton:
    case ControlKind::kCheckBox:
    case ControlKind::kRadioButton:
      return MakeButton(control, dialog);
    case ControlKind::kStatic:
      return MakeLabel(control, dialog);
    case ControlKind::kGroupBox:
      return new QGroupBox(control.text, &dialog);
    case ControlKind::kEdit:
      return MakeEdit(control, dialog);
    case ControlKind::kComboBox:
      return MakeCombo(control, dialog);
    case ControlKind::kTrackbar:
      return MakeTrackbar(control, dialog);
    case ControlKind::kListBox:
      return MakeList(control, dialog);
    case ControlKind::kProgress:
      return MakeProgress(control, dialog);
    case ControlKind::kUpDown:
    case ControlKind::kUnknown:
      break;
  }
  return nullptr;
}

// Replaces the buddy edit (if any) by a spin box covering both rectangles.
void MakeUpDown(const ControlTemplate& control, const DialogTemplate& dialogTemplate,
                TemplateDialog& dialog, double scale) {
  QSpinBox* spin =
      control.HasStyle("reversed") ? new ReversedSpinBox(&dialog) : new QSpinBox(&dialog);
  spin->setRange(control.minimum, qMax(control.minimum, control.maximum));
  spin->setValue(control.value);
  QRect rect = control.rect;
  const ControlTemplate* buddy = dialogTemplate.FindControl(control.buddyId);
  if (buddy != nullptr && control.buddyId != kNoControlId) {
    rect = rect.united(buddy->rect);
    delete dialog.ControlById<QLineEdit>(buddy->id);
    dialog.AddControl(buddy->id, spin);
  }
  spin->setGeometry(ScaledRect(rect, scale));
  FitFont(*spin, spin->font());
  dialog.AddControl(control.id, spin);
}

}  // namespace

QFont DialogFont(double scale) {
  QFont font(QStringLiteral("Arial"));
  font.setStyleHint(QFont::SansSerif);
  font.setPixelSize(std::max(1, Scaled(kTemplateFontPixels, scale)));
  return font;
}

TemplateDialog::TemplateDialog(QWidget* parent) : QDialog(parent) {}

QWidget* TemplateDialog::Control(int id) const {
  const auto found = controls_.find(id);
  return found == controls_.end() ? nullptr : found->second;
}

void TemplateDialog::AddControl(int id, QWidget* control) {
  if (id == kNoControlId || control == nullptr) return;
  controls_[id] = control;
}

void TemplateDialog::reject() {
  SendCommand(kCancelCommand);
}

void TemplateDialog::SendCommand(int id) {
  emit command(id);
  if (!closesOnStandardCommands_) return;
  if (id == kOkCommand) done(1);
  if (id == kCancelCommand) done(0);
}

std::unique_ptr<TemplateDialog> BuildDialog(const DialogTemplate& dialogTemplate, QWidget* parent,
                                            double scale) {
  auto dialog = std::make_unique<TemplateDialog>(parent);
  dialog->setObjectName(dialogTemplate.name);
  dialog->setWindowTitle(dialogTemplate.title);
  dialog->setFont(DialogFont(scale));  // before the controls, which inherit it
  if (!dialogTemplate.size.isEmpty()) {
    dialog->resize(Scaled(dialogTemplate.size.width(), scale),
                   Scaled(dialogTemplate.size.height(), scale));
  }
  for (const ControlTemplate& control : dialogTemplate.controls) {
    QWidget* widget = MakeControl(control, *dialog);
    if (widget == nullptr) continue;
    widget->setGeometry(ScaledRect(control.rect, scale));
    FitFont(*widget, widget->font());
    if (control.kind == ControlKind::kGroupBox) widget->lower();
    dialog->AddControl(control.id, widget);
  }
  for (const ControlTemplate& control : dialogTemplate.controls) {
    if (control.kind == ControlKind::kUpDown) MakeUpDown(control, dialogTemplate, *dialog, scale);
  }
  return dialog;
}

}  // namespace veltro::ui
