// A dialog layout read from a language module: the dialog's title and client size and, per
// control, its kind, id, rectangle, text and style flags. Rectangles are in dialog pixels
// (the dialog's own coordinates at scale 1.0); DialogBuilder turns a template into widgets.
//
// Value types: copy freely. Any thread may parse; the result holds no Qt object.
#pragma once

#include <QByteArray>
#include <QRect>
#include <QSize>
#include <QString>
#include <QStringList>
#include <vector>

namespace veltro::ui {

enum class ControlKind {
  kPushButton,
  kCheckBox,
  kRadioButton,
  kEdit,
  kComboBox,
  kStatic,
  kGroupBox,
  kTrackbar,
  kUpDown,
  kListBox,
  kProgress,
  kUnknown,  // a kind this program does not build; skipped
};

// Id of a control that code never looks up (labels, frames).
inline constexpr int kNoControlId = -1;

struct ControlTemplate {
  ControlKind kind = ControlKind::kUnknown;
  int id = kNoControlId;
  QRect rect;                  // dialog pixels
  QString text;                // caption, label or initial text
  QStringList styles;          // flags such as "default", "dropdownlist", "multiselect", "reversed"
  int buddyId = kNoControlId;  // up-down: the edit it is paired with
  int minimum = 0;             // trackbar, up-down, progress: range and start value
  int maximum = 0;
  int value = 0;
  int pageStep = 0;      // trackbar: page size (0 = the widget's default)
  int tickInterval = 0;  // trackbar: distance between tick marks (0 = none)

  bool HasStyle(const QString& flag) const { return styles.contains(flag); }
};

struct DialogTemplate {
  QString name;
  QString title;
  QSize size;  // client size in dialog pixels
  std::vector<ControlTemplate> controls;

  // True for the template of a missing or unreadable resource.
  bool IsNull() const { return name.isEmpty(); }
  // The first control with `id`, or nullptr.
  const ControlTemplate* FindControl(int id) const;
};

// Reads one template from its JSON text. Missing fields take their defaults; a document that
// is not a JSON object with a "name" gives the null template. Never throws.
DialogTemplate ParseDialogTemplate(const QByteArray& json);

// "pushbutton" -> kPushButton ...; anything else -> kUnknown.
ControlKind ControlKindFromName(const QString& name);

}  // namespace veltro::ui
