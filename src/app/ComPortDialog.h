// The controller port dialog ("COMDLG" of the language module): chooses the serial port of the
// hardware controller. Combo box 1202 shows the stored [Devices] Comport (default "COM1") even
// when that port is absent, and lists the ports that can be opened now; the user may also type
// any port. OK (1) writes the combo box's text whole to [Devices] Comport (a device path such as
// /dev/ttyUSB0 is longer than a "COMn" name and is kept whole); Cancel (2) writes nothing;
// Help (9) is accepted and does nothing.
//
// Threads: UI thread only. Ownership: owns its dialog; borrows the language module and the
// settings, which must outlive it.
#pragma once

#include <QObject>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/SerialPorts.h"
#include "ui/DialogBuilder.h"

class QWidget;

namespace veltro::platform {
class Profile;
}
namespace veltro::ui {
class LanguageModule;
}

namespace veltro::app {

inline constexpr int kComPortList = 1202;

class ComPortDialog : public QObject {
  Q_OBJECT

 public:
  // Builds the dialog from `language` (null or without the template: an empty dialog that
  // only Escape closes) and fills it: the stored port as the text, the ports `listPorts`
  // returns (device paths) as the list. The help callback is taken for the shape all settings
  // dialogs share and is not called: this dialog has no help page. UI thread.
  ComPortDialog(
      const ui::LanguageModule* language, platform::Profile& settings,
      std::function<void(int)> openHelp, QWidget* owner = nullptr,
      std::function<std::vector<std::string>()> listPorts = [] {
        return platform::OpenableSerialPorts();
      });
  ~ComPortDialog() override;

  // The dialog, for tests to reach the controls and answer it. UI thread.
  ui::TemplateDialog& Dialog() { return *dialog_; }
  // Shows the dialog modally: 1 when confirmed with OK, 0 when cancelled. UI thread.
  int Run();

 private:
  void Fill(const std::vector<std::string>& ports);
  void Confirm();

  platform::Profile& settings_;
  std::unique_ptr<ui::TemplateDialog> dialog_;
};

}  // namespace veltro::app
