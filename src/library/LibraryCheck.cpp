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

// "holds 6 entries, the library has 5 records" when an index file holds more whole entries
// than there are records: such a file was not written as an index of these records, even if
// a reader, loading only the first entries, accepts it. Empty otherwise.
std::string EntryCountProblem(uint64_t wholeEntries, size_t recordCount) {
  if (wholeEntries <= recordCount) return {};
  return "holds " + std::to_string(wholeEntries) + " entries, the library has " +
         std::to_string(recordCount) + " records";
}

bool Exists(const std::string& path) {
  std::error_code failed;
  return std::filesystem::exists(std::filesystem::symlink_status(path, failed));
}

// Reads the records of Data.ndb as a reader would, noting where the file disagrees with its
// own header. nullopt, with the reason noted, when the file cannot be opened as a regular file.
std::optional<std::vector<SongRecord>> ReadDataFile(const std::string& path,
                                                    std::vector<std::string>& reasons) {
  std::string openProblem;
  const int fd = OpenForReading(path, &openProblem);
  if (fd < 0) {
    reasons.push_back(FileName(path) + ": " + (Exists(path) ? openProblem : "missing"));
    return std::nullopt;
  }
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

// Reads one index file as a reader would. nullopt, with `reason` set, when it cannot serve as
// an index of `recordCount` records whatever its entries say: it is missing, not a regular
// file, or holds more entries than there are records.
template <class Entry>
std::optional<std::vector<Entry>> ReadIndexFile(const std::string& path, size_t recordCount,
                                                std::string& reason) {
  std::string openProblem;
  uint64_t held = 0;
  auto entries = ReadEntries<Entry>(path, recordCount, &openProblem, &held);
  if (!entries) {
    reason = Exists(path) ? openProblem : "missing";
  } else {
    reason = EntryCountProblem(held, recordCount);
    if (!reason.empty()) entries.reset();
  }
  return entries;
}

void AddIndexReason(const std::string& path, const std::string& reason,
                    std::vector<std::string>& reasons) {
  if (!reason.empty()) reasons.push_back(FileName(path) + ": " + reason);
}

}  // namespace

std::vector<std::string> CheckLibraryFiles(const LibraryPaths& paths, size_t* recordCount) {
  std::vector<std::string> reasons;
  const auto records = ReadDataFile(paths.data, reasons);
  if (!records) return reasons;
  const std::string order = RecordOrderProblem(*records);
  if (!order.empty()) reasons.push_back(FileName(paths.data) + ": " + order);
  const size_t count = records->size();
  if (recordCount != nullptr) *recordCount = count;
  IndexProblems unusable;  // why an index file cannot be read as one
  const auto artist = ReadIndexFile<NameIndexEntry>(paths.artistIndex, count, unusable.artist);
  const auto songName =
      ReadIndexFile<NameIndexEntry>(paths.songNameIndex, count, unusable.songName);
  const auto genre = ReadIndexFile<GenreIndexEntry>(paths.genreIndex, count, unusable.genre);
  const auto year = ReadIndexFile<YearIndexEntry>(paths.yearIndex, count, unusable.year);
  const IndexSet indexes{artist ? *artist : std::span<const NameIndexEntry>{},
                         songName ? *songName : std::span<const NameIndexEntry>{},
                         genre ? *genre : std::span<const GenreIndexEntry>{},
                         year ? *year : std::span<const YearIndexEntry>{}};
  const IndexProblems problems = FindIndexProblems(*records, indexes);
  AddIndexReason(paths.artistIndex, artist ? problems.artist : unusable.artist, reasons);
  AddIndexReason(paths.songNameIndex, songName ? problems.songName : unusable.songName, reasons);
  AddIndexReason(paths.genreIndex, genre ? problems.genre : unusable.genre, reasons);
  AddIndexReason(paths.yearIndex, year ? problems.year : unusable.year, reasons);
  return reasons;
}

}  // namespace veltro::library
