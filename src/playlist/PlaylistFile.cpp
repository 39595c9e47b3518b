#include "playlist/PlaylistFile.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <utility>

#include "library/SongDatabase.h"
#include "library/SongRecord.h"
#include "platform/FileDescriptor.h"
#include "platform/RegularFile.h"
#include "platform/SafeWrite.h"
#include "platform/TextEncoding.h"

namespace veltro::playlist {
namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
constexpr std::string_view kFileScheme = "file://";

// A line of a playlist that names a song: the line as the file holds it and the path it
// stands for. `joined` marks a relative .m3u line, whose path is `written` joined to the
// playlist's folder; the loader tries `written` first for those.
struct NamedPath {
  std::string_view written;  // a view into the playlist's bytes
  std::string path;
  bool joined = false;
};

// The lines of `bytes` that are not empty, each without its LF and one CR before that LF.
std::vector<std::string_view> NonEmptyLines(std::string_view bytes) {
  std::vector<std::string_view> lines;
  while (!bytes.empty()) {
    const size_t end = bytes.find('\n');
    std::string_view line = bytes.substr(0, end);
    if (end != std::string_view::npos && line.ends_with('\r')) line.remove_suffix(1);
    if (!line.empty()) lines.push_back(line);
    bytes.remove_prefix(end == std::string_view::npos ? bytes.size() : end + 1);
  }
  return lines;
}

int HexDigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  const char lower = platform::LowerAscii(c);
  if (lower >= 'a' && lower <= 'f') return lower - 'a' + 10;
  return -1;
}

// `text` with every "%XX" escape replaced by its byte. An escape without two hex digits stays
// as it is, and so do escapes of NUL (no path holds it) and LF (a saved .vtp could not hold a
// path with it).
std::string PercentDecoded(std::string_view text) {
  std::string decoded;
  decoded.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 2 < text.size()) {
      const int high = HexDigitValue(text[i + 1]);
      const int low = HexDigitValue(text[i + 2]);
      const int byte = high * 16 + low;
      if (high >= 0 && low >= 0 && byte != 0 && byte != '\n') {
        decoded.push_back(static_cast<char>(byte));
        i += 2;
        continue;
      }
    }
    decoded.push_back(text[i]);
  }
  return decoded;
}

// The decoded path of a "file://" URL on this computer (host empty or "localhost"); nullopt
// for any other line, including URLs naming another host.
std::optional<std::string> LocalFileUrlPath(std::string_view line) {
  if (line.size() < kFileScheme.size() ||
      !platform::EqualsIgnoringAsciiCase(line.substr(0, kFileScheme.size()), kFileScheme)) {
    return std::nullopt;
  }
  const std::string_view rest = line.substr(kFileScheme.size());
  const size_t slash = rest.find('/');
  if (slash == std::string_view::npos) return std::nullopt;
  const std::string_view host = rest.substr(0, slash);
  if (!host.empty() && !platform::EqualsIgnoringAsciiCase(host, "localhost")) return std::nullopt;
  return PercentDecoded(rest.substr(slash));
}

std::string JoinedToFolder(std::string_view folder, std::string_view relative) {
  return (std::filesystem::path(folder) / std::filesystem::path(relative))
      .lexically_normal()
      .string();
}

// What a non-empty .m3u line names; nullopt for a comment.
std::optional<NamedPath> ResolveM3uLine(std::string_view line, std::string_view folder) {
  if (line.front() == '#') return std::nullopt;
  if (std::optional<std::string> urlPath = LocalFileUrlPath(line)) {
    return NamedPath{line, std::move(*urlPath), false};
  }
  if (line.front() == '/') return NamedPath{line, std::string(line), false};
  return NamedPath{line, JoinedToFolder(folder, line), true};
}

// The lines of a playlist that name songs, in file order; the views point into `bytes`.
std::vector<NamedPath> NamedPaths(std::string_view bytes, PlaylistKind kind,
                                  std::string_view folder) {
  std::vector<NamedPath> named;
  if (kind == PlaylistKind::kUnknown) return named;
  const bool m3u = kind != PlaylistKind::kVtp;
  if (m3u && bytes.starts_with(kByteOrderMark)) bytes.remove_prefix(kByteOrderMark.size());
  for (std::string_view line : NonEmptyLines(bytes)) {
    if (!m3u) {
      named.push_back({line, std::string(line), false});
    } else if (std::optional<NamedPath> resolved = ResolveM3uLine(line, folder)) {
      named.push_back(std::move(*resolved));
    }
  }
  return named;
}

std::nullopt_t Refuse(std::string* error, std::string reason) {
  if (error != nullptr) *error = std::move(reason);
  return std::nullopt;
}

// The whole contents of the open file `fd` (named `path` in reasons), at most
// kMaxPlaylistFileBytes.
std::optional<std::string> ReadWholeFile(int fd, const std::string& path, std::string* error) {
  const std::optional<uint64_t> size = platform::FileSize(fd);
  if (!size) return Refuse(error, "cannot examine " + path + ": " + std::strerror(errno));
  if (*size > kMaxPlaylistFileBytes) {
    return Refuse(error, "playlist file larger than " +
                             std::to_string(kMaxPlaylistFileBytes >> 20) + " MiB: " + path);
  }
  std::string bytes(static_cast<size_t>(*size), '\0');
  errno = 0;
  const size_t got = platform::ReadAt(fd, 0, bytes.data(), bytes.size());
  if (got != bytes.size()) {
    const int cause = errno;
    return Refuse(error, "cannot read " + path + ": " +
                             (cause != 0 ? std::strerror(cause) : "the file became shorter"));
  }
  return bytes;
}

std::optional<std::string> ReadPlaylistBytes(const std::string& path, std::string* error) {
  const int fd = platform::OpenRegularFile(path, platform::FileAccess::kRead, error);
  if (fd < 0) return std::nullopt;
  std::optional<std::string> bytes = ReadWholeFile(fd, path, error);
  platform::CloseFile(fd);
  return bytes;
}

// The folder holding the playlist file, made absolute so that relative lines resolve to
// library paths (which are absolute) even when `path` is relative to the working directory.
std::string FolderOf(const std::string& path) {
  std::error_code failed;
  std::filesystem::path absolute = std::filesystem::absolute(path, failed);
  if (failed) absolute = path;
  return absolute.parent_path().string();
}

// The record a playlist line names, or -1.
int RecordNamedBy(const library::SongDatabase& library, const NamedPath& named) {
  if (named.joined) {
    const int asWritten = library.RecordWithPath(named.written);
    if (asWritten >= 0) return asWritten;
  }
  return library.RecordWithPath(named.path);
}

PlaylistEntry EntryFor(const library::SongRecord& song) {
  std::string text(library::FieldText(song.artist));
  text.append(" - ").append(library::FieldText(song.songName));
  return {std::move(text), std::string(library::FieldText(song.path))};
}

}  // namespace

PlaylistKind KindOfPlaylistPath(std::string_view path) {
  static const struct {
    std::string_view extension;
    PlaylistKind kind;
  } kKinds[] = {
      {".vtp", PlaylistKind::kVtp}, {".m3u", PlaylistKind::kM3u}, {".m3u8", PlaylistKind::kM3u8}};
  const size_t slash = path.rfind('/');
  const std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
  const size_t dot = name.rfind('.');
  if (dot == std::string_view::npos) return PlaylistKind::kUnknown;
  for (const auto& known : kKinds) {
    if (platform::EqualsIgnoringAsciiCase(name.substr(dot), known.extension)) return known.kind;
  }
  return PlaylistKind::kUnknown;
}

std::vector<std::string> PlaylistPaths(std::string_view bytes, PlaylistKind kind,
                                       std::string_view folder) {
  std::vector<std::string> paths;
  for (NamedPath& named : NamedPaths(bytes, kind, folder)) paths.push_back(std::move(named.path));
  return paths;
}

std::optional<LoadedPlaylist> LoadPlaylistFile(const std::string& path,
                                               const library::SongDatabase& library,
                                               std::string* error) {
  const PlaylistKind kind = KindOfPlaylistPath(path);
  if (kind == PlaylistKind::kUnknown) {
    return Refuse(error, "not a playlist file (.vtp, .m3u or .m3u8): " + path);
  }
  const std::optional<std::string> bytes = ReadPlaylistBytes(path, error);
  if (!bytes) return std::nullopt;
  const std::span<const library::SongRecord> records = library.Records();
  LoadedPlaylist loaded;
  for (const NamedPath& named : NamedPaths(*bytes, kind, FolderOf(path))) {
    const int record = RecordNamedBy(library, named);
    if (record < 0) {
      ++loaded.skipped;
    } else {
      loaded.entries.push_back(EntryFor(records[static_cast<size_t>(record)]));
    }
  }
  return loaded;
}

std::string VtpBytes(std::span<const PlaylistEntry> entries) {
  size_t total = 0;
  for (const PlaylistEntry& entry : entries) total += entry.path.size() + 2;
  std::string bytes;
  bytes.reserve(total);
  for (const PlaylistEntry& entry : entries) bytes.append(entry.path).append("\r\n");
  return bytes;
}

bool SavePlaylistFile(const std::string& path, std::span<const PlaylistEntry> entries,
                      std::string* error) {
  return platform::WriteFileAtomically(path, VtpBytes(entries), error);
}

}  // namespace veltro::playlist
