// Text conversions between the UTF-8 the library stores and the single-byte Windows-1252 texts
// found in (and written to) ID3v1 tags and older library files. Any thread; pure functions.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace veltro::platform {

// True when `text` is well-formed UTF-8 (no overlong forms, no surrogates, at most U+10FFFF).
bool IsValidUtf8(std::string_view text);

// Each byte of `text` as Windows-1252, converted to UTF-8. The five bytes the code page leaves
// undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D) become the control characters of the same number.
std::string Windows1252ToUtf8(std::string_view text);

// `text` unchanged when it is valid UTF-8, else converted from Windows-1252: how a text of
// unknown single-byte origin enters the library.
std::string ToUtf8FromTagText(std::string_view text);

// The Windows-1252 bytes of a UTF-8 text, or nullopt when the text is not valid UTF-8 or holds
// a character the code page cannot represent.
std::optional<std::string> Utf8ToWindows1252(std::string_view text);

// The longest prefix of `text` of at most `maxBytes` bytes that does not end inside a UTF-8
// sequence (bytes that are not UTF-8 are treated as single characters).
std::string_view TruncateUtf8(std::string_view text, size_t maxBytes);

// 'A' ... 'Z' as 'a' ... 'z'; every other byte as it is (no locale).
inline char LowerAscii(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// Equal texts when ASCII letters are compared without regard to case (INI names, Vorbis
// comment names, file extensions); other bytes must match exactly.
inline bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
  }
  return true;
}

}  // namespace veltro::platform
