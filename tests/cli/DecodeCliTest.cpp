// Runs `veltro-cli decode` as a real process on every conformance stream and on files that are
// not MPEG audio. The raw output must be exactly the samples the media framework decodes (the
// samples the conformance test holds against the reference decodings); the WAVE output must be
// that PCM converted to the first frame's channel count, behind a consistent header. Output
// names with a format prefix or "-" stream through the file modules and must give the same bytes.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <iterator>
#include <string>
#include <vector>

#include "media/modules/FrameworkDecoding.h"
#include "media/mpeg/MpegTestData.h"
#include "support/ShellRun.h"
#include "support/TempDir.h"

namespace veltro::cli {
namespace {

using media::FramePcmShape;
using media::FrameworkDecoding;
using testing::ReadBytes;
using testing::RunShell;
using testing::ShellRun;
using testing::TempDir;
using testing::WriteBytes;

std::string Conformance(const std::string& file) {
  return media::MpegTestDataPath("conformance/" + file);
}

std::string Quoted(const std::string& path) {
  return "'" + path + "'";
}

ShellRun Decode(const std::string& arguments) {
  return RunShell(std::string(VELTRO_CLI) + " decode " + arguments + " 2>&1");
}

std::vector<int16_t> Samples(const std::string& bytes, size_t from = 0) {
  std::vector<int16_t> samples;
  for (size_t i = from; i + 1 < bytes.size(); i += 2) {
    samples.push_back(static_cast<int16_t>(static_cast<uint8_t>(bytes[i]) |
                                           (static_cast<uint8_t>(bytes[i + 1]) << 8)));
  }
  return samples;
}

std::string LittleEndianBytes(const std::vector<int16_t>& samples) {
  std::string bytes;
  bytes.reserve(samples.size() * 2);
  for (const int16_t sample : samples) {
    const auto word = static_cast<uint16_t>(sample);
    bytes.push_back(static_cast<char>(word & 0xFFu));
    bytes.push_back(static_cast<char>(word >> 8));
  }
  return bytes;
}

uint32_t Little(const std::string& bytes, size_t at, int count) {
  uint32_t value = 0;
  for (int i = count - 1; i >= 0; --i) {
    value = (value << 8) | static_cast<uint8_t>(bytes[at + static_cast<size_t>(i)]);
  }
  return value;
}

std::vector<uint8_t> FileBytes(const std::string& path) {
  const std::string bytes = ReadBytes(path);
  return std::vector<uint8_t>(bytes.begin(), bytes.end());
}

TEST(DecodeCliTest, RawOutputOfEveryStreamIsTheFrameworkDecoding) {
  TempDir dir;
  for (const std::string& name : media::ConformanceStreams()) {
    SCOPED_TRACE(name);
    const std::string out = dir.File(name + ".raw");
    const ShellRun run = Decode(Quoted(Conformance(name + ".bit")) + " " + Quoted(out));
    ASSERT_EQ(run.status, 0) << run.output;
    const FrameworkDecoding decoded =
        media::DecodeThroughFramework(FileBytes(Conformance(name + ".bit")));
    ASSERT_EQ(decoded.endCode, media::kMfEndOfStream);
    ASSERT_FALSE(decoded.pcm.empty());
    const std::string raw = ReadBytes(out);
    ASSERT_EQ(raw.size(), decoded.pcm.size() * 2);
    EXPECT_TRUE(raw == LittleEndianBytes(decoded.pcm));
    EXPECT_NE(run.output.find("\n" + std::to_string(decoded.frames.size()) + " frames"),
              std::string::npos)
        << run.output;
  }
}

TEST(DecodeCliTest, PrintsTheStreamDescription) {
  TempDir dir;
  const ShellRun run = Decode(Quoted(Conformance("l1-fl1.bit")) + " " + Quoted(dir.File("a.raw")));
  ASSERT_EQ(run.status, 0) << run.output;
  EXPECT_NE(run.output.find("MPEG-1 Layer 1"), std::string::npos) << run.output;
  EXPECT_NE(run.output.find("32000 Hz"), std::string::npos) << run.output;
}

// The WAVE data the decode must give, each sample doubled: every frame of the raw output in
// `channels` channels, a mono frame duplicated into both, a stereo frame mixed down to the mean
// of its two samples (doubled, the mean is exact; its rounding to a sample is left open).
std::vector<int> TwiceTheWavSamples(const std::vector<int16_t>& raw,
                                    const std::vector<FramePcmShape>& frames, int channels) {
  std::vector<int> twice;
  size_t at = 0;
  for (const FramePcmShape& frame : frames) {
    for (int i = 0; i < frame.samples; ++i, at += static_cast<size_t>(frame.channels)) {
      if (frame.channels == channels) {
        for (int c = 0; c < channels; ++c) twice.push_back(2 * raw[at + static_cast<size_t>(c)]);
      } else if (frame.channels == 1) {
        twice.insert(twice.end(), 2, 2 * raw[at]);
      } else {
        twice.push_back(raw[at] + raw[at + 1]);
      }
    }
  }
  return twice;
}

void ExpectWavHeader(const std::string& wav, int channels, int sampleRateHz) {
  ASSERT_GE(wav.size(), 44u);
  const auto blockAlign = static_cast<uint32_t>(channels * 2);
  EXPECT_EQ(wav.substr(0, 4), "RIFF");
  EXPECT_EQ(Little(wav, 4, 4), wav.size() - 8);
  EXPECT_EQ(wav.substr(8, 8), "WAVEfmt ");
  EXPECT_EQ(Little(wav, 16, 4), 16u);
  EXPECT_EQ(Little(wav, 20, 2), 1u);  // PCM
  EXPECT_EQ(Little(wav, 22, 2), static_cast<uint32_t>(channels));
  EXPECT_EQ(Little(wav, 24, 4), static_cast<uint32_t>(sampleRateHz));
  EXPECT_EQ(Little(wav, 28, 4), static_cast<uint32_t>(sampleRateHz) * blockAlign);
  EXPECT_EQ(Little(wav, 32, 2), blockAlign);
  EXPECT_EQ(Little(wav, 34, 2), 16u);
  EXPECT_EQ(wav.substr(36, 4), "data");
  EXPECT_EQ(Little(wav, 40, 4), wav.size() - 44);
}

std::vector<uint8_t> Joined(const std::string& first, const std::string& second) {
  std::vector<uint8_t> bytes = FileBytes(Conformance(first + ".bit"));
  const std::vector<uint8_t> tail = FileBytes(Conformance(second + ".bit"));
  bytes.insert(bytes.end(), tail.begin(), tail.end());
  return bytes;
}

// A stereo stream, a mono stream, and two streams that change their channel count after 49
// frames (Layer I at 32 kHz: mono then stereo, stereo then mono), each decoded to raw samples and
// to WAVE.
TEST(DecodeCliTest, WavOutputIsTheRawOutputInTheFirstFramesChannelCount) {
  TempDir dir;
  const struct {
    std::string label;
    std::vector<uint8_t> bytes;
    bool switches;
  } cases[] = {{"stereo", FileBytes(Conformance("l2-fl10.bit")), false},
               {"mono", FileBytes(Conformance("l3-si.bit")), false},
               {"mono-then-stereo", Joined("l1-fl4", "l1-fl1"), true},
               {"stereo-then-mono", Joined("l1-fl1", "l1-fl4"), true}};
  for (const auto& stream : cases) {
    SCOPED_TRACE(stream.label);
    const std::string in = dir.File(stream.label + ".mp3");
    WriteBytes(in, std::string(stream.bytes.begin(), stream.bytes.end()));
    const std::string raw = dir.File(stream.label + ".raw");
    const std::string wav = dir.File(stream.label + ".wav");
    ASSERT_EQ(Decode(Quoted(in) + " " + Quoted(raw)).status, 0);
    ASSERT_EQ(Decode(Quoted(in) + " " + Quoted(wav)).status, 0);
    const FrameworkDecoding decoded = media::DecodeThroughFramework(stream.bytes);
    ASSERT_FALSE(decoded.frames.empty());
    EXPECT_EQ(decoded.frames.front().channels != decoded.frames.back().channels, stream.switches);
    const std::vector<int16_t> rawSamples = Samples(ReadBytes(raw));
    ASSERT_TRUE(rawSamples == decoded.pcm);
    const int channels = decoded.frames.front().channels;
    const std::vector<int> twice = TwiceTheWavSamples(rawSamples, decoded.frames, channels);
    const std::string wavBytes = ReadBytes(wav);
    ExpectWavHeader(wavBytes, channels, decoded.frames.front().sampleRateHz);
    const std::vector<int16_t> wavSamples = Samples(wavBytes, 44);
    ASSERT_EQ(wavSamples.size(), twice.size());
    size_t wrong = 0;
    for (size_t i = 0; i < twice.size(); ++i) {
      if (std::abs(2 * wavSamples[i] - twice[i]) > 1) ++wrong;
    }
    EXPECT_EQ(wrong, 0u);
  }
}

TEST(DecodeCliTest, OptionsSelectChannelsAndRate) {
  TempDir dir;
  const std::string out = dir.File("mean.wav");
  ASSERT_EQ(Decode("'" + Conformance("l2-fl10.bit") + "' '" + out + "' --channels 3 --downsample 1")
                .status,
            0);
  const std::string wav = ReadBytes(out);
  ASSERT_GE(wav.size(), 44u);
  EXPECT_EQ(Little(wav, 22, 2), 1u);
  EXPECT_EQ(Little(wav, 24, 4), 16000u);
  EXPECT_EQ(Decode("a b --channels 7").status, 2);
  EXPECT_EQ(Decode("only-one").status, 2);
}

TEST(DecodeCliTest, FilesWithoutMpegAudioFail) {
  TempDir dir;
  const std::string text = dir.File("notes.txt");
  WriteBytes(text, std::string(5000, 'x'));
  const std::string out = dir.File("out.raw");
  const ShellRun run = Decode("'" + text + "' '" + out + "'");
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.output.find("no MPEG audio"), std::string::npos) << run.output;
  EXPECT_FALSE(std::filesystem::exists(out));
  const ShellRun missing = Decode("'" + dir.File("absent.mp3") + "' '" + out + "'");
  EXPECT_EQ(missing.status, 1);
  EXPECT_NE(missing.output.find("cannot read"), std::string::npos) << missing.output;
}

// The streaming way: "wav:" and "raw:" files hold the same bytes as the in-memory way gives for
// a stream of one channel count.
TEST(DecodeCliTest, PrefixedOutputStreamsTheSameBytes) {
  TempDir dir;
  for (const char* name : {"l2-fl10", "l3-si"}) {
    SCOPED_TRACE(name);
    const std::string in = Quoted(Conformance(std::string(name) + ".bit"));
    const std::string memoryWav = dir.File(std::string(name) + "-memory.wav");
    const std::string streamedWav = dir.File(std::string(name) + "-streamed.wav");
    const std::string streamedRaw = dir.File(std::string(name) + "-streamed.raw");
    ASSERT_EQ(Decode(in + " " + Quoted(memoryWav)).status, 0);
    const ShellRun wavRun = Decode(in + " " + Quoted("wav:" + streamedWav));
    ASSERT_EQ(wavRun.status, 0) << wavRun.output;
    ASSERT_EQ(Decode(in + " " + Quoted("raw:" + streamedRaw)).status, 0);
    const FrameworkDecoding decoded =
        media::DecodeThroughFramework(FileBytes(Conformance(std::string(name) + ".bit")));
    ASSERT_EQ(decoded.endCode, media::kMfEndOfStream);
    const std::string wav = ReadBytes(streamedWav);
    ExpectWavHeader(wav, decoded.frames.front().channels, decoded.frames.front().sampleRateHz);
    EXPECT_TRUE(wav.substr(44) == LittleEndianBytes(decoded.pcm));
    EXPECT_TRUE(wav == ReadBytes(memoryWav));
    EXPECT_TRUE(ReadBytes(streamedRaw) == LittleEndianBytes(decoded.pcm));
    EXPECT_NE(wavRun.output.find("\n" + std::to_string(decoded.frames.size()) + " frames"),
              std::string::npos)
        << wavRun.output;
  }
}

// "-" as input and output: the samples go through a pipe in both directions. A WAVE header on
// a pipe cannot be completed, so it keeps the sizes of an empty file.
TEST(DecodeCliTest, DashDecodesFromAndToPipes) {
  const std::string in = Quoted(Conformance("l2-fl10.bit"));
  const FrameworkDecoding decoded =
      media::DecodeThroughFramework(FileBytes(Conformance("l2-fl10.bit")));
  ASSERT_EQ(decoded.endCode, media::kMfEndOfStream);
  const std::string pcm = LittleEndianBytes(decoded.pcm);
  const ShellRun raw =
      RunShell("cat " + in + " | " + std::string(VELTRO_CLI) + " decode - - 2>/dev/null");
  ASSERT_EQ(raw.status, 0);
  EXPECT_EQ(raw.output.size(), pcm.size());
  EXPECT_TRUE(raw.output == pcm);
  const ShellRun wav = RunShell(std::string(VELTRO_CLI) + " decode " + in + " wav:- 2>/dev/null");
  ASSERT_EQ(wav.status, 0);
  ASSERT_EQ(wav.output.size(), 44 + pcm.size());
  EXPECT_EQ(Little(wav.output, 4, 4), 36u);
  EXPECT_EQ(Little(wav.output, 24, 4), 32000u);
  EXPECT_EQ(Little(wav.output, 40, 4), 0u);
  EXPECT_TRUE(wav.output.substr(44) == pcm);
}

TEST(DecodeCliTest, StreamingFailuresLeaveNoOutput) {
  TempDir dir;
  const std::string out = dir.File("out.wav");
  const ShellRun missing = Decode(Quoted(dir.File("absent.mp3")) + " " + Quoted("wav:" + out));
  EXPECT_EQ(missing.status, 1);
  EXPECT_NE(missing.output.find("file not found"), std::string::npos) << missing.output;
  EXPECT_FALSE(std::filesystem::exists(out));
  const std::string text = dir.File("notes.txt");
  WriteBytes(text, std::string(5000, 'x'));
  const ShellRun notAudio = Decode(Quoted(text) + " " + Quoted("wav:" + out));
  EXPECT_EQ(notAudio.status, 1);
  EXPECT_NE(notAudio.output.find("no MPEG audio"), std::string::npos) << notAudio.output;
  EXPECT_FALSE(std::filesystem::exists(out));
  const ShellRun noFolder =
      Decode(Quoted(Conformance("l2-fl10.bit")) + " " + Quoted("raw:" + dir.File("no/x.raw")));
  EXPECT_EQ(noFolder.status, 1);
  EXPECT_NE(noFolder.output.find("No such file or directory"), std::string::npos)
      << noFolder.output;
}

std::string Cli() {
  return std::string(VELTRO_CLI);
}

// Song-named files that are no songs are refused at once, with one line saying what they are.
TEST(DecodeCliTest, RefusesWhatIsNotARegularFileWithoutWaiting) {
  TempDir dir;
  const std::string fifo = dir.File("x.mp3");  // no writer: opening it must not wait
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  const std::string folder = dir.File("d.mp3");
  std::filesystem::create_directory(folder);
  const std::string zero = dir.File("z.mp3");
  std::filesystem::create_symlink("/dev/zero", zero);
  const std::string out = dir.File("out.raw");
  struct Case {
    std::string input;
    std::string output;
    std::string expected;
  } cases[] = {
      {fifo, out, fifo + " is a FIFO, not a regular file"},
      {fifo, "wav:" + out, fifo + " is a FIFO, not a regular file"},
      {folder, out, folder + " is a folder, not a regular file"},
      {zero, out, zero + " is a device, not a regular file"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.input + " " + c.output);
    const ShellRun run = RunShell("timeout 10 " + Cli() + " decode " + Quoted(c.input) + " " +
                                  Quoted(c.output) + " 2>&1");
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.output, "veltro-cli: " + c.expected + "\n");
    EXPECT_FALSE(std::filesystem::exists(out));
  }
}

// Input is read as a stream and searched for audio only so far: a 2 GB file of zeros, a link to
// /dev/zero and endless zeros on standard input each end with one line in little memory.
TEST(DecodeCliTest, HugeOrEndlessInputWithoutAudioEndsInBoundedMemory) {
  constexpr int kMemoryLimitMiB = 64;
  TempDir dir;
  const std::string sparse = dir.File("x.mp3");
  WriteBytes(sparse, "");
  std::filesystem::resize_file(sparse, uintmax_t{2} << 30);  // all zeros, no blocks used
  const std::string zero = dir.File("z.mp3");
  std::filesystem::create_symlink("/dev/zero", zero);
  const std::string out = dir.File("out.raw");
  const std::string log = dir.File("log.txt");
  struct Case {
    std::string arguments;
    std::string expected;
  } cases[] = {
      {Quoted(sparse) + " " + Quoted(out), sparse + " holds no MPEG audio"},
      {Quoted(zero) + " " + Quoted(out), zero + " is a device"},
      {"- " + Quoted(out) + " < /dev/zero", "- holds no MPEG audio"},
      {"- - < /dev/zero", "- holds no MPEG audio"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.arguments);
    const int peakMiB =
        testing::PeakMemoryMiB("timeout 60 " + Cli() + " decode " + c.arguments + " > " +
                               Quoted(log) + " 2>&1; echo $? >> " + Quoted(log));
    EXPECT_GE(peakMiB, 0);
    EXPECT_LT(peakMiB, kMemoryLimitMiB);
    const std::string output = ReadBytes(log);
    EXPECT_EQ(output.rfind("veltro-cli: " + c.expected, 0), 0u) << output;
    EXPECT_TRUE(output.ends_with("\n1\n")) << output;
    EXPECT_FALSE(std::filesystem::exists(out));
  }
}

// OUT naming IN is refused; devices and FIFOs are written straight; a failed decode leaves an
// output it did not create exactly as it was (a FIFO node included).
TEST(DecodeCliTest, NeverHarmsAnOutputItDidNotCreate) {
  TempDir dir;
  const std::string song = dir.File("s.mp3");
  WriteBytes(song, ReadBytes(Conformance("l3-si.bit")));
  const std::string songBytes = ReadBytes(song);
  for (const std::string& out : {song, "raw:" + song, "wav:" + song}) {
    SCOPED_TRACE(out);
    const ShellRun run = Decode(Quoted(song) + " " + Quoted(out));
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.output, "veltro-cli: cannot write " + song + ": it is the input itself\n");
    EXPECT_TRUE(ReadBytes(song) == songBytes);
  }
  for (const char* out : {"/dev/null", "raw:/dev/null", "wav:/dev/null"}) {
    SCOPED_TRACE(out);
    EXPECT_EQ(Decode(Quoted(song) + " " + out).status, 0);
    EXPECT_TRUE(std::filesystem::is_character_file("/dev/null"));
  }
  const std::string fifo = dir.File("pipe.raw");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  const std::string viaFifo = dir.File("via-fifo.raw");
  const std::string direct = dir.File("direct.raw");
  ASSERT_EQ(Decode(Quoted(song) + " " + Quoted(direct)).status, 0);
  const ShellRun piped =
      RunShell("cat " + Quoted(fifo) + " > " + Quoted(viaFifo) + " & " + Cli() + " decode " +
               Quoted(song) + " " + Quoted(fifo) + " 2>/dev/null; status=$?; wait; exit $status");
  EXPECT_EQ(piped.status, 0);
  EXPECT_TRUE(ReadBytes(viaFifo) == ReadBytes(direct));
  const std::string notes = dir.File("notes.txt");
  WriteBytes(notes, std::string(5000, 'x'));
  const std::string kept = dir.File("kept.wav");
  WriteBytes(kept, "old contents");
  for (const std::string& out : {kept, "wav:" + kept, "raw:" + fifo}) {
    SCOPED_TRACE(out);
    EXPECT_EQ(RunShell("timeout 10 " + Cli() + " decode " + Quoted(notes) + " " + Quoted(out) +
                       " 2>/dev/null")
                  .status,
              1);
    EXPECT_EQ(ReadBytes(kept), "old contents");
    EXPECT_TRUE(std::filesystem::is_fifo(fifo));
  }
}

// Standard input cannot seek past an ID3v2 tag, so the tag is read and dropped: the header-like
// bytes inside it must not become a frame, and no audio frame may be lost.
TEST(DecodeCliTest, StandardInputSkipsAnId3v2TagAsAFileDoes) {
  TempDir dir;
  std::string body;
  for (int i = 0; i < 300; ++i) body += "\xFF\xFB\x90\x64";  // a frame header, repeated
  const auto size = static_cast<uint32_t>(body.size());
  std::string tag = "ID3\x03";
  tag += '\0';
  tag += '\0';
  for (int shift = 21; shift >= 0; shift -= 7) tag += static_cast<char>((size >> shift) & 0x7F);
  const std::string stream = ReadBytes(Conformance("l3-si.bit"));
  const std::string tagged = dir.File("tagged.mp3");
  WriteBytes(tagged, tag + body + stream);
  const FrameworkDecoding decoded =
      media::DecodeThroughFramework(std::vector<uint8_t>(stream.begin(), stream.end()));
  ASSERT_EQ(decoded.endCode, media::kMfEndOfStream);
  const ShellRun fromFile = RunShell(Cli() + " decode " + Quoted(tagged) + " - 2>/dev/null");
  const ShellRun fromPipe =
      RunShell("cat " + Quoted(tagged) + " | " + Cli() + " decode - - 2>/dev/null");
  ASSERT_EQ(fromFile.status, 0);
  ASSERT_EQ(fromPipe.status, 0);
  EXPECT_EQ(fromPipe.output.size(), decoded.pcm.size() * 2);
  EXPECT_TRUE(fromFile.output == LittleEndianBytes(decoded.pcm));
  EXPECT_TRUE(fromPipe.output == fromFile.output);
}

// Ctrl-C ends a decode of endless input with status 130; an output replaced atomically keeps
// its old contents and no temporary is left beside it.
TEST(DecodeCliTest, CtrlCStopsAnEndlessDecodeAndKeepsTheOldOutput) {
  TempDir dir;
  const std::string song = Quoted(Conformance("l3-si.bit"));
  const std::string wav = dir.File("out.wav");
  const std::string raw = dir.File("out.raw");
  for (const std::string& out : {wav, "raw:" + raw}) {
    SCOPED_TRACE(out);
    WriteBytes(wav, "old wav");
    WriteBytes(raw, "old raw");
    // A watchdog ends a decode that ignores the request, so the test fails instead of hanging.
    const ShellRun run = RunShell("(while cat " + song + "; do :; done) | " + Cli() + " decode - " +
                                  Quoted(out) + " 2>/dev/null & pid=$!; sleep 1; kill -INT $pid; " +
                                  "(sleep 10; kill -KILL $pid) >/dev/null 2>&1 & dog=$!; " +
                                  "wait $pid; status=$?; kill $dog; echo $status");
    EXPECT_EQ(run.output, "130\n");
    EXPECT_EQ(ReadBytes(wav), "old wav");
    EXPECT_EQ(ReadBytes(raw), "old raw");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()),
                            std::filesystem::directory_iterator()),
              2);
  }
}

}  // namespace
}  // namespace veltro::cli
