// One language module: a binary resource file (`rcc --binary`) holding the numbered strings,
// menus, accelerator tables, dialog templates, icons and bitmaps of one language.
//
// Layout inside the file: strings.json {"language": label, "strings": {"900": text, ...}},
// menus.json {name: [items]}, accelerators.json {name: [{"key", "command"}]},
// dialogs/<name>.json, icons/<name>.png, bitmaps/<name>.png.
//
// A module that is missing or fails to load is not an error the user sees: every look-up
// against it answers empty or null, and windows come up without texts, menus or icons.
//
// Thread: UI thread only (Qt resources, pixmaps). Each instance registers its file under its
// own resource root, so several modules can be loaded at once (for example to list labels).
#pragma once

#include <QHash>
#include <QIcon>
#include <QJsonObject>
#include <QPixmap>
#include <QString>
#include <vector>

#include "ui/DialogTemplate.h"
#include "ui/MenuDescription.h"

namespace veltro::ui {

// The help file name used when a module names none or its file cannot be opened.
inline constexpr char kDefaultHelpName[] = "veltro_e";
// Longest help file name a module may give (string 921); longer names are cut.
inline constexpr int kMaxHelpNameLength = 9;
// String id of the help file name.
inline constexpr int kHelpNameStringId = 921;

class LanguageModule {
 public:
  LanguageModule();
  ~LanguageModule();
  LanguageModule(const LanguageModule&) = delete;
  LanguageModule& operator=(const LanguageModule&) = delete;

  // Loads the module file at `rccPath`, first forgetting any module loaded before. Returns
  // false (and leaves the object answering nothing) when the file is missing or not a
  // resource file.
  bool Load(const QString& rccPath);
  // Forgets the loaded module. Pixmaps and icons handed out stay valid (they own their pixels).
  void Unload();
  bool IsLoaded() const { return !mapRoot_.isEmpty(); }

  // Numbered string `id`, or an empty string when there is none.
  QString String(int id) const;
  // The module's own name for its language ("English", "Deutsch", ...), or empty.
  QString LanguageLabel() const { return languageLabel_; }
  // The menu resource `name` ("MAINMENU", "PLAYERPOPUP", ...), or an empty description.
  MenuDescription Menu(const QString& name) const;
  // The accelerator table `name`, or an empty table.
  std::vector<Accelerator> Accelerators(const QString& name) const;
  // The dialog template `name`, or the null template.
  DialogTemplate Dialog(const QString& name) const;
  // Icon `name` ("MAINICON"), or a null icon. The icon owns its pixels.
  QIcon Icon(const QString& name) const;
  // Bitmap `name` ("LED_ON"), or a null pixmap.
  QPixmap Bitmap(const QString& name) const;
  // String 921 cut to at most 9 characters: the base name of the help page (without ".html").
  QString HelpFileName() const;

 private:
  QByteArray ReadResource(const QString& relativePath) const;
  QPixmap ReadPixmap(const QString& folder, const QString& name) const;
  void ReadTables();

  QString rccPath_;
  QString mapRoot_;  // empty while nothing is loaded
  QString languageLabel_;
  QHash<int, QString> strings_;
  QJsonObject menus_;
  QJsonObject accelerators_;
};

// The module file that a language setting names: a setting "xxx.dll" (or "xxx" with any other
// extension or none) loads "xxx.rcc" from `directory` (the program's working directory).
// Returns an empty string for an empty setting or one that contains a path separator.
QString ModuleFileForSetting(const QString& setting, const QString& directory);

// True when `rccPath` starts like a binary resource file whose offsets lie inside the file.
// Load() checks this before handing the file to Qt.
bool LooksLikeResourceFile(const QString& rccPath);

}  // namespace veltro::ui
