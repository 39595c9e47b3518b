// The language dialog ("LANGUAGEDLG" of the language module): chooses the language module that
// the next start loads. Combo box 401 lists the languages whose module file is present in the
// working directory; OK (1) writes the chosen module's setting name to [MainWnd] Language,
// Cancel (2) writes nothing; Help (9) and F1 open help context 90.
//
// Threads: UI thread only. Ownership: owns its dialog; borrows the language module and the
// settings, which must outlive it.
#pragma once

#include <QObject>
#include <QString>
#include <functional>
#include <memory>

#include "app/ResourceFolders.h"
#include "ui/DialogBuilder.h"

class QWidget;

namespace veltro::platform {
class Profile;
}
namespace veltro::ui {
class LanguageModule;
}

namespace veltro::app {

inline constexpr int kLanguageHelpContext = 90;
inline constexpr int kLanguageList = 401;

// One choosable language: the label the list shows (UTF-8) and its module's setting name.
struct LanguageChoice {
  const char* label;
  const char* module;
};
// The languages in the order the list shows them.
inline constexpr LanguageChoice kLanguageChoices[] = {
    {"English", "leng.dll"},
    {"Deutsch", "lger.dll"},
    {"Fran\xC3\xA7"
     "ais",
     "lfra.dll"},
    {"Italiano", "lita.dll"},
    {"Espaniol", "lesp.dll"},
};

class LanguageDialog : public QObject {
  Q_OBJECT

 public:
  // Builds the dialog from `language` (null or without the template: an empty dialog that
  // only Escape closes) and fills it: the labels of the modules `resources` finds
  // (a module is present when its file can be opened for reading), and, when the settings file
  // exists and is writable, the language it names chosen. `openHelp` receives help contexts
  // (may be empty); `owner` only sets the owner window. UI thread.
  LanguageDialog(const ui::LanguageModule* language, platform::Profile& settings,
                 const ResourceFolders& resources, std::function<void(int)> openHelp,
                 QWidget* owner = nullptr);
  ~LanguageDialog() override;

  // The dialog, for tests to reach the controls and answer it. UI thread.
  ui::TemplateDialog& Dialog() { return *dialog_; }
  // Shows the dialog modally: 1 when confirmed with OK, 0 when cancelled. UI thread.
  int Run();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void Fill(const ResourceFolders& resources);
  void OnCommand(int id);
  void Confirm();

  platform::Profile& settings_;
  std::function<void(int)> openHelp_;
  std::unique_ptr<ui::TemplateDialog> dialog_;
};

}  // namespace veltro::app
