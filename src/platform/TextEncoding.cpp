#include "platform/TextEncoding.h"

#include <array>
#include <cstdint>

namespace veltro::platform {
namespace {

// Windows-1252 bytes 0x80 to 0x9F as Unicode code points; the undefined ones map to themselves.
constexpr std::array<char32_t, 32> kHighControls = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

char32_t Windows1252CodePoint(uint8_t byte) {
  if (byte >= 0x80 && byte < 0xA0) return kHighControls[byte - 0x80];
  return byte;
}

void AppendUtf8(std::string& out, char32_t point) {
  if (point < 0x80) {
    out.push_back(static_cast<char>(point));
  } else if (point < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (point >> 6)));
    out.push_back(static_cast<char>(0x80 | (point & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xE0 | (point >> 12)));
    out.push_back(static_cast<char>(0x80 | ((point >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (point & 0x3F)));
  }
}

// Decodes the sequence at text[i]; its length goes to `length`. Nullopt when malformed.
std::optional<char32_t> DecodeUtf8(std::string_view text, size_t i, size_t& length) {
  const auto byte = [&](size_t k) { return static_cast<uint8_t>(text[i + k]); };
  const uint8_t lead = byte(0);
  length = 1;
  if (lead < 0x80) return lead;
  char32_t point = 0;
  char32_t minimum = 0;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2, point = lead & 0x1F, minimum = 0x80;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3, point = lead & 0x0F, minimum = 0x800;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4, point = lead & 0x07, minimum = 0x10000;
  } else {
    return std::nullopt;
  }
  if (text.size() - i < length) return std::nullopt;
  for (size_t k = 1; k < length; ++k) {
    if ((byte(k) & 0xC0) != 0x80) return std::nullopt;
    point = (point << 6) | (byte(k) & 0x3F);
  }
  if (point < minimum || point > 0x10FFFF || (point >= 0xD800 && point <= 0xDFFF)) {
    return std::nullopt;
  }
  return point;
}

std::optional<uint8_t> Windows1252Byte(char32_t point) {
  if (point < 0x80 || (point >= 0xA0 && point <= 0xFF)) return static_cast<uint8_t>(point);
  for (size_t k = 0; k < kHighControls.size(); ++k) {
    if (kHighControls[k] == point) return static_cast<uint8_t>(0x80 + k);
  }
  return std::nullopt;
}

}  // namespace

bool IsValidUtf8(std::string_view text) {
  size_t length = 0;
  for (size_t i = 0; i < text.size(); i += length) {
    if (!DecodeUtf8(text, i, length)) return false;
  }
  return true;
}

std::string Windows1252ToUtf8(std::string_view text) {
  std::string out;
  out.reserve(text.size() * 2);
  for (char c : text) AppendUtf8(out, Windows1252CodePoint(static_cast<uint8_t>(c)));
  return out;
}

std::string ToUtf8FromTagText(std::string_view text) {
  return IsValidUtf8(text) ? std::string(text) : Windows1252ToUtf8(text);
}

std::optional<std::string> Utf8ToWindows1252(std::string_view text) {
  std::string out;
  size_t length = 0;
  for (size_t i = 0; i < text.size(); i += length) {
    const auto point = DecodeUtf8(text, i, length);
    if (!point) return std::nullopt;
    const auto byte = Windows1252Byte(*point);
    if (!byte) return std::nullopt;
    out.push_back(static_cast<char>(*byte));
  }
  return out;
}

std::string_view TruncateUtf8(std::string_view text, size_t maxBytes) {
  if (text.size() <= maxBytes) return text;
  size_t end = 0;
  size_t length = 0;
  for (size_t i = 0; i < text.size(); i += length) {
    if (!DecodeUtf8(text, i, length)) length = 1;
    if (i + length > maxBytes) break;
    end = i + length;
  }
  return text.substr(0, end);
}

}  // namespace veltro::platform
