#include "library/LibraryPaths.h"

namespace veltro::library {

LibraryPaths LibraryPaths::In(const std::filesystem::path& workingDirectory) {
  const std::filesystem::path data = workingDirectory / "Data";
  LibraryPaths paths;
  paths.directory = data.string();
  paths.data = (data / "Data.ndb").string();
  paths.songNameIndex = (data / "s.ndx").string();
  paths.genreIndex = (data / "g.ndx").string();
  paths.yearIndex = (data / "y.ndx").string();
  paths.artistIndex = (data / "a.ndx").string();
  return paths;
}

}  // namespace veltro::library
