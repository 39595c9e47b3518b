// The scanner's file stream: one descriptor, one window of the file's bytes, positional reads.
#include "platform/WindowedFileReader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <new>

#include "platform/RegularFile.h"

namespace veltro::platform {

std::unique_ptr<WindowedFileReader> WindowedFileReader::Create() {
  std::unique_ptr<WindowedFileReader> reader(new (std::nothrow) WindowedFileReader);
  if (reader == nullptr) return nullptr;
  reader->window_.reset(new (std::nothrow) uint8_t[kWindowBytes]);
  if (reader->window_ == nullptr) return nullptr;
  return reader;
}

WindowedFileReader::~WindowedFileReader() {
  Close();
}

int WindowedFileReader::Open(const char* path) {
  Close();
  if (path == nullptr) return kCannotOpen;
  // Never waits on a FIFO or device that carries a song's name, and reads regular files only.
  errno = 0;  // a refused kind of file sets none
  const int fd = OpenRegularFile(path, FileAccess::kRead);
  if (fd < 0) return errno == ENOENT || errno == ENOTDIR ? kNotFound : kCannotOpen;
  struct stat status {};
  if (::fstat(fd, &status) != 0) {
    ::close(fd);
    return kCannotOpen;
  }
  fd_ = fd;
  size_ = static_cast<int64_t>(status.st_size);
  position_ = 0;
  windowStart_ = 0;
  windowEnd_ = 0;
  fills_ = 0;
  // The reads are sized here: the kernel's read-ahead would fetch far more than a scan of the
  // first frames needs, which is what costs time when the file is not cached.
  if (size_ > 0) ::posix_fadvise(fd_, 0, 0, POSIX_FADV_RANDOM);
  // The head is always read; when the file is not cached, it then arrives while an earlier
  // read elsewhere (the end of the file) waits, instead of after it.
  if (size_ > kHeadBytes) ::posix_fadvise(fd_, 0, kHeadBytes, POSIX_FADV_WILLNEED);
  return kOpened;
}

void WindowedFileReader::Close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  size_ = 0;
  position_ = 0;
  windowStart_ = 0;
  windowEnd_ = 0;
  fills_ = 0;
}

void WindowedFileReader::CopyFromWindow(uint8_t* out, int count) {
  std::memcpy(out, window_.get() + (position_ - windowStart_), static_cast<size_t>(count));
  position_ += count;
}

int WindowedFileReader::ReadAcrossWindow(uint8_t* out, int count) {
  int copied = 0;
  while (copied < count) {
    if (position_ >= windowStart_ && position_ < windowEnd_) {
      const int take = static_cast<int>(std::min<int64_t>(count - copied, windowEnd_ - position_));
      CopyFromWindow(out + copied, take);
      copied += take;
      continue;
    }
    if (position_ >= size_) break;
    if (!FillWindow(position_)) return kReadFailed;
    if (windowEnd_ <= position_) break;  // the file became shorter since it was opened
  }
  return copied;
}

int WindowedFileReader::ReadAt(int64_t offset, uint8_t* out, int count) {
  if (offset < 0 || count <= 0 || offset >= size_) return 0;
  count = static_cast<int>(std::min<int64_t>(count, size_ - offset));
  // Small files: the first read of the head takes the whole file, this request included.
  const bool windowEmpty = windowEnd_ == windowStart_;
  if (windowEmpty && offset + count <= std::min(size_, kHeadBytes) && !FillWindow(0)) {
    return kReadFailed;
  }
  if (offset >= windowStart_ && offset + count <= windowEnd_) {
    std::memcpy(out, window_.get() + (offset - windowStart_), static_cast<size_t>(count));
    return count;
  }
  const int64_t got = ReadFully(offset, out, count);
  return got < 0 ? kReadFailed : static_cast<int>(got);
}

bool WindowedFileReader::FillWindow(int64_t offset) {
  ++fills_;
  // A walk that goes on past two windows reads through the file: let the kernel read ahead.
  if (fills_ == kFillsBeforeReadAhead) ::posix_fadvise(fd_, 0, 0, POSIX_FADV_SEQUENTIAL);
  const int64_t limit = fills_ == 1 ? kHeadBytes : kWindowBytes;
  const int64_t wanted = std::clamp<int64_t>(size_ - offset, 0, limit);
  const int64_t got = wanted > 0 ? ReadFully(offset, window_.get(), wanted) : 0;
  windowStart_ = offset;
  windowEnd_ = offset + std::max<int64_t>(got, 0);
  return got >= 0;
}

int64_t WindowedFileReader::ReadFully(int64_t offset, uint8_t* out, int64_t count) const {
  int64_t done = 0;
  while (done < count) {
    const ssize_t got = ::pread(fd_, out + done, static_cast<size_t>(count - done),
                                static_cast<off_t>(offset + done));
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return -1;
    if (got == 0) break;
    done += got;
  }
  return done;
}

}  // namespace veltro::platform
