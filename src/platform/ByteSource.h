// Random-access byte sources that parsers of outside data read through: a file or memory.
// A source never reads past its end; every read reports how many bytes it delivered.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

namespace veltro::platform {

class ByteSource {
 public:
  virtual ~ByteSource() = default;
  // Copies up to `bytes` bytes from the current offset into `destination`, advances by the
  // number copied and returns it (less than `bytes` only at the end of the source).
  virtual size_t Read(void* destination, size_t bytes) = 0;
  // Moves to `offset` bytes from the start; an offset beyond Size() fails and keeps the offset.
  virtual bool Seek(uint64_t offset) = 0;
  virtual uint64_t Tell() const = 0;
  virtual uint64_t Size() const = 0;
};

// A read-only file. Owns its FILE handle; one thread at a time.
class FileByteSource final : public ByteSource {
 public:
  // Opens `path` for reading without ever waiting on a FIFO or device; nullptr, with `reason`
  // (if given) set to one line naming the path, when it cannot be opened or is not a regular
  // file.
  static std::unique_ptr<FileByteSource> Open(const std::string& path,
                                              std::string* reason = nullptr);
  ~FileByteSource() override;
  FileByteSource(const FileByteSource&) = delete;
  FileByteSource& operator=(const FileByteSource&) = delete;

  size_t Read(void* destination, size_t bytes) override;
  bool Seek(uint64_t offset) override;
  uint64_t Tell() const override { return offset_; }
  uint64_t Size() const override { return size_; }

 private:
  FileByteSource(std::FILE* file, uint64_t size) : file_(file), size_(size) {}
  std::FILE* file_;
  uint64_t size_;
  uint64_t offset_ = 0;
};

// A view of bytes owned by the caller, who keeps them alive for the source's lifetime.
class MemoryByteSource final : public ByteSource {
 public:
  MemoryByteSource(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  size_t Read(void* destination, size_t bytes) override;
  bool Seek(uint64_t offset) override;
  uint64_t Tell() const override { return offset_; }
  uint64_t Size() const override { return size_; }

 private:
  const uint8_t* data_;
  size_t size_;
  uint64_t offset_ = 0;
};

}  // namespace veltro::platform
