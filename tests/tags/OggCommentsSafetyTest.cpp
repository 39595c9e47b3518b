// Rewriting comments never damages a song: a failed rewrite leaves the file as it was, a
// read-only song can be rewritten, and a writer killed at any instant leaves the old or the new
// song, never a partial one.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "support/Fixtures.h"
#include "support/TempDir.h"
#include "support/Unprivileged.h"
#include "tags/Id3Tag.h"
#include "tags/OggCommentEditor.h"
#include "tags/OggComments.h"
#include "tags/OggTestFiles.h"

namespace veltro::tags {
namespace {

using testing::ReadBytes;
using testing::SmallSong;
using testing::TempDir;
using testing::WriteBytes;

struct stat StatusOf(const std::string& path) {
  struct stat status {};
  EXPECT_EQ(stat(path.c_str(), &status), 0) << path;
  return status;
}

std::vector<std::string> EntriesIn(const TempDir& dir) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(dir.Path())) {
    names.push_back(entry.path().filename().string());
  }
  return names;
}

// Pseudo-random bytes without a page capture pattern in them.
std::string Garbage(size_t count) {
  std::mt19937 random(7);
  std::string bytes(count, '\0');
  for (char& byte : bytes) byte = static_cast<char>('a' + random() % 26);
  return bytes;
}

// A Vorbis stream whose comment header claims a vendor longer than the packet.
std::string SongWithBadCommentHeader() {
  const auto streams = testing::SplitOggStreams(SmallSong({}));
  std::vector<std::string> packets = streams[0].packets;
  packets[1] = std::string("\x03vorbis\xFF\xFF\x00\x00", 11) + "vendor";
  return testing::OggStreamOfPackets(packets, 5);
}

// `song` with a bit flipped three quarters into it, inside an audio page: its checksum fails.
std::string WithDamagedAudioPage(std::string song) {
  const size_t offset = song.size() * 3 / 4;
  song[offset] = static_cast<char>(song[offset] ^ 0x40);
  return song;
}

struct FailureCase {
  const char* what;
  std::string bytes;
  const char* error;
};

TEST(OggCommentsWriteFailure, LeavesTheSongAndItsPermissionsAsTheyWere) {
  const std::vector<FailureCase> cases = {
      {"empty", "", OggCommentEditor::kTruncatedOrEmpty},
      {"short garbage", Garbage(100), OggCommentEditor::kTruncatedOrEmpty},
      {"garbage", Garbage(5000), OggCommentEditor::kNotOgg},
      {"not vorbis", testing::OggStreamOfPackets({"OpusHead\x01\x02", "OpusTags", "x"}, 3),
       OggCommentEditor::kNotVorbis},
      {"truncated headers", SmallSong({"ARTIST=A"}).substr(0, 1000),
       OggCommentEditor::kEofInHeaders},
      {"bad comment header", SongWithBadCommentHeader(), OggCommentEditor::kCorruptSecondaryHeader},
      {"damaged audio page", WithDamagedAudioPage(SmallSong({"ARTIST=A"})),
       OggCommentEditor::kDamagedPage},
  };
  for (const FailureCase& failure : cases) {
    for (const mode_t mode : {mode_t{0644}, mode_t{0444}}) {
      TempDir dir;
      const std::string path = dir.File("song.ogg");
      WriteBytes(path, failure.bytes);
      ASSERT_EQ(chmod(path.c_str(), mode), 0);
      const struct stat before = StatusOf(path);
      std::string error;
      EXPECT_FALSE(WriteOggComments(path, SongTags{"A", "T", "G", "1999"}, &error));
      EXPECT_EQ(error, failure.error) << failure.what;
      const struct stat after = StatusOf(path);
      EXPECT_EQ(after.st_ino, before.st_ino) << failure.what;
      EXPECT_EQ(after.st_mode, before.st_mode) << failure.what;
      EXPECT_TRUE(ReadBytes(path) == failure.bytes) << failure.what;
      EXPECT_EQ(EntriesIn(dir), std::vector<std::string>{"song.ogg"}) << failure.what;
    }
  }
}

TEST(OggCommentsWriteFailure, MissingSongIsReportedAndNotCreated) {
  TempDir dir;
  std::string error;
  EXPECT_FALSE(WriteOggComments(dir.File("gone.ogg"), SongTags{}, &error));
  EXPECT_NE(error.find("gone.ogg"), std::string::npos) << error;
  EXPECT_TRUE(EntriesIn(dir).empty());
}

TEST(OggCommentsWriteFailure, ReadOnlySongIsRewrittenAndNoLongerReadOnly) {
  for (const auto& [mode, expected] : {std::pair<mode_t, mode_t>{0444, 0644},
                                       {0440, 0640},
                                       {0400, 0600},
                                       {0640, 0640},
                                       {0604, 0604}}) {
    TempDir dir;
    const std::string path = dir.File("song.ogg");
    WriteBytes(path, SmallSong({"ARTIST=Old"}));
    ASSERT_EQ(chmod(path.c_str(), mode), 0);
    std::string error;
    ASSERT_TRUE(WriteOggComments(path, SongTags{"New", "", "", ""}, &error)) << error;
    EXPECT_EQ(StatusOf(path).st_mode & 07777, expected) << std::oct << mode;
    EXPECT_EQ(ReadOggComments(path)->tags.artist, "New");
    EXPECT_EQ(EntriesIn(dir), std::vector<std::string>{"song.ogg"});
  }
}

TEST(OggCommentsWriteFailure, FailedWriteRestoresTheReadOnlySong) {
  TempDir dir;
  const std::string path = dir.File("song.ogg");
  const std::string song = SmallSong({"ARTIST=Old"});
  ASSERT_GT(song.size(), 12000u);
  WriteBytes(path, song);
  ASSERT_EQ(chmod(path.c_str(), 0444), 0);
  const struct stat before = StatusOf(path);
  // A child whose files may not grow past 8000 bytes: the new stream cannot be written.
  const pid_t child = fork();
  if (child == 0) {
    signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{8000, 8000};
    setrlimit(RLIMIT_FSIZE, &limit);
    std::string error;
    const bool written = WriteOggComments(path, SongTags{"New", "", "", ""}, &error);
    _exit(written ? 1 : error.starts_with(OggCommentEditor::kWriteFailed) ? 0 : 2);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << "1: reported success, 2: another error";
  const struct stat after = StatusOf(path);
  EXPECT_EQ(after.st_ino, before.st_ino);
  EXPECT_EQ(after.st_mode & 07777, 0444u) << "the permissions are given back";
  EXPECT_TRUE(ReadBytes(path) == song);
  EXPECT_EQ(EntriesIn(dir), std::vector<std::string>{"song.ogg"});
}

// A FIFO with a song's name has no writer: opening it to read would wait for ever. Every reader
// and writer refuses it at once (the checks run in a child that an alarm ends if one waits).
TEST(SpecialFiles, FifoWithASongsNameIsRefusedWithoutWaiting) {
  TempDir dir;
  for (const char* name : {"x.ogg", "x.mp3"}) {
    ASSERT_EQ(mkfifo(dir.File(name).c_str(), 0644), 0);
  }
  const std::string ogg = dir.File("x.ogg");
  const std::string mp3 = dir.File("x.mp3");
  const pid_t child = fork();
  if (child == 0) {
    alarm(10);
    std::string oggError;
    std::string mp3Error;
    const bool refused = !ReadOggComments(ogg) && !ReadId3Tag(mp3) &&
                         !WriteOggComments(ogg, SongTags{"A", "", "", ""}, &oggError) &&
                         !WriteId3Tag(mp3, SongTags{"A", "", "", ""}, &mp3Error);
    _exit(!refused ? 1 : oggError != ogg + " is a FIFO, not a regular file" ? 2 : 0);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status)) << "a reader or writer waited on the FIFO";
  EXPECT_EQ(WEXITSTATUS(status), 0) << "1: not refused, 2: another reason";
}

std::string ExtendedAttribute(const std::string& path, const char* name) {
  std::string value(64, '\0');
  const ssize_t size = getxattr(path.c_str(), name, value.data(), value.size());
  value.resize(size < 0 ? 0 : static_cast<size_t>(size));
  return value;
}

// Rewritten by root, a song keeps its owner, group, mode and extended attributes: the DJ can
// still read their own song.
TEST(OggCommentsIdentity, RewrittenSongKeepsOwnerGroupModeAndExtendedAttributes) {
  if (geteuid() != 0) GTEST_SKIP() << "only root can give a file to another user";
  TempDir dir;
  const std::string path = dir.File("song.ogg");
  WriteBytes(path, SmallSong({"ARTIST=Old"}));
  ASSERT_EQ(chown(path.c_str(), testing::kNobodyId, testing::kNobodyId), 0);
  ASSERT_EQ(chmod(path.c_str(), 0640), 0);
  ASSERT_EQ(setxattr(path.c_str(), "user.veltro.mark", "kept", 4, 0), 0);
  std::string error;
  ASSERT_TRUE(WriteOggComments(path, SongTags{"New", "", "", ""}, &error)) << error;
  const struct stat after = StatusOf(path);
  EXPECT_EQ(after.st_uid, testing::kNobodyId);
  EXPECT_EQ(after.st_gid, testing::kNobodyId);
  EXPECT_EQ(after.st_mode & 07777, 0640u);
  EXPECT_EQ(ExtendedAttribute(path, "user.veltro.mark"), "kept");
  EXPECT_EQ(ReadOggComments(path)->tags.artist, "New");
}

// A song the user could not change in place is not replaced either, and a song with several
// hard links is left whole instead of being split from its other names.
TEST(OggCommentsIdentity, SongsTheUserMayNotChangeInPlaceAreRefused) {
  if (geteuid() != 0) GTEST_SKIP() << "needs a song owned by another user";
  const std::string song = SmallSong({"ARTIST=Old"});
  struct Case {
    const char* what;
    uid_t owner;
    bool secondLink;
    const char* reason;
  };
  for (const Case& refused : {Case{"root's song", 0, false, "Permission denied"},
                              Case{"hard-linked song", testing::kNobodyId, true, "hard links"}}) {
    TempDir dir;
    ASSERT_EQ(chmod(dir.Path().c_str(), 0777), 0);  // the user may create files beside it
    const std::string path = dir.File("song.ogg");
    WriteBytes(path, song);
    ASSERT_EQ(chown(path.c_str(), refused.owner, refused.owner), 0);
    if (refused.secondLink) {
      ASSERT_EQ(link(path.c_str(), dir.File("other.ogg").c_str()), 0);
    }
    const struct stat before = StatusOf(path);
    const int result = testing::RunUnprivileged([&] {
      std::string error;
      if (WriteOggComments(path, SongTags{"New", "", "", ""}, &error)) return 1;
      return error.find(refused.reason) != std::string::npos ? 0 : 2;
    });
    EXPECT_EQ(result, 0) << refused.what << " (1: rewritten, 2: another reason)";
    const struct stat after = StatusOf(path);
    EXPECT_EQ(after.st_ino, before.st_ino) << refused.what;
    EXPECT_EQ(after.st_uid, refused.owner) << refused.what;
    EXPECT_TRUE(ReadBytes(path) == song) << refused.what;
    EXPECT_EQ(EntriesIn(dir).size(), refused.secondLink ? 2u : 1u) << refused.what;
  }
}

// The copy written beside the song has a short name of its own, so a song whose name takes
// nearly all of the file system's 255 bytes can be rewritten.
TEST(OggCommentsIdentity, SongWithA249ByteNameIsRewritten) {
  TempDir dir;
  const std::string name = std::string(245, 'n') + ".ogg";
  const std::string path = dir.File(name);
  WriteBytes(path, SmallSong({"ARTIST=Old"}));
  std::string error;
  ASSERT_TRUE(WriteOggComments(path, SongTags{"New", "", "", ""}, &error)) << error;
  EXPECT_EQ(ReadOggComments(path)->tags.artist, "New");
  EXPECT_EQ(EntriesIn(dir), std::vector<std::string>{name});
}

// Runs WriteOggComments on `path` in a child process; returns its process id.
pid_t StartRewrite(const std::string& path, const SongTags& tags) {
  const pid_t child = fork();
  if (child == 0) {
    std::string error;
    _exit(WriteOggComments(path, tags, &error) ? 0 : 1);
  }
  return child;
}

// Wall time of a complete rewrite in a child process, the shortest of three.
std::chrono::microseconds RewriteDuration(const std::string& path, const std::string& original,
                                          const SongTags& tags) {
  auto shortest = std::chrono::microseconds::max();
  for (int run = 0; run < 3; ++run) {
    WriteBytes(path, original);
    const auto start = std::chrono::steady_clock::now();
    const pid_t child = StartRewrite(path, tags);
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    shortest = std::min(shortest, std::chrono::duration_cast<std::chrono::microseconds>(
                                      std::chrono::steady_clock::now() - start));
  }
  return shortest;
}

TEST(OggCommentsCrashSafety, KilledWriterLeavesTheOldOrTheNewSong) {
  TempDir dir;
  const std::string path = dir.File("big song.ogg");
  // About 45 s of dense stereo sound at the highest quality: a few megabytes.
  const std::string original = testing::EncodeOggVorbis(
      testing::MusicLike(44100, 45, 2, 4), 2, 44100, {"ARTIST=Old", "ALBUM=Keep"}, 9, 1.0f);
  ASSERT_GT(original.size(), 2'500'000u);
  const SongTags tags{"New artist", "New title", "Genre", "2020"};
  const auto duration = RewriteDuration(path, original, tags);
  const std::string rewritten = ReadBytes(path);
  ASSERT_NE(rewritten, original);

  std::mt19937 random(12345);
  std::uniform_int_distribution<int64_t> instant(0, duration.count());
  int oldSongs = 0;
  int newSongs = 0;
  for (int attempt = 0; attempt < 100; ++attempt) {
    WriteBytes(path, original);
    const pid_t child = StartRewrite(path, tags);
    std::this_thread::sleep_for(std::chrono::microseconds(instant(random)));
    kill(child, SIGKILL);
    int status = 0;
    waitpid(child, &status, 0);
    const std::string now = ReadBytes(path);
    const bool isOld = now == original;
    const bool isNew = now == rewritten;
    ASSERT_TRUE(isOld || isNew) << "attempt " << attempt << ": " << now.size() << " bytes";
    oldSongs += isOld;
    newSongs += isNew;
  }
  // A later rewrite removes the temporaries the killed writers left beside the song.
  std::string error;
  ASSERT_TRUE(WriteOggComments(path, tags, &error)) << error;
  EXPECT_EQ(EntriesIn(dir), std::vector<std::string>{"big song.ogg"});
  RecordProperty("RewriteMicroseconds", std::to_string(duration.count()));
  RecordProperty("OldSongs", oldSongs);
  RecordProperty("NewSongs", newSongs);
  EXPECT_GT(oldSongs, 0) << "no kill landed before the rename";
}

}  // namespace
}  // namespace veltro::tags
