// What veltro-cli's commands share: the one-line error report and whole-number arguments.
#pragma once

#include <charconv>
#include <cstdio>
#include <optional>
#include <string_view>

namespace veltro::cli {

// Prints "veltro-cli: <message>" to standard error; returns the failure exit status, 1.
inline int Fail(std::string_view message) {
  std::fprintf(stderr, "veltro-cli: %.*s\n", static_cast<int>(message.size()), message.data());
  return 1;
}

// The whole number `text` spells out completely, or nothing.
inline std::optional<int> ParseInt(std::string_view text) {
  int value = 0;
  const char* end = text.data() + text.size();
  const auto [ptr, ec] = std::from_chars(text.data(), end, value);
  if (ec != std::errc() || ptr != end) return std::nullopt;
  return value;
}

}  // namespace veltro::cli
