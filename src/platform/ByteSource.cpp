// File and memory byte sources. Both clamp every read to their own size, so a parser sees the
// same bytes and the same short reads from either.
#include "platform/ByteSource.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstring>

#include "platform/RegularFile.h"

namespace veltro::platform {

namespace {

// Bytes a read of `requested` bytes may deliver at `offset` in a source of `size` bytes.
size_t ClampedLength(uint64_t offset, uint64_t size, size_t requested) {
  if (offset >= size) return 0;
  return static_cast<size_t>(std::min<uint64_t>(requested, size - offset));
}

}  // namespace

std::unique_ptr<FileByteSource> FileByteSource::Open(const std::string& path, std::string* reason) {
  std::FILE* file = OpenRegularFileStream(path, FileAccess::kRead, reason);
  if (file == nullptr) return nullptr;
  struct stat status {};
  if (fstat(fileno(file), &status) != 0 || status.st_size < 0) {
    if (reason != nullptr) *reason = "cannot examine " + path;
    std::fclose(file);
    return nullptr;
  }
  return std::unique_ptr<FileByteSource>(
      new FileByteSource(file, static_cast<uint64_t>(status.st_size)));
}

FileByteSource::~FileByteSource() {
  std::fclose(file_);
}

size_t FileByteSource::Read(void* destination, size_t bytes) {
  const size_t wanted = ClampedLength(offset_, size_, bytes);
  if (wanted == 0) return 0;
  const size_t got = std::fread(destination, 1, wanted, file_);
  offset_ += got;
  if (got < wanted) {
    // The file shrank or failed underneath us: keep the handle's position and ours in step.
    std::clearerr(file_);
    Seek(offset_);
  }
  return got;
}

bool FileByteSource::Seek(uint64_t offset) {
  if (offset > size_) return false;
  if (fseeko(file_, static_cast<off_t>(offset), SEEK_SET) != 0) return false;
  offset_ = offset;
  return true;
}

size_t MemoryByteSource::Read(void* destination, size_t bytes) {
  const size_t length = ClampedLength(offset_, size_, bytes);
  if (length == 0) return 0;
  std::memcpy(destination, data_ + offset_, length);
  offset_ += length;
  return length;
}

bool MemoryByteSource::Seek(uint64_t offset) {
  if (offset > size_) return false;
  offset_ = offset;
  return true;
}

}  // namespace veltro::platform
