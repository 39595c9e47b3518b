// The song library: Data.ndb (every song as a fixed 360-byte record, in folded path order) and
// the four index files a.ndx, s.ndx, g.ndx, y.ndx (record numbers sorted by artist, song name,
// genre and year), all held in memory while the program runs, with the operations the list
// views, quick-find edits, search, decks, tag editor and folder scan perform on them.
//
// UI thread only. No operation reads outside its arrays, whatever the files or arguments hold.
#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "library/IndexCheck.h"
#include "library/KnownPaths.h"
#include "library/LibraryPaths.h"
#include "library/LoadedArray.h"
#include "library/SongRecord.h"
#include "platform/SafeWrite.h"

namespace veltro::library {

// What opening a library does when Data.ndb does not exist: the program creates it empty, a
// tool that only reads the library leaves the folder as it is.
enum class MissingDataFile { kCreate, kLeave };

class SongDatabase {
 public:
  // Opens <working directory>/Data/Data.ndb for reading and writing and reads its header, or
  // creates it empty (0 bytes until the first WriteAll) when it does not exist and `missing`
  // is kCreate. The open never waits: a FIFO, device or folder in the file's place is refused,
  // never read and never replaced. An existing file that cannot be opened for writing is read
  // but never written; a file that is missing (kLeave), not a regular file, or can be neither
  // opened nor created leaves an empty library (HasDataFile() false). In all these cases
  // CanWrite() is false and OpenProblem() says why. A file shorter than its header is an empty
  // library (format word 1, 0 records); a header counting more records than the file holds is
  // limited to the whole records present. The order starts as "None", the current record as 0.
  SongDatabase();  // in the process's current working directory
  explicit SongDatabase(const std::filesystem::path& workingDirectory,
                        MissingDataFile missing = MissingDataFile::kCreate);
  ~SongDatabase();
  SongDatabase(const SongDatabase&) = delete;
  SongDatabase& operator=(const SongDatabase&) = delete;

  const LibraryPaths& Paths() const { return paths_; }
  bool CanWrite() const { return writable_; }
  // Whether Data.ndb was opened (read-only at least); false leaves an empty library.
  bool HasDataFile() const { return dataFile_ >= 0; }
  const std::string& OpenProblem() const { return openProblem_; }
  // Why the last write (WriteAll, RebuildIndexFiles, SetCuePosition, UpdateCurrentRecord)
  // failed; empty after a successful one.
  const std::string& LastWriteProblem() const { return lastWriteProblem_; }

  // Reads the records and the four indexes. Returns 0 when every index file was present,
  // complete and consistent with the records (IndexProblem); otherwise 1, with the records read
  // and the index arrays empty, and the caller rebuilds them with RebuildIndexFiles.
  // Files of the user's own that no other user may write stay where they are, in private views
  // (LoadedArray: start-up copies nothing); other files are read into memory, since another
  // user could shrink a viewed file, and touching a viewed page past a file's end is fatal.
  // Our own writers never shrink these files in place (WriteAll replaces them by a rename,
  // which a view survives); a program of the same user that truncates a file in place while
  // it is viewed is not guarded against.
  int LoadIndexes();
  // Why the last LoadIndexes returned 1 ("a.ndx: missing", ...); empty when it returned 0.
  const std::string& IndexLoadProblem() const { return indexLoadProblem_; }
  // Reads the header's count of records (limited to the whole records present).
  void ReadRecordsOnly();
  // Rebuilds the four index arrays from the records and replaces the four index files
  // atomically. Resets every index cursor to 0. False (nothing replaced) on failure.
  bool RebuildIndexFiles();
  // Replaces Data.ndb (header, then every record) and the four index files from memory, each
  // atomically, Data.ndb first: a crash at any instant leaves each file old or new, and a new
  // Data.ndb beside old indexes fails the load's consistency check, so start-up rebuilds them.
  // Sets the header's record count. False (nothing replaced) on failure.
  bool WriteAll();

  // The order of the main list: "None", "Artist", "Songname", "Genre", "Year" or "Path";
  // stored without a check, at most 11 bytes.
  void SetOrder(std::string_view name);
  std::string_view OrderName() const;
  // The record shown at `row` of the list in the current order; 0 for a negative row, a row
  // beyond the last, or the order "None".
  int RecordForRow(int row) const;

  // Sets the current record; a number outside the records leaves it unchanged.
  void SetCurrent(int record);
  int CurrentRecord() const { return currentRecord_; }
  // A copy of the current record (an all-zero record when the library is empty).
  SongRecord GetCurrentRecord() const;

  // Quick-find: the row of the first entry of the index whose key starts with `text` (ignoring
  // letter case) or, failing that, sorts after it; it becomes the index's cursor and its record
  // the current one. When every entry sorts before `text`, returns the cursor (the row of the
  // last successful jump) and changes nothing.
  int FindArtistPrefix(std::string_view text);
  int FindSongNamePrefix(std::string_view text);
  int FindGenrePrefix(std::string_view text);
  int FindYearPrefix(std::string_view text);
  int IndexCursor(IndexKind kind) const;

  // Records whose folded artist, song name and genre match the folded patterns and whose year
  // matches the year pattern byte for byte (MatchPattern), in record order; returns how many.
  int Search(std::string_view artist, std::string_view songName, std::string_view genre,
             std::string_view year);
  std::span<const SongRecord> SearchResults() const { return searchResults_; }
  // The record number of each search result, in the same order.
  std::span<const int> SearchResultRecords() const { return searchResultRecords_; }

  // Makes current the first record whose path is not before `path` (folded order); when every
  // record sorts before it, or the library is empty, the current record stays.
  void SelectByPath(std::string_view path);
  // 0 when a record has exactly this path (letter case included), -1 otherwise.
  int ContainsPath(std::string_view path) const;
  // The number of the record with exactly this path (letter case included), or -1.
  int RecordWithPath(std::string_view path) const;

  // Writes the cue position of the current record (4 bytes in place in Data.ndb, flushed), then
  // stores it in memory. False, memory unchanged, when there is no current record or the write
  // failed.
  bool SetCuePosition(uint32_t value);
  // The same for the record whose path is exactly `path`, wherever the selection is. False,
  // with nothing changed in memory or on disk, when no record has that path or the write is
  // refused (LastWriteProblem says why).
  bool SetCuePositionOfPath(std::string_view path, uint32_t value);
  // Replaces the current record in memory and its 360 bytes in place in Data.ndb, flushed.
  // The indexes are not touched (the caller rebuilds them after changing keys).
  bool UpdateCurrentRecord(const SongRecord& record);

  // The folder scan's path to a new library: stage records, commit (records sorted by path,
  // index arrays rebuilt in record order), sort the indexes, WriteAll.
  void StageRecord(const SongRecord& record);
  void StageAllRecords();
  void CommitStaging();
  void SortIndexes();
  std::span<const SongRecord> StagingList() const { return stagingList_; }
  // Removes every staged record whose path (letter case included) is among `paths`; the others
  // keep their order.
  void RemoveStagedPaths(const std::vector<std::string>& paths);
  void ClearStaging();
  // The paths of the library's records, a copy that a worker thread may ask while the library
  // changes.
  KnownPaths PathSnapshot() const;

  // Read access for the list views and tools. A span stays valid until the next load, commit,
  // rebuild or WriteAll (which views the files it wrote).
  const DatabaseHeader& Header() const { return header_; }
  std::span<const SongRecord> Records() const { return records_.Span(); }
  int RecordCount() const { return static_cast<int>(records_.size()); }
  std::span<const NameIndexEntry> ArtistIndex() const { return artistIndex_.Span(); }
  std::span<const NameIndexEntry> SongNameIndex() const { return songNameIndex_.Span(); }
  std::span<const GenreIndexEntry> GenreIndex() const { return genreIndex_.Span(); }
  std::span<const YearIndexEntry> YearIndex() const { return yearIndex_.Span(); }

 private:
  void Open(MissingDataFile missing);
  void OpenExistingDataFile();
  std::string LoadIndexArrays();
  void BuildIndexesInRecordOrder();
  bool WriteIndexes(std::vector<platform::PendingFile>& files, size_t first);
  void AdoptDataFile(platform::PendingFile& file, const DatabaseHeader& header);
  void ViewReplacedIndexes(const std::vector<platform::PendingFile>& files, size_t first);
  bool CheckWritable();
  bool WriteInPlace(uint64_t offset, const void* bytes, size_t count);
  bool SetCueOfRecord(size_t record, uint32_t value);
  bool Refuse(std::string reason);
  void LimitSelection();
  int Record(const auto& entry) const;
  template <class Entry>
  int FindPrefix(std::span<const Entry> index, IndexKind kind, std::string_view text);

  LibraryPaths paths_;
  int dataFile_ = -1;  // Data.ndb, open from construction to destruction
  bool writable_ = false;
  std::string openProblem_;
  std::string lastWriteProblem_;
  std::string indexLoadProblem_;
  bool diskMatchesMemory_ = true;  // Data.ndb holds records_ (false between commit and write)

  DatabaseHeader header_;
  LoadedArray<SongRecord> records_;
  LoadedArray<NameIndexEntry> artistIndex_;
  LoadedArray<NameIndexEntry> songNameIndex_;
  LoadedArray<GenreIndexEntry> genreIndex_;
  LoadedArray<YearIndexEntry> yearIndex_;
  std::vector<SongRecord> stagingList_;
  std::vector<SongRecord> searchResults_;
  std::vector<int> searchResultRecords_;
  int currentRecord_ = 0;
  char orderName_[12] = "None";
  int indexCursors_[4] = {0, 0, 0, 0};
};

}  // namespace veltro::library
