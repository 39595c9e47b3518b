// Walking one folder tree depth first, in the order the directory listing gives the entries, to
// find the files a caller wants. Only regular files are reported, and nothing but folders is ever
// opened: a FIFO or device that carries a wanted name is examined by its directory entry and
// status alone. Hidden folders are walked; pseudo file systems (process and kernel views, device
// nodes) are never entered, not even as the root; a symbolic link is followed, except into a
// folder the walk is already inside (a loop). Paths are reported byte for byte as walked (the
// root as given, then "/" and each name as listed), never cut: one longer than the limit is
// skipped and counted instead.
//
// Any thread; a walk owns nothing after it returns. The visitor runs on the walking thread.
#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace veltro::platform {

// The longest path a walk reports by default: what a library record's path field holds without
// its terminating zero.
inline constexpr size_t kMaxWalkPathBytes = 259;

// A regular file the walk found (a symbolic link to one counts as that file, under the link's
// path).
struct WalkedFile {
  std::string path;  // folder path as walked + "/" + name
  std::string name;  // the name as listed, byte for byte
  uint64_t device = 0;
  uint64_t inode = 0;
  uint64_t size = 0;
};

// Why the walk left a folder or a wanted file out.
enum class WalkSkip {
  kUnlistableFolder,  // a folder (or the root) that could not be opened or listed
  kLongPath,          // a wanted file or a folder whose path is longer than the limit
  kLinkLoop,          // a folder that is already on the current path (through a link or bind)
  kPseudoFileSystem,  // a folder (or the root) on a pseudo file system
  kNotRegularFile,    // a wanted name on a FIFO, device, socket or dangling link
  kCount
};
inline constexpr size_t kWalkSkipCount = static_cast<size_t>(WalkSkip::kCount);

struct WalkCounts {
  long long folders = 0;  // folders entered, the root included
  long long files = 0;    // files reported
  std::array<long long, kWalkSkipCount> skipped{};

  long long& Skipped(WalkSkip reason) { return skipped[static_cast<size_t>(reason)]; }
  long long Skipped(WalkSkip reason) const { return skipped[static_cast<size_t>(reason)]; }
};

// What the walk asks and tells. Every member may be empty.
struct WalkVisitor {
  // Whether a file of this name interests the caller (empty: every file). Asked before anything
  // about the entry is examined, so an unwanted file costs only its directory entry; unwanted
  // names are neither reported nor counted as skipped.
  std::function<bool(std::string_view name)> wantsFile;
  // A folder just entered (its path as walked), before any of its entries.
  std::function<void(const std::string& folder)> onFolder;
  // A wanted regular file, in listing order among the folder's entries.
  std::function<void(const WalkedFile& file)> onFile;
};

// Walks `root` depth first: each entry in listing order, a folder walked at once before the next
// entry. `stop` is checked before each entry; when it is set the walk returns at once with the
// counts of what it did. Paths longer than `maxPathBytes` are skipped and counted (a folder
// counts once and is not entered).
WalkCounts WalkFolder(const std::string& root, const WalkVisitor& visitor,
                      const std::atomic<bool>& stop, size_t maxPathBytes = kMaxWalkPathBytes);

}  // namespace veltro::platform
