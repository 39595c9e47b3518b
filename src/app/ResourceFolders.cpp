#include "app/ResourceFolders.h"

#include <QDir>
#include <QFileInfo>

#include "ui/LanguageModule.h"

namespace veltro::app {
namespace {

const QString kHelpFolder = QStringLiteral("help");

bool Readable(const QString& path) {
  const QFileInfo file(path);
  return file.isFile() && file.isReadable();
}

}  // namespace

QString ResourceFolders::ModuleFile(const QString& setting) const {
  const QString own = ui::ModuleFileForSetting(setting, working);
  if (own.isEmpty() || Readable(own) || installed.isEmpty()) return own;
  const QString shipped = ui::ModuleFileForSetting(setting, installed);
  return Readable(shipped) ? shipped : own;
}

QString ResourceFolders::HelpDirectory() const {
  const QString own = QDir(working).filePath(kHelpFolder);
  if (installed.isEmpty() || QFileInfo(own).isDir()) return own;
  return QDir(installed).filePath(kHelpFolder);
}

QString InstalledDataFolder(const QString& programFolder, const QString& fromPrograms) {
  if (programFolder.isEmpty() || fromPrograms.isEmpty()) return {};
  const QString folder = QDir::cleanPath(QDir(programFolder).filePath(fromPrograms));
  return QFileInfo(folder).isDir() ? folder : QString();
}

}  // namespace veltro::app
