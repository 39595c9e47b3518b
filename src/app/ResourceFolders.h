// Where the program finds its language modules and help pages. A module or the help folder in
// the working directory wins (a copy made there by scripts/run, or a user's own module); what
// is not there comes from the install's data folder (share/veltro beside the installed
// programs), so an installed program works in a fresh, empty working directory.
//
// Thread: any; the folders are plain paths, each look-up asks the file system afresh.
#pragma once

#include <QString>

namespace veltro::app {

struct ResourceFolders {
  QString working;    // the program's working directory
  QString installed;  // the install's data folder; empty when there is none

  // The readable module file for a language setting ("xxx.dll" loads "xxx.rcc"): the working
  // directory's, else the install's. When neither can be read, the working directory's path,
  // which then loads nothing. Empty for a setting that names no module.
  QString ModuleFile(const QString& setting) const;
  // The working directory's help/ folder when it exists, else the install's help/ folder.
  QString HelpDirectory() const;
};

// The install's data folder for a program in `programFolder`: `fromPrograms` (relative, as
// "../share/veltro") resolved against it, when that folder exists; else empty.
QString InstalledDataFolder(const QString& programFolder, const QString& fromPrograms);

}  // namespace veltro::app
