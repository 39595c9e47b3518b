// Builds a dialog's widgets from a DialogTemplate and finds them again by control id.
//
// Kinds and the widgets they become: pushbutton QPushButton, checkbox QCheckBox, radiobutton
// QRadioButton, edit QLineEdit, combobox QComboBox ("dropdown" editable, "dropdownlist" not),
// static QLabel, groupbox QGroupBox (a frame behind its neighbours), trackbar QSlider, listbox
// QListWidget ("multiselect": each click toggles), progress QProgressBar, updown QSpinBox.
// An up-down takes the place of its buddy edit: one QSpinBox covers both rectangles and
// answers both ids. The style "reversed" makes the up arrow step toward the minimum.
//
// Thread: UI thread only. Ownership: the dialog owns its controls; Control()/ControlById()
// return non-owning pointers valid while the dialog lives.
#pragma once

#include <QDialog>
#include <QFont>
#include <map>
#include <memory>

#include "ui/DialogTemplate.h"

namespace veltro::ui {

// Command ids with a fixed meaning in every dialog.
inline constexpr int kOkCommand = 1;
inline constexpr int kCancelCommand = 2;
inline constexpr int kHelpCommand = 9;

class TemplateDialog : public QDialog {
  Q_OBJECT

 public:
  explicit TemplateDialog(QWidget* parent = nullptr);

  // The control with `id`, or nullptr.
  QWidget* Control(int id) const;
  // The control with `id` if it is a T (or derives from one), else nullptr.
  template <typename T>
  T* ControlById(int id) const {
    return qobject_cast<T*>(Control(id));
  }

  // When true (the default), command 1 ends the dialog with 1 and command 2 (also Escape and
  // the close box) ends it with 0, after the command signal has been delivered. Owners that
  // must check input first turn it off and call done() themselves.
  void SetClosesOnStandardCommands(bool closes) { closesOnStandardCommands_ = closes; }

  // Registers `control` under `id` (used by the builder). The dialog must be its ancestor.
  void AddControl(int id, QWidget* control);

  // Escape and the close box are command 2, as a Cancel button would send.
  void reject() override;

 signals:
  // A push button, check box or radio button was clicked, or a combo box entry was chosen.
  void command(int id);

 public slots:
  void SendCommand(int id);

 private:
  std::map<int, QWidget*> controls_;
  bool closesOnStandardCommands_ = true;
};

// The font the templates are drawn for: 8-point "MS Sans Serif", 11 pixels high, asked for as
// Arial (or a face with Arial's metrics) at 11 x `scale` pixels, so that the layouts measure the
// same on every machine whatever the desktop's font.
QFont DialogFont(double scale = 1.0);

// Builds the dialog of `dialogTemplate` with every rectangle multiplied by `scale` (dialog
// pixels to widget pixels; 1.0 keeps them), in DialogFont(scale). A control whose text does not
// fit its rectangle gets a smaller font (TextFit.h). A null template gives an empty dialog. The
// caller owns the result; `parent` only sets the owner window.
std::unique_ptr<TemplateDialog> BuildDialog(const DialogTemplate& dialogTemplate,
                                            QWidget* parent = nullptr, double scale = 1.0);

}  // namespace veltro::ui
