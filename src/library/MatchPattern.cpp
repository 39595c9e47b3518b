#include "library/MatchPattern.h"

namespace veltro::library {

bool MatchPattern(std::string_view text, std::string_view pattern) {
  if (pattern.empty()) return true;
  if (pattern.find('*') == std::string_view::npos) return text == pattern;
  const bool anchoredAtStart = pattern.front() != '*';
  const bool openAtEnd = pattern.back() == '*';
  size_t position = 0;
  bool first = true;
  while (!pattern.empty()) {
    const size_t star = pattern.find('*');
    const std::string_view segment = pattern.substr(0, star);
    pattern.remove_prefix(star == std::string_view::npos ? pattern.size() : star + 1);
    if (segment.empty()) {
      first = false;
      continue;
    }
    if (first && anchoredAtStart) {
      if (!text.substr(position).starts_with(segment)) return false;
    } else {
      const size_t found = text.find(segment, position);
      if (found == std::string_view::npos) return false;
      position = found;
    }
    position += segment.size();
    first = false;
  }
  return openAtEnd || position == text.size();
}

}  // namespace veltro::library
