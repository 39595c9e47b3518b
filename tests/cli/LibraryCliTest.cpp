// Runs `veltro-cli library` as a real process in a folder holding a library written by
// SongDatabase, and checks its exact output, its exit status and what it leaves on disk.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <initializer_list>
#include <string>

#include "cli/ShellRun.h"
#include "library/SongDatabase.h"
#include "library/SongRecord.h"
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
  RunResult Run(const std::string& arguments) { return RunIn(dir.Path(), arguments); }
  RunResult RunIn(const std::filesystem::path& folder, const std::string& arguments) {
    const std::string errors = scratch.File("stderr");
    const std::string command = "cd '" + folder.string() + "' && " + VELTRO_CLI + " library " +
                                arguments + " 2>'" + errors + "'";
    const testing::ShellRun run = testing::RunShell(command);
    return RunResult{run.status, run.output, ReadBytes(errors)};
  }
  std::string IndexFile(const char* name) const { return dir.File(std::string("Data/") + name); }

  TempDir dir;
  TempDir scratch;  // holds the captured standard error, outside the library's folder
};

TEST_F(LibraryCliTest, ListsWindowsOfEachOrder) {
  WriteSongs(dir.Path());
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

TEST_F(LibraryCliTest, FindJumpsToThePrefixOrStaysWhenEverythingSortsBefore) {
  WriteSongs(dir.Path());
  EXPECT_EQ(Run("find artist b").out, Row(1, 0));
  EXPECT_EQ(Run("find artist 'the b'").out, Row(3, 2));
  EXPECT_EQ(Run("find songname pea").out, Row(2, 3));
  EXPECT_EQ(Run("find year 197").out, Row(3, 1));
  EXPECT_EQ(Run("find genre ''").out, Row(0, 4));
  // Between keys: the first key after the text.
  EXPECT_EQ(Run("find genre q").out, Row(3, 0));
  // Every artist sorts before zzz: the row of the last jump, none yet in this run.
  const RunResult miss = Run("find artist zzz");
  EXPECT_EQ(miss.status, 0) << miss.err;
  EXPECT_EQ(miss.out, Row(0, 1));
}

TEST_F(LibraryCliTest, SearchPrintsMatchesInPathOrderWithTheirRecordNumbers) {
  WriteSongs(dir.Path());
  EXPECT_EQ(Run("search '*beatles*' '' '' ''").out, "2 results\n" + Row(0, 0) + Row(1, 2));
  EXPECT_EQ(Run("search '' '' '' '196*'").out, "3 results\n" + Row(0, 0) + Row(1, 2) + Row(2, 3));
  EXPECT_EQ(Run("search beatles '' rock ''").out, "1 results\n" + Row(0, 0));
  EXPECT_EQ(Run("search '' '' '' 196").out, "0 results\n");
}

// Paths that differ only in letter case sort side by side; each result names its own record.
TEST_F(LibraryCliTest, SearchTellsPathsApartThatDifferOnlyInCase) {
  WriteLibrary(dir.Path(), {MakeRecord("Two", "Lower", "", "", "/x/song.MP3", 1000),
                            MakeRecord("One", "Upper", "", "", "/x/Song.MP3", 2000)});
  EXPECT_EQ(Run("search '' '' '' ''").out,
            "2 results\n0\t0\tOne\tUpper\t\t\t0:02\t/x/Song.MP3\n"
            "1\t1\tTwo\tLower\t\t\t0:01\t/x/song.MP3\n");
  EXPECT_EQ(Run("search lower '' '' ''").out, "0 results\n");  // letter case folded
}

TEST_F(LibraryCliTest, StatsRebuildsAMissingIndexAsStartUpDoes) {
  WriteSongs(dir.Path());
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
  WriteSongs(dir.Path());
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

  WriteSongs(dir.Path());
  const std::string yearIndex = ReadBytes(IndexFile("y.ndx"));
  WriteBytes(IndexFile("y.ndx"), yearIndex.substr(0, 3 * sizeof(YearIndexEntry)));
  const RunResult shortIndex = Run("check");
  EXPECT_EQ(shortIndex.status, 1);
  EXPECT_NE(shortIndex.out.find("y.ndx"), std::string::npos) << shortIndex.out;
  EXPECT_EQ(shortIndex.out.find("a.ndx"), std::string::npos) << shortIndex.out;
  EXPECT_EQ(std::filesystem::file_size(IndexFile("y.ndx")), 3 * sizeof(YearIndexEntry));
}

TEST_F(LibraryCliTest, EmptyLibraryHasNothingToFind) {
  std::filesystem::create_directory(dir.Path() / "Data");
  const RunResult find = Run("find artist a");
  EXPECT_EQ(find.status, 1);
  EXPECT_EQ(find.out, "");
  EXPECT_EQ(find.err, "veltro-cli: library is empty\n");
  // Loading as start-up does created the record file empty and wrote the empty indexes.
  EXPECT_EQ(Run("check").out, "library consistent: 0 records\n");
  EXPECT_EQ(Run("stats").out, "records: 0\nformat word: 1\nwritable: yes\nindexes: consistent\n");
}

TEST_F(LibraryCliTest, RefusesWithoutALibraryOrWithBadArguments) {
  const std::string expected =
      "veltro-cli: no library here: " + std::filesystem::canonical(dir.Path()).string() +
      "/Data does not exist\n";
  for (const char* command : {"stats", "list", "check", "find artist a", "search a b c d"}) {
    const RunResult run = Run(command);
    EXPECT_EQ(run.status, 1) << command;
    EXPECT_EQ(run.err, expected) << command;
  }
  EXPECT_TRUE(std::filesystem::is_empty(dir.Path()));

  WriteSongs(dir.Path());
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
