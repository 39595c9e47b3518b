// The file attributes tag writers look at, mapped onto POSIX: "read-only" is a file without the
// owner's write permission, "hidden" a name beginning with a dot, "system" a file on a pseudo
// file system (proc, sysfs, devtmpfs and the like). POSIX has no archive bit.
//
// Any thread; each call is one system call on the named file.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace veltro::platform {

struct FileAttributes {
  bool readOnly = false;
  bool hidden = false;
  bool system = false;
  uint32_t permissions = 0;  // the file's permission bits (07777)
};

// The attributes of `path` (a symbolic link is followed); nullopt when it cannot be examined.
std::optional<FileAttributes> ReadFileAttributes(const std::string& path);

// Makes the file writable for its owner, the "normal" attributes a writer needs. A hidden name
// stays as it is (renaming the file would lose it). False when the permissions cannot be set.
bool SetFileAttributesNormal(const std::string& path, const FileAttributes& current);

// Gives the file back the permission bits of `saved`. False when they cannot be set.
bool RestoreFileAttributes(const std::string& path, const FileAttributes& saved);

}  // namespace veltro::platform
