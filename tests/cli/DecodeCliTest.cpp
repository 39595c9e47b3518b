// Runs `veltro-cli decode` as a real process on conformance streams and on files that are not
// MPEG audio, and checks the PCM it writes, its WAVE header and its exit status.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "cli/ShellRun.h"
#include "support/TempDir.h"

namespace veltro::cli {
namespace {

using testing::ReadBytes;
using testing::RunShell;
using testing::ShellRun;
using testing::TempDir;
using testing::WriteBytes;

std::string Conformance(const std::string& file) {
  const char* root = std::getenv("VELTRO_TESTDATA");
  return std::string(root != nullptr ? root : "../shared/testdata") + "/mpeg/conformance/" + file;
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

uint32_t Little(const std::string& bytes, size_t at, int count) {
  uint32_t value = 0;
  for (int i = count - 1; i >= 0; --i) {
    value = (value << 8) | static_cast<uint8_t>(bytes[at + static_cast<size_t>(i)]);
  }
  return value;
}

int LargestDifference(const std::vector<int16_t>& a, const std::vector<int16_t>& b) {
  int largest = 0;
  for (size_t i = 0; i < std::min(a.size(), b.size()); ++i) {
    largest = std::max(largest, std::abs(int{a[i]} - int{b[i]}));
  }
  return largest;
}

TEST(DecodeCliTest, RawOutputMatchesTheReference) {
  TempDir dir;
  const std::string out = dir.File("fl1.raw");
  const ShellRun run = Decode("'" + Conformance("l1-fl1.bit") + "' '" + out + "'");
  ASSERT_EQ(run.status, 0) << run.output;
  EXPECT_NE(run.output.find("MPEG-1 Layer 1"), std::string::npos) << run.output;
  EXPECT_NE(run.output.find("32000 Hz"), std::string::npos) << run.output;
  const std::vector<int16_t> decoded = Samples(ReadBytes(out));
  const std::vector<int16_t> reference = Samples(ReadBytes(Conformance("l1-fl1.pcm")));
  ASSERT_GT(decoded.size(), 30000u);
  EXPECT_LE(LargestDifference(decoded, reference), 1);
}

TEST(DecodeCliTest, WavOutputHasAValidHeader) {
  TempDir dir;
  const std::string out = dir.File("fl1.WAV");
  ASSERT_EQ(Decode("'" + Conformance("l1-fl1.bit") + "' '" + out + "'").status, 0);
  const std::string wav = ReadBytes(out);
  ASSERT_GE(wav.size(), 44u);
  EXPECT_EQ(wav.substr(0, 4), "RIFF");
  EXPECT_EQ(Little(wav, 4, 4), wav.size() - 8);
  EXPECT_EQ(wav.substr(8, 8), "WAVEfmt ");
  EXPECT_EQ(Little(wav, 16, 4), 16u);
  EXPECT_EQ(Little(wav, 20, 2), 1u);  // PCM
  EXPECT_EQ(Little(wav, 22, 2), 2u);  // channels
  EXPECT_EQ(Little(wav, 24, 4), 32000u);
  EXPECT_EQ(Little(wav, 28, 4), 32000u * 4);
  EXPECT_EQ(Little(wav, 32, 2), 4u);
  EXPECT_EQ(Little(wav, 34, 2), 16u);
  EXPECT_EQ(wav.substr(36, 4), "data");
  EXPECT_EQ(Little(wav, 40, 4), wav.size() - 44);
  const std::vector<int16_t> reference = Samples(ReadBytes(Conformance("l1-fl1.pcm")));
  EXPECT_LE(LargestDifference(Samples(wav, 44), reference), 1);
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

}  // namespace
}  // namespace veltro::cli
