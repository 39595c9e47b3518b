// The song library files from arbitrary bytes: open, load (rebuilding the indexes when the load
// rejects them), every list order, the quick-find jumps, search, path selection, an in-place
// cue write and the file check.
//
// Input: up to five parts separated by the marker "\xFFNDX": Data.ndb, a.ndx, s.ndx, g.ndx,
// y.ndx, in that order; a part that is not there (or an empty first part) is a missing file. The
// texts for the operations come from the last 64 bytes of the input, split at '|'.
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

#include "library/LibraryCheck.h"
#include "library/SongDatabase.h"

namespace {

namespace fs = std::filesystem;
using veltro::library::SongDatabase;
using veltro::library::SongRecord;

constexpr std::string_view kMarker(
    "\xFF"
    "NDX",
    4);
constexpr size_t kTextTailBytes = 64;
const char* const kFileNames[] = {"Data.ndb", "a.ndx", "s.ndx", "g.ndx", "y.ndx"};
const char* const kOrders[] = {"None", "Artist", "Songname", "Genre", "Year", "Path"};

// A private working directory with a Data/ folder, made once per process and removed at exit.
// /dev/shm where there is one, so that the library's flushes do not wait for a disk.
class WorkingDirectory {
 public:
  WorkingDirectory() {
    const fs::path base =
        fs::is_directory("/dev/shm") ? fs::path("/dev/shm") : fs::temp_directory_path();
    std::string pattern = (base / "fuzz_library-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) abort();
    path_ = pattern;
  }
  ~WorkingDirectory() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
  }
  const fs::path& Path() const { return path_; }

 private:
  fs::path path_;
};

const WorkingDirectory& Work() {
  static const WorkingDirectory work;
  return work;
}

std::vector<std::string_view> Split(std::string_view input, std::string_view separator,
                                    size_t maxParts) {
  std::vector<std::string_view> parts;
  while (parts.size() + 1 < maxParts) {
    const size_t at = input.find(separator);
    if (at == std::string_view::npos) break;
    parts.push_back(input.substr(0, at));
    input.remove_prefix(at + separator.size());
  }
  parts.push_back(input);
  return parts;
}

// Writes the present parts as library files (a fresh Data/ each time); an empty first part is
// a missing Data.ndb. Returns the size of Data.ndb as written (0 when it is missing).
size_t WriteLibraryFiles(const std::vector<std::string_view>& parts) {
  const fs::path data = Work().Path() / "Data";
  std::error_code ignored;
  fs::remove_all(data, ignored);
  fs::create_directory(data);
  for (size_t i = 0; i < parts.size(); ++i) {
    if (i == 0 && parts[0].empty()) continue;
    std::ofstream out(data / kFileNames[i], std::ios::binary);
    out.write(parts[i].data(), static_cast<std::streamsize>(parts[i].size()));
  }
  return parts.empty() ? 0 : parts[0].size();
}

void Require(bool condition) {
  if (!condition) __builtin_trap();
}

// A record number or a row: within the records, or 0 (also for an empty library).
bool InRangeOrZero(const SongDatabase& db, int number) {
  return number == 0 || (number > 0 && number < db.RecordCount());
}

void CheckIndexesValid(const SongDatabase& db) {
  using veltro::library::IndexKind;
  using veltro::library::IndexProblem;
  Require(IndexProblem(db.Records(), db.ArtistIndex(), IndexKind::Artist).empty());
  Require(IndexProblem(db.Records(), db.SongNameIndex(), IndexKind::SongName).empty());
  Require(IndexProblem(db.Records(), db.GenreIndex()).empty());
  Require(IndexProblem(db.Records(), db.YearIndex()).empty());
}

void ExerciseOrders(SongDatabase& db, std::string_view extraOrder) {
  for (const char* order : kOrders) {
    db.SetOrder(order);
    for (int row = -1; row <= db.RecordCount() + 1; ++row) {
      Require(InRangeOrZero(db, db.RecordForRow(row)));
    }
  }
  db.SetOrder(extraOrder);
  Require(db.OrderName().size() <= 11);
  Require(InRangeOrZero(db, db.RecordForRow(0)));
}

void ExercisePrefixJumps(SongDatabase& db, const std::vector<std::string_view>& texts) {
  for (std::string_view text : texts) {
    const int rows[] = {db.FindArtistPrefix(text), db.FindSongNamePrefix(text),
                        db.FindGenrePrefix(text), db.FindYearPrefix(text)};
    for (int row : rows) Require(InRangeOrZero(db, row));
    Require(InRangeOrZero(db, db.CurrentRecord()));
  }
}

void ExerciseSearchAndPaths(SongDatabase& db, const std::vector<std::string_view>& texts) {
  auto text = [&texts](size_t i) { return i < texts.size() ? texts[i] : std::string_view(); };
  const int found = db.Search(text(0), text(1), text(2), text(3));
  Require(found >= 0 && static_cast<size_t>(found) == db.SearchResults().size());
  Require(found <= db.RecordCount() && db.StagingList().empty());
  // Each result names the record it is a copy of, whatever order the records are in.
  Require(db.SearchResultRecords().size() == db.SearchResults().size());
  for (size_t i = 0; i < db.SearchResults().size(); ++i) {
    const int record = db.SearchResultRecords()[i];
    Require(record >= 0 && record < db.RecordCount());
    Require(std::memcmp(&db.Records()[static_cast<size_t>(record)], &db.SearchResults()[i],
                        sizeof(SongRecord)) == 0);
  }

  const std::string_view path = text(4);
  db.SelectByPath(path);
  Require(InRangeOrZero(db, db.CurrentRecord()));
  const bool stored = std::any_of(
      db.Records().begin(), db.Records().end(),
      [path](const SongRecord& r) { return veltro::library::FieldText(r.path) == path; });
  const int contained = db.ContainsPath(path);
  Require(contained == 0 || contained == -1);
  Require(stored || contained == -1);
  // Its search relies on the path order; a file with records out of order may hide one.
  if (veltro::library::RecordOrderProblem(db.Records()).empty()) {
    Require(contained == (stored ? 0 : -1));
  }
  db.SetCurrent(static_cast<int>(path.size()) - 2);
  Require(InRangeOrZero(db, db.CurrentRecord()));

  const SongRecord current = db.GetCurrentRecord();
  const SongRecord expected =
      db.RecordCount() > 0 ? db.Records()[db.CurrentRecord()] : veltro::library::EmptyRecord();
  Require(std::memcmp(&current, &expected, sizeof current) == 0);
  const uint32_t cue = static_cast<uint32_t>(found * 7919 + 1);
  if (db.SetCuePosition(cue)) Require(db.GetCurrentRecord().cuePosition == cue);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const std::vector<std::string_view> parts = Split(input, kMarker, std::size(kFileNames));
  const size_t dataBytes = WriteLibraryFiles(parts);
  const std::string_view tail = input.substr(size - std::min(size, kTextTailBytes));
  const std::vector<std::string_view> texts = Split(tail, "|", 6);

  SongDatabase db(Work().Path());
  // Nothing is held beyond what the file holds: every record in memory came from the file.
  const size_t recordBytes =
      dataBytes >= veltro::library::kHeaderBytes ? dataBytes - veltro::library::kHeaderBytes : 0;
  bool indexesOnDisk = true;  // the index files agree with the records in memory
  const bool rebuilt = db.LoadIndexes() != 0;
  if (rebuilt) {
    Require(!db.IndexLoadProblem().empty());
    indexesOnDisk = db.RebuildIndexFiles();
    if (indexesOnDisk) CheckIndexesValid(db);
  } else {
    Require(db.IndexLoadProblem().empty());
    CheckIndexesValid(db);
  }
  const size_t records = db.Records().size();
  Require(records * veltro::library::kRecordBytes <= recordBytes);
  Require(db.ArtistIndex().size() <= records && db.SongNameIndex().size() <= records);
  Require(db.GenreIndex().size() <= records && db.YearIndex().size() <= records);

  ExerciseOrders(db, texts.back());
  ExercisePrefixJumps(db, texts);
  ExerciseSearchAndPaths(db, texts);
  // What start-up accepted or rebuilt, the file check accepts too: only Data.ndb itself (its
  // header or its record order) may still be reported, and an accepted index holding entries
  // beyond the record count (start-up reads only the first ones; a rebuilt index has none).
  for (const std::string& reason : veltro::library::CheckLibraryFiles(db.Paths())) {
    const bool surplus = reason.find(" entries, the library has ") != std::string::npos;
    Require(!indexesOnDisk || reason.rfind("Data.ndb: ", 0) == 0 || (surplus && !rebuilt));
  }
  return 0;
}
