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

// The reason for one index file: missing, or its problem.
void AddIndexReason(const std::string& path, bool present, const std::string& problem,
                    std::vector<std::string>& reasons) {
  if (!present) {
    reasons.push_back(FileName(path) + ": missing");
  } else if (!problem.empty()) {
    reasons.push_back(FileName(path) + ": " + problem);
  }
}

}  // namespace

std::vector<std::string> CheckLibraryFiles(const LibraryPaths& paths, size_t* recordCount) {
  std::vector<std::string> reasons;
  const auto records = ReadDataFile(paths.data, reasons);
  if (!records) {
    reasons.push_back(FileName(paths.data) + ": missing or unreadable");
    return reasons;
  }
  const std::string order = RecordOrderProblem(*records);
  if (!order.empty()) reasons.push_back(FileName(paths.data) + ": " + order);
  const size_t count = records->size();
  if (recordCount != nullptr) *recordCount = count;
  const auto artist = ReadEntries<NameIndexEntry>(paths.artistIndex, count);
  const auto songName = ReadEntries<NameIndexEntry>(paths.songNameIndex, count);
  const auto genre = ReadEntries<GenreIndexEntry>(paths.genreIndex, count);
  const auto year = ReadEntries<YearIndexEntry>(paths.yearIndex, count);
  const IndexSet indexes{artist ? *artist : std::span<const NameIndexEntry>{},
                         songName ? *songName : std::span<const NameIndexEntry>{},
                         genre ? *genre : std::span<const GenreIndexEntry>{},
                         year ? *year : std::span<const YearIndexEntry>{}};
  const IndexProblems problems = FindIndexProblems(*records, indexes);
  AddIndexReason(paths.artistIndex, artist.has_value(), problems.artist, reasons);
  AddIndexReason(paths.songNameIndex, songName.has_value(), problems.songName, reasons);
  AddIndexReason(paths.genreIndex, genre.has_value(), problems.genre, reasons);
  AddIndexReason(paths.yearIndex, year.has_value(), problems.year, reasons);
  return reasons;
}

}  // namespace veltro::library
