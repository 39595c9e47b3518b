// Libraries kept in views of their files: own files are viewed, files that other users may write
// are read; either way in-place writes, WriteAll and later writes keep memory and files equal.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>
#include <vector>

#include "LibraryFileBytes.h"
#include "library/EntryFile.h"
#include "library/SongDatabase.h"
#include "support/TempDir.h"

namespace veltro::library {
namespace {

using veltro::testing::ReadBytes;
using veltro::testing::TempDir;

struct Sharing {
  mode_t mode;
  bool viewed;
};
constexpr Sharing kSharings[] = {{0644, true}, {0666, false}};

void ShareFiles(const TempDir& dir, mode_t mode) {
  for (const char* name : {"Data.ndb", "a.ndx", "s.ndx", "g.ndx", "y.ndx"}) {
    ASSERT_EQ(chmod(dir.File(std::string("Data/") + name).c_str(), mode), 0) << name;
  }
}

TEST(SongDatabaseView, OwnFilesAreViewedOthersRead) {
  for (const Sharing& sharing : kSharings) {
    SCOPED_TRACE(sharing.mode);
    TempDir dir;
    WriteLibrary(dir.Path(), SampleFiles());
    ShareFiles(dir, sharing.mode);
    const int fd = OpenForReading(dir.File("Data/Data.ndb"));
    ASSERT_GE(fd, 0);
    LoadedArray<SongRecord> records = LoadRecords(fd, 9);  // limited to the 7 present
    LoadedArray<YearIndexEntry> years = LoadEntries<YearIndexEntry>(dir.File("Data/y.ndx"), 7)
                                            .value_or(LoadedArray<YearIndexEntry>{});
    CloseFile(fd);
    EXPECT_EQ(records.IsMapped(), sharing.viewed);
    EXPECT_EQ(years.IsMapped(), sharing.viewed);
    ASSERT_EQ(records.size(), 7u);
    ASSERT_EQ(years.size(), 7u);
    EXPECT_EQ(FieldText(records[6].path), SampleSongs()[6].path);
    EXPECT_EQ(FieldText(years[6].key), "N/A");
    records[1].cuePosition = 5;  // stays in memory
    EXPECT_EQ(ReadBytes(dir.File("Data/Data.ndb")), SampleFiles().data);
  }
}

TEST(SongDatabaseView, InPlaceWritesAndWriteAllKeepMemoryAndFilesEqual) {
  for (const Sharing& sharing : kSharings) {
    SCOPED_TRACE(sharing.mode);
    TempDir dir;
    WriteLibrary(dir.Path(), SampleFiles());
    ShareFiles(dir, sharing.mode);
    std::vector<Song> songs = SampleSongs();
    SongDatabase db(dir.Path());
    ASSERT_EQ(db.LoadIndexes(), 0) << db.IndexLoadProblem();
    db.SetCurrent(2);
    ASSERT_TRUE(db.SetCuePosition(11)) << db.LastWriteProblem();
    songs[2].cuePosition = 11;
    db.SetCurrent(3);
    SongRecord longer = db.GetCurrentRecord();
    longer.lengthMs = songs[3].lengthMs = 999;
    ASSERT_TRUE(db.UpdateCurrentRecord(longer)) << db.LastWriteProblem();
    ASSERT_TRUE(db.WriteAll()) << db.LastWriteProblem();
    db.SetCurrent(4);
    ASSERT_TRUE(db.SetCuePosition(44)) << db.LastWriteProblem();  // into the new file
    songs[4].cuePosition = 44;

    LibraryFiles expected = SampleFiles();
    expected.data = DataFileBytes(songs);
    ExpectSameFiles(ReadLibrary(dir.Path()), expected);
    for (size_t i = 0; i < songs.size(); ++i) {
      EXPECT_EQ(db.Records()[i].cuePosition, songs[i].cuePosition) << i;
      EXPECT_EQ(db.Records()[i].lengthMs, songs[i].lengthMs) << i;
    }
    EXPECT_EQ(db.FindArtistPrefix("zap"), 6);  // the indexes still answer after WriteAll
    EXPECT_EQ(db.CurrentRecord(), 4);
    SongDatabase reopened(dir.Path());
    ASSERT_EQ(reopened.LoadIndexes(), 0) << reopened.IndexLoadProblem();
    EXPECT_EQ(reopened.Records()[4].cuePosition, 44u);
  }
}

}  // namespace
}  // namespace veltro::library
