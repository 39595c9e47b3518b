#include "library/EntryFile.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>

#include "platform/MappedFile.h"
#include "platform/RegularFile.h"

namespace veltro::library {

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

uint64_t SizeOf(int fd) {
  struct stat status {};
  if (fstat(fd, &status) != 0 || status.st_size < 0) return 0;
  return static_cast<uint64_t>(status.st_size);
}

DatabaseHeader ReadHeader(int fd, uint64_t fileBytes) {
  DatabaseHeader header;
  if (fileBytes < kHeaderBytes || ReadAt(fd, 0, &header, kHeaderBytes) != kHeaderBytes) {
    return DatabaseHeader{};
  }
  const uint64_t wholeRecords = (fileBytes - kHeaderBytes) / kRecordBytes;
  const uint64_t limit = wholeRecords < INT_MAX ? wholeRecords : INT_MAX;
  if (header.recordCount > limit) header.recordCount = static_cast<uint32_t>(limit);
  return header;
}

std::vector<SongRecord> ReadRecords(int fd, size_t count) {
  std::vector<SongRecord> records(count, EmptyRecord());
  const size_t got = ReadAt(fd, kHeaderBytes, records.data(), count * kRecordBytes);
  records.resize(got / kRecordBytes);
  return records;
}

std::optional<platform::MappedFile> MapIfPrivate(int fd, uint64_t bytes) {
  if (bytes == 0 || !platform::MappedFile::OnlyOwnerMayShrink(fd)) return std::nullopt;
  return platform::MappedFile::Map(fd, bytes);
}

LoadedArray<SongRecord> LoadRecords(int fd, size_t count) {
  const uint64_t fileBytes = SizeOf(fd);
  const uint64_t present = fileBytes < kHeaderBytes ? 0 : (fileBytes - kHeaderBytes) / kRecordBytes;
  const size_t wanted = present < count ? static_cast<size_t>(present) : count;
  if (wanted == 0) return {};
  if (auto view = MapIfPrivate(fd, kHeaderBytes + uint64_t{wanted} * kRecordBytes)) {
    return LoadedArray<SongRecord>(std::move(*view), kHeaderBytes, wanted);
  }
  return LoadedArray<SongRecord>(ReadRecords(fd, wanted));
}

int OpenForReading(const std::string& path, std::string* reason) {
  return platform::OpenRegularFile(path, platform::FileAccess::kRead, reason);
}

void CloseFile(int fd) {
  close(fd);
}

}  // namespace veltro::library
