// Parses arbitrary bytes as an INI settings file, looks values up, writes a value whose names
// and text come from the input, and traps when an unmodified document does not serialise back
// to its input or a written value does not read back after a serialise and re-parse.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/Profile.h"

namespace {

using veltro::platform::ParseProfileInt;
using veltro::platform::ProfileDocument;

void Check(bool condition) {
  if (!condition) __builtin_trap();
}

// Takes a piece of up to `length` bytes from the front of `input`, ending at a '|' separator.
std::string_view TakePiece(std::string_view& input, size_t length) {
  const size_t end = std::min({input.find('|'), length, input.size()});
  const std::string_view piece = input.substr(0, end);
  input.remove_prefix(std::min(end + 1, input.size()));
  return piece;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  ProfileDocument document = ProfileDocument::Parse(text);
  Check(document.Serialize() == text);
  for (const char* section : {"MainWnd", "Devices", "present Devices", "Player 00"}) {
    for (const std::string& key : document.Keys(section)) {
      const auto value = document.Find(section, key);
      Check(value.has_value());
      (void)ParseProfileInt(*value);
    }
  }
  // Names and value for the write come from the input's last bytes, so the fuzzer steers them.
  std::string_view tail = text.substr(size > 64 ? size - 64 : 0);
  const std::string section(TakePiece(tail, 16));
  const std::string key(TakePiece(tail, 16));
  const std::string value(TakePiece(tail, 32));
  if (document.Set(section, key, value)) {
    const ProfileDocument reread = ProfileDocument::Parse(document.Serialize());
    Check(reread.Find(section, key) == value);
    Check(reread.Find("MainWnd", "Language").has_value() ==
          document.Find("MainWnd", "Language").has_value());
    ProfileDocument removed = reread;
    removed.Remove(section, key);
    Check(!ProfileDocument::Parse(removed.Serialize()).Find(section, key).has_value());
  }
  return 0;
}
