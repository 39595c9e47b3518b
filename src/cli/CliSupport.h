// What veltro-cli's commands share: the one-line error report, whole-number arguments and
// texts from files printed so that no control byte can break a line or a column.
#pragma once

#include <charconv>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>

namespace veltro::cli {

// Prints "veltro-cli: <message>" to standard error; returns the failure exit status, 1.
inline int Fail(std::string_view message) {
  std::fprintf(stderr, "veltro-cli: %.*s\n", static_cast<int>(message.size()), message.data());
  return 1;
}

// Exit status of a command the user stopped with Ctrl-C (128 + SIGINT, as shells report it).
inline constexpr int kExitInterrupted = 130;

// Says "veltro-cli: interrupted" on standard error; returns kExitInterrupted.
inline int Interrupted() {
  Fail("interrupted");
  return kExitInterrupted;
}

// The whole number `text` spells out completely, or nothing.
inline std::optional<int> ParseInt(std::string_view text) {
  int value = 0;
  const char* end = text.data() + text.size();
  const auto [ptr, ec] = std::from_chars(text.data(), end, value);
  if (ec != std::errc() || ptr != end) return std::nullopt;
  return value;
}

// Appends `text` to `line` with every control byte (below 0x20, and 0x7F) written as \xHH.
inline void AppendPrintable(std::string& line, std::string_view text) {
  static const char kHexDigits[] = "0123456789ABCDEF";
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F) {
      line += "\\x";
      line += kHexDigits[byte >> 4];
      line += kHexDigits[byte & 0x0F];
    } else {
      line += c;
    }
  }
}

}  // namespace veltro::cli
