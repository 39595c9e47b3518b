// A read-only file seen as a byte stream with a position, for scanners that look at a file's
// head and a few places in it (the MPEG file information scanner). It behaves like a stdio stream
// opened "rb" (reads deliver what is there and stop short at the end of the file, seeks may go past
// the end) but reads the file in few, large positional reads: the bytes around the position are
// held in one window, and the file is read again only when the position leaves it. The first read
// takes the file's head (kHeadBytes), which serves the ID3v2 check, the VBR header and the walk
// over the first frames of most files; later reads take kWindowBytes. The kernel's read-ahead is
// off until the walk has needed kFillsBeforeReadAhead reads, so a scan of the first frames of an
// uncached file reads little more than it uses, while a walk through the whole file streams.
// Opening asks the kernel to start reading the head at once, so that it overlaps a read at the end
// of the file.
//
// Ownership: the reader owns its file descriptor and its window. Threads: one thread at a time
// (no internal locking); different readers are independent.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

namespace veltro::platform {

class WindowedFileReader {
 public:
  static constexpr int64_t kHeadBytes = 32 * 1024;
  static constexpr int64_t kWindowBytes = 64 * 1024;
  static constexpr int kFillsBeforeReadAhead = 3;
  // Read results besides a byte count or a byte value.
  static constexpr int kEndOfFile = -1;
  static constexpr int kReadFailed = -2;
  // Open results.
  static constexpr int kOpened = 0;
  static constexpr int kNotFound = -1;
  static constexpr int kCannotOpen = -2;

  // A reader with its window allocated and no file open; null when memory is short.
  static std::unique_ptr<WindowedFileReader> Create();
  ~WindowedFileReader();
  WindowedFileReader(const WindowedFileReader&) = delete;
  WindowedFileReader& operator=(const WindowedFileReader&) = delete;

  // Opens `path` for reading at position 0, closing a file still open. kNotFound when the file
  // or a folder of its path does not exist, kCannotOpen when it exists but cannot be opened or
  // is not a regular file (a folder, FIFO or device: refused without waiting on it).
  int Open(const char* path);
  void Close();
  bool IsOpen() const { return fd_ >= 0; }

  // The file's size in bytes when it was opened.
  int64_t Size() const { return size_; }
  int64_t Position() const { return position_; }
  // Moves the position; it may go past the end, where reads find nothing.
  void SeekTo(int64_t position) { position_ = position < 0 ? 0 : position; }
  void Skip(int64_t bytes) { SeekTo(position_ + bytes); }

  // Copies up to `count` bytes from the position into `out` and moves past them. Returns the
  // number copied (less than `count` only at the end of the file) or kReadFailed.
  int Read(uint8_t* out, int count) {
    if (position_ >= windowStart_ && position_ + count <= windowEnd_) {
      CopyFromWindow(out, count);
      return count;
    }
    return ReadAcrossWindow(out, count);
  }

  // The byte at the position (0..255), moving past it; kEndOfFile or kReadFailed.
  int ReadByte() {
    if (position_ >= windowStart_ && position_ < windowEnd_) {
      return window_[static_cast<size_t>(position_++ - windowStart_)];
    }
    uint8_t byte = 0;
    const int got = ReadAcrossWindow(&byte, 1);
    if (got < 0) return got;
    return got == 1 ? byte : kEndOfFile;
  }

  // Copies up to `count` bytes at `offset` without moving the position (as a seek there, a
  // read and a seek back). Served from the window when it holds them, else read directly
  // without disturbing the window. Returns the number copied or kReadFailed.
  int ReadAt(int64_t offset, uint8_t* out, int count);

 private:
  WindowedFileReader() = default;
  void CopyFromWindow(uint8_t* out, int count);
  int ReadAcrossWindow(uint8_t* out, int count);
  // Refills the window with the file's bytes from `offset`; false on a read error.
  bool FillWindow(int64_t offset);
  // One positional read of up to `count` bytes, repeated over interruptions and partial
  // results; the number read (short only at the end of the file) or -1.
  int64_t ReadFully(int64_t offset, uint8_t* out, int64_t count) const;

  std::unique_ptr<uint8_t[]> window_;
  int fd_ = -1;
  int64_t size_ = 0;
  int64_t position_ = 0;
  int64_t windowStart_ = 0;  // file offset of window_[0]
  int64_t windowEnd_ = 0;    // file offset just past the last byte held
  int fills_ = 0;            // window reads since the file was opened
};

}  // namespace veltro::platform
