// The folder scan's adders, clean-up and commit on generated files.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <csignal>
#include <cstdint>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "LibraryFileBytes.h"
#include "library/FolderScan.h"
#include "library/SongDatabase.h"
#include "support/Fixtures.h"
#include "support/Mp3Encoder.h"
#include "support/TempDir.h"
#include "tags/Id3Tag.h"

namespace veltro::library {
namespace {

using veltro::testing::TempDir;
using veltro::testing::WriteBytes;

std::string Mp3Bytes(double seconds) {
  const std::vector<uint8_t> bytes =
      veltro::testing::EncodeMp3(veltro::testing::Sine(440, 44100, seconds, 2), {});
  return std::string(bytes.begin(), bytes.end());
}

std::string Id3Bytes(const tags::SongTags& texts) {
  const auto tag = tags::BuildId3Tag(texts);
  return std::string(tag.begin(), tag.end());
}

std::string OggBytes(const std::vector<std::string>& comments) {
  return veltro::testing::EncodeOggVorbis(veltro::testing::Sine(440, 44100, 2, 2), 2, 44100,
                                          comments);
}

// 1,000,000 data bytes at 176,400 bytes per second (44.1 kHz, 16-bit stereo).
std::string WavBytes(veltro::testing::WavLayout layout) {
  return veltro::testing::MakeWav(layout, std::string(1'000'000, '\0'));
}

veltro::testing::WavLayout CdLayout() {
  return veltro::testing::PcmLayout(2, 44100);
}

// The RIFF header, "WAVE" and the "fmt " chunk of a CD-format file, without its "data" chunk.
std::string WavWithoutData() {
  constexpr size_t kRiffAndFormatBytes = 12 + 8 + 16;
  return WavBytes(CdLayout()).substr(0, kRiffAndFormatBytes);
}

struct Texts {
  std::string artist, songName, genre, year;
  bool operator==(const Texts&) const = default;
  friend void PrintTo(const Texts& texts, std::ostream* out) {
    *out << '"' << texts.artist << "\" / \"" << texts.songName << "\" / \"" << texts.genre
         << "\" / \"" << texts.year << '"';
  }
};

Texts TextsOf(const SongRecord& record) {
  return {std::string(FieldText(record.artist)), std::string(FieldText(record.songName)),
          std::string(FieldText(record.genre)), std::string(FieldText(record.year))};
}

TEST(FolderScanAdders, RecordsCarryTheTextsAndLengthOfEachKindOfSong) {
  TempDir dir;
  const std::string accented = "Caf\xC3\xA9 del Mar \xC3\xA9t\xC3\xA9 \xC3\xA0 la pla\xC3\xA9";
  const struct {
    const char* name;
    std::string bytes;
    Texts texts;
    uint32_t minLengthMs, maxLengthMs;
  } cases[] = {
      {"tagged.mp3", Mp3Bytes(2) + Id3Bytes({"Artist", "Title", "House", "1999"}),
       {"Artist", "Title", "House", "1999"}, 1900, 2100},
      // Cut to 30 bytes without splitting the two-byte "\xC3\xA9" at bytes 29 and 30.
      {"utf8.mp3", Mp3Bytes(1) + Id3Bytes({accented, "", "", ""}),
       {accented.substr(0, 29), "", "", ""}, 900, 1100},
      {"untagged file with a long name.Mp3", Mp3Bytes(2),
       {"untagged file with a long name", "", "", ""}, 1900, 2100},
      {"not audio.mp3", "plain text", {"not audio.mp3", "", "", ""}, 0, 0},
      {"comments.ogg", OggBytes({"ARTIST=Ogg Artist", "TITLE=Ogg Title", "GENRE=Trance",
                                 "DATE=2004"}),
       {"Ogg Artist", "Ogg Title", "Trance", "2004"}, 2000, 2000},
      {"five seconds.wav", WavBytes(CdLayout()), {"five seconds.wav", "", "", ""}, 5000, 5000},
  };
  for (const auto& song : cases) {
    const std::string path = dir.File(song.name);
    WriteBytes(path, song.bytes);
    const std::string extension = path.substr(path.size() - 3);
    const std::optional<SongRecord> record = extension == "ogg"   ? ReadOggSong(path)
                                             : extension == "wav" ? ReadWavSong(path)
                                                                  : ReadMp3Song(path);
    ASSERT_TRUE(record.has_value()) << song.name;
    EXPECT_EQ(TextsOf(*record), song.texts) << song.name;
    EXPECT_EQ(FieldText(record->path), path) << song.name;
    EXPECT_GE(record->lengthMs, song.minLengthMs) << song.name;
    EXPECT_LE(record->lengthMs, song.maxLengthMs) << song.name;
    EXPECT_EQ(record->cuePosition, 0u) << song.name;
  }
}

TEST(FolderScanAdders, FilesThatAreNoSongOfTheirKindAreSkippedWithTheReason) {
  TempDir dir;
  veltro::testing::WavLayout floatSamples = CdLayout();
  floatSamples.formatTag = 3;
  veltro::testing::WavLayout shortFormat = CdLayout();
  shortFormat.fmtChunkSize = 14;
  veltro::testing::WavLayout noRate = CdLayout();
  noRate.avgBytesPerSec = 0;
  const struct {
    const char* name;
    std::string bytes;
    SkipReason reason;
  } cases[] = {
      {"float.wav", WavBytes(floatSamples), SkipReason::kNotPcm},
      {"short format.wav", WavBytes(shortFormat), SkipReason::kUnreadable},
      {"no rate.wav", WavBytes(noRate), SkipReason::kUnreadable},
      {"no data.wav", WavWithoutData(), SkipReason::kUnreadable},
      {"not riff.wav", "RIFX and more", SkipReason::kUnreadable},
      {"not vorbis.ogg", "OggS but nothing else", SkipReason::kUnreadable},
  };
  for (const auto& song : cases) {
    const std::string path = dir.File(song.name);
    WriteBytes(path, song.bytes);
    SkipReason reason = SkipReason::kCount;
    const bool ogg = path.ends_with(".ogg");
    EXPECT_FALSE(ogg ? ReadOggSong(path, &reason) : ReadWavSong(path, &reason)) << song.name;
    EXPECT_EQ(reason, song.reason) << song.name;
  }
  SkipReason reason = SkipReason::kCount;
  EXPECT_FALSE(ReadWavSong(dir.File("absent.wav"), &reason));
  EXPECT_EQ(reason, SkipReason::kUnreadable);
}

TEST(FolderScanCleanUp, OnlyPathsOfReadableRegularFilesArePresent) {
  TempDir dir;
  const std::string present = dir.File("present.mp3");
  const std::string fifo = dir.File("fifo.mp3");
  WriteBytes(present, "x");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  const std::vector<std::string> paths = {present, dir.File("gone.mp3"), fifo,
                                          dir.Path().string()};
  const std::atomic<bool> running{false};
  std::vector<std::string> told;
  EXPECT_EQ(FindMissing(paths, running, [&told](const std::string& path) { told.push_back(path); }),
            std::vector<std::string>(paths.begin() + 1, paths.end()));
  EXPECT_EQ(told, paths);
  const std::atomic<bool> stopped{true};
  EXPECT_TRUE(FindMissing(paths, stopped).empty());
}

class ScanLibrary : public ::testing::Test {
 protected:
  void SetUp() override {
    WriteLibrary(dir_.Path(), SampleFiles());
    Open();
  }
  void Open() {
    db_ = std::make_unique<SongDatabase>(dir_.Path());
    ASSERT_EQ(db_->LoadIndexes(), 0) << db_->IndexLoadProblem();
  }
  std::vector<std::string> RecordPaths() const {
    std::vector<std::string> paths;
    for (const SongRecord& record : db_->Records()) paths.emplace_back(FieldText(record.path));
    return paths;
  }

  TempDir dir_;
  std::unique_ptr<SongDatabase> db_;
};

TEST_F(ScanLibrary, StagedPathsAreRemovedByExactPathAndTheSnapshotKnowsExactPaths) {
  const std::vector<Song> songs = SampleSongs();
  db_->StageAllRecords();
  db_->RemoveStagedPaths({songs[1].path, songs[3].path, "not staged"});
  std::vector<std::string> expected;
  for (const SongRecord& record : db_->Records()) {
    const std::string path(FieldText(record.path));
    if (path != songs[1].path && path != songs[3].path) expected.push_back(path);
  }
  EXPECT_EQ(StagedPaths(*db_), expected);

  const KnownPaths known = db_->PathSnapshot();
  EXPECT_EQ(known.size(), songs.size());
  for (const Song& song : songs) EXPECT_TRUE(known.Contains(song.path)) << song.path;
  for (const char* unknown : {"/music/b.mp3", "/MUSIC/B.MP3x", "/MUSIC/B.MP", ""}) {
    EXPECT_FALSE(known.Contains(unknown)) << unknown;
  }
  db_->ClearStaging();
  EXPECT_TRUE(db_->StagingList().empty());
}

TEST_F(ScanLibrary, CommitShowsItsStepsAndWritesTheStagedSongs) {
  db_->StageAllRecords();
  db_->StageRecord(MakeRecord("New", "Song", "", "", "/music/new.mp3", 1000));
  std::vector<std::string> steps;
  const CommitResult result =
      CommitScan(*db_, [&steps](std::string_view step) { steps.emplace_back(step); });
  EXPECT_TRUE(result.ok && result.committed) << result.problem;
  EXPECT_EQ(steps, (std::vector<std::string>{"Erstelle Indizes", "Sortiere", "Schreibe Dateien"}));
  const std::vector<std::string> written = RecordPaths();
  Open();
  EXPECT_EQ(RecordPaths(), written);
  EXPECT_EQ(db_->RecordCount(), static_cast<int>(SampleSongs().size()) + 1);
}

// A clean-up that found every file missing, and a scan that changed nothing.
TEST_F(ScanLibrary, AnEmptyOrUnchangedStagingListCommitsNothing) {
  const std::vector<std::string> all = RecordPaths();
  for (const std::vector<std::string>& missing : {all, std::vector<std::string>{}}) {
    db_->StageAllRecords();
    db_->RemoveStagedPaths(missing);
    int steps = 0;
    const CommitResult result = CommitScan(*db_, [&steps](std::string_view) { ++steps; });
    EXPECT_TRUE(result.ok);
    EXPECT_FALSE(result.committed);
    EXPECT_EQ(steps, 0);
    EXPECT_EQ(RecordPaths(), all);
    ExpectSameFiles(ReadLibrary(dir_.Path()), SampleFiles());
  }
}

// A file size limit below the new Data.ndb makes its write fail, for root as for anyone. The
// commit runs in a child process so the limit ends with it; the child's exit code says which
// check failed.
TEST_F(ScanLibrary, AFailedCommitKeepsTheOldLibraryOnDiskAndInMemory) {
  const pid_t child = fork();
  if (child == 0) {
    std::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{kHeaderBytes + kRecordBytes, kHeaderBytes + kRecordBytes};
    if (setrlimit(RLIMIT_FSIZE, &limit) != 0) _exit(1);
    const std::vector<std::string> before = RecordPaths();
    db_->StageAllRecords();
    db_->StageRecord(MakeRecord("New", "", "", "", "/music/new.mp3", 0));
    const CommitResult result = CommitScan(*db_);
    if (result.ok || result.committed) _exit(2);
    if (result.problem.empty()) _exit(3);
    if (RecordPaths() != before || db_->ArtistIndex().size() != before.size()) _exit(4);
    _exit(0);
  }
  int status = -1;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  ExpectSameFiles(ReadLibrary(dir_.Path()), SampleFiles());
}

}  // namespace
}  // namespace veltro::library
