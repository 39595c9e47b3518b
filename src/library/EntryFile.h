// Reading fixed-size entries from the library files: never more than the file holds, so a
// count taken from a damaged header cannot make a reader allocate or read beyond the file.
#pragma once

#include <bit>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "library/LoadedArray.h"
#include "library/SongRecord.h"
#include "platform/FileDescriptor.h"

namespace veltro::library {

// The entry structs are the little-endian file layouts themselves.
static_assert(std::endian::native == std::endian::little,
              "the library's entry structs mirror little-endian file bytes");

// The readers below read and close through the platform layer's descriptor operations.
using platform::CloseFile;
using platform::ReadAt;

// The size of the open file, 0 when it cannot be told.
uint64_t SizeOf(int fd);

// The header of a Data.ndb of `fileBytes` bytes, its record count limited to the whole records
// present (and to what an int can number). A file shorter than the header is an empty library.
DatabaseHeader ReadHeader(int fd, uint64_t fileBytes);

// Reads `count` records that follow the header; fewer when the file is shorter.
std::vector<SongRecord> ReadRecords(int fd, size_t count);

// A view of the first `bytes` bytes of the open file when it holds them and no other user can
// shrink it while it is mapped (platform::MappedFile); nullopt when it must be read instead.
std::optional<platform::MappedFile> MapIfPrivate(int fd, uint64_t bytes);

// Up to `count` records following the header of the open Data.ndb, fewer when the file now
// holds fewer: in a view of the file when MapIfPrivate allows, else read.
LoadedArray<SongRecord> LoadRecords(int fd, size_t count);

// Opens `path` for reading without ever waiting on it; -1 when it cannot be opened or is not a
// regular file (a folder, FIFO, device), with `reason` (if given) saying which.
int OpenForReading(const std::string& path, std::string* reason = nullptr);

// The whole entries at the start of file `path`, at most `count`; nullopt when the file cannot
// be opened or is not a regular file (`reason`, if given, says why). `wholeEntries`, if given,
// receives how many whole entries the file holds, `count` or not.
template <class Entry>
std::optional<std::vector<Entry>> ReadEntries(const std::string& path, size_t count,
                                              std::string* reason = nullptr,
                                              uint64_t* wholeEntries = nullptr) {
  const int fd = OpenForReading(path, reason);
  if (fd < 0) return std::nullopt;
  const uint64_t present = SizeOf(fd) / sizeof(Entry);
  if (wholeEntries != nullptr) *wholeEntries = present;
  std::vector<Entry> entries(present < count ? static_cast<size_t>(present) : count);
  const size_t got = ReadAt(fd, 0, entries.data(), entries.size() * sizeof(Entry));
  CloseFile(fd);
  entries.resize(got / sizeof(Entry));
  return entries;
}

// The whole entries at the start of the open file, at most `count`: in a view of the file
// when MapIfPrivate allows, else read.
template <class Entry>
LoadedArray<Entry> LoadEntries(int fd, size_t count) {
  const uint64_t present = SizeOf(fd) / sizeof(Entry);
  const size_t wanted = present < count ? static_cast<size_t>(present) : count;
  if (wanted == 0) return {};
  if (auto view = MapIfPrivate(fd, uint64_t{wanted} * sizeof(Entry))) {
    return LoadedArray<Entry>(std::move(*view), 0, wanted);
  }
  std::vector<Entry> entries(wanted);
  const size_t got = ReadAt(fd, 0, entries.data(), entries.size() * sizeof(Entry));
  entries.resize(got / sizeof(Entry));
  return LoadedArray<Entry>(std::move(entries));
}

// The same for the file `path`; nullopt when it cannot be opened or is not a regular file
// (`reason`, if given, says why).
template <class Entry>
std::optional<LoadedArray<Entry>> LoadEntries(const std::string& path, size_t count,
                                              std::string* reason = nullptr) {
  const int fd = OpenForReading(path, reason);
  if (fd < 0) return std::nullopt;
  LoadedArray<Entry> entries = LoadEntries<Entry>(fd, count);
  CloseFile(fd);  // a view stays valid without the descriptor
  return entries;
}

}  // namespace veltro::library
