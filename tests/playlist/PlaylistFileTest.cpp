// Playlist files: the kind by extension, the paths a file's bytes name (line ends, comments,
// file URLs, relative lines), loading against a small library (found songs in file order,
// lines naming no song counted), refusals with a reason, and saving .vtp files atomically even
// when the writer is killed at any instant.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "library/LibraryFileBytes.h"
#include "library/SongDatabase.h"
#include "playlist/PlaylistFile.h"
#include "support/TempDir.h"

namespace veltro::playlist {
namespace {

namespace fs = std::filesystem;
using testing::ReadBytes;
using testing::TempDir;
using testing::WriteBytes;

constexpr const char* kCafe = "Caf\xC3\xA9 del Mar.mp3";

TEST(PlaylistFileKind, ExtensionOfTheFileNameInAnyLetterCase) {
  const std::pair<const char*, PlaylistKind> cases[] = {
      {"/lists/set.vtp", PlaylistKind::kVtp},   {"SET.VTP", PlaylistKind::kVtp},
      {"a.b/set.M3u", PlaylistKind::kM3u},      {"set.m3U8", PlaylistKind::kM3u8},
      {"set.m3u8.bak", PlaylistKind::kUnknown}, {"/lists.m3u/set", PlaylistKind::kUnknown},
      {"set", PlaylistKind::kUnknown},          {"set.m3", PlaylistKind::kUnknown},
      {"set.vtpx", PlaylistKind::kUnknown},     {"", PlaylistKind::kUnknown}};
  for (const auto& [path, kind] : cases) EXPECT_EQ(KindOfPlaylistPath(path), kind) << path;
}

TEST(PlaylistFilePaths, LinesCommentsUrlsAndRelativePaths) {
  struct Case {
    PlaylistKind kind;
    std::string bytes;
    std::vector<std::string> paths;
  };
  const Case cases[] = {
      // One CR before the LF goes; a last line without LF stays whole.
      {PlaylistKind::kVtp, "a\r\r\nb\r", {"a\r", "b\r"}},
      {PlaylistKind::kVtp, "\n\r\n x\n#c\nrel/../d", {" x", "#c", "rel/../d"}},
      {PlaylistKind::kVtp, "\xEF\xBB\xBF/x", {"\xEF\xBB\xBF/x"}},
      {PlaylistKind::kM3u,
       "a/../b.mp3\n./c//d.mp3\n../../../e.mp3\n/abs/../kept.mp3",
       {"/music/lists/b.mp3", "/music/lists/c/d.mp3", "/e.mp3", "/abs/../kept.mp3"}},
      {PlaylistKind::kM3u8, "\xEF\xBB\xBF#EXTM3U\n#EXTINF:1,A - B\n/x.mp3\n", {"/x.mp3"}},
      {PlaylistKind::kM3u,
       "C:\\x.mp3\r\n\\y.mp3\r\n",
       {"/music/lists/C:\\x.mp3", "/music/lists/\\y.mp3"}},
      // Escapes decode to bytes, except invalid ones, NUL and LF.
      {PlaylistKind::kM3u,
       "file:///a%20b%zz%4.mp3\nfile:///n%0Al%00%0d.mp3\nFILE://LOCALHOST/u%c3%A9.mp3\n"
       "file:///end%2",
       {"/a b%zz%4.mp3", "/n%0Al%00\r.mp3", "/u\xC3\xA9.mp3", "/end%2"}},
      {PlaylistKind::kUnknown, "/x.mp3\n", {}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(PlaylistPaths(c.bytes, c.kind, "/music/lists"), c.paths) << c.bytes;
  }
}

class PlaylistFileTest : public ::testing::Test {
 protected:
  // Six songs in folded path order; the last has a relative path, and the first is where that
  // path lands when joined to the Lists folder.
  void SetUp() override {
    root_ = dir_.Path().string();
    fs::create_directories(dir_.Path() / "Lists");
    fs::create_directories(dir_.Path() / "Library" / "Data");
    songs_ = {{"Joined", "C", "", "", root_ + "/Lists/relative/c.mp3"},
              {"Bee", "B", "", "", root_ + "/Lists/sub/b.mp3"},
              {"Ay", "A", "", "", root_ + "/Music/a.mp3"},
              {"Mar", "Caf\xC3\xA9", "", "", root_ + "/Music/" + kCafe},
              {"My", "Song", "", "", root_ + "/Music/my song.mp3"},
              {"Written", "C", "", "", "relative/c.mp3"}};
    WriteBytes((dir_.Path() / "Library" / "Data" / "Data.ndb").string(),
               library::DataFileBytes(songs_));
    library_ = std::make_unique<library::SongDatabase>(dir_.Path() / "Library");
    library_->LoadIndexes();  // no index files: the records are read
    for (const library::Song& song : songs_) {
      ASSERT_GE(library_->RecordWithPath(song.path), 0) << "not in path order: " << song.path;
    }
  }

  const std::string& P(size_t song) const { return songs_[song].path; }
  PlaylistEntry EntryOf(size_t song) const {
    return {songs_[song].artist + " - " + songs_[song].songName, songs_[song].path};
  }
  std::string ListPath(const std::string& name) const { return root_ + "/Lists/" + name; }
  std::optional<LoadedPlaylist> Load(const std::string& name, std::string* error = nullptr) {
    return LoadPlaylistFile(ListPath(name), *library_, error);
  }

  TempDir dir_;
  std::string root_;
  std::vector<library::Song> songs_;
  std::unique_ptr<library::SongDatabase> library_;
};

TEST_F(PlaylistFileTest, VtpRoundTripKeepsTheSongsInOrder) {
  const std::vector<PlaylistEntry> entries = {EntryOf(4), EntryOf(2), EntryOf(3)};
  std::string error;
  ASSERT_TRUE(SavePlaylistFile(ListPath("set.vtp"), entries, &error)) << error;
  EXPECT_EQ(ReadBytes(ListPath("set.vtp")), P(4) + "\r\n" + P(2) + "\r\n" + P(3) + "\r\n");
  std::optional<LoadedPlaylist> loaded = Load("set.vtp", &error);
  ASSERT_TRUE(loaded) << error;
  EXPECT_EQ(loaded->entries, entries);
  EXPECT_EQ(loaded->skipped, 0);

  WriteBytes(ListPath("lf.vtp"), P(4) + "\n" + P(2) + "\n" + P(3) + "\n");
  loaded = Load("lf.vtp");
  ASSERT_TRUE(loaded);
  EXPECT_EQ(loaded->entries, entries);

  EXPECT_FALSE(SavePlaylistFile(root_ + "/no such folder/set.vtp", entries, &error));
  EXPECT_NE(error.find("no such folder"), std::string::npos) << error;
}

TEST_F(PlaylistFileTest, LoadsTheLinesThatNameLibrarySongs) {
  struct Case {
    std::string name;
    std::string bytes;
    std::vector<size_t> songs;
    int skipped;
  };
  const std::string url = "file://" + root_ + "/Music/";
  const Case cases[] = {
      {"set.m3u", "../Music/a.mp3\nsub/b.mp3\n", {2, 1}, 0},
      {"windows.m3u",
       "#EXTM3U\r\n#EXTINF:215,Ay - A\r\nD:\\Music\\a.mp3\r\n\\Music\\a.mp3\r\nMusic\\a.mp3\r\n"
       "../Music/a.mp3\r\n#EXTINF:-1,Bee - B\r\n" +
           P(1) + "\r\n",
       {2, 1},
       3},
      {"UPPER.M3U", P(4) + "\n", {4}, 0},
      {"UPPER.VTP", P(0) + "\n" + P(0) + "\n", {0, 0}, 0},
      {"bom.m3u8", "\xEF\xBB\xBF" + P(3) + "\n../Music/" + kCafe + "\n", {3, 3}, 0},
      {"urls.m3u",
       url + "my%20song.mp3\nfile://localhost" + P(2) + "\nfile://elsewhere" + P(2) + "\n" + url +
           "my%2song.mp3\n" + url + "Caf%C3%A9%20del%20Mar.mp3\n",
       {4, 2, 3},
       2},
      {"last.vtp", P(2) + "\r\n" + P(1), {2, 1}, 0},
      {"last.m3u", "#EXTINF:1,x\nsub/b.mp3", {1}, 0},
      {"written-first.m3u", "relative/c.mp3\n", {5}, 0},
      {"raw.vtp", "#" + P(2) + "\nsub/b.mp3\n " + P(2) + "\n" + P(2) + "\n", {2}, 3},
      {"gone.m3u", "/nowhere/x.mp3\n\n\r\n" + P(2), {2}, 1},
  };
  for (const Case& c : cases) {
    WriteBytes(ListPath(c.name), c.bytes);
    std::string error;
    const std::optional<LoadedPlaylist> loaded = Load(c.name, &error);
    ASSERT_TRUE(loaded) << c.name << ": " << error;
    std::vector<PlaylistEntry> expected;
    for (size_t song : c.songs) expected.push_back(EntryOf(song));
    EXPECT_EQ(loaded->entries, expected) << c.name;
    EXPECT_EQ(loaded->skipped, c.skipped) << c.name;
  }
}

TEST_F(PlaylistFileTest, RelativeListPathResolvesFromTheWorkingDirectory) {
  WriteBytes(ListPath("set.m3u"), "sub/b.mp3\n");
  const fs::path previous = fs::current_path();
  fs::current_path(dir_.Path());
  const std::optional<LoadedPlaylist> loaded =
      LoadPlaylistFile("Lists/set.m3u", *library_, nullptr);
  fs::current_path(previous);
  ASSERT_TRUE(loaded);
  EXPECT_EQ(loaded->entries, std::vector<PlaylistEntry>{EntryOf(1)});
}

TEST_F(PlaylistFileTest, RefusesWhatIsNoReadablePlaylistWithAReason) {
  WriteBytes(ListPath("list.txt"), P(2) + "\n");
  ASSERT_EQ(mkfifo(ListPath("pipe.m3u").c_str(), 0600), 0);
  fs::create_directory(ListPath("folder.vtp"));
  WriteBytes(ListPath("huge.m3u8"), "");
  fs::resize_file(ListPath("huge.m3u8"), kMaxPlaylistFileBytes + 1);  // sparse
  const std::pair<const char*, const char*> cases[] = {
      {"list.txt", "not a playlist file (.vtp, .m3u or .m3u8)"},
      {"missing.vtp", "cannot open"},
      {"pipe.m3u", "FIFO"},
      {"folder.vtp", "folder"},
      {"huge.m3u8", "larger than 64 MiB"}};
  for (const auto& [name, said] : cases) {
    std::string error;
    EXPECT_FALSE(Load(name, &error)) << name;
    EXPECT_NE(error.find(said), std::string::npos) << error;
    EXPECT_NE(error.find(ListPath(name)), std::string::npos) << error;
    EXPECT_FALSE(Load(name)) << name;
  }
}

// Saves `first` once, says so on `readyPipe`, then saves `second` and `first` by turns until
// it is killed.
[[noreturn]] void SaveByTurns(const std::string& path, const std::vector<PlaylistEntry>& first,
                              const std::vector<PlaylistEntry>& second, int readyPipe) {
  if (!SavePlaylistFile(path, first, nullptr)) _exit(3);
  const char ready = 'r';
  if (write(readyPipe, &ready, 1) != 1) _exit(4);
  for (;;) {
    SavePlaylistFile(path, second, nullptr);
    SavePlaylistFile(path, first, nullptr);
  }
}

TEST_F(PlaylistFileTest, KilledSaveLeavesTheOldOrTheNewList) {
  const std::vector<PlaylistEntry> older(300, EntryOf(3));
  const std::vector<PlaylistEntry> newer(200, EntryOf(4));
  const std::string olderBytes = VtpBytes(older);
  const std::string newerBytes = VtpBytes(newer);
  const std::string path = ListPath("live.vtp");
  std::mt19937 random(20260601);
  std::uniform_int_distribution<int> delayMicroseconds(0, 3000);
  int outcomes[2] = {0, 0};
  for (int round = 0; round < 30; ++round) {
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) SaveByTurns(path, older, newer, fds[1]);
    close(fds[1]);
    char ready = 0;
    const bool gotReady = read(fds[0], &ready, 1) == 1;
    close(fds[0]);
    std::this_thread::sleep_for(std::chrono::microseconds(delayMicroseconds(random)));
    kill(child, SIGKILL);
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(gotReady) << "the child's first save failed, status " << status;
    const std::string now = ReadBytes(path);
    ASSERT_TRUE(now == olderBytes || now == newerBytes)
        << "round " << round << ": " << now.size() << " bytes";
    ++outcomes[now == newerBytes ? 1 : 0];
  }
  RecordProperty("OldLists", outcomes[0]);
  RecordProperty("NewLists", outcomes[1]);
}

}  // namespace
}  // namespace veltro::playlist
