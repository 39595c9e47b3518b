#include "platform/FileAttributes.h"

#include <sys/stat.h>
#include <sys/statfs.h>

#include <array>

namespace veltro::platform {
namespace {

// Magic numbers of the pseudo file systems whose files count as "system" (linux/magic.h).
constexpr std::array<long, 6> kPseudoFileSystems = {
    0x9fa0,      // proc
    0x62656572,  // sysfs
    0x1373,      // devfs / devtmpfs
    0x64626720,  // debugfs
    0x27e0eb,    // cgroup
    0x63677270,  // cgroup2
};

bool OnPseudoFileSystem(const std::string& path) {
  struct statfs info {};
  if (statfs(path.c_str(), &info) != 0) return false;
  for (long magic : kPseudoFileSystems) {
    if (static_cast<long>(info.f_type) == magic) return true;
  }
  return false;
}

bool HasHiddenName(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  const size_t start = slash == std::string::npos ? 0 : slash + 1;
  return start < path.size() && path[start] == '.';
}

}  // namespace

std::optional<FileAttributes> ReadFileAttributes(const std::string& path) {
  struct stat status {};
  if (stat(path.c_str(), &status) != 0) return std::nullopt;
  FileAttributes attributes;
  attributes.permissions = static_cast<uint32_t>(status.st_mode & 07777);
  attributes.readOnly = (status.st_mode & S_IWUSR) == 0;
  attributes.hidden = HasHiddenName(path);
  attributes.system = OnPseudoFileSystem(path);
  return attributes;
}

bool SetFileAttributesNormal(const std::string& path, const FileAttributes& current) {
  return chmod(path.c_str(), static_cast<mode_t>(current.permissions | S_IWUSR)) == 0;
}

bool RestoreFileAttributes(const std::string& path, const FileAttributes& saved) {
  return chmod(path.c_str(), static_cast<mode_t>(saved.permissions)) == 0;
}

}  // namespace veltro::platform
