#include "library/LibraryCheck.h"

#include <filesystem>
#include <span>

#include "library/EntryFile.h"
#include "library/IndexCheck.h"

namespace veltro::library {

namespace {

std::string FileName(const std::string& path) {
  return std::filesystem::path(path).filename().string();
}

// Reads the records of Data.ndb as a reader would, noting where the file disagrees with its
// own header. nullopt when the file cannot be opened.
std::optional<std::vector<SongRecord>> ReadDataFile(const std::string& path,
                                                    std::vector<std::string>& reasons) {
  const int fd = OpenForReading(path);
  if (fd < 0) return std::nullopt;
  const uint64_t size = SizeOf(fd);
  DatabaseHeader stated;
  if (size > 0 && size < kHeaderBytes) {
    reasons.push_back(FileName(path) + ": " + std::to_string(size) +
                      " bytes, shorter than its 8-byte header");
  } else if (size >= kHeaderBytes && ReadAt(fd, 0, &stated, kHeaderBytes) == kHeaderBytes) {
    const uint64_t whole = (size - kHeaderBytes) / kRecordBytes;
    if (stated.recordCount > whole) {
      reasons.push_back(FileName(path) + ": the header counts " +
                        std::to_string(stated.recordCount) + " records, the file holds " +
                        std::to_string(whole));
    }
  }
  const DatabaseHeader header = ReadHeader(fd, size);
  std::vector<SongRecord> records = ReadRecords(fd, header.recordCount);
  CloseFile(fd);
  return records;
}

template <class Entry, class Check>
void CheckIndexFile(const std::string& path, std::span<const SongRecord> records, Check check,
                    std::vector<std::string>& reasons) {
  const auto entries = ReadEntries<Entry>(path, records.size());
  std::string problem = entries ? check(std::span<const Entry>(*entries)) : "missing";
  if (!problem.empty()) reasons.push_back(FileName(path) + ": " + problem);
}

}  // namespace

std::vector<std::string> CheckLibraryFiles(const LibraryPaths& paths) {
  std::vector<std::string> reasons;
  const auto records = ReadDataFile(paths.data, reasons);
  if (!records) {
    reasons.push_back(FileName(paths.data) + ": missing or unreadable");
    return reasons;
  }
  const std::string order = RecordOrderProblem(*records);
  if (!order.empty()) reasons.push_back(FileName(paths.data) + ": " + order);
  const std::span<const SongRecord> all(*records);
  CheckIndexFile<NameIndexEntry>(
      paths.artistIndex, all,
      [&](auto entries) { return IndexProblem(all, entries, IndexKind::Artist); }, reasons);
  CheckIndexFile<NameIndexEntry>(
      paths.songNameIndex, all,
      [&](auto entries) { return IndexProblem(all, entries, IndexKind::SongName); }, reasons);
  CheckIndexFile<GenreIndexEntry>(
      paths.genreIndex, all, [&](auto entries) { return IndexProblem(all, entries); }, reasons);
  CheckIndexFile<YearIndexEntry>(
      paths.yearIndex, all, [&](auto entries) { return IndexProblem(all, entries); }, reasons);
  return reasons;
}

}  // namespace veltro::library
