// Replacing a file by a rewritten copy without changing what the file is to its users: the copy
// gets the owner, group, permission bits and extended attributes of the file it replaces, a
// user who could not change the file in place cannot replace it either, and a file with several
// hard links is refused (a rename would split them). The copy is written under a short name in
// the file's folder, so that a file whose name is as long as the file system allows can still
// be replaced.
//
// Any thread; one replacement per file at a time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/SafeWrite.h"

namespace veltro::platform {

// What a replacement must carry over from the file it replaces.
struct FileIdentity {
  uint32_t owner = 0;
  uint32_t group = 0;
  uint32_t permissions = 0;  // 07777 bits
  uint64_t links = 0;
  std::vector<std::pair<std::string, std::string>> extendedAttributes;  // name, value
};

// The identity of the regular file open as `fd` (named `path` in the reason); nullopt with a
// one-line reason when it cannot be examined.
std::optional<FileIdentity> ReadFileIdentity(int fd, const std::string& path, std::string* reason);

// True when the calling user may change the file at `path` in place: it grants them write
// permission, or they own it (an owner may make a read-only file writable). False with a
// one-line reason otherwise, also when the file has more than one hard link.
bool MayReplaceInPlace(const std::string& path, const FileIdentity& identity, std::string* reason);

// A new, empty file beside the one it is to replace. It takes that file's place only through
// Commit; destroying it before that removes it and leaves the file as it was.
class ReplacementFile {
 public:
  // Creates the copy in the folder of `path` (a symbolic link is followed, so the file it names
  // is replaced and the link stays); nullopt with a one-line reason when it cannot be created.
  static std::optional<ReplacementFile> Create(const std::string& path, std::string* reason);

  // Appends `count` bytes.
  bool Write(const void* bytes, size_t count, std::string* reason);
  // Gives the copy `identity` (owner and group, extended attributes, then the permission bits),
  // flushes it to the disk, renames it over the target and flushes the folder. `committed`
  // tells whether the rename happened (a failure to flush the folder comes after it).
  bool Commit(const FileIdentity& identity, bool* committed, std::string* reason);

 private:
  explicit ReplacementFile(PendingFile pending) : pending_(std::move(pending)) {}

  PendingFile pending_;  // the copy, under a short hidden name
};

// Removes copies left in the folder of `path` by processes that no longer run (a crash during
// a replacement). Copies of running processes are kept.
void RemoveAbandonedReplacements(const std::string& path);

}  // namespace veltro::platform
