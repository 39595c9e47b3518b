// Reads arbitrary bytes as a playlist: the first byte picks the kind (.vtp, .m3u, .m3u8), the
// rest is the file's text. Traps when a path holds a line end, when an .m3u path is not
// absolute after joining to the playlist's folder, or when there are more paths than lines.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "playlist/PlaylistFile.h"

namespace {

using veltro::playlist::PlaylistKind;

void Check(bool condition) {
  if (!condition) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  static const PlaylistKind kKinds[] = {PlaylistKind::kVtp, PlaylistKind::kM3u,
                                        PlaylistKind::kM3u8};
  const PlaylistKind kind = kKinds[data[0] % 3];
  const std::string_view text(reinterpret_cast<const char*>(data) + 1, size - 1);
  const std::vector<std::string> paths =
      veltro::playlist::PlaylistPaths(text, kind, "/music/lists");
  const size_t lines = static_cast<size_t>(std::count(text.begin(), text.end(), '\n')) + 1;
  Check(paths.size() <= lines);
  for (const std::string& path : paths) {
    Check(!path.empty());
    Check(path.find('\n') == std::string::npos);
    if (kind != PlaylistKind::kVtp) Check(path.front() == '/');
  }
  return 0;
}
