// Runs `veltro-cli library` as a real process in a folder holding a library written by
// SongDatabase, and checks its exact output, its exit status and what it leaves on disk.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdio>
#include <filesystem>
#include <initializer_list>
#include <string>

#include "library/SongDatabase.h"
#include "library/SongRecord.h"
#include "support/ShellRun.h"
#include "support/TempDir.h"

namespace veltro::cli {
namespace {

using library::MakeRecord;
using library::SongDatabase;
using library::SongRecord;
using library::YearIndexEntry;
using testing::ReadBytes;
using testing::TempDir;
using testing::WriteBytes;

struct RunResult {
  int status = -1;
  std::string out;
  std::string err;
};

void WriteLibrary(const std::filesystem::path& folder, std::initializer_list<SongRecord> songs) {
  std::filesystem::create_directory(folder / "Data");
  SongDatabase database(folder);
  for (const SongRecord& song : songs) database.StageRecord(song);
  database.CommitStaging();
  database.SortIndexes();
  ASSERT_TRUE(database.WriteAll()) << database.LastWriteProblem();
}

// The five songs, staged out of path order. Artist order: abba, Beatles, Björk, The Beatles,
// Zappa; genre order puts the empty genre first and the two Rock songs in record order.
void WriteSongs(const std::filesystem::path& folder) {
  WriteLibrary(
      folder,
      {MakeRecord("Zappa", "Peaches\tRegalia", "Jazz", "1969", "/music/d/peaches.WAV", 3665000),
       MakeRecord("The Beatles", "Yesterday", "Rock", "1965", "/music/c/yesterday.OGG", 125500),
       MakeRecord("Beatles", "Help", "Rock", "1965", "/music/a/help.MP3", 138999),
       MakeRecord("Bj\xC3\xB6rk", "Army of Me", "", "1995", "/music/e/army.MP3", 187000),
       MakeRecord("abba", "Waterloo", "Pop", "1974", "/music/B/waterloo.MP3", 167000)});
}

// The list line of each record (row number left out: it depends on the order).
const std::string kSong[] = {
    "0\tBeatles\tHelp\tRock\t1965\t2:18\t/music/a/help.MP3\n",
    "1\tabba\tWaterloo\tPop\t1974\t2:47\t/music/B/waterloo.MP3\n",
    "2\tThe Beatles\tYesterday\tRock\t1965\t2:05\t/music/c/yesterday.OGG\n",
    "3\tZappa\tPeaches\\x09Regalia\tJazz\t1969\t61:05\t/music/d/peaches.WAV\n",
    "4\tBj\xC3\xB6rk\tArmy of Me\t\t1995\t3:07\t/music/e/army.MP3\n",
};

std::string Row(int row, int record) {
  return std::to_string(row) + '\t' + kSong[record];
}

class LibraryCliTest : public ::testing::Test {
 protected:
  // Runs veltro-cli library with `arguments` in `folder` (the library's folder by default).
  // `prefix` goes before the program (a time limit, say).
  RunResult Run(const std::string& arguments, const std::string& prefix = "") {
    return RunIn(dir_.Path(), arguments, prefix);
  }
  RunResult RunIn(const std::filesystem::path& folder, const std::string& arguments,
                  const std::string& prefix = "") {
    const std::string errors = scratch_.File("stderr");
    const std::string command = "cd '" + folder.string() + "' && " + prefix + VELTRO_CLI +
                                " library " + arguments + " 2>'" + errors + "'";
    const testing::ShellRun run = testing::RunShell(command);
    return RunResult{run.status, run.output, ReadBytes(errors)};
  }
  std::string IndexFile(const char* name) const { return dir_.File(std::string("Data/") + name); }

  TempDir dir_;
  TempDir scratch_;  // holds the captured standard error, outside the library's folder
};

TEST_F(LibraryCliTest, ListsWindowsOfEachOrder) {
  WriteSongs(dir_.Path());
  const RunResult artist = Run("list --from 1 --count 2");
  EXPECT_EQ(artist.status, 0) << artist.err;
  EXPECT_EQ(artist.out, Row(1, 0) + Row(2, 4));

  // Rows beyond the last are not printed, whatever --count asks for.
  const RunResult year = Run("list --order year --from 3 --count 10");
  EXPECT_EQ(year.out, Row(3, 1) + Row(4, 4));
  EXPECT_EQ(Run("list --order genre").out,
            Row(0, 4) + Row(1, 3) + Row(2, 1) + Row(3, 0) + Row(4, 2));
  EXPECT_EQ(Run("list --order path --from 2 --count 1").out, Row(2, 2));
  EXPECT_EQ(Run("list --order songname --from 4").out, Row(4, 2));
  const RunResult beyond = Run("list --from 5");
  EXPECT_EQ(beyond.status, 0);
  EXPECT_EQ(beyond.out, "");
}

TEST_F(LibraryCliTest, FindJumpsToThePrefixAndSaysWhenNothingMatches) {
  WriteSongs(dir_.Path());
  EXPECT_EQ(Run("find artist b").out, Row(1, 0));
  EXPECT_EQ(Run("find artist 'the b'").out, Row(3, 2));
  EXPECT_EQ(Run("find songname pea").out, Row(2, 3));
  EXPECT_EQ(Run("find year 197").out, Row(3, 1));
  const RunResult empty = Run("find genre ''");
  EXPECT_EQ(empty.out, Row(0, 4));
  EXPECT_EQ(empty.err, "");
  // Between keys: the first key after the text, said to be no match.
  const RunResult between = Run("find genre q");
  EXPECT_EQ(between.status, 0) << between.err;
  EXPECT_EQ(between.out, Row(3, 0));
  EXPECT_EQ(between.err, "veltro-cli: find: no genre starts with 'q'; the next one is shown\n");
  // Every artist sorts before zzz: no row is shown as if it matched.
  const RunResult miss = Run("find artist zzz");
  EXPECT_EQ(miss.status, 1);
  EXPECT_EQ(miss.out, "");
  EXPECT_EQ(miss.err, "veltro-cli: find: no artist starts with 'zzz' or sorts after it\n");
}

TEST_F(LibraryCliTest, SearchPrintsMatchesInPathOrderWithTheirRecordNumbers) {
  WriteSongs(dir_.Path());
  EXPECT_EQ(Run("search '*beatles*' '' '' ''").out, "2 results\n" + Row(0, 0) + Row(1, 2));
  EXPECT_EQ(Run("search '' '' '' '196*'").out, "3 results\n" + Row(0, 0) + Row(1, 2) + Row(2, 3));
  EXPECT_EQ(Run("search beatles '' rock ''").out, "1 results\n" + Row(0, 0));
  EXPECT_EQ(Run("search '' '' '' 196").out, "0 results\n");
}

// Paths that differ only in letter case sort side by side; each result names its own record.
TEST_F(LibraryCliTest, SearchTellsPathsApartThatDifferOnlyInCase) {
  WriteLibrary(dir_.Path(), {MakeRecord("Two", "Lower", "", "", "/x/song.MP3", 1000),
                             MakeRecord("One", "Upper", "", "", "/x/Song.MP3", 2000)});
  EXPECT_EQ(Run("search '' '' '' ''").out,
            "2 results\n0\t0\tOne\tUpper\t\t\t0:02\t/x/Song.MP3\n"
            "1\t1\tTwo\tLower\t\t\t0:01\t/x/song.MP3\n");
  EXPECT_EQ(Run("search lower '' '' ''").out, "0 results\n");  // letter case folded
}

// A record file out of path order (damaged, or written by another program): each result
// still names the record it came from.
TEST_F(LibraryCliTest, SearchNamesEachResultsRecordWhenRecordsAreOutOfPathOrder) {
  std::filesystem::create_directory(dir_.Path() / "Data");
  const SongRecord songs[] = {MakeRecord("C", "c", "", "", "/m/c.mp3", 1000),
                              MakeRecord("A", "a", "", "", "/m/a.mp3", 1000),
                              MakeRecord("B", "b", "", "", "/m/b.mp3", 1000)};
  const library::DatabaseHeader header{1, 3};
  std::string bytes(reinterpret_cast<const char*>(&header), sizeof header);
  bytes.append(reinterpret_cast<const char*>(songs), sizeof songs);
  WriteBytes(dir_.File("Data/Data.ndb"), bytes);
  const RunResult all = Run("search '' '' '' ''");
  EXPECT_EQ(all.status, 0) << all.err;
  EXPECT_EQ(all.out,
            "3 results\n0\t0\tC\tc\t\t\t0:01\t/m/c.mp3\n1\t1\tA\ta\t\t\t0:01\t/m/a.mp3\n"
            "2\t2\tB\tb\t\t\t0:01\t/m/b.mp3\n");
  EXPECT_EQ(Run("search c '' '' ''").out, "1 results\n0\t0\tC\tc\t\t\t0:01\t/m/c.mp3\n");
}

TEST_F(LibraryCliTest, StatsRebuildsAMissingIndexAsStartUpDoes) {
  WriteSongs(dir_.Path());
  const std::string artistIndex = ReadBytes(IndexFile("a.ndx"));
  const std::string consistent = "records: 5\nformat word: 1\nwritable: yes\nindexes: consistent\n";
  EXPECT_EQ(Run("stats").out, consistent);

  std::filesystem::remove(IndexFile("a.ndx"));
  const RunResult rebuilt = Run("stats");
  EXPECT_EQ(rebuilt.status, 0) << rebuilt.err;
  EXPECT_EQ(rebuilt.out.rfind("records: 5\nformat word: 1\nwritable: yes\nindexes: rebuilt (", 0),
            0u)
      << rebuilt.out;
  EXPECT_NE(rebuilt.out.find("a.ndx"), std::string::npos) << rebuilt.out;
  EXPECT_EQ(ReadBytes(IndexFile("a.ndx")), artistIndex);
  EXPECT_EQ(Run("stats").out, consistent);
  EXPECT_EQ(Run("list --count 1").out, Row(0, 1));
}

TEST_F(LibraryCliTest, CheckNamesTheDamagedIndexAndChangesNothing) {
  WriteSongs(dir_.Path());
  const RunResult good = Run("check");
  EXPECT_EQ(good.status, 0);
  EXPECT_EQ(good.out, "library consistent: 5 records\n");

  std::string artistIndex = ReadBytes(IndexFile("a.ndx"));
  artistIndex[4] = 'x';  // the first key, "abba", becomes "xbba"
  WriteBytes(IndexFile("a.ndx"), artistIndex);
  const RunResult badKey = Run("check");
  EXPECT_EQ(badKey.status, 1);
  EXPECT_NE(badKey.out.find("a.ndx"), std::string::npos) << badKey.out;
  EXPECT_EQ(ReadBytes(IndexFile("a.ndx")), artistIndex);  // not repaired by the check

  WriteSongs(dir_.Path());
  const std::string yearIndex = ReadBytes(IndexFile("y.ndx"));
  WriteBytes(IndexFile("y.ndx"), yearIndex.substr(0, 3 * sizeof(YearIndexEntry)));
  const RunResult shortIndex = Run("check");
  EXPECT_EQ(shortIndex.status, 1);
  EXPECT_NE(shortIndex.out.find("y.ndx"), std::string::npos) << shortIndex.out;
  EXPECT_EQ(shortIndex.out.find("a.ndx"), std::string::npos) << shortIndex.out;
  EXPECT_EQ(std::filesystem::file_size(IndexFile("y.ndx")), 3 * sizeof(YearIndexEntry));
}

// The record file is created by the program, never by a command that only reads.
TEST_F(LibraryCliTest, ReaderCommandsNeverCreateTheRecordFile) {
  std::filesystem::create_directory(dir_.Path() / "Data");
  const std::string data = std::filesystem::canonical(dir_.Path()).string() + "/Data/Data.ndb";
  for (const char* command : {"stats", "list", "find artist a", "search a b c d"}) {
    const RunResult run = Run(command);
    EXPECT_EQ(run.status, 1) << command;
    EXPECT_EQ(run.out, "") << command;
    EXPECT_EQ(run.err, "veltro-cli: no library here: " + data + " does not exist\n") << command;
  }
  const RunResult check = Run("check");
  EXPECT_EQ(check.status, 1);
  EXPECT_EQ(check.out, "Data.ndb: missing\n");
  EXPECT_TRUE(std::filesystem::is_empty(dir_.Path() / "Data"));

  WriteLibrary(dir_.Path(), {});
  const RunResult find = Run("find artist a");
  EXPECT_EQ(find.status, 1);
  EXPECT_EQ(find.err, "veltro-cli: library is empty\n");
  EXPECT_EQ(Run("check").out, "library consistent: 0 records\n");
}

// A FIFO, device or folder where a library file belongs is reported at once: no command waits
// on it, reads a device as a library, or puts a file in its place.
TEST_F(LibraryCliTest, SpecialFilesInPlaceOfLibraryFilesAreReportedNotWaitedOn) {
  enum class Kind { kFifo, kDevice, kFolder };
  const struct {
    const char* file;
    Kind kind;
    const char* command;
    int status;
    const char* reason;  // in standard output or standard error
  } cases[] = {
      {"Data.ndb", Kind::kFifo, "stats", 1, "Data.ndb is a FIFO, not a regular file"},
      {"Data.ndb", Kind::kFifo, "list", 1, "Data.ndb is a FIFO, not a regular file"},
      {"Data.ndb", Kind::kFifo, "check", 1, "Data.ndb is a FIFO, not a regular file"},
      {"Data.ndb", Kind::kDevice, "search '' '' '' ''", 1, "Data.ndb is a device"},
      {"Data.ndb", Kind::kDevice, "check", 1, "Data.ndb is a device, not a regular file"},
      {"Data.ndb", Kind::kFolder, "stats", 1, "Data.ndb is a folder, not a regular file"},
      {"Data.ndb", Kind::kFolder, "check", 1, "Data.ndb is a folder, not a regular file"},
      {"a.ndx", Kind::kFifo, "stats", 1, "a.ndx is a FIFO, not a regular file"},
      {"a.ndx", Kind::kFifo, "check", 1, "a.ndx is a FIFO, not a regular file"},
      {"y.ndx", Kind::kDevice, "find year 19", 0, "cannot replace"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.file) + ", " + c.command);
    WriteSongs(dir_.Path());
    const std::string path = IndexFile(c.file);
    std::filesystem::remove(path);
    if (c.kind == Kind::kFifo) {
      ASSERT_EQ(mkfifo(path.c_str(), 0644), 0);
    } else if (c.kind == Kind::kDevice) {
      std::filesystem::create_symlink("/dev/zero", path);
    } else {
      std::filesystem::create_directory(path);
    }
    const RunResult run = Run(std::string(c.command), "timeout 10 ");
    EXPECT_EQ(run.status, c.status) << run.out << run.err;
    EXPECT_NE((run.out + run.err).find(c.reason), std::string::npos) << run.out << run.err;
    EXPECT_EQ(std::filesystem::symlink_status(path).type(),
              c.kind == Kind::kFifo     ? std::filesystem::file_type::fifo
              : c.kind == Kind::kDevice ? std::filesystem::file_type::symlink
                                        : std::filesystem::file_type::directory);
    std::filesystem::remove(path);
  }
}

// Indexes that hold more entries than Data.ndb has records do not index it, whatever the
// first entries say: an emptied record file beside full indexes is not a consistent library.
TEST_F(LibraryCliTest, CheckReportsIndexesWithMoreEntriesThanRecords) {
  WriteSongs(dir_.Path());
  WriteBytes(IndexFile("y.ndx"), ReadBytes(IndexFile("y.ndx")) + std::string(12, '\0'));
  const RunResult extra = Run("check");
  EXPECT_EQ(extra.status, 1);
  EXPECT_EQ(extra.out, "y.ndx: holds 6 entries, the library has 5 records\n");

  WriteBytes(IndexFile("Data.ndb"), "");
  const RunResult emptied = Run("check");
  EXPECT_EQ(emptied.status, 1);
  EXPECT_EQ(emptied.out,
            "a.ndx: holds 5 entries, the library has 0 records\n"
            "s.ndx: holds 5 entries, the library has 0 records\n"
            "g.ndx: holds 5 entries, the library has 0 records\n"
            "y.ndx: holds 6 entries, the library has 0 records\n");
}

// stats reports the state of the library: when the rebuilt indexes could not be saved, it
// must not exit as if all were well.
TEST_F(LibraryCliTest, StatsFailsWhenTheRebuiltIndexesCannotBeWritten) {
  WriteSongs(dir_.Path());
  std::filesystem::remove(IndexFile("a.ndx"));
  std::filesystem::create_directory(IndexFile("a.ndx"));
  const RunResult stats = Run("stats");
  EXPECT_EQ(stats.status, 1);
  EXPECT_EQ(stats.err.rfind("veltro-cli: cannot rewrite the index files: ", 0), 0u) << stats.err;
  EXPECT_TRUE(std::filesystem::is_directory(IndexFile("a.ndx")));
}

TEST_F(LibraryCliTest, RefusesWithoutALibraryOrWithBadArguments) {
  const std::string expected =
      "veltro-cli: no library here: " + std::filesystem::canonical(dir_.Path()).string() +
      "/Data does not exist\n";
  for (const char* command : {"stats", "list", "check", "find artist a", "search a b c d"}) {
    const RunResult run = Run(command);
    EXPECT_EQ(run.status, 1) << command;
    EXPECT_EQ(run.err, expected) << command;
  }
  EXPECT_TRUE(std::filesystem::is_empty(dir_.Path()));

  WriteSongs(dir_.Path());
  for (const char* command : {"list --order colour", "list --from -1", "list --count", "list 3",
                              "find path a", "find artist", "search a b c", "stats now", "bogus"}) {
    const RunResult run = Run(command);
    EXPECT_EQ(run.status, 1) << command;
    EXPECT_EQ(run.out, "") << command;
    EXPECT_EQ(run.err.rfind("veltro-cli: ", 0), 0u) << command << ": " << run.err;
    EXPECT_EQ(run.err.find('\n'), run.err.size() - 1) << run.err;  // one line
  }
  EXPECT_EQ(Run("").status, 2);
}

}  // namespace
}  // namespace veltro::cli
