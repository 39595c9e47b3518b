// POSIX implementation of the atomic replace: temp file + fsync + rename + directory fsync.
#include "platform/SafeWrite.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <optional>
#include <random>

namespace veltro::platform {

namespace {

std::string Reason(const std::string& what, const std::string& path, int errorNumber) {
  return what + " " + path + ": " + std::strerror(errorNumber);
}

bool Fail(std::string* error, std::string reason) {
  if (error != nullptr) *error = std::move(reason);
  return false;
}

// The file a write to `path` should replace: `path` itself, or where its symbolic link points.
std::string ResolveTarget(const std::string& path) {
  std::error_code failed;
  if (!std::filesystem::is_symlink(path, failed)) return path;
  const std::filesystem::path resolved = std::filesystem::weakly_canonical(path, failed);
  return failed ? path : resolved.string();
}

std::string DirectoryOf(const std::string& path) {
  const std::string parent = std::filesystem::path(path).parent_path().string();
  return parent.empty() ? std::string(".") : parent;
}

// Creates a new, unique file next to `target`; returns its descriptor and name.
std::optional<std::pair<int, std::string>> CreateTemporary(const std::string& target) {
  static std::atomic<unsigned> counter{0};
  std::random_device seed;
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::string name = target + ".tmp-" + std::to_string(getpid()) + "-" +
                             std::to_string(counter++) + "-" + std::to_string(seed() % 1000000);
    // 0666 so that the process's umask decides a new file's permissions, as for any new file.
    const int fd = open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0) return std::make_pair(fd, name);
    if (errno != EEXIST) return std::nullopt;
  }
  errno = EEXIST;
  return std::nullopt;
}

bool WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t written = write(fd, bytes.data(), bytes.size());
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    bytes.remove_prefix(static_cast<size_t>(written));
  }
  return true;
}

// Writes, copies the target's permission bits and syncs the open temporary file, then closes
// it; the reason for a failure goes to `error`.
bool FillTemporary(int fd, const std::string& name, const std::string& target,
                   std::string_view bytes, std::string* error) {
  struct stat existing {};
  bool ok = true;
  if (!WriteAll(fd, bytes)) {
    ok = Fail(error, Reason("cannot write", name, errno));
  } else if (stat(target.c_str(), &existing) == 0 && fchmod(fd, existing.st_mode & 07777) != 0) {
    ok = Fail(error, Reason("cannot set permissions of", name, errno));
  } else if (fsync(fd) != 0) {
    ok = Fail(error, Reason("cannot flush", name, errno));
  }
  if (close(fd) != 0 && ok) ok = Fail(error, Reason("cannot close", name, errno));
  return ok;
}

// Makes the rename durable. File systems that cannot sync a directory (EINVAL) are accepted.
bool SyncDirectory(const std::string& directory, std::string* error) {
  const int fd = open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return Fail(error, Reason("cannot open directory", directory, errno));
  const bool synced = fsync(fd) == 0 || errno == EINVAL;
  const int syncError = errno;
  close(fd);
  return synced ||
         Fail(error, Reason("replaced, but cannot flush directory", directory, syncError));
}

}  // namespace

bool WriteFileAtomically(const std::string& path, std::string_view bytes, std::string* error) {
  const std::string target = ResolveTarget(path);
  struct stat existing {};
  if (stat(target.c_str(), &existing) == 0 && !S_ISREG(existing.st_mode)) {
    return Fail(error, "cannot replace " + target + ": not a regular file");
  }
  const auto temporary = CreateTemporary(target);
  if (!temporary) return Fail(error, Reason("cannot create a temporary file for", target, errno));
  const auto& [fd, name] = *temporary;
  if (!FillTemporary(fd, name, target, bytes, error)) {
    unlink(name.c_str());
    return false;
  }
  if (rename(name.c_str(), target.c_str()) != 0) {
    const int renameError = errno;
    unlink(name.c_str());
    return Fail(error, Reason("cannot replace", target, renameError));
  }
  return SyncDirectory(DirectoryOf(target), error);
}

}  // namespace veltro::platform
