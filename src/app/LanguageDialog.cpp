#include "app/LanguageDialog.h"

#include <QComboBox>
#include <QFile>
#include <QKeyEvent>

#include "app/SettingsKeys.h"
#include "platform/Profile.h"
#include "ui/DialogBuilder.h"
#include "ui/LanguageModule.h"

namespace veltro::app {
namespace {

const QString kDialogName = QStringLiteral("LANGUAGEDLG");

bool CanRead(const QString& path) {
  QFile file(path);
  return !path.isEmpty() && file.open(QIODevice::ReadOnly);
}

}  // namespace

LanguageDialog::LanguageDialog(const ui::LanguageModule* language, platform::Profile& settings,
                               const ResourceFolders& resources, std::function<void(int)> openHelp,
                               QWidget* owner)
    : settings_(settings), openHelp_(std::move(openHelp)) {
  dialog_ = ui::BuildDialog(
      language != nullptr ? language->Dialog(kDialogName) : ui::DialogTemplate{}, owner);
  dialog_->installEventFilter(this);  // F1
  connect(dialog_.get(), &ui::TemplateDialog::command, this, [this](int id) { OnCommand(id); });
  Fill(resources);
}

LanguageDialog::~LanguageDialog() {
  if (dialog_ != nullptr) dialog_->removeEventFilter(this);
}

void LanguageDialog::Fill(const ResourceFolders& resources) {
  auto* list = dialog_->ControlById<QComboBox>(kLanguageList);
  if (list == nullptr) return;
  for (const LanguageChoice& choice : kLanguageChoices) {
    const QString module = QString::fromUtf8(choice.module);
    if (CanRead(resources.ModuleFile(module))) {
      list->addItem(QString::fromUtf8(choice.label));
    }
  }
  list->setCurrentIndex(-1);  // nothing chosen unless the settings name a listed language
  // Only a settings file that exists and may be written names the language in use; a missing
  // one means the first run, when nothing is chosen yet.
  if (!settings_.Writable()) return;
  const QString current =
      QString::fromStdString(settings_.GetString(kMainSection, kLanguageKey, kDefaultLanguage));
  for (const LanguageChoice& choice : kLanguageChoices) {
    if (current.compare(QString::fromUtf8(choice.module), Qt::CaseInsensitive) == 0) {
      list->setCurrentIndex(list->findText(QString::fromUtf8(choice.label)));
    }
  }
}

int LanguageDialog::Run() {
  return dialog_->exec();
}

void LanguageDialog::OnCommand(int id) {
  if (id == ui::kOkCommand) Confirm();  // the dialog then ends with 1
  if (id == ui::kHelpCommand && openHelp_) openHelp_(kLanguageHelpContext);
}

// Writes the chosen language. A failed write is not reported here: the dialog ends as
// confirmed, and the next start keeps the language the file still names.
void LanguageDialog::Confirm() {
  const auto* list = dialog_->ControlById<QComboBox>(kLanguageList);
  if (list == nullptr) return;
  const QString chosen = list->currentText();
  for (const LanguageChoice& choice : kLanguageChoices) {
    if (chosen == QString::fromUtf8(choice.label)) {
      settings_.WriteString(kMainSection, kLanguageKey, choice.module);
      return;
    }
  }
}

bool LanguageDialog::eventFilter(QObject* watched, QEvent* event) {
  if (watched == dialog_.get() && event->type() == QEvent::KeyPress &&
      static_cast<QKeyEvent*>(event)->key() == Qt::Key_F1) {
    if (openHelp_) openHelp_(kLanguageHelpContext);
    return true;
  }
  return QObject::eventFilter(watched, event);
}

}  // namespace veltro::app
