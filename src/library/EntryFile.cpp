#include "library/EntryFile.h"

#include <climits>

#include "platform/MappedFile.h"
#include "platform/RegularFile.h"

namespace veltro::library {

uint64_t SizeOf(int fd) {
  return platform::FileSize(fd).value_or(0);
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

}  // namespace veltro::library
