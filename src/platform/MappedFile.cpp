#include "platform/MappedFile.h"

#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <utility>

namespace veltro::platform {

namespace {

bool Fail(std::string* reason, std::string text) {
  if (reason != nullptr) *reason = std::move(text);
  return false;
}

}  // namespace

std::optional<MappedFile> MappedFile::Map(int fd, uint64_t bytes, std::string* reason) {
  struct stat status {};
  if (fstat(fd, &status) != 0) {
    Fail(reason, std::string("cannot examine the file to map: ") + std::strerror(errno));
    return std::nullopt;
  }
  if (!S_ISREG(status.st_mode) || status.st_size < 0 ||
      static_cast<uint64_t>(status.st_size) < bytes) {
    Fail(reason, "the file to map is not a regular file of " + std::to_string(bytes) + " bytes");
    return std::nullopt;
  }
  if (bytes == 0) return MappedFile();
  if (bytes > SIZE_MAX) {
    Fail(reason, "the file is too large to map");
    return std::nullopt;
  }
  const auto length = static_cast<size_t>(bytes);
  void* view = mmap(nullptr, length, PROT_READ | PROT_WRITE, MAP_PRIVATE, fd, 0);
  if (view == MAP_FAILED) {
    Fail(reason, std::string("cannot map the file: ") + std::strerror(errno));
    return std::nullopt;
  }
  // Read-populating enters the cached pages without breaking copy-on-write (MAP_POPULATE
  // would copy every page of a writable private view). Older kernels refuse it; the pages
  // are then entered on first touch.
#ifdef MADV_POPULATE_READ
  (void)madvise(view, length, MADV_POPULATE_READ);
#endif
  return MappedFile(static_cast<std::byte*>(view), length);
}

bool MappedFile::OnlyOwnerMayShrink(int fd) {
  struct stat status {};
  if (fstat(fd, &status) != 0) return false;
  return status.st_uid == geteuid() && (status.st_mode & S_IWOTH) == 0;
}

MappedFile::MappedFile(MappedFile&& other) noexcept
    : data_(std::exchange(other.data_, nullptr)), size_(std::exchange(other.size_, 0)) {}

MappedFile& MappedFile::operator=(MappedFile&& other) noexcept {
  if (this != &other) {
    Unmap();
    data_ = std::exchange(other.data_, nullptr);
    size_ = std::exchange(other.size_, 0);
  }
  return *this;
}

MappedFile::~MappedFile() {
  Unmap();
}

void MappedFile::Unmap() {
  if (data_ != nullptr) munmap(data_, size_);
  data_ = nullptr;
  size_ = 0;
}

}  // namespace veltro::platform
