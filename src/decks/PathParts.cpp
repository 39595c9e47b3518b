#include "decks/PathParts.h"

namespace veltro::decks {

std::optional<std::string> SongExtension(const std::string& path) {
  std::string extension = UpperExtension(path);
  if (platform::SongFileTypeOf(extension) == platform::SongFileType::kUnknown) return std::nullopt;
  return extension;
}

std::string FileNamePart(const std::string& path) {
  const size_t separator = path.find_last_of("/\\");
  return separator == std::string::npos ? path : path.substr(separator + 1);
}

}  // namespace veltro::decks
