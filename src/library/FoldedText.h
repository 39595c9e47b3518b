// The one text order of the library: 'a'..'z' folded to 'A'..'Z', every other byte unchanged
// (no locale), then compared as unsigned bytes, a prefix sorting before its extensions. Bytes
// 0x80-0xFF sort after all ASCII. Records are ordered by path and index entries by key with it.
#pragma once

#include <cstddef>
#include <string_view>

namespace veltro::library {

inline char FoldByte(char c) {
  return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c;
}

// Negative, zero or positive as folded `a` sorts before, equal to or after folded `b`.
int FoldedCompare(std::string_view a, std::string_view b);

inline bool FoldedLess(std::string_view a, std::string_view b) {
  return FoldedCompare(a, b) < 0;
}

// FoldedCompare of two NUL-terminated fields of `capacity` bytes each (a field without a NUL
// ends at its capacity), in one pass and without measuring them first.
int FoldedCompareFields(const char* a, const char* b, size_t capacity);

// The prefix test of the quick-find: `entry` is before `text` when its first text.size() bytes,
// folded, compare below folded `text` (the end of `entry` counting as smaller than any byte).
// An entry that starts with `text`, ignoring letter case, is not before it.
bool FoldedPrefixBefore(std::string_view entry, std::string_view text);

// Writes the folded copy of `text` to `out` (which holds at least text.size() bytes) and
// returns it as a view of `out`.
std::string_view FoldInto(std::string_view text, char* out);

}  // namespace veltro::library
