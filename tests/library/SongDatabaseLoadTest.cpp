// Loading library files written elsewhere, damaged or unwritable.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "LibraryFileBytes.h"
#include "library/SongDatabase.h"
#include "support/TempDir.h"

namespace veltro::library {
namespace {

using veltro::testing::ReadBytes;
using veltro::testing::TempDir;
using veltro::testing::WriteBytes;

// Fills the bytes after the first NUL of the field at [offset, offset + width) with garbage,
// as a record rewritten in place by another program may carry.
void GarbageAfterNul(std::string& bytes, size_t offset, size_t width) {
  size_t at = bytes.find('\0', offset);
  for (++at; at < offset + width; ++at) bytes[at] = static_cast<char>(0xA5);
}

void ExpectSampleRecords(const SongDatabase& db, size_t count) {
  const std::vector<Song> songs = SampleSongs();
  ASSERT_EQ(db.Records().size(), count);
  for (size_t i = 0; i < count; ++i) {
    const SongRecord& record = db.Records()[i];
    EXPECT_EQ(FieldText(record.artist), songs[i].artist) << i;
    EXPECT_EQ(FieldText(record.songName), songs[i].songName) << i;
    EXPECT_EQ(FieldText(record.genre), songs[i].genre) << i;
    EXPECT_EQ(FieldText(record.year), songs[i].year) << i;
    EXPECT_EQ(FieldText(record.path), songs[i].path) << i;
    EXPECT_EQ(record.cuePosition, songs[i].cuePosition) << i;
    EXPECT_EQ(record.lengthMs, songs[i].lengthMs) << i;
  }
}

TEST(SongDatabaseLoad, ReadsFilesOfAnotherWriter) {
  TempDir dir;
  LibraryFiles files = SampleFiles();
  for (size_t record = 0; record < 7; ++record) {
    const size_t base = 8 + 360 * record;
    for (auto [offset, width] : {std::pair{0, 31}, {31, 31}, {68, 11}, {79, 5}, {84, 260}}) {
      GarbageAfterNul(files.data, base + offset, width);
    }
  }
  // Equal keys in the other order: no reader relies on the order of equal keys.
  files.genre = IndexBytes(SampleSongs(), {5, 4, 6, 3, 1, 2, 0}, &Song::genre, 12);
  for (size_t entry = 0; entry < 7; ++entry) {
    GarbageAfterNul(files.artist, 36 * entry + 4, 32);
    GarbageAfterNul(files.genre, 16 * entry + 4, 12);
  }
  for (std::string* file :
       {&files.data, &files.artist, &files.songName, &files.genre, &files.year}) {
    *file += "trailing bytes";
  }
  WriteLibrary(dir.Path(), files);

  SongDatabase db(dir.Path());
  ASSERT_EQ(db.LoadIndexes(), 0) << db.IndexLoadProblem();
  ExpectSampleRecords(db, 7);
  db.SetOrder("Genre");
  EXPECT_EQ(db.RecordForRow(2), 6);
  EXPECT_EQ(db.RecordForRow(6), 0);
  EXPECT_EQ(db.FindArtistPrefix("b"), 2);
  EXPECT_EQ(db.Search("", "", "rock", ""), 3);
}

TEST(SongDatabaseLoad, FieldFilledToItsLastByteIsReadWhole) {
  TempDir dir;
  std::vector<Song> songs = SampleSongs();
  songs[5].artist = kLongArtist + "!";  // 31 bytes, no NUL inside the record's field
  LibraryFiles files = SampleFiles();
  files.data = DataFileBytes(songs);
  files.artist = IndexBytes(songs, kArtistOrder, &Song::artist, 32);
  WriteLibrary(dir.Path(), files);
  SongDatabase db(dir.Path());
  ASSERT_EQ(db.LoadIndexes(), 0) << db.IndexLoadProblem();
  EXPECT_EQ(FieldText(db.Records()[5].artist), songs[5].artist);
  EXPECT_EQ(db.Search("*names 3!", "", "", ""), 1);
}

TEST(SongDatabaseLoad, MissingArtistIndexIsRebuiltFromTheRecords) {
  TempDir dir;
  WriteLibrary(dir.Path(), SampleFiles());
  std::filesystem::remove(dir.Path() / "Data" / "a.ndx");
  {
    SongDatabase db(dir.Path());
    EXPECT_EQ(db.LoadIndexes(), 1);
    EXPECT_FALSE(db.IndexLoadProblem().empty());
    ExpectSampleRecords(db, 7);
    EXPECT_TRUE(db.ArtistIndex().empty());
    ASSERT_TRUE(db.RebuildIndexFiles()) << db.LastWriteProblem();
    db.SetOrder("Artist");
    for (int row = 0; row < 7; ++row) EXPECT_EQ(db.RecordForRow(row), kArtistOrder[row]) << row;
  }
  ExpectSameFiles(ReadLibrary(dir.Path()), SampleFiles());
  SongDatabase reopened(dir.Path());
  EXPECT_EQ(reopened.LoadIndexes(), 0) << reopened.IndexLoadProblem();
}

TEST(SongDatabaseLoad, InconsistentIndexIsRejected) {
  const std::vector<Song> songs = SampleSongs();
  const struct {
    const char* what;
    std::function<void(LibraryFiles&)> damage;
  } cases[] = {
      {"short index", [](LibraryFiles& f) { f.songName.resize(36 * 6); }},
      {"duplicate record", [](LibraryFiles& f) { PutU32(f.year, 12 * 1, 0); }},
      {"record beyond the last", [](LibraryFiles& f) { PutU32(f.genre, 0, 7); }},
      {"key differs in letter case",
       [](LibraryFiles& f) { PutText(f.artist, 36 * 2 + 4, "BEATLES"); }},
      {"key differs after a NUL",
       [](LibraryFiles& f) { PutText(f.artist, 36 * 6 + 4, std::string("Zap\0a", 5)); }},
      {"unsorted",
       [&](LibraryFiles& f) {
         f.songName = IndexBytes(songs, {0, 1, 4, 5, 3, 2, 6}, &Song::songName, 32);
       }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir dir;
    LibraryFiles files = SampleFiles();
    c.damage(files);
    WriteLibrary(dir.Path(), files);
    SongDatabase db(dir.Path());
    EXPECT_EQ(db.LoadIndexes(), 1);
    EXPECT_FALSE(db.IndexLoadProblem().empty());
    EXPECT_EQ(db.RecordCount(), 7);
    EXPECT_TRUE(db.ArtistIndex().empty() && db.SongNameIndex().empty() && db.GenreIndex().empty() &&
                db.YearIndex().empty());
  }
}

TEST(SongDatabaseLoad, ShortDataFileNeverReadsAnUndefinedCount) {
  TempDir dir;
  LibraryFiles files = SampleFiles();
  const std::string whole = files.data;
  files.data = whole.substr(0, 5);  // shorter than the header
  WriteLibrary(dir.Path(), files);
  {
    SongDatabase db(dir.Path());
    db.LoadIndexes();
    EXPECT_EQ(db.RecordCount(), 0);
    EXPECT_EQ(db.Header().formatWord, 1u);
    EXPECT_EQ(db.Header().recordCount, 0u);
  }
  files.data = whole.substr(0, 8 + 360 * 3 + 100);  // header counts 7, three whole records
  WriteBytes(dir.File("Data/Data.ndb"), files.data);
  SongDatabase db(dir.Path());
  EXPECT_EQ(db.Header().recordCount, 3u);
  EXPECT_EQ(db.LoadIndexes(), 1);  // the indexes name records that are not there
  ExpectSampleRecords(db, 3);
  ASSERT_TRUE(db.RebuildIndexFiles()) << db.LastWriteProblem();
  EXPECT_EQ(ReadBytes(dir.File("Data/a.ndx")).size(), 36u * 3);
}

TEST(SongDatabaseLoad, ReadOnlyDataFileIsReadButNeverWritten) {
  if (geteuid() == 0) GTEST_SKIP() << "root ignores file permissions";
  TempDir dir;
  const LibraryFiles files = SampleFiles();
  WriteLibrary(dir.Path(), files);
  ASSERT_EQ(chmod(dir.File("Data/Data.ndb").c_str(), 0444), 0);
  SongDatabase db(dir.Path());
  EXPECT_FALSE(db.CanWrite());
  EXPECT_FALSE(db.OpenProblem().empty());
  ASSERT_EQ(db.LoadIndexes(), 0) << db.IndexLoadProblem();
  ExpectSampleRecords(db, 7);
  db.StageAllRecords();
  db.StageRecord(MakeRecord("New", "Song", "", "", "/Music/new.mp3", 1));
  db.CommitStaging();
  db.SortIndexes();
  EXPECT_FALSE(db.WriteAll());
  EXPECT_FALSE(db.LastWriteProblem().empty());
  db.SetCurrent(1);
  EXPECT_FALSE(db.SetCuePosition(99));
  EXPECT_FALSE(db.UpdateCurrentRecord(MakeRecord("X", "", "", "", "/x", 0)));
  EXPECT_FALSE(db.RebuildIndexFiles());
  ExpectSameFiles(ReadLibrary(dir.Path()), files);
}

TEST(SongDatabaseLoad, MissingDataDirectoryGivesAnEmptyUnsavedLibrary) {
  TempDir dir;
  SongDatabase db(dir.Path());
  EXPECT_FALSE(db.CanWrite());
  EXPECT_FALSE(db.OpenProblem().empty());
  db.LoadIndexes();
  EXPECT_EQ(db.RecordCount(), 0);
  EXPECT_EQ(db.GetCurrentRecord().path[0], '\0');
  EXPECT_FALSE(db.WriteAll());
  EXPECT_FALSE(std::filesystem::exists(dir.Path() / "Data"));
}

}  // namespace
}  // namespace veltro::library
