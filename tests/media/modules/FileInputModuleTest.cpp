// The file input module: identity, open failures with their notifications, all-or-nothing
// reads, seeking and size, standard input, and the ID3v1 tag of ".mp3" files.
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <numeric>
#include <string>
#include <vector>

#include "media/framework/MediaFrameworkFakes.h"
#include "media/modules/FileInputModule.h"
#include "support/TempDir.h"
#include "support/Unprivileged.h"

namespace veltro::media {
namespace {

using testing::TempDir;

// A 128-byte ID3v1 tag; each text is copied as given (shorter texts are padded with `pad`).
std::string Id3v1Tag(const std::string& title, const std::string& artist, const std::string& album,
                     const std::string& year, const std::string& comment, uint8_t genre,
                     char pad = ' ') {
  std::string tag = "TAG";
  for (const auto& [text, width] :
       {std::pair{title, 30}, {artist, 30}, {album, 30}, {year, 4}, {comment, 30}}) {
    std::string field = text.substr(0, static_cast<size_t>(width));
    field.resize(static_cast<size_t>(width), pad);
    tag += field;
  }
  tag.push_back(static_cast<char>(genre));
  return tag;
}

std::string CountingBytes(size_t count) {
  std::string bytes(count, '\0');
  for (size_t i = 0; i < count; ++i) bytes[i] = static_cast<char>(i * 7 + 3);
  return bytes;
}

class FileInputModuleTest : public FrameworkTest {
 protected:
  void SetUp() override {
    FrameworkTest::SetUp();
    FileInputModuleDescriptor(&module_);
  }

  // Registers the file input and the counting codec and opens `path` through the framework.
  int OpenThroughFramework(const std::string& path) {
    const MfCodecModule codec = CountingCodec();
    if (mf_codec_module_register(decoder_, &codec) < 0) return -1000;
    if (mf_input_module_register(decoder_, &module_) < 0) return -1001;
    const int created = mf_input_new(decoder_, path.c_str(), -1);
    return created == kMfOk ? mf_input_open(decoder_) : created;
  }

  // The stream text `name`, or "<missing>".
  std::string StreamText(const char* name) {
    char text[64] = {};
    if (mf_stream_property_get_text(decoder_, name, text, sizeof text) != kMfOk) {
      return "<missing>";
    }
    return text;
  }

  MfInputModule module_{};
  TempDir dir_;
};

TEST_F(FileInputModuleTest, DescriptorAndQueryAnswers) {
  EXPECT_EQ(module_.version, 0x00040400u);
  EXPECT_EQ(module_.sendMessage, nullptr);
  EXPECT_EQ(module_.probe("song.mp3"), 0);
  EXPECT_EQ(module_.probe("-"), 0);
  EXPECT_EQ(module_.probe("mem:anything"), 0);
  MfModuleInfo info{};
  ASSERT_EQ(module_.query(&info, kMfQueryName | kMfQueryDeviceCount), kMfOk);
  EXPECT_STREQ(info.name, "Input From File");
  EXPECT_STREQ(info.description, "Version 1.2");
  EXPECT_EQ(info.index, 0);  // the call ended after the name
  ASSERT_EQ(module_.query(&info, kMfQueryDeviceCount), kMfOk);
  EXPECT_EQ(info.index, 2);
  info.index = 0;
  ASSERT_EQ(module_.query(&info, kMfQueryDevice), kMfOk);
  EXPECT_STREQ(info.name, "*");
  EXPECT_STREQ(info.description, "any file name");
  EXPECT_EQ(info.flags, 1);
  info.index = 1;
  ASSERT_EQ(module_.query(&info, kMfQueryDevice), kMfOk);
  EXPECT_STREQ(info.name, "-");
  EXPECT_STREQ(info.description, "standard input");
  EXPECT_EQ(info.flags, 0);
  for (const int index : {2, -1, 99}) {
    info.index = index;
    EXPECT_EQ(module_.query(&info, kMfQueryDevice), kMfInvalidParameter) << index;
  }
}

TEST_F(FileInputModuleTest, EmptyNameCreatesNoInstance) {
  ASSERT_EQ(mf_input_module_register(decoder_, &module_), 0);
  EXPECT_EQ(mf_input_new(decoder_, "", 0), kMfInvalidParameter);
  EXPECT_EQ(decoder_->input->instance, nullptr);
  ASSERT_EQ(gLog.messages.size(), 1u);
  EXPECT_EQ(gLog.messages[0], "internal error");
  EXPECT_EQ(LastReason(), "null params or null/empty input name");
  void* instance = nullptr;
  EXPECT_EQ(module_.newInstance(&instance, nullptr, nullptr, nullptr), kMfInvalidParameter);
  EXPECT_EQ(instance, nullptr);
}

TEST_F(FileInputModuleTest, OpenFailuresGiveTheirCodesAndNotifications) {
  const std::string missing = dir_.File("missing.mp3");
  EXPECT_EQ(OpenThroughFramework(missing), kMfFileNotFound);
  EXPECT_EQ(decoder_->input->state, 0);
  ASSERT_FALSE(gLog.messages.empty());
  EXPECT_EQ(gLog.messages.back(), "cannot open input file");
  EXPECT_EQ(LastReason(), "file not found");
  EXPECT_EQ(gLog.moduleIds.back(), 0);

  // A path through a plain file fails with "not a directory": the run-time's own text.
  testing::WriteBytes(dir_.File("plain"), "x");
  ASSERT_EQ(mf_input_new(decoder_, dir_.File("plain/inside").c_str(), -1), kMfOk);
  EXPECT_EQ(mf_input_open(decoder_), kMfOpenFailed);
  EXPECT_EQ(LastReason(), std::strerror(ENOTDIR));

  // A FIFO (no writer) or a folder carrying a song's name is refused at once, with what it is.
  const std::string fifo = dir_.File("x.mp3");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  std::filesystem::create_directory(dir_.File("d.mp3"));
  for (const std::string& path : {fifo, dir_.File("d.mp3")}) {
    ASSERT_EQ(mf_input_new(decoder_, path.c_str(), -1), kMfOk);
    EXPECT_EQ(mf_input_open(decoder_), kMfOpenFailed);
    EXPECT_EQ(LastReason(),
              path + (path == fifo ? " is a FIFO" : " is a folder") + ", not a regular file");
  }

  // Without a callback the failure is still reported by its code.
  decoder_->notify = nullptr;
  const size_t notified = gLog.messages.size();
  ASSERT_EQ(mf_input_new(decoder_, missing.c_str(), -1), kMfOk);
  EXPECT_EQ(mf_input_open(decoder_), kMfFileNotFound);
  EXPECT_EQ(gLog.messages.size(), notified);
}

// Root reads any file, so as root the opening is tried in a child that runs as "nobody".
TEST_F(FileInputModuleTest, UnreadableFileIsPermissionDenied) {
  const std::string path = dir_.File("locked.bin");
  testing::WriteBytes(path, "locked");
  ASSERT_EQ(chmod(path.c_str(), 0200), 0);
  ASSERT_EQ(chmod(dir_.Path().c_str(), 0755), 0);
  const auto tryOpen = [&]() {
    if (OpenThroughFramework(path) != kMfPermissionDenied) return 30;
    if (gLog.messages.empty() || gLog.messages.back() != "cannot open input file") return 31;
    return LastReason() == "permission denied" ? 0 : 32;
  };
  EXPECT_EQ(testing::RunUnprivileged(tryOpen), 0);
}

TEST_F(FileInputModuleTest, ReadsDeliverWholeBlocksOrNothing) {
  const std::string bytes = CountingBytes(5096);
  const std::string path = dir_.File("data.bin");
  testing::WriteBytes(path, bytes);
  void* instance = nullptr;
  ASSERT_EQ(module_.newInstance(&instance, path.c_str(), nullptr, decoder_), kMfOk);
  ASSERT_EQ(module_.open(instance), kMfOk);
  EXPECT_EQ(module_.getCaps(instance), kMfInputSeekable);
  EXPECT_EQ(module_.getSize(instance), 5096u);
  std::string block(4096, '\0');
  ASSERT_EQ(module_.read(instance, block.data(), 4096), 4096);
  EXPECT_EQ(block, bytes.substr(0, 4096));
  EXPECT_EQ(module_.read(instance, block.data(), 4096), 0);  // 1000 left: nothing delivered
  // The short read left the stream where the block began.
  ASSERT_EQ(module_.read(instance, block.data(), 1000), 1000);
  EXPECT_EQ(block.substr(0, 1000), bytes.substr(4096));
  EXPECT_EQ(module_.read(instance, block.data(), 1), 0);
  ASSERT_EQ(module_.seek(instance, 5095), kMfOk);
  ASSERT_EQ(module_.read(instance, block.data(), 1), 1);
  EXPECT_EQ(block[0], bytes[5095]);
  ASSERT_EQ(module_.seek(instance, 10), kMfOk);
  ASSERT_EQ(module_.read(instance, block.data(), 3), 3);
  EXPECT_EQ(block.substr(0, 3), bytes.substr(10, 3));
  EXPECT_EQ(module_.close(instance), kMfOk);
  EXPECT_EQ(module_.read(instance, block.data(), 1), kMfFailed);
  EXPECT_EQ(module_.seek(instance, 0), kMfFailed);
  EXPECT_EQ(module_.getSize(instance), 0u);
  EXPECT_EQ(module_.deleteInstance(instance), kMfOk);
}

TEST_F(FileInputModuleTest, ShortTailEndsTheStreamForTheFramework) {
  const std::string path = dir_.File("tail.bin");
  testing::WriteBytes(path, CountingBytes(5096));
  ASSERT_EQ(OpenThroughFramework(path), kMfOk);
  EXPECT_EQ(decoder_->input->size, 5096u);
  EXPECT_EQ(decoder_->input->caps, kMfInputSeekable);
  EXPECT_EQ(gLog.streamInfoReads, 1);
  std::vector<uint8_t> block(4096);
  EXPECT_EQ(decoder_->services.read(decoder_, block.data(), 4096), kMfOk);
  EXPECT_EQ(decoder_->services.read(decoder_, block.data(), 4096), kMfEndOfStream);
  EXPECT_EQ(decoder_->input->position, 4096u);
}

TEST_F(FileInputModuleTest, Id3v1TagOfAnMp3NameIsPublished) {
  const std::string audio = CountingBytes(300);
  const std::string tag =
      Id3v1Tag("Intro", std::string("Band\0junk", 9), "", "1999", "Live  take", 79);
  const std::string path = dir_.File("song.mp3");
  testing::WriteBytes(path, audio + tag);
  ASSERT_EQ(OpenThroughFramework(path), kMfOk);
  EXPECT_EQ(StreamText("id3/title"), "Intro");  // the 25 trailing spaces are gone
  EXPECT_EQ(StreamText("id3/artist"), "Band");  // the NUL ends the field
  EXPECT_EQ(StreamText("id3/album"), "");       // empty, but published
  EXPECT_EQ(StreamText("id3/year"), "1999");
  EXPECT_EQ(StreamText("id3/comment"), "Live  take");
  EXPECT_EQ(StreamText("id3/genre"), "Hard Rock");
  EXPECT_NE(decoder_->status->stream.changes & 1, 0);
  // Reading starts at the beginning of the file again.
  std::vector<uint8_t> block(8);
  ASSERT_EQ(decoder_->services.read(decoder_, block.data(), 8), kMfOk);
  EXPECT_EQ(std::string(block.begin(), block.end()), audio.substr(0, 8));
}

TEST_F(FileInputModuleTest, OnlyLowerCaseMp3NamesAreLookedAt) {
  const std::string bytes = CountingBytes(300) + Id3v1Tag("Intro", "A", "B", "2001", "C", 1);
  for (const char* name : {"song.MP3", "song.Mp3", "song.mp3x", "song.mp2"}) {
    const std::string path = dir_.File(name);
    testing::WriteBytes(path, bytes);
    void* instance = nullptr;
    ASSERT_EQ(module_.newInstance(&instance, path.c_str(), nullptr, decoder_), kMfOk);
    ASSERT_EQ(module_.open(instance), kMfOk);
    for (const char* property : {"id3/title", "id3/artist", "id3/year", "id3/genre"}) {
      EXPECT_EQ(StreamText(property), "<missing>") << name << " " << property;
    }
    module_.deleteInstance(instance);  // closes the file as well
  }
}

TEST_F(FileInputModuleTest, GenreNamesStopAt79) {
  const struct {
    uint8_t genre;
    const char* expected;
  } cases[] = {{79, "Hard Rock"}, {0, "Blues"}, {80, "<missing>"}, {255, "<missing>"}};
  for (const auto& c : cases) {
    const std::string path = dir_.File("genre.mp3");
    testing::WriteBytes(path, Id3v1Tag("T", "A", "B", "2000", "C", c.genre, '\0'));
    mf_stream_property_delete(decoder_, "id3/genre");
    void* instance = nullptr;
    ASSERT_EQ(module_.newInstance(&instance, path.c_str(), nullptr, decoder_), kMfOk);
    ASSERT_EQ(module_.open(instance), kMfOk);
    EXPECT_EQ(StreamText("id3/genre"), c.expected) << int{c.genre};
    EXPECT_EQ(StreamText("id3/title"), "T");  // the file is exactly the tag
    module_.deleteInstance(instance);
  }
}

TEST_F(FileInputModuleTest, FilesWithoutAWholeTagPublishNothing) {
  // Shorter than a tag, though it begins with "TAG": nothing, and reading starts at byte 0.
  const std::string shortBytes = "TAG" + CountingBytes(97);
  const std::string shortPath = dir_.File("short.mp3");
  testing::WriteBytes(shortPath, shortBytes);
  ASSERT_EQ(OpenThroughFramework(shortPath), kMfOk);
  EXPECT_EQ(StreamText("id3/title"), "<missing>");
  std::vector<uint8_t> block(100);
  ASSERT_EQ(decoder_->services.read(decoder_, block.data(), 100), kMfOk);
  EXPECT_EQ(std::string(block.begin(), block.end()), shortBytes);

  // Long enough, but the last 128 bytes are no tag.
  const std::string untagged = dir_.File("untagged.mp3");
  testing::WriteBytes(untagged, CountingBytes(1000));
  ASSERT_EQ(mf_input_new(decoder_, untagged.c_str(), -1), kMfOk);
  ASSERT_EQ(mf_input_open(decoder_), kMfOk);
  EXPECT_EQ(StreamText("id3/title"), "<missing>");
  EXPECT_EQ(StreamText("id3/genre"), "<missing>");
}

// Runs `body` in a child whose standard input is a pipe holding `bytes`; returns the child's
// exit status (0 when every check in `body` held).
template <typename Body>
int RunWithStandardInput(const std::string& bytes, Body body) {
  int pipeEnds[2];
  if (pipe(pipeEnds) != 0) return -1;
  const pid_t child = fork();
  if (child == 0) {
    close(pipeEnds[1]);
    dup2(pipeEnds[0], 0);
    close(pipeEnds[0]);
    _exit(body());
  }
  close(pipeEnds[0]);
  const bool written =
      write(pipeEnds[1], bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
  close(pipeEnds[1]);
  int status = 0;
  waitpid(child, &status, 0);
  return written && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST_F(FileInputModuleTest, DashReadsStandardInputWithoutSeekingOrSize) {
  const std::string bytes = CountingBytes(100);
  MfInputModule module = module_;
  MfDecoder* decoder = decoder_;
  const int status = RunWithStandardInput(bytes, [&]() {
    void* instance = nullptr;
    if (module.newInstance(&instance, "-", nullptr, decoder) != kMfOk) return 10;
    if (module.open(instance) != kMfOk) return 11;
    if (module.getCaps(instance) != 0) return 12;
    if (module.getSize(instance) != 0) return 13;
    char block[64] = {};
    if (module.read(instance, block, 60) != 60) return 14;
    if (std::string(block, 60) != bytes.substr(0, 60)) return 15;
    if (module.seek(instance, 0) != kMfFailed) return 16;  // a pipe cannot seek
    if (module.read(instance, block, 64) != 0) return 17;  // 40 left
    if (module.close(instance) != kMfOk) return 18;
    if (fcntl(0, F_GETFD) == -1) return 19;  // standard input stays open
    module.deleteInstance(instance);
    return 0;
  });
  EXPECT_EQ(status, 0);
}

TEST_F(FileInputModuleTest, DashThroughTheFrameworkSkipsStreamInfo) {
  const int status = RunWithStandardInput(CountingBytes(64), [&]() {
    if (OpenThroughFramework("-") != kMfOk) return 20;
    if (decoder_->input->caps != 0 || decoder_->input->size != 0) return 21;
    if (gLog.streamInfoReads != 0) return 22;
    int frames = 0;
    while (mf_decode(decoder_, nullptr) == kMfOk) ++frames;
    return frames == 16 ? 0 : 23;  // 4 bytes per frame of the counting codec
  });
  EXPECT_EQ(status, 0);
}

}  // namespace
}  // namespace veltro::media
