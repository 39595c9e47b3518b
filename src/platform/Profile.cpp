#include "platform/Profile.h"

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

#include "platform/FileAttributes.h"
#include "platform/SafeWrite.h"
#include "platform/TextEncoding.h"

namespace veltro::platform {

namespace {

constexpr std::string_view kBlanks = " \t";
constexpr std::string_view kUtf8ByteOrderMark = "\xEF\xBB\xBF";

std::string_view TrimLeft(std::string_view text) {
  const size_t first = text.find_first_not_of(kBlanks);
  return first == std::string_view::npos ? std::string_view() : text.substr(first);
}

std::string_view Trim(std::string_view text) {
  text = TrimLeft(text);
  const size_t last = text.find_last_not_of(kBlanks);
  return last == std::string_view::npos ? std::string_view() : text.substr(0, last + 1);
}

bool IsQuote(char c) {
  return c == '"' || c == '\'';
}

bool HasSurroundingQuotes(std::string_view text) {
  return text.size() >= 2 && IsQuote(text.front()) && text.front() == text.back();
}

std::string_view Unquote(std::string_view value) {
  return HasSurroundingQuotes(value) ? value.substr(1, value.size() - 2) : value;
}

// Quotes a value that would otherwise lose its surrounding blanks or quotes when read back.
std::string EncodeValue(std::string_view value) {
  const bool needsQuotes =
      !value.empty() &&
      (kBlanks.find(value.front()) != std::string_view::npos ||
       kBlanks.find(value.back()) != std::string_view::npos || HasSurroundingQuotes(value));
  if (!needsQuotes) return std::string(value);
  std::string quoted;
  quoted.reserve(value.size() + 2);
  quoted.append(1, '"').append(value).append(1, '"');
  return quoted;
}

bool HasLineBreak(std::string_view text) {
  return text.find_first_of("\r\n") != text.npos;
}

enum class LineKind { kOther, kSection, kKey };

struct ParsedLine {
  LineKind kind = LineKind::kOther;
  std::string_view name;   // section or key name, trimmed
  std::string_view value;  // key lines: the value, trimmed, still quoted
};

ParsedLine ParseLine(std::string_view text) {
  text = TrimLeft(text);
  if (text.empty() || text.front() == ';') return {};
  if (text.front() == '[') {
    const size_t close = text.find(']');
    if (close == text.npos) return {};
    return {LineKind::kSection, Trim(text.substr(1, close - 1)), {}};
  }
  const size_t equals = text.find('=');
  if (equals == text.npos) return {};
  const std::string_view name = Trim(text.substr(0, equals));
  if (name.empty()) return {};
  return {LineKind::kKey, name, Trim(text.substr(equals + 1))};
}

}  // namespace

ProfileDocument ProfileDocument::Parse(std::string_view text) {
  ProfileDocument document;
  while (!text.empty()) {
    const size_t newline = text.find('\n');
    Line line;
    if (newline == text.npos) {
      line.text = std::string(text);
      text = {};
    } else {
      const bool crlf = newline > 0 && text[newline - 1] == '\r';
      line.text = std::string(text.substr(0, crlf ? newline - 1 : newline));
      line.ending = crlf ? "\r\n" : "\n";
      text.remove_prefix(newline + 1);
    }
    document.lines_.push_back(std::move(line));
  }
  // A byte order mark stays in the text (round trip) but must not hide the first line.
  if (!document.lines_.empty() && document.lines_[0].text.starts_with(kUtf8ByteOrderMark)) {
    document.bomBytes_ = kUtf8ByteOrderMark.size();
  }
  return document;
}

std::string ProfileDocument::Serialize() const {
  std::string text;
  for (const Line& line : lines_) text += line.text + line.ending;
  return text;
}

std::string_view ProfileDocument::LineText(size_t index) const {
  std::string_view text = lines_[index].text;
  return index == 0 ? text.substr(std::min(bomBytes_, text.size())) : text;
}

std::optional<ProfileDocument::SectionSpan> ProfileDocument::FindSection(
    std::string_view section) const {
  section = Trim(section);
  for (size_t i = 0; i < lines_.size(); ++i) {
    const ParsedLine header = ParseLine(LineText(i));
    if (header.kind != LineKind::kSection || !EqualsIgnoringAsciiCase(header.name, section))
      continue;
    size_t end = i + 1;
    while (end < lines_.size() && ParseLine(LineText(end)).kind != LineKind::kSection) ++end;
    return SectionSpan{i, end};
  }
  return std::nullopt;
}

std::optional<size_t> ProfileDocument::FindKey(const SectionSpan& span,
                                               std::string_view key) const {
  key = Trim(key);
  for (size_t i = span.header + 1; i < span.end; ++i) {
    const ParsedLine line = ParseLine(LineText(i));
    if (line.kind == LineKind::kKey && EqualsIgnoringAsciiCase(line.name, key)) return i;
  }
  return std::nullopt;
}

std::optional<std::string> ProfileDocument::Find(std::string_view section,
                                                 std::string_view key) const {
  const auto span = FindSection(section);
  if (!span) return std::nullopt;
  const auto index = FindKey(*span, key);
  if (!index) return std::nullopt;
  return std::string(Unquote(ParseLine(LineText(*index)).value));
}

std::vector<std::string> ProfileDocument::Keys(std::string_view section) const {
  std::vector<std::string> keys;
  const auto span = FindSection(section);
  if (!span) return keys;
  for (size_t i = span->header + 1; i < span->end; ++i) {
    const ParsedLine line = ParseLine(LineText(i));
    if (line.kind == LineKind::kKey && FindKey(*span, line.name) == i) {
      keys.emplace_back(line.name);
    }
  }
  return keys;
}

std::string_view ProfileDocument::LineEnding() const {
  for (const Line& line : lines_) {
    if (!line.ending.empty()) return line.ending;
  }
  return "\n";
}

void ProfileDocument::InsertLine(size_t index, std::string text) {
  Line line{std::move(text), std::string(LineEnding())};
  // Inserting after a last line without a line end: that line gets one, the new line keeps
  // the file's "no line end at the end" shape. A text ending in a lone CR gets CR LF, so the
  // CR stays part of the text when the file is read again.
  if (index > 0 && lines_[index - 1].ending.empty()) {
    Line& previous = lines_[index - 1];
    previous.ending = previous.text.ends_with('\r') ? "\r\n" : line.ending;
    line.ending.clear();
  }
  lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(index), std::move(line));
}

bool ProfileDocument::Set(std::string_view section, std::string_view key, std::string_view value) {
  section = Trim(section);
  key = Trim(key);
  if (section.empty() || key.empty() || HasLineBreak(section) || HasLineBreak(key) ||
      HasLineBreak(value) || section.find(']') != section.npos || key.find('=') != key.npos ||
      key.front() == ';' || key.front() == '[') {
    return false;
  }
  const std::string encoded = EncodeValue(value);
  const auto span = FindSection(section);
  if (!span) {
    if (!lines_.empty() && !Trim(LineText(lines_.size() - 1)).empty())
      InsertLine(lines_.size(), "");
    InsertLine(lines_.size(), std::string("[").append(section).append("]"));
    InsertLine(lines_.size(), std::string(key) + "=" + encoded);
    return true;
  }
  if (const auto index = FindKey(*span, key)) {
    // Keep the key's own spelling and the line's end; only the value changes.
    const std::string storedName(ParseLine(LineText(*index)).name);
    lines_[*index].text = storedName + "=" + encoded;
    return true;
  }
  size_t insertAt = span->header + 1;
  for (size_t i = span->header + 1; i < span->end; ++i) {
    if (ParseLine(LineText(i)).kind == LineKind::kKey) insertAt = i + 1;
  }
  InsertLine(insertAt, std::string(key) + "=" + encoded);
  return true;
}

bool ProfileDocument::Remove(std::string_view section, std::string_view key) {
  const auto span = FindSection(section);
  if (!span) return false;
  bool removed = false;
  for (size_t i = span->end; i-- > span->header + 1;) {
    const ParsedLine line = ParseLine(LineText(i));
    if (line.kind == LineKind::kKey && EqualsIgnoringAsciiCase(line.name, Trim(key))) {
      lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(i));
      removed = true;
    }
  }
  return removed;
}

bool ProfileDocument::RemoveSection(std::string_view section) {
  const auto span = FindSection(section);
  if (!span) return false;
  if (span->header == 0) bomBytes_ = 0;
  lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(span->header),
               lines_.begin() + static_cast<std::ptrdiff_t>(span->end));
  return true;
}

int32_t ParseProfileInt(std::string_view text) {
  text = TrimLeft(text);
  bool negative = false;
  if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
    negative = text.front() == '-';
    text.remove_prefix(1);
  }
  uint32_t base = 10;
  if (text.size() > 2 && text[0] == '0' && LowerAscii(text[1]) == 'x' &&
      std::isxdigit(static_cast<unsigned char>(text[2]))) {
    base = 16;
    text.remove_prefix(2);
  }
  uint32_t magnitude = 0;  // wraps at 32 bits, as the originals' arithmetic does
  for (char c : text) {
    const char lower = LowerAscii(c);
    uint32_t digit = 0;
    if (c >= '0' && c <= '9') {
      digit = static_cast<uint32_t>(c - '0');
    } else if (base == 16 && lower >= 'a' && lower <= 'f') {
      digit = static_cast<uint32_t>(lower - 'a' + 10);
    } else {
      break;
    }
    magnitude = magnitude * base + digit;
  }
  return static_cast<int32_t>(negative ? 0u - magnitude : magnitude);
}

Profile::Profile(std::string path) : path_(std::move(path)) {
  Reload();
}

bool Profile::Reload(std::string* error) {
  document_ = ProfileDocument();
  readFailed_ = false;
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path_.c_str(), "rb"),
                                                       &std::fclose);
  if (!file) {
    if (errno == ENOENT) return true;
    readFailed_ = true;
    if (error != nullptr) *error = "cannot read " + path_ + ": " + std::strerror(errno);
    return false;
  }
  std::string text;
  char buffer[16384];
  size_t got = 0;
  while ((got = std::fread(buffer, 1, sizeof buffer, file.get())) > 0) text.append(buffer, got);
  if (std::ferror(file.get())) {
    readFailed_ = true;
    if (error != nullptr) *error = "cannot read " + path_ + ": " + std::strerror(errno);
    return false;
  }
  document_ = ProfileDocument::Parse(text);
  return true;
}

std::string Profile::GetString(std::string_view section, std::string_view key,
                               std::string_view defaultValue) const {
  auto value = document_.Find(section, key);
  return value ? std::move(*value) : std::string(defaultValue);
}

int32_t Profile::GetInt(std::string_view section, std::string_view key,
                        int32_t defaultValue) const {
  const auto value = document_.Find(section, key);
  return value && !value->empty() ? ParseProfileInt(*value) : defaultValue;
}

bool Profile::Commit(ProfileDocument changed, std::string* error) {
  if (readFailed_) {
    if (error != nullptr) *error = path_ + " could not be read, so it is not overwritten";
    return false;
  }
  if (::access(path_.c_str(), F_OK) == 0 && !Writable()) {
    if (error != nullptr) *error = path_ + " is read-only, so it is not overwritten";
    return false;
  }
  if (!WriteFileAtomically(path_, changed.Serialize(), error)) return false;
  document_ = std::move(changed);
  return true;
}

bool Profile::WriteString(std::string_view section, std::string_view key, std::string_view value,
                          std::string* error) {
  ProfileDocument changed = document_;
  if (!changed.Set(section, key, value)) {
    if (error != nullptr) *error = "invalid section, key or value for " + path_;
    return false;
  }
  return Commit(std::move(changed), error);
}

bool Profile::Writable() const {
  const std::optional<FileAttributes> attributes = ReadFileAttributes(path_);
  return attributes && !attributes->readOnly && ::access(path_.c_str(), R_OK | W_OK) == 0;
}

bool Profile::Update(const std::function<bool(ProfileDocument&)>& change, std::string* error) {
  ProfileDocument changed = document_;
  if (!change(changed)) {
    if (error != nullptr) *error = "invalid section, key or value for " + path_;
    return false;
  }
  return Commit(std::move(changed), error);
}

bool Profile::WriteInt(std::string_view section, std::string_view key, int32_t value,
                       std::string* error) {
  return WriteString(section, key, std::to_string(value), error);
}

bool Profile::DeleteKey(std::string_view section, std::string_view key, std::string* error) {
  ProfileDocument changed = document_;
  return !changed.Remove(section, key) || Commit(std::move(changed), error);
}

bool Profile::DeleteSection(std::string_view section, std::string* error) {
  ProfileDocument changed = document_;
  return !changed.RemoveSection(section) || Commit(std::move(changed), error);
}

}  // namespace veltro::platform
