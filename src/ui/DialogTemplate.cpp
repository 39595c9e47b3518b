#include "ui/DialogTemplate.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <utility>

namespace veltro::ui {
namespace {

// A rectangle written as [x, y, width, height]; anything else is the empty rectangle.
QRect RectFromJson(const QJsonValue& value) {
  const QJsonArray numbers = value.toArray();
  if (numbers.size() != 4) return {};
  const int width = numbers[2].toInt();
  const int height = numbers[3].toInt();
  if (width < 0 || height < 0) return {};
  return QRect(numbers[0].toInt(), numbers[1].toInt(), width, height);
}

QSize SizeFromJson(const QJsonValue& value) {
  const QJsonArray numbers = value.toArray();
  if (numbers.size() != 2) return {};
  return QSize(qMax(0, numbers[0].toInt()), qMax(0, numbers[1].toInt()));
}

ControlTemplate ControlFromJson(const QJsonObject& object) {
  ControlTemplate control;
  control.kind = ControlKindFromName(object.value("kind").toString());
  control.id = object.value("id").toInt(kNoControlId);
  control.rect = RectFromJson(object.value("rect"));
  control.text = object.value("text").toString();
  for (const QJsonValue& flag : object.value("style").toArray()) {
    if (flag.isString()) control.styles.append(flag.toString());
  }
  control.buddyId = object.value("buddy").toInt(kNoControlId);
  control.minimum = object.value("minimum").toInt();
  control.maximum = object.value("maximum").toInt();
  control.value = object.value("value").toInt();
  control.pageStep = object.value("pageStep").toInt();
  control.tickInterval = object.value("tickInterval").toInt();
  return control;
}

}  // namespace

const ControlTemplate* DialogTemplate::FindControl(int id) const {
  for (const ControlTemplate& control : controls) {
    if (control.id == id) return &control;
  }
  return nullptr;
}

ControlKind ControlKindFromName(const QString& name) {
  static const std::pair<const char*, ControlKind> kKinds[] = {
      {"pushbutton", ControlKind::kPushButton},   {"checkbox", ControlKind::kCheckBox},
      {"radiobutton", ControlKind::kRadioButton}, {"edit", ControlKind::kEdit},
      {"combobox", ControlKind::kComboBox},       {"static", ControlKind::kStatic},
      {"groupbox", ControlKind::kGroupBox},       {"trackbar", ControlKind::kTrackbar},
      {"updown", ControlKind::kUpDown},           {"listbox", ControlKind::kListBox},
      {"progress", ControlKind::kProgress},
  };
  for (const auto& [text, kind] : kKinds) {
    if (name == QLatin1String(text)) return kind;
  }
  return ControlKind::kUnknown;
}

DialogTemplate ParseDialogTemplate(const QByteArray& json) {
  QJsonParseError error{};
  const QJsonDocument document = QJsonDocument::fromJson(json, &error);
  if (error.error != QJsonParseError::NoError || !document.isObject()) return {};
  const QJsonObject object = document.object();
  DialogTemplate dialog;
  dialog.name = object.value("name").toString();
  if (dialog.name.isEmpty()) return {};
  dialog.title = object.value("title").toString();
  dialog.size = SizeFromJson(object.value("size"));
  for (const QJsonValue& control : object.value("controls").toArray()) {
    if (control.isObject()) dialog.controls.push_back(ControlFromJson(control.toObject()));
  }
  return dialog;
}

}  // namespace veltro::ui
