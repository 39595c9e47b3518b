// Runs `veltro-cli info` as a real process on an MP3 file encoded here with an ID3v1 tag, on
// files that cannot be scanned and with bad arguments, and checks the exact output and exit
// status.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdint>
#include <string>
#include <vector>

#include "media/modules/FrameworkDecoding.h"
#include "support/Fixtures.h"
#include "support/Mp3Encoder.h"
#include "support/ShellRun.h"
#include "support/TempDir.h"

namespace veltro::cli {
namespace {

using testing::RunShell;
using testing::ShellRun;
using testing::TempDir;

ShellRun Info(const std::string& arguments, const char* redirect = " 2>/dev/null") {
  return RunShell(std::string(VELTRO_CLI) + " info " + arguments + redirect);
}

std::string Quoted(const std::string& path) {
  return "'" + path + "'";
}

// "TAG", then title, artist, album (30 bytes each), year (4), comment (30), genre, NUL-padded.
std::string Id3v1Tag(const std::string& title, const std::string& artist, const std::string& year,
                     uint8_t genre) {
  std::string tag(128, '\0');
  tag.replace(0, 3, "TAG");
  tag.replace(3, title.size(), title);
  tag.replace(33, artist.size(), artist);
  tag.replace(93, year.size(), year);
  tag[127] = static_cast<char>(genre);
  return tag;
}

class InfoCliTest : public ::testing::Test {
 protected:
  void SetUp() override {
    testing::Mp3EncoderOptions options;
    options.sampleRateHz = 44100;
    options.mode = testing::Mp3Mode::kStereo;
    options.cbrKbps = 128;
    mp3_ = testing::EncodeMp3(testing::MusicLike(44100, 4.0, 2, 5), options);
    ASSERT_FALSE(mp3_.empty());
    path_ = dir_.File("song.mp3");
    // Title and artist in Windows-1252, as ID3v1 tags hold them.
    testing::WriteBytes(path_, std::string(mp3_.begin(), mp3_.end()) +
                                   Id3v1Tag("Army of Me   ", "Bj\xF6rk", "1995", 17));
  }

  TempDir dir_;
  std::vector<uint8_t> mp3_;
  std::string path_;
};

TEST_F(InfoCliTest, PrintsEveryFieldOfTheScan) {
  const ShellRun run = Info(Quoted(path_));
  ASSERT_EQ(run.status, 0);
  // 50 frames walked; the duration follows from the audio bytes at 128 kbit/s.
  const std::string duration = std::to_string(mp3_.size() * 1000 / 16000);
  EXPECT_EQ(run.output,
            "level: 1\n"
            "layer: 3\n"
            "bitrate: 128000\n"
            "frequency: 44100\n"
            "mode: 0\n"
            "channels: 2\n"
            "title: Army of Me\n"
            "artist: Bj\xC3\xB6rk\n"
            "album: \n"
            "year: 1995\n"
            "comment: \n"
            "genre: 17 (Rock)\n"
            "frames: 50\n"
            "duration: " +
                duration +
                "\n"
                "flags: 0xc0\n");
}

TEST_F(InfoCliTest, FramesOptionWalksTheWholeFile) {
  const media::FrameworkDecoding decoded = media::DecodeThroughFramework(mp3_);
  const size_t frames = decoded.frames.size();
  ASSERT_GT(frames, 100u);
  const ShellRun run = Info(Quoted(path_) + " --frames 0");
  ASSERT_EQ(run.status, 0);
  EXPECT_NE(run.output.find("\nframes: " + std::to_string(frames) + "\n"), std::string::npos)
      << run.output;
  EXPECT_NE(run.output.find("\nduration: " + std::to_string(frames * 1152 * 1000 / 44100) + "\n"),
            std::string::npos)
      << run.output;

  const ShellRun few = Info("--frames 3 " + Quoted(path_));
  ASSERT_EQ(few.status, 0);
  EXPECT_NE(few.output.find("\nframes: 3\n"), std::string::npos) << few.output;
}

// A file without MPEG audio is no song: one line and status 1, nothing on standard output.
TEST_F(InfoCliTest, FilesWithoutMpegAudioFailWithAReason) {
  const std::string empty = dir_.File("empty.mp3");
  testing::WriteBytes(empty, "");
  const std::string text = dir_.File("notes.txt");
  testing::WriteBytes(text, "just some words, no audio at all");
  const std::string wav = dir_.File("tone.wav");
  testing::WriteBytes(wav,
                      testing::MakeWav(testing::PcmLayout(2, 44100),
                                       testing::Pcm16Bytes(testing::MusicLike(44100, 0.5, 2))));
  for (const std::string& file : {empty, text, wav}) {
    SCOPED_TRACE(file);
    EXPECT_EQ(Info(Quoted(file)).output, "");
    const ShellRun run = Info(Quoted(file), " 2>&1");
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.output, "veltro-cli: " + file + " holds no MPEG audio\n");
  }
  // Free format: MPEG-1 Layer III headers with bitrate index 0, 417 bytes apart.
  std::string frame(417, '\0');
  frame.replace(0, 4, "\xFF\xFB\x00\xC4");
  std::string freeFormat;
  for (int i = 0; i < 20; ++i) freeFormat += frame;
  const std::string free = dir_.File("free.mp3");
  testing::WriteBytes(free, freeFormat);
  const ShellRun run = Info(Quoted(free), " 2>&1");
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.output, "veltro-cli: " + free +
                            " holds free-format MPEG audio (no bitrate in its frame headers),"
                            " which cannot be scanned\n");
}

// Tag texts cannot break the "name: value" lines or drive the terminal.
TEST_F(InfoCliTest, ControlBytesInTagTextsArePrintedEscaped) {
  const std::string song = dir_.File("control.mp3");
  testing::WriteBytes(
      song, std::string(mp3_.begin(), mp3_.end()) + Id3v1Tag("A\x1B[2J\nB", "C\tD", "1995", 17));
  const ShellRun run = Info(Quoted(song));
  ASSERT_EQ(run.status, 0);
  EXPECT_NE(run.output.find("\ntitle: A\\x1B[2J\\x0AB\nartist: C\\x09D\n"), std::string::npos)
      << run.output;
}

TEST_F(InfoCliTest, ScanFailuresPrintOneLineAndExitOne) {
  const ShellRun missing = Info(Quoted(dir_.File("missing.mp3")), " 2>&1");
  EXPECT_EQ(missing.status, 1);
  EXPECT_EQ(missing.output,
            "veltro-cli: cannot scan " + dir_.File("missing.mp3") + ": code -4 (file not found)\n");
  const ShellRun folder = Info(Quoted(dir_.Path().string()), " 2>&1");
  EXPECT_EQ(folder.status, 1);
  EXPECT_EQ(folder.output, "veltro-cli: cannot scan " + dir_.Path().string() + ": code -5 (" +
                               dir_.Path().string() + " is a folder, not a regular file)\n");
  const std::string fifo = dir_.File("x.mp3");  // no writer: opening it must not wait
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  const ShellRun fifoRun =
      RunShell("timeout 10 " + std::string(VELTRO_CLI) + " info " + Quoted(fifo) + " 2>&1");
  EXPECT_EQ(fifoRun.status, 1);
  EXPECT_EQ(fifoRun.output, "veltro-cli: cannot scan " + fifo + ": code -5 (" + fifo +
                                " is a FIFO, not a regular file)\n");
  // Nothing goes to standard output on failure.
  EXPECT_EQ(Info(Quoted(dir_.File("missing.mp3"))).output, "");
}

TEST_F(InfoCliTest, BadUsageExitsTwo) {
  const std::string file = Quoted(path_);
  const std::vector<std::string> cases = {"",
                                          "--frames 10",
                                          file + " --frames -1",
                                          file + " --frames ten",
                                          file + " --frames",
                                          file + " extra",
                                          file + " --verbose"};
  for (const std::string& arguments : cases) {
    SCOPED_TRACE(arguments);
    const ShellRun run = Info(arguments);
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.output, "");
  }
}

}  // namespace
}  // namespace veltro::cli
