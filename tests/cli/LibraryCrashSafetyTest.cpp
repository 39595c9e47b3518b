// Kills a process in the middle of rewriting the song library, hundreds of times at random
// instants, and checks that the next start-up always finds either the whole old library or the
// whole new one, with index files that `veltro-cli library check` accepts.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <random>
#include <span>
#include <string>
#include <thread>
#include <vector>

#include "library/SongDatabase.h"
#include "support/ShellRun.h"
#include "support/TempDir.h"

namespace veltro::library {
namespace {

namespace fs = std::filesystem;
using veltro::testing::ReadBytes;
using veltro::testing::TempDir;
using veltro::testing::WriteBytes;
using Clock = std::chrono::steady_clock;

constexpr int kOldRecords = 3200;
constexpr int kNewRecords = 2700;  // fewer: old index files are then longer than the new count
constexpr int kKills = 200;
constexpr unsigned kSeed = 20260512;

// Made-up but realistic library texts: mixed letter case, UTF-8 accents, long names that
// reach the field widths, several songs per album.
const char* const kArtistWords[] = {"Nova",  "Delta",    "nightshift", "Céline", "Orbit",
                                    "Kraut", "Midnight", "Sonic",      "Ärger",  "velvet",
                                    "The",   "Electric", "Dub",        "Señor",  "Analog"};
const char* const kTitleWords[] = {"Love",  "Beat", "Rain",   "Summer", "Groove",  "Fire",
                                   "night", "Dub",  "Heart",  "Motion", "Sunrise", "Bass",
                                   "Dream", "Süß",  "Circle", "Tokyo",  "Edit",    "Remix"};
const char* const kGenres[] = {"House",  "Techno", "Pop",        "Rock",   "Disco",
                               "Trance", "",       "Elektronik", "Hip-Hop"};
const char* const kExtensions[] = {".MP3", ".OGG", ".WAV"};

std::string Words(std::mt19937& random, const char* const* words, size_t wordCount, int count) {
  std::string text;
  for (int i = 0; i < count; ++i) {
    if (i > 0) text += ' ';
    text += words[random() % wordCount];
  }
  return text;
}

// `count` records in scan order (not sorted), under `root`; record i is unique by its path.
std::vector<SongRecord> MakeSongs(unsigned seed, int count, const std::string& root) {
  std::mt19937 random(seed);
  std::vector<SongRecord> songs;
  for (int i = 0; i < count; ++i) {
    const std::string artist =
        Words(random, kArtistWords, std::size(kArtistWords), 1 + static_cast<int>(random() % 4));
    const std::string title =
        Words(random, kTitleWords, std::size(kTitleWords), 1 + static_cast<int>(random() % 6));
    const std::string year = random() % 8 == 0 ? "" : std::to_string(1960 + random() % 66);
    const std::string path = root + artist + "/Album " + std::to_string(i / 12) + "/" +
                             std::to_string(i % 12 + 1) + " " + title +
                             kExtensions[random() % std::size(kExtensions)];
    SongRecord song = MakeRecord(artist, title, kGenres[random() % std::size(kGenres)], year, path,
                                 static_cast<uint32_t>(60000 + random() % 600000));
    if (random() % 5 == 0) song.cuePosition = static_cast<uint32_t>(random() % 10000);
    songs.push_back(song);
  }
  return songs;
}

bool SameRecords(std::span<const SongRecord> a, std::span<const SongRecord> b) {
  return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size_bytes()) == 0;
}

// Every file of Data/ by name, with its bytes.
std::map<std::string, std::string> ReadDataFiles(const fs::path& dataDir) {
  std::map<std::string, std::string> files;
  for (const fs::directory_entry& entry : fs::directory_iterator(dataDir)) {
    files[entry.path().filename().string()] = ReadBytes(entry.path().string());
  }
  return files;
}

void RestoreDataFiles(const fs::path& dataDir, const std::map<std::string, std::string>& files) {
  fs::remove_all(dataDir);
  fs::create_directory(dataDir);
  for (const auto& [name, bytes] : files) WriteBytes((dataDir / name).string(), bytes);
}

// The scan's commit of `songs` over the library in `dir`, as a process that the parent may
// kill: signals readiness on `readyPipe` right before WriteAll. Never returns.
[[noreturn]] void CommitInChild(const fs::path& dir, const std::vector<SongRecord>& songs,
                                int readyPipe) {
  SongDatabase db(dir);
  for (const SongRecord& song : songs) db.StageRecord(song);
  db.CommitStaging();
  db.SortIndexes();
  const char ready = 'w';
  if (write(readyPipe, &ready, 1) != 1) _exit(4);
  _exit(db.WriteAll() ? 0 : 3);
}

struct ChildRun {
  bool killed = false;              // ended by our SIGKILL, not by its own exit
  int exitCode = -1;                // when not killed
  Clock::duration writeDuration{};  // from the readiness byte to the end of the process
};

// Runs the commit in a child; kills it `killAfter` after it starts WriteAll (never when
// killAfter is negative).
ChildRun RunCommit(const fs::path& dir, const std::vector<SongRecord>& songs,
                   std::chrono::nanoseconds killAfter) {
  int fds[2];
  if (pipe(fds) != 0) return {};
  const pid_t child = fork();
  if (child == 0) {
    close(fds[0]);
    CommitInChild(dir, songs, fds[1]);
  }
  close(fds[1]);
  ChildRun run;
  char ready = 0;
  const bool gotReady = child > 0 && read(fds[0], &ready, 1) == 1;
  close(fds[0]);
  const Clock::time_point start = Clock::now();
  if (gotReady && killAfter.count() >= 0) {
    std::this_thread::sleep_for(killAfter);
    kill(child, SIGKILL);
  }
  int status = 0;
  if (child > 0) waitpid(child, &status, 0);
  run.writeDuration = Clock::now() - start;
  run.killed = WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL;
  run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  if (!gotReady && !run.killed) run.exitCode = run.exitCode == 0 ? 5 : run.exitCode;
  return run;
}

using CliRun = testing::ShellRun;

CliRun RunLibraryCheck(const fs::path& dir) {
  return testing::RunShell("cd '" + dir.string() + "' && '" + std::string(VELTRO_CLI) +
                           "' library check 2>&1");
}

class LibraryCrashSafetyTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dataDir_ = dir_.Path() / "Data";
    fs::create_directory(dataDir_);
    newSongs_ = MakeSongs(kSeed + 1, kNewRecords / 2, "/home/dj/Musik/New/");
    const std::vector<SongRecord> oldSongs = MakeSongs(kSeed, kOldRecords, "/home/dj/Musik/");
    // A rescan keeps part of the old songs (re-staged in another order) and adds new ones.
    for (int i = 0; i < kNewRecords - kNewRecords / 2; ++i)
      newSongs_.push_back(oldSongs[i * 3 / 2]);
    SongDatabase db(dir_.Path());
    for (const SongRecord& song : oldSongs) db.StageRecord(song);
    db.CommitStaging();
    db.SortIndexes();
    ASSERT_TRUE(db.WriteAll()) << db.LastWriteProblem();
    oldRecords_.assign(db.Records().begin(), db.Records().end());
    oldFiles_ = ReadDataFiles(dataDir_);
    ASSERT_EQ(oldFiles_.size(), 5u);
    ASSERT_EQ(oldFiles_["Data.ndb"].size(), kHeaderBytes + kRecordBytes * kOldRecords);
    CaptureNewLibrary();
  }

  // The new library's records and files, from an uninterrupted commit over the old library.
  void CaptureNewLibrary() {
    {
      SongDatabase db(dir_.Path());
      ASSERT_EQ(db.LoadIndexes(), 0) << db.IndexLoadProblem();
      for (const SongRecord& song : newSongs_) db.StageRecord(song);
      db.CommitStaging();
      db.SortIndexes();
      ASSERT_TRUE(db.WriteAll()) << db.LastWriteProblem();
      newRecords_.assign(db.Records().begin(), db.Records().end());
    }
    newFiles_ = ReadDataFiles(dataDir_);
    ASSERT_EQ(newFiles_.size(), 5u);
    ASSERT_EQ(newRecords_.size(), static_cast<size_t>(kNewRecords));
    ASSERT_FALSE(SameRecords(newRecords_, oldRecords_));
    RestoreDataFiles(dataDir_, oldFiles_);
  }

  // Start-up as the main window does it; the library it leaves must be the old or the new one.
  // Returns 0 for old, 1 for new, -1 for anything else (after reporting why).
  int StartUpAndClassify(bool* rebuilt) {
    SongDatabase db(dir_.Path());
    *rebuilt = db.LoadIndexes() != 0;
    if (*rebuilt) {
      EXPECT_TRUE(db.RebuildIndexFiles()) << db.LastWriteProblem();
    }
    EXPECT_EQ(db.Header().recordCount, db.Records().size());
    if (SameRecords(db.Records(), oldRecords_)) return 0;
    if (SameRecords(db.Records(), newRecords_)) return 1;
    ADD_FAILURE() << "start-up found " << db.Records().size() << " records, neither old nor new";
    return -1;
  }

  TempDir dir_;
  fs::path dataDir_;
  std::vector<SongRecord> newSongs_;
  std::vector<SongRecord> oldRecords_;
  std::vector<SongRecord> newRecords_;
  std::map<std::string, std::string> oldFiles_;
  std::map<std::string, std::string> newFiles_;
};

TEST_F(LibraryCrashSafetyTest, KilledRewriteLeavesOldOrNewLibrary) {
  // Uninterrupted rewrites: the new library as written, and how long WriteAll takes.
  std::vector<Clock::duration> writes;
  for (int i = 0; i < 3; ++i) {
    RestoreDataFiles(dataDir_, oldFiles_);
    const ChildRun run = RunCommit(dir_.Path(), newSongs_, std::chrono::nanoseconds(-1));
    ASSERT_FALSE(run.killed);
    ASSERT_EQ(run.exitCode, 0) << "the commit in the child failed";
    writes.push_back(run.writeDuration);
  }
  std::sort(writes.begin(), writes.end());
  const Clock::duration typicalWrite = writes[1];
  // The commit is deterministic: the child wrote exactly what the same commit writes here.
  ASSERT_TRUE(ReadDataFiles(dataDir_) == newFiles_);
  const CliRun check = RunLibraryCheck(dir_.Path());
  ASSERT_EQ(check.status, 0) << check.output;

  const auto window = std::chrono::duration_cast<std::chrono::nanoseconds>(typicalWrite) * 13 / 10;
  std::mt19937_64 random(kSeed);
  std::uniform_int_distribution<int64_t> delay(0, window.count());
  int outcomes[2] = {0, 0};
  int killed = 0;
  int rebuilds = 0;
  for (int i = 0; i < kKills; ++i) {
    RestoreDataFiles(dataDir_, oldFiles_);
    const ChildRun run = RunCommit(dir_.Path(), newSongs_, std::chrono::nanoseconds(delay(random)));
    ASSERT_TRUE(run.killed || run.exitCode == 0) << "child exit code " << run.exitCode;
    killed += run.killed ? 1 : 0;
    bool rebuilt = false;
    const int outcome = StartUpAndClassify(&rebuilt);
    ASSERT_GE(outcome, 0) << "after kill " << i;
    ++outcomes[outcome];
    rebuilds += rebuilt ? 1 : 0;
    // Start-up removes the dead writer's temporaries and, where it rebuilt indexes, writes
    // them exactly as the complete commit did.
    EXPECT_TRUE(ReadDataFiles(dataDir_) == (outcome == 0 ? oldFiles_ : newFiles_))
        << "after kill " << i;
    const CliRun afterCheck = RunLibraryCheck(dir_.Path());
    ASSERT_EQ(afterCheck.status, 0) << "after kill " << i << ":\n" << afterCheck.output;
  }
  std::printf(
      "WriteAll of %d records: %.1f ms; %d kills (%d before the end): %d old, %d new, "
      "%d index rebuilds\n",
      kNewRecords, std::chrono::duration<double, std::milli>(typicalWrite).count(), kKills, killed,
      outcomes[0], outcomes[1], rebuilds);
  EXPECT_GT(outcomes[0], 0) << "no kill landed before Data.ndb was replaced";
  EXPECT_GT(outcomes[1], 0) << "no kill landed after Data.ndb was replaced";
}

// A kill between two renames leaves some files new and the others old. Every such mix (and the
// ones the rename order rules out) must start as the library of the Data.ndb present, with its
// indexes rebuilt exactly as the complete commit writes them.
TEST_F(LibraryCrashSafetyTest, EveryMixOfOldAndNewFilesStartsAsTheRecordsLibrary) {
  const char* const names[] = {"Data.ndb", "a.ndx", "s.ndx", "g.ndx", "y.ndx"};
  for (unsigned newMask = 0; newMask < 32; ++newMask) {
    std::map<std::string, std::string> mix;
    for (unsigned file = 0; file < 5; ++file) {
      mix[names[file]] = ((newMask >> file) & 1) ? newFiles_[names[file]] : oldFiles_[names[file]];
    }
    RestoreDataFiles(dataDir_, mix);
    bool rebuilt = false;
    const int outcome = StartUpAndClassify(&rebuilt);
    const int expected = static_cast<int>(newMask & 1);
    EXPECT_EQ(outcome, expected) << "files new: mask " << newMask;
    EXPECT_EQ(rebuilt, newMask != 0 && newMask != 31) << "files new: mask " << newMask;
    EXPECT_TRUE(ReadDataFiles(dataDir_) == (expected == 0 ? oldFiles_ : newFiles_))
        << "files new: mask " << newMask;
  }
}

}  // namespace
}  // namespace veltro::library
