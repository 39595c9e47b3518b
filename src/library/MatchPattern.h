// The library search's wildcard match.
#pragma once

#include <string_view>

namespace veltro::library {

// True when `text` matches `pattern`. The star is the only wildcard; bytes are compared exactly
// (callers fold letter case beforehand). An empty pattern matches everything; a pattern without
// a star matches only an equal text. Otherwise the segments between stars are placed from the
// left: the first must stand at the start unless the pattern starts with a star, each later one
// is taken at its first occurrence from the current position (never a later one), and unless
// the pattern ends with a star the text must end right after the last segment.
bool MatchPattern(std::string_view text, std::string_view pattern);

}  // namespace veltro::library
