// veltro: the DJ program. Works in the current directory (veltro.ini, Data/, Playlist/), or with
// --home in the user's data folder, as the desktop entry starts it. Language modules (*.rcc) and
// help/ come from the working directory when there, else from the install's data folder.
#include <QApplication>
#include <QDir>
#include <QRegularExpression>
#include <cstdio>

#include "BuildInfo.h"
#include "app/MainWindow.h"
#include "app/ProgramOptions.h"

namespace {

using veltro::app::ProgramOptions;

QStringList Arguments(int argc, char** argv) {
  QStringList words;
  for (int i = 1; i < argc; ++i) words << QString::fromLocal8Bit(argv[i]);
  return words;
}

// Prints what --version, --help or a refused argument asks for; the exit status, or -1 to run.
int AnswerWithoutWindow(const ProgramOptions& options) {
  switch (options.action) {
    case ProgramOptions::Action::kPrintVersion:
      std::fputs(veltro::app::ProgramVersionLine().toLocal8Bit().constData(), stdout);
      return 0;
    case ProgramOptions::Action::kPrintHelp:
      std::fputs(veltro::app::ProgramUsage().toLocal8Bit().constData(), stdout);
      return 0;
    case ProgramOptions::Action::kRefuse:
      std::fprintf(stderr, "veltro: %s\n%s", options.refusal.toLocal8Bit().constData(),
                   veltro::app::ProgramUsage().toLocal8Bit().constData());
      return 2;
    case ProgramOptions::Action::kRun:
      break;
  }
  return -1;
}

// The working directory: the current one, or the user's data folder, created when missing.
// Empty when that folder cannot be made.
QString ChooseWorkingDirectory(bool inUserDataFolder) {
  if (!inUserDataFolder) return QDir::currentPath();
  const QString folder = veltro::app::UserDataFolder();
  if (!QDir().mkpath(folder) || !QDir::setCurrent(folder)) return {};
  return folder;
}

}  // namespace

int main(int argc, char** argv) {
  // --version, --help and unknown "--" words answer before Qt looks for a display; the other
  // words wait until Qt has taken its own options (-platform NAME and the like) out of argv.
  QStringList doubleDashWords = Arguments(argc, argv).filter(QRegularExpression("^--"));
  const ProgramOptions early = veltro::app::ParseProgramOptions(doubleDashWords);
  if (const int status = AnswerWithoutWindow(early); status >= 0) return status;
  QApplication application(argc, argv);
  QApplication::setApplicationVersion(QLatin1String(veltro::kVersion));
  QGuiApplication::setDesktopFileName(QStringLiteral("org.veltro.Veltro"));
  const ProgramOptions options = veltro::app::ParseProgramOptions(Arguments(argc, argv));
  if (const int status = AnswerWithoutWindow(options); status >= 0) return status;
  veltro::app::MainWindowHooks hooks;
  hooks.workingDirectory = ChooseWorkingDirectory(options.inUserDataFolder);
  if (hooks.workingDirectory.isEmpty()) {
    std::fprintf(stderr, "veltro: cannot create the folder %s\n",
                 veltro::app::UserDataFolder().toLocal8Bit().constData());
    return 1;
  }
  hooks.installDataDirectory = veltro::app::InstalledDataFolder(
      QApplication::applicationDirPath(), QLatin1String(veltro::kDataFolderFromPrograms));
  // The program ends when its main window closes, whatever deck or mixer windows are open.
  QApplication::setQuitOnLastWindowClosed(false);
  veltro::app::MainWindow window(std::move(hooks));
  window.CreateAndStart();
  return QApplication::exec();
}
