// Where the five library files live: <working directory>/Data/.
#pragma once

#include <filesystem>
#include <string>

namespace veltro::library {

struct LibraryPaths {
  std::string directory;      // <working directory>/Data
  std::string data;           // Data/Data.ndb, the records
  std::string songNameIndex;  // Data/s.ndx
  std::string genreIndex;     // Data/g.ndx
  std::string yearIndex;      // Data/y.ndx
  std::string artistIndex;    // Data/a.ndx

  static LibraryPaths In(const std::filesystem::path& workingDirectory);
};

}  // namespace veltro::library
