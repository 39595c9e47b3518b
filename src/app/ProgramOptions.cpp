#include "app/ProgramOptions.h"

#include <QDir>
#include <QStandardPaths>

#include "BuildInfo.h"

namespace veltro::app {

ProgramOptions ParseProgramOptions(const QStringList& words) {
  ProgramOptions options;
  if (words.contains(QStringLiteral("--version"))) {
    options.action = ProgramOptions::Action::kPrintVersion;
    return options;
  }
  if (words.contains(QStringLiteral("--help")) || words.contains(QStringLiteral("-h"))) {
    options.action = ProgramOptions::Action::kPrintHelp;
    return options;
  }
  for (const QString& word : words) {
    if (word == QStringLiteral("--home")) {
      options.inUserDataFolder = true;
    } else {
      options.action = ProgramOptions::Action::kRefuse;
      options.refusal = QStringLiteral("unknown argument: %1").arg(word);
      return options;
    }
  }
  return options;
}

QString ProgramUsage() {
  return QStringLiteral(
      "usage: veltro [--home] [Qt options such as -platform NAME]\n"
      "       veltro --version | --help\n"
      "\n"
      "The DJ mixing program. It works in the current directory: the settings file veltro.ini,\n"
      "the library in Data/ and the playlists in Playlist/. Language modules and help pages\n"
      "come from there when present, else from the install's data folder.\n"
      "\n"
      "  --home     work in the user's data folder, $XDG_DATA_HOME/veltro (by default\n"
      "             ~/.local/share/veltro), creating it when missing\n"
      "  --version  print the version and exit\n"
      "  --help     print this text and exit\n");
}

QString ProgramVersionLine() {
  return QStringLiteral("veltro %1\n").arg(QLatin1String(kVersion));
}

QString UserDataFolder() {
  const QString base = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
  return QDir(base).filePath(QStringLiteral("veltro"));
}

}  // namespace veltro::app
