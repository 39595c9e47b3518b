// A private, copy-on-write view of the head of a regular file. The process reads the file's
// bytes where they already lie (in the page cache) instead of copying them into fresh memory,
// and may change them: a change stays in this process's memory and never reaches the file
// (write the file itself for that). Until a page is changed here it shows the file as it is
// now, so a write to the file through a descriptor (ours or another program's) is seen in the
// pages not yet changed here.
//
// Shrinking: a page of the view that lies wholly beyond the file's end faults (SIGBUS) when
// touched. Map therefore never maps past the end the file has when it is mapped, and callers
// map only files that no other user can shrink (OnlyOwnerMayShrink). Replacing the file by a
// rename or removing it is harmless: the view keeps the old file's pages.
//
// Ownership: the object owns its mapping and unmaps it when destroyed or moved over; it does
// not own the descriptor it was made from, which may be closed at once. Threads: any thread
// may map; one thread at a time uses one object.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace veltro::platform {

class MappedFile {
 public:
  // Maps the first `bytes` bytes of the regular file open for reading as `fd` and asks the
  // kernel to enter the pages already in the page cache into the view at once (cheaper than
  // one fault per page later). nullopt, with a one-line reason in `reason` when given, when
  // the file holds fewer than `bytes` bytes or cannot be mapped; the caller then reads it.
  // Zero bytes give an empty view.
  static std::optional<MappedFile> Map(int fd, uint64_t bytes, std::string* reason = nullptr);

  // Whether only the caller's own user (and the superuser) can shrink the file open as `fd`:
  // it belongs to the effective user and is not writable by every user. Group write is
  // accepted (a private user group is the usual group of a user's files).
  static bool OnlyOwnerMayShrink(int fd);

  MappedFile() = default;  // an empty view
  MappedFile(MappedFile&& other) noexcept;
  MappedFile& operator=(MappedFile&& other) noexcept;
  MappedFile(const MappedFile&) = delete;
  MappedFile& operator=(const MappedFile&) = delete;
  ~MappedFile();

  // The view's bytes (page-aligned start); writable, copy-on-write.
  std::span<std::byte> Bytes() const { return {data_, size_}; }
  size_t Size() const { return size_; }

 private:
  MappedFile(std::byte* data, size_t size) : data_(data), size_(size) {}
  void Unmap();

  std::byte* data_ = nullptr;
  size_t size_ = 0;
};

}  // namespace veltro::platform
