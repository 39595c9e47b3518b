// Playlist files: the own format .vtp (one library path a line, each line ended by CR LF, no
// header), read and written, and .m3u / .m3u8 lists, read only. Loading looks every line up in
// the library by its exact path; a line that names no library song is skipped and counted,
// never replaced by a neighbouring song.
//
// Any thread for the pure functions; the loaders read the song library, a UI-thread object, and
// so run on the UI thread. Nothing here keeps a pointer to its arguments.
#pragma once

#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "playlist/Playlist.h"

namespace veltro::library {
class SongDatabase;
}

namespace veltro::playlist {

// The largest playlist file that is read; a larger one is refused with a reason.
inline constexpr size_t kMaxPlaylistFileBytes = 64u << 20;

enum class PlaylistKind { kUnknown, kVtp, kM3u, kM3u8 };

// The kind named by the path's extension (the text from its last "." in the file name),
// compared without regard to letter case: ".vtp", ".m3u", ".m3u8". kUnknown otherwise.
// Pure; any thread.
PlaylistKind KindOfPlaylistPath(std::string_view path);

// The song paths a playlist's bytes name, in file order. Lines end at LF; one CR before it is
// removed, and a last line without LF is kept whole. Empty lines are left out. For .m3u and
// .m3u8: a UTF-8 byte-order mark at the start is dropped, lines starting with '#' are comments,
// a "file://" URL (host empty or "localhost") is percent-decoded to its path (an escape
// without two hex digits, and those of NUL and LF, stay as written), and a relative path (not
// starting with '/', such as "Music\a.mp3" or a URL of another host) is joined to `folder`
// (the playlist file's folder) and normalised lexically ("a/../b" -> "b"). A .vtp line is taken
// byte for byte. No text is converted: paths are the file system's bytes. kUnknown names no paths.
// Pure; any thread. The result owns its strings.
std::vector<std::string> PlaylistPaths(std::string_view bytes, PlaylistKind kind,
                                       std::string_view folder);

// What loading a playlist file gives.
struct LoadedPlaylist {
  std::vector<PlaylistEntry> entries;  // artist + " - " + title and path of each library song
  int skipped = 0;                     // lines whose path is not in the library
};

// Reads the playlist file at `path` (only a regular file, opened without waiting; at most
// kMaxPlaylistFileBytes) and looks each of its paths up in `library` by exact path. For an
// .m3u line that is relative, the path as written is tried first, then the one joined to the
// playlist's folder. nullopt, with a one-line reason in `error` (when not null), when the file
// cannot be read, is too large, or its extension is none of the three kinds. A relative
// `path` is taken from the working directory.
// UI thread (reads `library`, borrowed for the call); the result owns its entries.
std::optional<LoadedPlaylist> LoadPlaylistFile(const std::string& path,
                                               const library::SongDatabase& library,
                                               std::string* error);

// The bytes of a .vtp file for `entries`: each entry's path followed by CR LF, in list order.
// Pure; any thread.
std::string VtpBytes(std::span<const PlaylistEntry> entries);

// Replaces the file at `path` with VtpBytes(entries) atomically (a crash at any instant leaves
// the old or the new file). False, with the old file as it was and a one-line reason in `error`
// (when not null), when it cannot be written. Any thread (distinct targets).
bool SavePlaylistFile(const std::string& path, std::span<const PlaylistEntry> entries,
                      std::string* error);

}  // namespace veltro::playlist
