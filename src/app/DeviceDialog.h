// The sound device dialog ("DEVICEDLG" of the language module): chooses the output mode and the
// output devices that the next start opens.
//
// Opening it enumerates the output devices and rewrites [present Devices] (description = GUID
// text) at once, whether the dialog is then confirmed or not; static 204 gets the number of
// devices appended. Radio buttons 201, 202 and 203 choose mode 0 (one device for every deck),
// 1 (a main and a monitor device) or 2 (one device per deck). Below them the dialog builds, per
// mode, one row per output (a label and an editable combo box listing every device) and its
// own OK (1), Cancel (2) and Help (9) buttons, and takes the height that mode needs. With at
// most one device only mode 0 can be shown: 202 and 203 are disabled, and the stored mode is
// kept for OK to write back (a device that is missing for now does not undo the choice).
//
// OK writes [Devices] Mode, Count (the number of devices found) and Card_N = the text of row N
// for each row below that number; card keys of rows the mode does not have are left as they
// are. The full text is written: the start-up looks the GUID up by the whole description.
// Help (9) and F1 open help context 40.
//
// Threads: UI thread only. Ownership: owns its dialog (and through it every row widget);
// borrows the language module and the settings, which must outlive it.
#pragma once

#include <QObject>
#include <QString>
#include <functional>
#include <memory>
#include <vector>

#include "platform/sound/SoundSystem.h"
#include "ui/DialogBuilder.h"

class QComboBox;
class QLabel;
class QPushButton;
class QWidget;

namespace veltro::platform {
class Profile;
}
namespace veltro::ui {
class LanguageModule;
}

namespace veltro::app {

inline constexpr int kDeviceHelpContext = 40;

// Control ids of the device dialog's template.
enum DeviceDialogControl : int {
  kOneDeviceButton = 201,
  kMainAndMonitorButton = 202,
  kDevicePerDeckButton = 203,
  kDeviceCountText = 204,
};

// The most output rows the dialog builds (mode 2 with more devices shows the first 64).
inline constexpr int kMaxDeviceRows = 64;

class DeviceDialog : public QObject {
  Q_OBJECT

 public:
  // Builds the dialog from `language` (null or without the template: the rows and buttons
  // without the mode buttons), enumerates the devices with `enumerate` (entries without a
  // GUID text are skipped), rewrites [present Devices] and shows the stored mode's rows.
  // `openHelp` receives help contexts (may be empty); `owner` only sets the owner window.
  // UI thread.
  DeviceDialog(const ui::LanguageModule* language, platform::Profile& settings,
               std::function<void(int)> openHelp, QWidget* owner = nullptr,
               std::function<std::vector<platform::sound::DeviceInfo>()> enumerate =
                   &platform::sound::SoundSystem::Devices);
  ~DeviceDialog() override;

  // The dialog, for tests to reach the controls and answer it. UI thread.
  ui::TemplateDialog& Dialog() { return *dialog_; }
  // Shows the dialog modally: 1 when confirmed with OK, 0 when cancelled. UI thread.
  int Run();

  // The mode OK would write, and the rows shown now (row N's combo box and label). UI thread.
  int Mode() const { return mode_; }
  int RowCount() const { return static_cast<int>(rows_.size()); }
  QComboBox* RowList(int row) const;
  QLabel* RowLabel(int row) const;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  struct Row {
    QLabel* label = nullptr;
    QComboBox* list = nullptr;
  };

  void Enumerate(const std::vector<platform::sound::DeviceInfo>& devices);
  void ShowDeviceCount();
  void ShowStoredMode();
  void BuildLayout(int mode, const std::vector<QString>& texts);
  void ClearLayout();
  void AddRow(const QString& label, const QString& text);
  void AddButtons(int y);
  QString StoredCard(int output) const;
  std::vector<QString> StoredTexts(int mode) const;
  void OnCommand(int id);
  void ChooseMode(int mode);
  void Confirm();

  const ui::LanguageModule* language_;
  platform::Profile& settings_;
  std::function<void(int)> openHelp_;
  std::vector<QString> names_;  // device descriptions in enumeration order
  int mode_ = 0;
  int count_ = 0;  // devices found
  std::vector<Row> rows_;
  std::vector<QPushButton*> buttons_;
  std::unique_ptr<ui::TemplateDialog> dialog_;
};

}  // namespace veltro::app
