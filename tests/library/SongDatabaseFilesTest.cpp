// The bytes SongDatabase writes, compared with files assembled here from the documented layout.
#include <gtest/gtest.h>

#include <filesystem>
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

size_t EntriesIn(const std::filesystem::path& dir) {
  size_t count = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(dir)) ++count;
  return count;
}

SongRecord ToRecord(const Song& song) {
  SongRecord record =
      MakeRecord(song.artist, song.songName, song.genre, song.year, song.path, song.lengthMs);
  record.cuePosition = song.cuePosition;
  return record;
}

TEST(SongDatabaseFiles, ScanCommitWritesTheDocumentedBytes) {
  TempDir dir;
  std::filesystem::create_directory(dir.Path() / "Data");
  const std::vector<Song> songs = SampleSongs();
  SongDatabase db(dir.Path());
  ASSERT_TRUE(db.CanWrite()) << db.OpenProblem();
  EXPECT_EQ(ReadBytes(db.Paths().data), "");  // created empty, nothing written yet
  // Staged out of order; record 1 before record 0, whose paths fold to the same text.
  for (uint32_t record : {3u, 6u, 1u, 5u, 0u, 4u, 2u}) db.StageRecord(ToRecord(songs[record]));
  db.CommitStaging();
  EXPECT_TRUE(db.StagingList().empty());
  db.SortIndexes();
  ASSERT_TRUE(db.WriteAll()) << db.LastWriteProblem();

  const LibraryFiles written = ReadLibrary(dir.Path());
  ExpectSameFiles(written, SampleFiles());
  EXPECT_EQ(EntriesIn(dir.Path() / "Data"), 5u);  // no temporary file left behind
  EXPECT_EQ(db.Header().recordCount, 7u);
  // The 30-character artist: 30 bytes + NUL in the record, and + NUL + one zero in the key.
  const size_t longRecord = 8 + 360 * 5;
  EXPECT_EQ(written.data.substr(longRecord, 31), kLongArtist + '\0');
  const size_t longEntry = 36 * 4;  // fifth in artist order
  EXPECT_EQ(GetU32(written.artist, longEntry), 5u);
  EXPECT_EQ(written.artist.substr(longEntry + 4, 32), kLongArtist + std::string(2, '\0'));
}

TEST(SongDatabaseFiles, EmptyLibraryIsAnEightByteHeaderAndFourEmptyIndexes) {
  TempDir dir;
  std::filesystem::create_directory(dir.Path() / "Data");
  SongDatabase db(dir.Path());
  EXPECT_EQ(db.LoadIndexes(), 1);  // no index files yet
  EXPECT_EQ(db.RecordCount(), 0);
  ASSERT_TRUE(db.WriteAll()) << db.LastWriteProblem();
  ExpectSameFiles(ReadLibrary(dir.Path()), {DataFileBytes({}), "", "", "", ""});
  EXPECT_EQ(ReadBytes(db.Paths().data), std::string("\1\0\0\0\0\0\0\0", 8));

  SongDatabase reopened(dir.Path());
  EXPECT_EQ(reopened.LoadIndexes(), 0) << reopened.IndexLoadProblem();
  EXPECT_EQ(reopened.RecordCount(), 0);
}

TEST(SongDatabaseFiles, ForeignFormatWordIsWrittenBackUnchanged) {
  TempDir dir;
  LibraryFiles files = SampleFiles();
  files.data = DataFileBytes(SampleSongs(), 0xCAFE0007u);
  WriteLibrary(dir.Path(), files);
  SongDatabase db(dir.Path());
  ASSERT_EQ(db.LoadIndexes(), 0) << db.IndexLoadProblem();
  EXPECT_EQ(db.Header().formatWord, 0xCAFE0007u);
  ASSERT_TRUE(db.WriteAll()) << db.LastWriteProblem();
  ExpectSameFiles(ReadLibrary(dir.Path()), files);
}

TEST(SongDatabaseFiles, RebuildRewritesOnlyTheIndexes) {
  TempDir dir;
  LibraryFiles files = SampleFiles();
  WriteLibrary(dir.Path(), files);
  WriteBytes(dir.File("Data/g.ndx"), "junk");
  SongDatabase db(dir.Path());
  EXPECT_EQ(db.LoadIndexes(), 1);
  // Data.ndb is not rewritten: a marker placed in it after the load stays.
  std::string marked = files.data;
  marked[8 + 360 * 2 + 62] = 'M';  // padding byte of record 2
  WriteBytes(db.Paths().data, marked);
  ASSERT_TRUE(db.RebuildIndexFiles()) << db.LastWriteProblem();
  files.data = marked;
  ExpectSameFiles(ReadLibrary(dir.Path()), files);
}

TEST(SongDatabaseFiles, StageAllAndCommitReproducesTheSameFiles) {
  TempDir dir;
  const LibraryFiles files = SampleFiles();
  WriteLibrary(dir.Path(), files);
  SongDatabase db(dir.Path());
  ASSERT_EQ(db.LoadIndexes(), 0) << db.IndexLoadProblem();
  db.StageAllRecords();
  db.StageAllRecords();  // empties the list first: no duplicates
  EXPECT_EQ(db.StagingList().size(), 7u);
  db.CommitStaging();
  db.SortIndexes();
  ASSERT_TRUE(db.WriteAll()) << db.LastWriteProblem();
  ExpectSameFiles(ReadLibrary(dir.Path()), files);
}

}  // namespace
}  // namespace veltro::library
