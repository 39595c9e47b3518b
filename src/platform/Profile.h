// INI settings files with the semantics of the classic private-profile functions:
// - section and key names compare without regard to ASCII letter case, and surrounding blanks;
// - values are trimmed, and one pair of surrounding double or single quotes is stripped;
// - the first matching section and the first matching key in it win;
// - lines starting with ';' are comments; lines without '=' inside a section are ignored;
// - integers are parsed like the originals: leading blanks, optional sign, "0x" for hex,
//   digits up to the first non-digit, no digits gives 0, an empty value gives the default,
//   arithmetic wraps at 32 bits (so "-2147483648" and "4294967295" (= -1) both read back);
// - writing keeps every other line byte for byte (comments, order, blank lines, CR LF or LF
//   line ends); a new key goes right after the last key line of its section, a new section
//   at the end of the file (after a blank line).
// Beyond the originals, a value that would not read back as written (surrounding blanks or
// quotes) is written inside quotes, and names or values containing line breaks are refused
// instead of breaking the file's structure.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace veltro::platform {

// An INI text held as its lines. Value type; one thread at a time.
class ProfileDocument {
 public:
  // Splits `text` into lines; Serialize() of an unmodified document gives `text` back exactly.
  static ProfileDocument Parse(std::string_view text);
  std::string Serialize() const;

  // The value of `key` in `section`, unquoted and trimmed; nullopt when there is none.
  std::optional<std::string> Find(std::string_view section, std::string_view key) const;
  // The key names of `section` in file order (first occurrences only).
  std::vector<std::string> Keys(std::string_view section) const;

  // Sets `key` in `section` to `value`, creating both as needed. False (document unchanged)
  // when a name is empty, a name or value holds a line break, the key holds '=' or starts with
  // ';' or '[', or the section holds ']'.
  bool Set(std::string_view section, std::string_view key, std::string_view value);
  // Removes every `key` line of the first matching `section`; true when one was removed.
  bool Remove(std::string_view section, std::string_view key);
  // Removes the first matching `section` with all its lines; true when it existed.
  bool RemoveSection(std::string_view section);

 private:
  struct Line {
    std::string text;    // without its line end
    std::string ending;  // "\r\n", "\n", or "" for a last line without one
  };
  struct SectionSpan {
    size_t header;  // index of the "[name]" line
    size_t end;     // index just past the section's last line
  };
  std::optional<SectionSpan> FindSection(std::string_view section) const;
  std::optional<size_t> FindKey(const SectionSpan& span, std::string_view key) const;
  std::string_view LineText(size_t index) const;  // a line's text without a byte order mark
  std::string_view LineEnding() const;
  void InsertLine(size_t index, std::string text);

  std::vector<Line> lines_;
  size_t bomBytes_ = 0;  // length of a UTF-8 byte order mark at the start of the first line
};

// Parses an integer value as the private-profile functions do (see the file comment).
// Any thread.
int32_t ParseProfileInt(std::string_view text);

// One settings file: read when constructed and on Reload, every change written through to the
// disk at once by an atomic replace. UI thread (or one thread at a time); owns its document.
class Profile {
 public:
  // Reads `path` (bytes of a file system path). A missing file is an empty document.
  explicit Profile(std::string path);

  // Reads the file again. False with `error` set when it exists but cannot be read; until a
  // later Reload succeeds, writes are then refused, so a file that was not read is never
  // overwritten with only the new values.
  bool Reload(std::string* error = nullptr);

  std::string GetString(std::string_view section, std::string_view key,
                        std::string_view defaultValue) const;
  // The integer value of `key`, or `defaultValue` when the key is missing or its value empty.
  int32_t GetInt(std::string_view section, std::string_view key, int32_t defaultValue) const;
  std::vector<std::string> Keys(std::string_view section) const { return document_.Keys(section); }

  // Change the document and write the file. On any failure (refused name or value, unreadable
  // file, a file without write permission, write error) the document and the file stay as they
  // were and the result is false. A read-only settings file is the user's wish to keep it.
  bool WriteString(std::string_view section, std::string_view key, std::string_view value,
                   std::string* error = nullptr);
  bool WriteInt(std::string_view section, std::string_view key, int32_t value,
                std::string* error = nullptr);
  // Several changes as one replace of the file: `change` edits a copy of the document and
  // returns false to refuse; a crash leaves every change or none.
  bool Update(const std::function<bool(ProfileDocument&)>& change, std::string* error = nullptr);
  bool DeleteKey(std::string_view section, std::string_view key, std::string* error = nullptr);
  bool DeleteSection(std::string_view section, std::string* error = nullptr);

  const std::string& Path() const { return path_; }
  // True when the file exists and may be read and written: its owner's write permission is set
  // (a file marked read-only stays so even for the superuser) and this process may write it.
  bool Writable() const;
  const ProfileDocument& Document() const { return document_; }

 private:
  bool Commit(ProfileDocument changed, std::string* error);

  std::string path_;
  ProfileDocument document_;
  bool readFailed_ = false;
};

}  // namespace veltro::platform
