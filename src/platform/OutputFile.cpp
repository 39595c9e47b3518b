#include "platform/OutputFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace veltro::platform {
namespace {

constexpr char kStandardOutputName[] = "-";

bool Fail(std::string* error, std::string reason) {
  if (error != nullptr) *error = std::move(reason);
  return false;
}

std::string Reason(const std::string& what, const std::string& path, int errorNumber) {
  return what + " " + path + ": " + std::strerror(errorNumber);
}

bool IsStraightKind(mode_t mode) {
  return S_ISCHR(mode) || S_ISBLK(mode) || S_ISFIFO(mode);
}

// Opens an existing device or FIFO for writing as it is; -1 with a reason.
int OpenStraight(const std::string& path, std::string* error) {
  const int fd = open(path.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) {
    Fail(error, Reason("cannot open", path, errno));
    return -1;
  }
  struct stat status {};
  if (fstat(fd, &status) != 0 || !IsStraightKind(status.st_mode)) {
    close(fd);  // replaced by another kind of file since it was looked at
    Fail(error, "cannot write " + path + ": it changed while being opened");
    return -1;
  }
  return fd;
}

}  // namespace

bool SameFile(const std::string& first, const std::string& second) {
  struct stat a {};
  struct stat b {};
  return stat(first.c_str(), &a) == 0 && stat(second.c_str(), &b) == 0 && a.st_dev == b.st_dev &&
         a.st_ino == b.st_ino;
}

OutputFile::OutputFile(int fd, std::string path, std::optional<PendingFile> pending)
    : fd_(fd), path_(std::move(path)), pending_(std::move(pending)) {}

OutputFile::OutputFile(OutputFile&& other) noexcept
    : fd_(other.fd_), path_(std::move(other.path_)), pending_(std::move(other.pending_)) {
  other.fd_ = -1;
  other.pending_.reset();
}

OutputFile::~OutputFile() {
  if (fd_ > STDERR_FILENO) close(fd_);
}

std::optional<OutputFile> OutputFile::Open(const std::string& path, std::string* error) {
  if (path == kStandardOutputName) return OutputFile(STDOUT_FILENO, path, std::nullopt);
  struct stat status {};
  if (stat(path.c_str(), &status) == 0) {
    if (S_ISDIR(status.st_mode)) {
      Fail(error, "cannot write " + path + ": it is a folder");
      return std::nullopt;
    }
    if (IsStraightKind(status.st_mode)) {
      const int fd = OpenStraight(path, error);
      if (fd < 0) return std::nullopt;
      return OutputFile(fd, path, std::nullopt);
    }
  }
  std::optional<PendingFile> pending = PendingFile::Create(path, error);
  if (!pending) return std::nullopt;
  const int fd = pending->ReleaseDescriptor();
  return OutputFile(fd, path, std::move(pending));
}

bool OutputFile::Write(const void* bytes, size_t count, std::string* error) {
  const char* next = static_cast<const char*>(bytes);
  while (count > 0) {
    const ssize_t written = write(fd_, next, count);
    if (written < 0 && errno == EINTR) return Fail(error, "writing " + path_ + " was interrupted");
    if (written <= 0) return Fail(error, Reason("cannot write", path_, written < 0 ? errno : EIO));
    next += written;
    count -= static_cast<size_t>(written);
  }
  return true;
}

bool OutputFile::Overwrite(uint64_t offset, const void* bytes, size_t count, std::string* error) {
  const int flags = fcntl(fd_, F_GETFL);
  // A pipe cannot go back; an output opened for appending would get the bytes at its end.
  if (lseek(fd_, 0, SEEK_CUR) < 0 || flags < 0 || (flags & O_APPEND) != 0) return true;
  const ssize_t written = pwrite(fd_, bytes, count, static_cast<off_t>(offset));
  if (written != static_cast<ssize_t>(count)) {
    return Fail(error, Reason("cannot write", path_, written < 0 ? errno : EIO));
  }
  return true;
}

bool OutputFile::Finish(std::string* error) {
  if (!pending_) {
    const bool closed = fd_ <= STDERR_FILENO || close(fd_) == 0;
    fd_ = -1;
    return closed || Fail(error, Reason("cannot write", path_, errno));
  }
  struct stat target {};
  if (stat(pending_->Target().c_str(), &target) == 0 && fchmod(fd_, target.st_mode & 07777) != 0) {
    return Fail(error, Reason("cannot set the permissions of", path_, errno));
  }
  if (fsync(fd_) != 0) return Fail(error, Reason("cannot flush", path_, errno));
  if (!pending_->Replace(error)) return false;
  return SyncDirectoryOf(pending_->Target(), error);
}

}  // namespace veltro::platform
