#include "app/ComPortDialog.h"

#include <QComboBox>

#include "app/SettingsKeys.h"
#include "platform/Profile.h"
#include "ui/DialogBuilder.h"
#include "ui/LanguageModule.h"

namespace veltro::app {
namespace {

const QString kDialogName = QStringLiteral("COMDLG");

}  // namespace

ComPortDialog::ComPortDialog(const ui::LanguageModule* language, platform::Profile& settings,
                             std::function<void(int)> /*openHelp*/, QWidget* owner,
                             std::function<std::vector<std::string>()> listPorts)
    : settings_(settings) {
  dialog_ = ui::BuildDialog(
      language != nullptr ? language->Dialog(kDialogName) : ui::DialogTemplate{}, owner);
  connect(dialog_.get(), &ui::TemplateDialog::command, this, [this](int id) {
    if (id == ui::kOkCommand) Confirm();  // the dialog then ends with 1
  });
  Fill(listPorts ? listPorts() : std::vector<std::string>());
}

ComPortDialog::~ComPortDialog() = default;

void ComPortDialog::Fill(const std::vector<std::string>& ports) {
  auto* list = dialog_->ControlById<QComboBox>(kComPortList);
  if (list == nullptr) return;
  list->setInsertPolicy(QComboBox::NoInsert);  // a typed port is a choice, not a new entry
  for (const std::string& port : ports) list->addItem(QString::fromStdString(port));
  const QString stored =
      QString::fromStdString(settings_.GetString(kDevicesSection, kComportKey, kDefaultComport));
  list->setCurrentIndex(list->findText(stored));
  if (list->isEditable()) list->setEditText(stored);
}

int ComPortDialog::Run() {
  return dialog_->exec();
}

// Writes the port as shown. A failed write is not reported here: the dialog ends as confirmed,
// and the controller link keeps using the port the file still names.
void ComPortDialog::Confirm() {
  const auto* list = dialog_->ControlById<QComboBox>(kComPortList);
  if (list == nullptr) return;
  settings_.WriteString(kDevicesSection, kComportKey, list->currentText().toStdString());
}

}  // namespace veltro::app
