// Runs `veltro-cli tags` as a real process on generated MP3 and Ogg Vorbis songs: what it
// prints, its exit status, and the bytes it leaves in the files.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "support/Fixtures.h"
#include "support/Mp3Encoder.h"
#include "support/ShellRun.h"
#include "support/TempDir.h"
#include "tags/Id3Tag.h"

namespace veltro::cli {
namespace {

using testing::ReadBytes;
using testing::TempDir;
using testing::WriteBytes;

struct RunResult {
  int status = -1;
  std::string out;
  std::string err;
};

std::string Mp3Audio() {
  testing::Mp3EncoderOptions options;
  options.mode = testing::Mp3Mode::kMono;
  const std::vector<uint8_t> bytes = testing::EncodeMp3(testing::Sine(440, 44100, 0.3, 1), options);
  return std::string(bytes.begin(), bytes.end());
}

class TagsCliTest : public ::testing::Test {
 protected:
  // Runs veltro-cli tags with `arguments` (already quoted for the shell).
  RunResult Run(const std::string& arguments) {
    const std::string errors = scratch_.File("stderr");
    const testing::ShellRun run =
        testing::RunShell(std::string(VELTRO_CLI) + " tags " + arguments + " 2>'" + errors + "'");
    return RunResult{run.status, run.output, ReadBytes(errors)};
  }
  std::string Song(const std::string& name) {
    const std::string path = dir_.File(name);
    WriteBytes(path, audio_);
    return path;
  }
  static std::string Quoted(const std::string& text) { return "'" + text + "'"; }

  TempDir dir_;
  TempDir scratch_;
  const std::string audio_ = Mp3Audio();
};

TEST_F(TagsCliTest, Mp3WriteStoresTheTagAndReadShowsWhatTheLibraryTakes) {
  const std::string path = Song("Kickstart.Mp3");
  const RunResult write =
      Run("write " + Quoted(path) +
          " --artist 'Mötley Crüe' --title Kickstart --genre 'Heavy Metal Rock' --year 1989");
  ASSERT_EQ(write.status, 0) << write.err;
  EXPECT_EQ(write.out, "");
  const std::string file = ReadBytes(path);
  ASSERT_EQ(file.size(), audio_.size() + 128);
  EXPECT_EQ(file.substr(0, audio_.size()), audio_);
  EXPECT_EQ(file.substr(audio_.size() + 33, 30),
            "M\xF6tley Cr\xFC" + std::string("e") + std::string(19, ' '));
  EXPECT_EQ(file.substr(audio_.size() + 97, 30), "Heavy Meta" + std::string(20, ' '))
      << "the genre is cut to the library's 10 bytes";

  const RunResult read = Run("read " + Quoted(path));
  ASSERT_EQ(read.status, 0) << read.err;
  EXPECT_EQ(read.out, "artist: Mötley Crüe\ntitle: Kickstart\ngenre: Heavy Meta\nyear: 1989\n");
}

TEST_F(TagsCliTest, OptionsLeftOutKeepWhatTheSongHolds) {
  const std::string mp3 = Song("song.MP3");
  ASSERT_EQ(Run("write " + Quoted(mp3) + " --artist A --title T --genre Pop --year 2000").status,
            0);
  std::string file = ReadBytes(mp3);
  file.back() = '\x11';  // genre byte 17, which the library does not edit
  WriteBytes(mp3, file);
  const RunResult write = Run("write " + Quoted(mp3) + " --year 2001");
  ASSERT_EQ(write.status, 0) << write.err;
  file.replace(file.size() - 35, 4, "2001");
  EXPECT_TRUE(ReadBytes(mp3) == file) << "only the year field changes";

  const std::string ogg = dir_.File("song.ogg");
  ASSERT_TRUE(testing::WriteOgg(ogg, testing::Sine(440, 44100, 1.5, 1), 1, 44100));
  ASSERT_EQ(Run("write " + Quoted(ogg) + " --artist A --title T").status, 0);
  ASSERT_EQ(Run("write " + Quoted(ogg) + " --year 2001").status, 0);
  EXPECT_EQ(Run("read " + Quoted(ogg)).out,
            "artist: A\ntitle: T\ngenre: \nyear: 2001\nlength ms: 1000\n");
  EXPECT_EQ(ReadBytes(ogg).find("GENRE="), std::string::npos) << "no empty comment is added";
}

TEST_F(TagsCliTest, ReadEscapesControlBytesOfTagTexts) {
  const std::string path = Song("song.mp3");
  ASSERT_EQ(Run("write " + Quoted(path) +
                " --artist \"$(printf 'A\\033[2JB')\" --title \"$(printf 'Two\\nlines')\"")
                .status,
            0);
  EXPECT_EQ(Run("read " + Quoted(path)).out,
            "artist: A\\x1B[2JB\ntitle: Two\\x0Alines\ngenre: \nyear: \n");
}

TEST_F(TagsCliTest, Mp3WithoutTagReadsAsNoTag) {
  const RunResult read = Run("read " + Quoted(Song("plain.mp3")));
  EXPECT_EQ(read.status, 0) << read.err;
  EXPECT_EQ(read.out, "no tag\n");
  WriteBytes(dir_.File("tiny.mp3"), "ID3");
  EXPECT_EQ(Run("read " + Quoted(dir_.File("tiny.mp3"))).out, "no tag\n");
}

TEST_F(TagsCliTest, OggWriteThenReadShowsTheCommentsAndLength) {
  const std::string path = dir_.File("Song.OGG");
  ASSERT_TRUE(testing::WriteOgg(path, testing::Sine(440, 44100, 2.5, 2), 2, 44100));
  const RunResult write = Run("write " + Quoted(path) +
                              " --artist Björk --title 'Army of Me' --genre Electronic"
                              " --year 1995");
  ASSERT_EQ(write.status, 0) << write.err;
  const RunResult read = Run("read " + Quoted(path));
  ASSERT_EQ(read.status, 0) << read.err;
  EXPECT_EQ(read.out,
            "artist: Björk\ntitle: Army of Me\ngenre: Electronic\nyear: 1995\nlength ms: 2000\n");
  EXPECT_NE(ReadBytes(path).find("ARTIST=Björk"), std::string::npos)
      << "stored as a Vorbis comment in UTF-8";
}

TEST_F(TagsCliTest, OtherFilesAreNeitherReadNorWritten) {
  for (const std::string name : {"song.wav", "song.mp3x", "mp3", "album.mp3.d/song"}) {
    std::filesystem::create_directories(std::filesystem::path(dir_.File(name)).parent_path());
    const std::string path = Song(name);
    const RunResult write = Run("write " + Quoted(path) + " --artist A");
    EXPECT_EQ(write.status, 1) << name;
    EXPECT_EQ(write.out, "") << name;
    EXPECT_NE(write.err.find("veltro-cli: "), std::string::npos) << name;
    EXPECT_EQ(ReadBytes(path), audio_) << name;
    EXPECT_EQ(Run("read " + Quoted(path)).status, 1) << name;
  }
  const std::string fakeOgg = Song("fake.ogg");
  const RunResult read = Run("read " + Quoted(fakeOgg));
  EXPECT_EQ(read.status, 1);
  EXPECT_EQ(read.out, "");
  EXPECT_EQ(Run("write " + Quoted(fakeOgg) + " --artist A").status, 1);
  EXPECT_EQ(ReadBytes(fakeOgg), audio_);
}

TEST_F(TagsCliTest, MissingFilesAndFoldersFailWithOneLine) {
  const std::string missing = dir_.File("missing.mp3");
  const RunResult read = Run("read " + Quoted(missing));
  EXPECT_EQ(read.status, 1);
  EXPECT_EQ(read.out, "");
  EXPECT_EQ(std::count(read.err.begin(), read.err.end(), '\n'), 1) << read.err;
  const RunResult write = Run("write " + Quoted(missing) + " --artist A");
  EXPECT_EQ(write.status, 1);
  EXPECT_EQ(std::count(write.err.begin(), write.err.end(), '\n'), 1) << write.err;
  EXPECT_FALSE(std::filesystem::exists(missing));
  std::filesystem::create_directory(dir_.File("folder.mp3"));
  EXPECT_EQ(Run("read " + Quoted(dir_.File("folder.mp3"))).status, 1);
  EXPECT_EQ(Run("write " + Quoted(dir_.File("folder.mp3")) + " --year 1").status, 1);
}

TEST_F(TagsCliTest, BadCommandLinesAreUsageErrorsThatWriteNothing) {
  const std::string path = Quoted(Song("song.mp3"));
  const std::vector<std::string> commandLines = {
      "",
      "read",
      "read " + path + " extra",
      "frob " + path,
      "write",
      "write --artist A",
      "write " + path + " --artist",
      "write " + path + " --mood calm",
      "write " + path + " stray",
      "write " + path + " --title \"$(printf '\\377\\376')\""};
  for (const std::string& arguments : commandLines) {
    const RunResult run = Run(arguments);
    EXPECT_EQ(run.status, 2) << arguments;
    EXPECT_EQ(run.out, "") << arguments;
    EXPECT_NE(run.err.find("usage:"), std::string::npos) << arguments;
  }
  EXPECT_EQ(ReadBytes(dir_.File("song.mp3")), audio_);
}

}  // namespace
}  // namespace veltro::cli
