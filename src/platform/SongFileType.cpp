#include "platform/SongFileType.h"

#include "platform/TextEncoding.h"

namespace veltro::platform {
namespace {

struct NamedType {
  std::string_view extension;
  SongFileType type;
};

constexpr NamedType kSongExtensions[] = {
    {".MP3", SongFileType::kMp3}, {".OGG", SongFileType::kOgg}, {".WAV", SongFileType::kWav}};

char UpperAscii(char c) {
  return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

}  // namespace

std::string UpperExtension(std::string_view path) {
  const size_t separator = path.find_last_of("/\\");
  const std::string_view name =
      separator == std::string_view::npos ? path : path.substr(separator + 1);
  const size_t dot = name.rfind('.');
  if (dot == std::string_view::npos) return {};
  std::string extension(name.substr(dot));
  for (char& c : extension) c = UpperAscii(c);
  return extension;
}

SongFileType SongFileTypeOf(std::string_view extension) {
  for (const NamedType& entry : kSongExtensions) {
    if (platform::EqualsIgnoringAsciiCase(extension, entry.extension)) return entry.type;
  }
  return SongFileType::kUnknown;
}

}  // namespace veltro::platform
