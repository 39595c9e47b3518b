#include "library/SongDatabase.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <initializer_list>
#include <numeric>

#include "library/EntryFile.h"
#include "library/FoldedText.h"
#include "library/MatchPattern.h"
#include "platform/FileDescriptor.h"
#include "platform/RegularFile.h"
#include "platform/SafeWrite.h"

namespace veltro::library {

namespace {

using platform::PendingFile;

std::string Reason(const std::string& what, const std::string& path, int errorNumber) {
  return what + " " + path + ": " + std::strerror(errorNumber);
}

std::string FileName(const std::string& path) {
  return std::filesystem::path(path).filename().string();
}

// The folded order, with byte order and then record number breaking ties so that the files
// written never depend on the sort algorithm.
// (strncmp compares as unsigned bytes and stops at the NUL, as the fields are read.)
template <class Entry>
bool KeyBefore(const Entry& a, const Entry& b) {
  if (const int folded = FoldedCompareFields(a.key, b.key, sizeof a.key); folded != 0) {
    return folded < 0;
  }
  if (const int raw = std::strncmp(a.key, b.key, sizeof a.key); raw != 0) return raw < 0;
  return a.recordIndex < b.recordIndex;
}

bool PathBefore(const SongRecord& a, const SongRecord& b) {
  if (const int folded = FoldedCompareFields(a.path, b.path, sizeof a.path); folded != 0) {
    return folded < 0;
  }
  return std::strncmp(a.path, b.path, sizeof a.path) < 0;
}

template <class Entry, size_t N>
Entry MakeEntry(uint32_t record, const char (&field)[N]) {
  Entry entry{};
  entry.recordIndex = record;
  const std::string_view text = FieldText(field);
  std::memcpy(entry.key, text.data(), std::min(text.size(), sizeof entry.key - 1));
  return entry;
}

// Reads one index file into `entries`; false, with the reason, when it is missing or cannot
// be read as a regular file.
template <class Entry>
bool ReadIndex(const std::string& path, size_t count, LoadedArray<Entry>& entries,
               std::string& problem) {
  std::string reason;
  auto loaded = LoadEntries<Entry>(path, count, &reason);
  if (!loaded) {
    std::error_code failed;
    const bool missing = !std::filesystem::exists(std::filesystem::symlink_status(path, failed));
    problem = missing ? FileName(path) + ": missing" : reason;
    return false;
  }
  entries = std::move(*loaded);
  return true;
}

// "<file>: <problem>" for the first index that has one; empty when none has.
std::string FirstProblem(std::initializer_list<std::pair<const std::string*, std::string>> all) {
  for (const auto& [path, problem] : all) {
    if (!problem.empty()) return FileName(*path) + ": " + problem;
  }
  return {};
}

// Starts a new version of each of `paths`, in order; false with the reason when one cannot be.
bool CreatePending(std::vector<PendingFile>& files, std::initializer_list<std::string> paths,
                   std::string* error) {
  files.reserve(paths.size());
  for (const std::string& path : paths) {
    auto file = PendingFile::Create(path, error);
    if (!file) return false;
    files.push_back(std::move(*file));
  }
  return true;
}

template <class Entry>
bool WriteEntries(PendingFile& file, const LoadedArray<Entry>& entries, std::string* error) {
  return file.Write(entries.Span().data(), entries.size() * sizeof(Entry), error);
}

// After `file` replaced the index file `entries` were viewed in, views the new file instead
// (it holds the same entries), so that the old file's pages and disk space are released.
template <class Entry>
void ViewReplacement(const PendingFile& file, LoadedArray<Entry>& entries) {
  if (entries.IsMapped() && file.Replaced()) {
    entries = LoadEntries<Entry>(file.Descriptor(), entries.size());
  }
}

// Writes every pending file completely and flushes it, then replaces the targets in order.
bool ReplaceInOrder(std::vector<PendingFile>& files, std::string* error) {
  for (auto& file : files) {
    if (!file.Flush(error)) return false;
  }
  for (auto& file : files) {
    if (!file.Replace(error)) return false;
  }
  return platform::SyncDirectoryOf(files.front().Target(), error);
}

// The process's current directory; "." when it can no longer be named (it was removed).
std::filesystem::path WorkingDirectory() {
  std::error_code failed;
  std::filesystem::path directory = std::filesystem::current_path(failed);
  return failed ? std::filesystem::path(".") : directory;
}

}  // namespace

SongDatabase::SongDatabase() : SongDatabase(WorkingDirectory()) {}

SongDatabase::SongDatabase(const std::filesystem::path& workingDirectory, MissingDataFile missing)
    : paths_(LibraryPaths::In(workingDirectory)) {
  Open(missing);
}

SongDatabase::~SongDatabase() {
  platform::CloseFile(dataFile_);
}

void SongDatabase::Open(MissingDataFile missing) {
  for (const std::string* path : {&paths_.data, &paths_.artistIndex, &paths_.songNameIndex,
                                  &paths_.genreIndex, &paths_.yearIndex}) {
    platform::RemoveAbandonedTemporaries(*path);
  }
  std::error_code failed;
  if (!std::filesystem::exists(std::filesystem::symlink_status(paths_.data, failed))) {
    if (missing == MissingDataFile::kLeave) {
      openProblem_ = paths_.data + " does not exist";
      return;
    }
    dataFile_ = platform::CreateNewFile(paths_.data);
    if (dataFile_ < 0) openProblem_ = Reason("cannot create", paths_.data, errno);
    writable_ = dataFile_ >= 0;
    return;
  }
  OpenExistingDataFile();
}

// Read and write when allowed, else read only; anything but a regular file is refused whole.
void SongDatabase::OpenExistingDataFile() {
  using platform::FileAccess;
  dataFile_ = platform::OpenRegularFile(paths_.data, FileAccess::kReadWrite, &openProblem_);
  if (dataFile_ >= 0) {
    writable_ = true;
    openProblem_.clear();
  } else {
    std::string readProblem;
    dataFile_ = platform::OpenRegularFile(paths_.data, FileAccess::kRead, &readProblem);
    if (dataFile_ < 0) openProblem_ = readProblem;
  }
  if (dataFile_ >= 0) header_ = ReadHeader(dataFile_, SizeOf(dataFile_));
}

void SongDatabase::ReadRecordsOnly() {
  records_ =
      dataFile_ >= 0 ? LoadRecords(dataFile_, header_.recordCount) : LoadedArray<SongRecord>{};
  header_.recordCount = static_cast<uint32_t>(records_.size());
  diskMatchesMemory_ = true;
  LimitSelection();
}

int SongDatabase::LoadIndexes() {
  ReadRecordsOnly();
  indexLoadProblem_ = LoadIndexArrays();
  if (indexLoadProblem_.empty()) return 0;
  artistIndex_.Clear();
  songNameIndex_.Clear();
  genreIndex_.Clear();
  yearIndex_.Clear();
  return 1;
}

std::string SongDatabase::LoadIndexArrays() {
  const size_t count = records_.size();
  std::string problem;
  const bool present = ReadIndex(paths_.artistIndex, count, artistIndex_, problem) &&
                       ReadIndex(paths_.songNameIndex, count, songNameIndex_, problem) &&
                       ReadIndex(paths_.genreIndex, count, genreIndex_, problem) &&
                       ReadIndex(paths_.yearIndex, count, yearIndex_, problem);
  if (!present) return problem;
  const IndexProblems problems =
      FindIndexProblems(Records(), {ArtistIndex(), SongNameIndex(), GenreIndex(), YearIndex()});
  return FirstProblem({{&paths_.artistIndex, problems.artist},
                       {&paths_.songNameIndex, problems.songName},
                       {&paths_.genreIndex, problems.genre},
                       {&paths_.yearIndex, problems.year}});
}

void SongDatabase::BuildIndexesInRecordOrder() {
  const size_t count = records_.size();
  const std::span<NameIndexEntry> artist = artistIndex_.Replace(count);
  const std::span<NameIndexEntry> songName = songNameIndex_.Replace(count);
  const std::span<GenreIndexEntry> genre = genreIndex_.Replace(count);
  const std::span<YearIndexEntry> year = yearIndex_.Replace(count);
  for (size_t i = 0; i < count; ++i) {
    const auto record = static_cast<uint32_t>(i);
    artist[i] = MakeEntry<NameIndexEntry>(record, records_[i].artist);
    songName[i] = MakeEntry<NameIndexEntry>(record, records_[i].songName);
    genre[i] = MakeEntry<GenreIndexEntry>(record, records_[i].genre);
    year[i] = MakeEntry<YearIndexEntry>(record, records_[i].year);
  }
  std::fill(std::begin(indexCursors_), std::end(indexCursors_), 0);
}

void SongDatabase::SortIndexes() {
  std::ranges::sort(artistIndex_.Span(), KeyBefore<NameIndexEntry>);
  std::ranges::sort(songNameIndex_.Span(), KeyBefore<NameIndexEntry>);
  std::ranges::sort(genreIndex_.Span(), KeyBefore<GenreIndexEntry>);
  std::ranges::sort(yearIndex_.Span(), KeyBefore<YearIndexEntry>);
}

bool SongDatabase::RebuildIndexFiles() {
  BuildIndexesInRecordOrder();
  SortIndexes();
  if (!CheckWritable()) return false;
  std::vector<PendingFile> files;
  const bool written =
      CreatePending(files,
                    {paths_.artistIndex, paths_.songNameIndex, paths_.genreIndex, paths_.yearIndex},
                    &lastWriteProblem_) &&
      WriteIndexes(files, 0) && ReplaceInOrder(files, &lastWriteProblem_);
  if (written) lastWriteProblem_.clear();
  return written;
}

bool SongDatabase::WriteAll() {
  if (!CheckWritable()) return false;
  DatabaseHeader header = header_;
  header.recordCount = static_cast<uint32_t>(records_.size());
  std::vector<PendingFile> files;
  const bool written = CreatePending(files,
                                     {paths_.data, paths_.artistIndex, paths_.songNameIndex,
                                      paths_.genreIndex, paths_.yearIndex},
                                     &lastWriteProblem_) &&
                       files[0].Write(&header, sizeof header, &lastWriteProblem_) &&
                       files[0].Write(records_.Span().data(), records_.size() * sizeof(SongRecord),
                                      &lastWriteProblem_) &&
                       WriteIndexes(files, 1) && ReplaceInOrder(files, &lastWriteProblem_);
  // Once Data.ndb is replaced the handle must be the new file's, even if an index file could
  // not follow (the next load then finds that index inconsistent and rebuilds it).
  if (!files.empty() && files[0].Replaced()) AdoptDataFile(files[0], header);
  if (files.size() == 5) ViewReplacedIndexes(files, 1);
  if (written) lastWriteProblem_.clear();
  return written;
}

bool SongDatabase::WriteIndexes(std::vector<PendingFile>& files, size_t first) {
  std::string* error = &lastWriteProblem_;
  return WriteEntries(files[first], artistIndex_, error) &&
         WriteEntries(files[first + 1], songNameIndex_, error) &&
         WriteEntries(files[first + 2], genreIndex_, error) &&
         WriteEntries(files[first + 3], yearIndex_, error);
}

void SongDatabase::AdoptDataFile(PendingFile& file, const DatabaseHeader& header) {
  platform::CloseFile(dataFile_);
  dataFile_ = file.ReleaseDescriptor();
  header_ = header;
  diskMatchesMemory_ = true;
  // The new file holds exactly the records in memory: viewing it releases the old file.
  if (records_.IsMapped()) records_ = LoadRecords(dataFile_, records_.size());
}

void SongDatabase::ViewReplacedIndexes(const std::vector<PendingFile>& files, size_t first) {
  ViewReplacement(files[first], artistIndex_);
  ViewReplacement(files[first + 1], songNameIndex_);
  ViewReplacement(files[first + 2], genreIndex_);
  ViewReplacement(files[first + 3], yearIndex_);
}

bool SongDatabase::CheckWritable() {
  if (writable_) return true;
  lastWriteProblem_ = openProblem_;
  return false;
}

void SongDatabase::SetOrder(std::string_view name) {
  StoreField(orderName_, name);
}

std::string_view SongDatabase::OrderName() const {
  return FieldText(orderName_);
}

int SongDatabase::RecordForRow(int row) const {
  if (row < 0) return 0;
  const auto at = static_cast<size_t>(row);
  const std::string_view order = OrderName();
  if (order == "Artist") return at < artistIndex_.size() ? Record(artistIndex_[at]) : 0;
  if (order == "Songname") return at < songNameIndex_.size() ? Record(songNameIndex_[at]) : 0;
  if (order == "Genre") return at < genreIndex_.size() ? Record(genreIndex_[at]) : 0;
  if (order == "Year") return at < yearIndex_.size() ? Record(yearIndex_[at]) : 0;
  if (order == "Path") return at < records_.size() ? row : 0;
  return 0;
}

int SongDatabase::Record(const auto& entry) const {
  return entry.recordIndex < records_.size() ? static_cast<int>(entry.recordIndex) : 0;
}

void SongDatabase::SetCurrent(int record) {
  if (record >= 0 && static_cast<size_t>(record) < records_.size()) currentRecord_ = record;
}

SongRecord SongDatabase::GetCurrentRecord() const {
  if (records_.empty()) return EmptyRecord();
  return records_[static_cast<size_t>(currentRecord_)];
}

void SongDatabase::LimitSelection() {
  const int last = records_.empty() ? 0 : static_cast<int>(records_.size()) - 1;
  currentRecord_ = std::clamp(currentRecord_, 0, last);
  for (int& cursor : indexCursors_) cursor = std::clamp(cursor, 0, last);
}

int SongDatabase::FindArtistPrefix(std::string_view text) {
  return FindPrefix(ArtistIndex(), IndexKind::Artist, text);
}

int SongDatabase::FindSongNamePrefix(std::string_view text) {
  return FindPrefix(SongNameIndex(), IndexKind::SongName, text);
}

int SongDatabase::FindGenrePrefix(std::string_view text) {
  return FindPrefix(GenreIndex(), IndexKind::Genre, text);
}

int SongDatabase::FindYearPrefix(std::string_view text) {
  return FindPrefix(YearIndex(), IndexKind::Year, text);
}

template <class Entry>
int SongDatabase::FindPrefix(std::span<const Entry> index, IndexKind kind, std::string_view text) {
  int& cursor = indexCursors_[static_cast<int>(kind)];
  const auto found = std::partition_point(index.begin(), index.end(), [text](const Entry& entry) {
    return FoldedPrefixBefore(FieldText(entry.key), text);
  });
  if (found == index.end()) return cursor;
  cursor = static_cast<int>(found - index.begin());
  SetCurrent(Record(*found));
  return cursor;
}

int SongDatabase::IndexCursor(IndexKind kind) const {
  return indexCursors_[static_cast<int>(kind)];
}

int SongDatabase::Search(std::string_view artist, std::string_view songName, std::string_view genre,
                         std::string_view year) {
  const WildcardPattern artistPattern(artist, true);
  const WildcardPattern songNamePattern(songName, true);
  const WildcardPattern genrePattern(genre, true);
  const WildcardPattern yearPattern(year, false);
  if (artistPattern.MatchesAll() && songNamePattern.MatchesAll() && genrePattern.MatchesAll() &&
      yearPattern.MatchesAll()) {
    searchResults_.assign(records_.begin(), records_.end());
    searchResultRecords_.resize(records_.size());
    std::iota(searchResultRecords_.begin(), searchResultRecords_.end(), 0);
    return static_cast<int>(searchResults_.size());
  }
  const auto matches = [](const WildcardPattern& pattern, const auto& field) {
    return pattern.MatchesAll() || pattern.Matches(FieldText(field));
  };
  searchResults_.clear();
  searchResultRecords_.clear();
  // Consecutive matches are copied together, as one block.
  size_t runStart = 0;
  constexpr size_t kAhead = 8;  // records are fetched this far ahead of the match
  for (size_t i = 0; i <= records_.size(); ++i) {
    if (i + kAhead < records_.size()) {
      __builtin_prefetch(records_[i + kAhead].artist);
      __builtin_prefetch(records_[i + kAhead].year);
    }
    const bool match = i < records_.size() && matches(artistPattern, records_[i].artist) &&
                       matches(songNamePattern, records_[i].songName) &&
                       matches(genrePattern, records_[i].genre) &&
                       matches(yearPattern, records_[i].year);
    if (match) continue;
    searchResults_.insert(searchResults_.end(), records_.begin() + static_cast<ptrdiff_t>(runStart),
                          records_.begin() + static_cast<ptrdiff_t>(i));
    for (size_t record = runStart; record < i; ++record) {
      searchResultRecords_.push_back(static_cast<int>(record));
    }
    runStart = i + 1;
  }
  return static_cast<int>(searchResults_.size());
}

void SongDatabase::SelectByPath(std::string_view path) {
  const std::span<const SongRecord> records = Records();
  const auto found = std::partition_point(
      records.begin(), records.end(),
      [path](const SongRecord& record) { return FoldedLess(FieldText(record.path), path); });
  if (found != records.end()) currentRecord_ = static_cast<int>(found - records.begin());
}

int SongDatabase::ContainsPath(std::string_view path) const {
  return RecordWithPath(path) >= 0 ? 0 : -1;
}

int SongDatabase::RecordWithPath(std::string_view path) const {
  const std::span<const SongRecord> records = Records();
  auto found = std::partition_point(
      records.begin(), records.end(),
      [path](const SongRecord& record) { return FoldedLess(FieldText(record.path), path); });
  // Records whose paths differ only in letter case stand together; any may be the exact one.
  for (; found != records.end() && FoldedCompare(FieldText(found->path), path) == 0; ++found) {
    if (FieldText(found->path) == path) return static_cast<int>(found - records.begin());
  }
  return -1;
}

bool SongDatabase::SetCuePosition(uint32_t value) {
  if (records_.empty()) return Refuse("there is no current record");
  return SetCueOfRecord(static_cast<size_t>(currentRecord_), value);
}

bool SongDatabase::SetCuePositionOfPath(std::string_view path, uint32_t value) {
  const int record = RecordWithPath(path);
  if (record < 0) return Refuse("the song is not in the library: " + std::string(path));
  return SetCueOfRecord(static_cast<size_t>(record), value);
}

bool SongDatabase::SetCueOfRecord(size_t record, uint32_t value) {
  // Disk first: a refused write leaves the record in memory as it is on disk.
  if (!WriteInPlace(kHeaderBytes + kRecordBytes * record + kCueOffsetInRecord, &value,
                    sizeof value)) {
    return false;
  }
  records_[record].cuePosition = value;
  return true;
}

bool SongDatabase::UpdateCurrentRecord(const SongRecord& replacement) {
  if (records_.empty()) return Refuse("there is no current record");
  const auto record = static_cast<size_t>(currentRecord_);
  records_[record] = replacement;
  return WriteInPlace(kHeaderBytes + kRecordBytes * record, &replacement, sizeof replacement);
}

bool SongDatabase::WriteInPlace(uint64_t offset, const void* bytes, size_t count) {
  if (!CheckWritable()) return false;
  if (!diskMatchesMemory_) {
    return Refuse("the library in memory has not been saved yet; " + paths_.data +
                  " holds other records");
  }
  if (!platform::WriteAt(dataFile_, offset, bytes, count)) {
    return Refuse(Reason("cannot write", paths_.data, errno));
  }
  if (!platform::FlushFileData(dataFile_))
    return Refuse(Reason("cannot flush", paths_.data, errno));
  lastWriteProblem_.clear();
  return true;
}

bool SongDatabase::Refuse(std::string reason) {
  lastWriteProblem_ = std::move(reason);
  return false;
}

void SongDatabase::StageRecord(const SongRecord& record) {
  stagingList_.push_back(record);
}

void SongDatabase::StageAllRecords() {
  stagingList_.assign(records_.begin(), records_.end());
}

void SongDatabase::RemoveStagedPaths(const std::vector<std::string>& paths) {
  const KnownPaths removed(paths);
  std::erase_if(stagingList_, [&removed](const SongRecord& record) {
    return removed.Contains(FieldText(record.path));
  });
}

void SongDatabase::ClearStaging() {
  stagingList_.clear();
}

KnownPaths SongDatabase::PathSnapshot() const {
  std::vector<std::string> paths;
  paths.reserve(records_.size());
  for (const SongRecord& record : records_) paths.emplace_back(FieldText(record.path));
  return KnownPaths(std::move(paths));
}

void SongDatabase::CommitStaging() {
  std::vector<uint32_t> order(stagingList_.size());
  std::iota(order.begin(), order.end(), 0u);
  std::sort(order.begin(), order.end(), [this](uint32_t a, uint32_t b) {
    return PathBefore(stagingList_[a], stagingList_[b]);
  });
  const std::span<SongRecord> records = records_.Replace(order.size());
  for (size_t i = 0; i < order.size(); ++i) records[i] = stagingList_[order[i]];
  stagingList_.clear();
  diskMatchesMemory_ = false;
  BuildIndexesInRecordOrder();
  LimitSelection();
}

}  // namespace veltro::library
