// The desktop program's own command-line options, read after Qt has taken its own (-platform,
// -style and the like): --home, --version and --help.
//
// Thread: any; pure functions over the words given.
#pragma once

#include <QString>
#include <QStringList>

namespace veltro::app {

struct ProgramOptions {
  enum class Action { kRun, kPrintVersion, kPrintHelp, kRefuse };
  Action action = Action::kRun;
  bool inUserDataFolder = false;  // --home: work in the user's data folder
  QString refusal;                // for kRefuse: the one-line reason
};

// The options among `words` (the program's arguments without its name). --version and --help
// win over everything else, so that they work whatever else is written and without a display.
ProgramOptions ParseProgramOptions(const QStringList& words);

// The text --help prints, ending in a line break.
QString ProgramUsage();

// The text --version prints: "veltro <version>" and a line break.
QString ProgramVersionLine();

// The user's data folder the desktop entry starts the program in: $XDG_DATA_HOME/veltro, by
// default ~/.local/share/veltro (the system's per-user data folder elsewhere). UI thread, after
// the application object exists.
QString UserDataFolder();

}  // namespace veltro::app
