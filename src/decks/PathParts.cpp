#include "decks/PathParts.h"

#include <cctype>

namespace veltro::decks {

std::string UpperExtension(const std::string& path) {
  const size_t dot = path.rfind('.');
  if (dot == std::string::npos) return {};
  std::string extension = path.substr(dot);
  for (char& c : extension) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return extension;
}

std::optional<std::string> SongExtension(const std::string& path) {
  std::string extension = UpperExtension(path);
  if (extension == ".MP3" || extension == ".OGG" || extension == ".WAV") return extension;
  return std::nullopt;
}

std::string FileNamePart(const std::string& path) {
  const size_t separator = path.find_last_of("/\\");
  return separator == std::string::npos ? path : path.substr(separator + 1);
}

}  // namespace veltro::decks
