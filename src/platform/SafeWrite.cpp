// POSIX implementation of the atomic replace: temp file + fsync + rename + directory fsync.
#include "platform/SafeWrite.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <filesystem>
#include <random>

namespace veltro::platform {

namespace {

constexpr std::string_view kTemporaryMark = ".tmp-";
constexpr std::string_view kShortPrefix = ".veltro-";

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

// What a temporary's name starts with, up to the writer's process id.
std::string TemporaryPrefix(const std::string& fileName, TemporaryName naming) {
  return naming == TemporaryName::kShortHidden ? std::string(kShortPrefix)
                                               : fileName + std::string(kTemporaryMark);
}

// Creates a new, unique file next to `target`; returns its descriptor and name.
std::optional<std::pair<int, std::string>> CreateTemporary(const std::string& target,
                                                           TemporaryName naming) {
  static std::atomic<unsigned> counter{0};
  std::random_device seed;
  const std::filesystem::path targetPath(target);
  const std::filesystem::path prefix =
      targetPath.parent_path() / TemporaryPrefix(targetPath.filename().string(), naming);
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::string name = prefix.string() + std::to_string(getpid()) + "-" +
                             std::to_string(counter++) + "-" + std::to_string(seed() % 1000000);
    // 0666 so that the process's umask decides a new file's permissions, as for any new file.
    const int fd = open(name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0) return std::make_pair(fd, name);
    if (errno != EEXIST) return std::nullopt;
  }
  errno = EEXIST;
  return std::nullopt;
}

// The process id in a temporary's name "<prefix><pid>-...", or 0.
pid_t WriterOf(std::string_view temporaryName, const std::string& prefix) {
  if (!temporaryName.starts_with(prefix)) return 0;
  temporaryName.remove_prefix(prefix.size());
  pid_t pid = 0;
  const auto [end, ec] =
      std::from_chars(temporaryName.data(), temporaryName.data() + temporaryName.size(), pid);
  if (ec != std::errc() || end == temporaryName.data() + temporaryName.size() || *end != '-') {
    return 0;
  }
  return pid;
}

}  // namespace

PendingFile::PendingFile(int fd, std::string name, std::string target)
    : fd_(fd), name_(std::move(name)), target_(std::move(target)) {}

PendingFile::PendingFile(PendingFile&& other) noexcept
    : fd_(other.fd_),
      name_(std::move(other.name_)),
      target_(std::move(other.target_)),
      replaced_(other.replaced_) {
  other.fd_ = -1;
  other.replaced_ = true;  // the moved-from object no longer owns the temporary
}

PendingFile::~PendingFile() {
  if (fd_ >= 0) close(fd_);
  if (!replaced_) unlink(name_.c_str());
}

std::optional<PendingFile> PendingFile::Create(const std::string& path, std::string* error,
                                               TemporaryName naming) {
  const std::string target = ResolveTarget(path);
  struct stat existing {};
  if (stat(target.c_str(), &existing) == 0 && !S_ISREG(existing.st_mode)) {
    Fail(error, "cannot replace " + target + ": not a regular file");
    return std::nullopt;
  }
  auto temporary = CreateTemporary(target, naming);
  if (!temporary) {
    Fail(error, Reason("cannot create a temporary file for", target, errno));
    return std::nullopt;
  }
  return PendingFile(temporary->first, std::move(temporary->second), target);
}

bool PendingFile::Write(const void* bytes, size_t count, std::string* error) {
  const char* next = static_cast<const char*>(bytes);
  while (count > 0) {
    const ssize_t written = write(fd_, next, count);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return Fail(error, Reason("cannot write", name_, written < 0 ? errno : EIO));
    next += written;
    count -= static_cast<size_t>(written);
  }
  return true;
}

bool PendingFile::Flush(std::string* error) {
  struct stat existing {};
  if (stat(target_.c_str(), &existing) == 0 && fchmod(fd_, existing.st_mode & 07777) != 0) {
    return Fail(error, Reason("cannot set permissions of", name_, errno));
  }
  if (fsync(fd_) != 0) return Fail(error, Reason("cannot flush", name_, errno));
  return true;
}

bool PendingFile::Replace(std::string* error) {
  if (rename(name_.c_str(), target_.c_str()) != 0) {
    return Fail(error, Reason("cannot replace", target_, errno));
  }
  replaced_ = true;
  return true;
}

int PendingFile::ReleaseDescriptor() {
  const int fd = fd_;
  fd_ = -1;
  return fd;
}

bool SyncDirectoryOf(const std::string& path, std::string* error) {
  const std::string directory = DirectoryOf(path);
  const int fd = open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return Fail(error, Reason("cannot open directory", directory, errno));
  const bool synced = fsync(fd) == 0 || errno == EINVAL;
  const int syncError = errno;
  close(fd);
  return synced ||
         Fail(error, Reason("replaced, but cannot flush directory", directory, syncError));
}

void RemoveAbandonedTemporaries(const std::string& path, TemporaryName naming) {
  const std::filesystem::path target(ResolveTarget(path));
  const std::string prefix = TemporaryPrefix(target.filename().string(), naming);
  std::error_code failed;
  std::filesystem::directory_iterator entries(DirectoryOf(target.string()), failed);
  for (; !failed && entries != std::filesystem::directory_iterator(); entries.increment(failed)) {
    const pid_t writer = WriterOf(entries->path().filename().string(), prefix);
    if (writer > 0 && kill(writer, 0) != 0 && errno == ESRCH) {
      unlink(entries->path().c_str());
    }
  }
}

bool WriteFileAtomically(const std::string& path, std::string_view bytes, std::string* error) {
  auto pending = PendingFile::Create(path, error);
  if (!pending) return false;
  if (!pending->Write(bytes.data(), bytes.size(), error) || !pending->Flush(error) ||
      !pending->Replace(error)) {
    return false;
  }
  return SyncDirectoryOf(pending->Target(), error);
}

}  // namespace veltro::platform
