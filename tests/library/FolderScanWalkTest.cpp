// The folder scan over a generated tree: which files become songs, what is skipped and why,
// rescans, overlapping folders, and a scan followed by a clean-up through the library.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <map>
#include <memory>
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

namespace fs = std::filesystem;
using veltro::testing::TempDir;
using veltro::testing::WriteBytes;

std::string Mp3Bytes() {
  const std::vector<uint8_t> bytes =
      veltro::testing::EncodeMp3(veltro::testing::Sine(440, 44100, 1, 2), {});
  return std::string(bytes.begin(), bytes.end());
}

std::string WavBytes(uint16_t formatTag) {
  veltro::testing::WavLayout layout = veltro::testing::PcmLayout(2, 44100);
  layout.formatTag = formatTag;
  return veltro::testing::MakeWav(layout, std::string(176'400, '\0'));
}

constexpr uint16_t kFloatSamples = 3;

// Song files and look-alikes, by path under the root.
struct TreeFile {
  const char* path;
  enum Kind { kMp3, kTaggedMp3, kOgg, kWav, kFloatWav, kText } kind;
};

const TreeFile kTree[] = {
    {"tagged.mp3", TreeFile::kTaggedMp3},
    {"a/untagged.Mp3", TreeFile::kMp3},
    {"a/b/comments.OGG", TreeFile::kOgg},
    {".hidden/song.wav", TreeFile::kWav},
    {"album.mp3/inside.wav", TreeFile::kWav},
    {"a/float.wav", TreeFile::kFloatWav},
    {"a/broken.ogg", TreeFile::kText},
    {"track.mp3x", TreeFile::kMp3},
    {"track.mp", TreeFile::kMp3},
    {"notes.txt", TreeFile::kText},
    {"name \xFF\xFE.mp3", TreeFile::kMp3},
};

// What the walk must add: the songs of kTree, as paths under the root.
const std::vector<std::string> kSongs = {"tagged.mp3",           "a/untagged.Mp3",
                                         "a/b/comments.OGG",     ".hidden/song.wav",
                                         "album.mp3/inside.wav", "name \xFF\xFE.mp3"};

std::string Contents(TreeFile::Kind kind) {
  switch (kind) {
    case TreeFile::kMp3:
      return Mp3Bytes();
    case TreeFile::kTaggedMp3: {
      const auto tag = tags::BuildId3Tag({"Artist", "Title", "Genre", "2001"});
      return Mp3Bytes() + std::string(tag.begin(), tag.end());
    }
    case TreeFile::kOgg:
      return veltro::testing::EncodeOggVorbis(veltro::testing::Sine(440, 44100, 1, 2), 2, 44100,
                                              {"ARTIST=Ogg"});
    case TreeFile::kWav:
      return WavBytes(1);
    case TreeFile::kFloatWav:
      return WavBytes(kFloatSamples);
    case TreeFile::kText:
      break;
  }
  return "not a song";
}

// The tree of kTree plus what the walk must step around: a FIFO named like a song, a link back
// to a folder being walked (a loop), a path too long for a record. Outside it, a link to one of
// its songs.
class SongTree : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const TreeFile& file : kTree) {
      fs::create_directories((root_ / file.path).parent_path());
      WriteBytes((root_ / file.path).string(), Contents(file.kind));
    }
    ASSERT_EQ(mkfifo((root_ / "fifo.mp3").c_str(), 0600), 0);
    fs::create_directory_symlink(root_ / "a", root_ / "a" / "b" / "loop");
    fs::create_directories(extra_);
    fs::create_symlink(root_ / "tagged.mp3", extra_ / "same.mp3");
    const fs::path deep = root_ / std::string(250 - root_.string().size(), 'd');
    fs::create_directories(deep);
    WriteBytes((deep / "too long for a record.mp3").string(), Mp3Bytes());
  }

  std::string Path(const std::string& under) const { return (root_ / under).string(); }
  std::vector<std::string> Paths(const std::vector<std::string>& under) const {
    std::vector<std::string> paths;
    for (const std::string& path : under) paths.push_back(Path(path));
    std::ranges::sort(paths);
    return paths;
  }

  // Walks `roots`, returning the records handed over, sorted by path, and the counts.
  std::map<std::string, SongRecord> Walk(const std::vector<std::string>& roots,
                                         const ScanOptions& options = {},
                                         const KnownPaths& known = KnownPaths()) {
    std::map<std::string, SongRecord> records;
    ScanListener listener;
    listener.onBatch = [&records](std::vector<SongRecord> batch) {
      for (const SongRecord& record : batch) records[std::string(FieldText(record.path))] = record;
    };
    const std::atomic<bool> running{false};
    counts_ = WalkFolders(roots, options, known, running, listener);
    EXPECT_EQ(counts_.added, static_cast<long long>(records.size()));
    return records;
  }
  static std::vector<std::string> Keys(const std::map<std::string, SongRecord>& records) {
    std::vector<std::string> keys;
    for (const auto& [path, record] : records) keys.push_back(path);
    return keys;
  }

  TempDir dir_;
  const fs::path root_ = dir_.Path() / "music";
  const fs::path extra_ = dir_.Path() / "extra";  // holds a second name of a song
  ScanCounts counts_;
};

TEST_F(SongTree, EverySongIsAddedOnceAndEverythingElseIsCountedWithItsReason) {
  const std::map<std::string, SongRecord> records = Walk({root_.string()});
  EXPECT_EQ(Keys(records), Paths(kSongs));
  EXPECT_EQ(FieldText(records.at(Path("tagged.mp3")).artist), "Artist");
  EXPECT_EQ(FieldText(records.at(Path("a/untagged.Mp3")).artist), "untagged.Mp3");
  EXPECT_EQ(FieldText(records.at(Path("a/b/comments.OGG")).artist), "Ogg");
  EXPECT_EQ(records.at(Path(".hidden/song.wav")).lengthMs, 1000u);
  const std::pair<SkipReason, long long> skipped[] = {
      {SkipReason::kUnlistableFolder, 0}, {SkipReason::kLongPath, 1},
      {SkipReason::kLinkLoop, 1},         {SkipReason::kPseudoFileSystem, 0},
      {SkipReason::kNotRegularFile, 1},   {SkipReason::kSameFile, 0},
      {SkipReason::kUnreadable, 1},       {SkipReason::kNotPcm, 1},
  };
  for (const auto& [reason, count] : skipped) {
    EXPECT_EQ(counts_.Skipped(reason), count) << SkipReasonText(reason);
  }
  EXPECT_EQ(counts_.known, 0);
}

TEST_F(SongTree, KnownPathsAreCountedAndNotReadAgain) {
  Walk({root_.string()}, {}, KnownPaths(Paths(kSongs)));
  EXPECT_EQ(counts_.added, 0);
  EXPECT_EQ(counts_.known, static_cast<long long>(kSongs.size()));
}

TEST_F(SongTree, TheOptionsChooseTheKindsOfSongs) {
  const struct {
    ScanOptions options;
    std::vector<std::string> songs;
  } cases[] = {
      {{true, false, true},
       {"tagged.mp3", "a/untagged.Mp3", ".hidden/song.wav", "album.mp3/inside.wav",
        "name \xFF\xFE.mp3"}},
      {{false, true, false}, {"a/b/comments.OGG"}},
      {{false, false, true}, {".hidden/song.wav", "album.mp3/inside.wav"}},
      {{false, false, false}, {}},
  };
  for (const auto& scan : cases) {
    EXPECT_EQ(Keys(Walk({root_.string()}, scan.options)), Paths(scan.songs))
        << scan.options.mp3 << scan.options.ogg << scan.options.wav;
  }
}

TEST_F(SongTree, OverlappingFoldersGiveEachFileOnce) {
  const std::map<std::string, SongRecord> records =
      Walk({Path("a"), root_.string() + "/", Path("a/b"), extra_.string()});
  EXPECT_EQ(Keys(records), Paths(kSongs));
  // From the whole tree: a's three files and b's song again; from b: its song, and a's three
  // files through its link back to a (a is not on the path when the walk starts at b); then the
  // link outside.
  EXPECT_EQ(counts_.Skipped(SkipReason::kSameFile), 3 + 1 + 1 + 3 + 1);
}

TEST_F(SongTree, ProgressNamesFoldersAndNewFilesAndAStopEndsTheWalk) {
  ScanListener listener;
  std::vector<std::string> folders, files;
  long long lastCount = 0;
  listener.onProgress = [&](const std::string& folder, const std::string& file, long long count) {
    (file.empty() ? folders : files).push_back(file.empty() ? folder : file);
    EXPECT_GE(count, lastCount);
    lastCount = count;
  };
  const std::atomic<bool> running{false};
  WalkFolders({Path("a")}, {}, KnownPaths(Paths({"a/untagged.Mp3"})), running, listener);
  EXPECT_EQ(folders, (std::vector<std::string>{Path("a"), Path("a/b")}));
  std::ranges::sort(files);
  EXPECT_EQ(files, (std::vector<std::string>{"broken.ogg", "comments.OGG", "float.wav"}));
  EXPECT_EQ(lastCount, 4);  // untagged, float, broken, comments

  const std::atomic<bool> stopped{true};
  listener.onProgress = {};
  EXPECT_EQ(WalkFolders({root_.string()}, {}, KnownPaths(), stopped, listener).added, 0);
}

// The scan as the dialog and the command run it: stage the library, clean up, walk, commit.
CommitResult Scan(SongDatabase& library, const std::vector<std::string>& roots, bool clean) {
  library.StageAllRecords();
  const std::atomic<bool> running{false};
  if (clean) library.RemoveStagedPaths(FindMissing(StagedPaths(library), running));
  ScanListener listener;
  listener.onBatch = [&library](std::vector<SongRecord> batch) {
    for (const SongRecord& record : batch) library.StageRecord(record);
  };
  WalkFolders(roots, {}, library.PathSnapshot(), running, listener);
  return CommitScan(library);
}

std::vector<std::string> RecordPaths(const SongDatabase& library) {
  std::vector<std::string> paths;
  for (const SongRecord& record : library.Records()) paths.emplace_back(FieldText(record.path));
  std::ranges::sort(paths);
  return paths;
}

TEST_F(SongTree, ARescanAddsNothingAndACleanUpRemovesOnlyDeletedSongs) {
  fs::create_directory(dir_.Path() / "Data");
  SongDatabase library(dir_.Path());
  ASSERT_TRUE(Scan(library, {root_.string()}, false).ok);
  ASSERT_TRUE(Scan(library, {root_.string()}, false).ok);
  EXPECT_EQ(RecordPaths(library), Paths(kSongs));

  fs::remove(Path("a/b/comments.OGG"));
  ASSERT_TRUE(Scan(library, {}, true).ok);
  std::vector<std::string> kept = kSongs;
  std::erase(kept, "a/b/comments.OGG");
  EXPECT_EQ(RecordPaths(library), Paths(kept));
}

TEST(FolderScanCleanUp, FindingEverySongMissingCommitsNothing) {
  TempDir dir;
  WriteLibrary(dir.Path(), SampleFiles());  // paths under /Music, which does not exist
  SongDatabase library(dir.Path());
  ASSERT_EQ(library.LoadIndexes(), 0);
  const CommitResult result = Scan(library, {}, true);
  EXPECT_TRUE(result.ok);
  EXPECT_FALSE(result.committed);
  EXPECT_EQ(library.RecordCount(), static_cast<int>(SampleSongs().size()));
  ExpectSameFiles(ReadLibrary(dir.Path()), SampleFiles());
}

}  // namespace
}  // namespace veltro::library
