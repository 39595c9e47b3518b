#include "platform/RegularFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace veltro::platform {
namespace {

const char* KindOf(mode_t mode) {
  if (S_ISDIR(mode)) return "a folder";
  if (S_ISFIFO(mode)) return "a FIFO";
  if (S_ISCHR(mode) || S_ISBLK(mode)) return "a device";
  if (S_ISSOCK(mode)) return "a socket";
  return "not a regular file";
}

bool Fail(std::string* reason, std::string text) {
  if (reason != nullptr) *reason = std::move(text);
  return false;
}

// Checks the opened descriptor and puts it back into blocking mode.
bool AcceptRegular(int fd, const std::string& path, std::string* reason) {
  struct stat status {};
  if (fstat(fd, &status) != 0) {
    return Fail(reason, "cannot examine " + path + ": " + std::strerror(errno));
  }
  if (!S_ISREG(status.st_mode)) {
    return Fail(reason, path + " is " + KindOf(status.st_mode) + ", not a regular file");
  }
  const int flags = fcntl(fd, F_GETFL);
  if (flags < 0 || fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
    return Fail(reason, "cannot use " + path + ": " + std::strerror(errno));
  }
  return true;
}

}  // namespace

int OpenRegularFile(const std::string& path, FileAccess access, std::string* reason) {
  const int mode = access == FileAccess::kRead ? O_RDONLY : O_RDWR;
  const int fd = open(path.c_str(), mode | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) {
    Fail(reason, errno == EISDIR ? path + " is a folder, not a regular file"
                                 : "cannot open " + path + ": " + std::strerror(errno));
    return -1;
  }
  if (!AcceptRegular(fd, path, reason)) {
    close(fd);
    return -1;
  }
  return fd;
}

std::FILE* OpenRegularFileStream(const std::string& path, FileAccess access,
                                 std::string* reason) {
  const int fd = OpenRegularFile(path, access, reason);
  if (fd < 0) return nullptr;
  std::FILE* stream = fdopen(fd, access == FileAccess::kRead ? "rb" : "r+b");
  if (stream == nullptr) {
    Fail(reason, "cannot open " + path + ": " + std::strerror(errno));
    close(fd);
  }
  return stream;
}

}  // namespace veltro::platform
