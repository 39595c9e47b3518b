#include "platform/FileDescriptor.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace veltro::platform {

size_t ReadAt(int fd, uint64_t offset, void* out, size_t bytes) {
  char* next = static_cast<char*>(out);
  size_t done = 0;
  while (done < bytes) {
    const ssize_t got = pread(fd, next + done, bytes - done, static_cast<off_t>(offset + done));
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    done += static_cast<size_t>(got);
  }
  return done;
}

bool WriteAt(int fd, uint64_t offset, const void* bytes, size_t count) {
  const char* next = static_cast<const char*>(bytes);
  size_t done = 0;
  while (done < count) {
    const ssize_t written =
        pwrite(fd, next + done, count - done, static_cast<off_t>(offset + done));
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) {
      if (written == 0) errno = EIO;
      return false;
    }
    done += static_cast<size_t>(written);
  }
  return true;
}

std::optional<uint64_t> FileSize(int fd) {
  struct stat status {};
  if (fstat(fd, &status) != 0 || status.st_size < 0) return std::nullopt;
  return static_cast<uint64_t>(status.st_size);
}

std::optional<uint64_t> StreamFileSize(std::FILE* stream) {
  if (stream == nullptr) return std::nullopt;
  return FileSize(StreamDescriptor(stream));
}

bool IsRegularFile(int fd) {
  struct stat status {};
  return fstat(fd, &status) == 0 && S_ISREG(status.st_mode);
}

bool TruncateFile(int fd, uint64_t size) {
  return ftruncate(fd, static_cast<off_t>(size)) == 0;
}

bool FlushFile(int fd) {
  return fsync(fd) == 0;
}

bool FlushFileData(int fd) {
  return fdatasync(fd) == 0;
}

int CreateNewFile(const std::string& path) {
  return open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
}

bool CloseFile(int fd) { return fd < 0 || close(fd) == 0; }

int StreamDescriptor(std::FILE* stream) { return fileno(stream); }

bool SeekStream(std::FILE* stream, uint64_t offset) {
  return fseeko(stream, static_cast<off_t>(offset), SEEK_SET) == 0;
}

int64_t StreamOffset(std::FILE* stream) {
  return static_cast<int64_t>(ftello(stream));
}

}  // namespace veltro::platform
