// The MPEG file information scanner on real streams: every conformance stream walked to its end
// lasts as long as its decoding (within one frame); files encoded here with libmp3lame get
// their Xing durations from the header under the folder scan's frame limit; a long ID3v2 tag and
// long files move the walk through the file in several reads; every damaged stream of the
// robustness set scans without a fault and with figures in range.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "media/modules/FrameworkDecoding.h"
#include "media/mp3info/Mp3InfoScanner.h"
#include "media/mpeg/MpegTestData.h"
#include "support/Fixtures.h"
#include "support/Mp3Encoder.h"
#include "support/TempDir.h"

namespace veltro::media {
namespace {

using testing::Mp3EncoderOptions;
using testing::Mp3Mode;
using testing::TempDir;

struct ScannerDeleter {
  void operator()(Mp3InfoScanner* scanner) const { mp3info_delete(scanner); }
};
using ScannerPointer = std::unique_ptr<Mp3InfoScanner, ScannerDeleter>;

ScannerPointer NewScanner() {
  Mp3InfoScanner* scanner = nullptr;
  EXPECT_EQ(mp3info_new(&scanner), kMp3InfoOk);
  return ScannerPointer(scanner);
}

void WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
  testing::WriteBytes(path,
                      std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

int RecordPosition(void* clientData, const Mp3InfoFrame* frame) {
  static_cast<std::vector<int64_t>*>(clientData)->push_back(frame->position);
  return 0;
}

// Milliseconds of audio in a framework decoding, and of its longest frame.
struct DecodedLength {
  double ms = 0;
  double longestFrameMs = 0;
};

DecodedLength LengthOf(const FrameworkDecoding& decoded) {
  DecodedLength length;
  for (const FramePcmShape& frame : decoded.frames) {
    const double ms = 1000.0 * frame.samples / frame.sampleRateHz;
    length.ms += ms;
    length.longestFrameMs = std::max(length.longestFrameMs, ms);
  }
  return length;
}

TEST(Mp3InfoStreamsTest, EveryConformanceStreamLastsAsLongAsItsDecoding) {
  ScannerPointer scanner = NewScanner();
  for (const std::string& name : ConformanceStreams()) {
    SCOPED_TRACE(name);
    const std::string path = MpegTestDataPath("conformance/" + name + ".bit");
    const std::vector<uint8_t> bytes = ReadFileBytes(path);
    ASSERT_FALSE(bytes.empty());
    const FrameworkDecoding decoded = DecodeThroughFramework(bytes);
    ASSERT_FALSE(decoded.frames.empty());
    Mp3Info info{};
    ASSERT_EQ(mp3info_scan(scanner.get(), path.c_str(), nullptr, nullptr, &info, 0, 0, 0),
              kMp3InfoOk);
    const DecodedLength length = LengthOf(decoded);
    std::printf("%-20s frames %5d / %5zu  duration %7d ms / %9.2f ms  bitrate %6d  flags 0x%x\n",
                name.c_str(), info.frames, decoded.frames.size(), info.duration, length.ms,
                info.bitrate, info.flags);
    EXPECT_LE(std::abs(info.duration - length.ms), length.longestFrameMs);
    EXPECT_LE(std::abs(info.frames - static_cast<int>(decoded.frames.size())), 1);
    EXPECT_EQ(info.frequency, decoded.frames[0].sampleRateHz);
    EXPECT_EQ(info.channels, decoded.frames[0].channels);
    EXPECT_GT(info.bitrate, 0);
    EXPECT_EQ(scanner->audioBytes, static_cast<int64_t>(bytes.size()));
  }
}

struct EncodedCase {
  const char* name;
  int rateHz;
  Mp3Mode mode;
  int cbrKbps;
  int vbrQuality;  // -1: constant bit rate
  bool infoTag;
};

Mp3EncoderOptions OptionsOf(const EncodedCase& c) {
  Mp3EncoderOptions options;
  options.sampleRateHz = c.rateHz;
  options.mode = c.mode;
  options.cbrKbps = c.cbrKbps;
  options.vbrQuality = c.vbrQuality;
  options.infoTag = c.infoTag;
  return options;
}

// The VBR streams carry a Xing header whose frame count leaves out the header's own frame;
// the constant-rate streams (an "Info" header is not a Xing header) are timed by their size.
TEST(Mp3InfoStreamsTest, EncodedFilesGetTheirDurationsUnderTheFolderScanLimit) {
  const EncodedCase cases[] = {
      {"VbrQ2JointStereo44k", 44100, Mp3Mode::kJointStereo, 0, 2, false},
      {"VbrQ5Mono48k", 48000, Mp3Mode::kMono, 0, 5, false},
      {"VbrQ4Stereo22k", 22050, Mp3Mode::kStereo, 0, 4, false},
      {"VbrQ6Mono11k", 11025, Mp3Mode::kMono, 0, 6, false},
      {"Cbr128Stereo44k", 44100, Mp3Mode::kStereo, 128, -1, false},
      {"Cbr128InfoTag44k", 44100, Mp3Mode::kStereo, 128, -1, true},
      {"Cbr48JointStereo16k", 16000, Mp3Mode::kJointStereo, 48, -1, false},
  };
  TempDir dir;
  ScannerPointer scanner = NewScanner();
  for (const EncodedCase& c : cases) {
    SCOPED_TRACE(c.name);
    const int channels = c.mode == Mp3Mode::kMono ? 1 : 2;
    const auto signal = testing::MusicLike(static_cast<uint32_t>(c.rateHz), 6.0, channels, 3);
    const std::vector<uint8_t> mp3 = testing::EncodeMp3(signal, OptionsOf(c));
    ASSERT_FALSE(mp3.empty());
    const std::string path = dir.File(std::string(c.name) + ".mp3");
    WriteFile(path, mp3);
    const FrameworkDecoding decoded = DecodeThroughFramework(mp3);
    ASSERT_GT(decoded.frames.size(), 100u);
    const int64_t frameSamples = decoded.frames[0].samples;
    Mp3Info info{};
    ASSERT_EQ(mp3info_scan(scanner.get(), path.c_str(), nullptr, nullptr, &info, 0, 0, 50),
              kMp3InfoOk);
    EXPECT_EQ(info.frames, 50);
    EXPECT_EQ(info.frequency, c.rateHz);
    EXPECT_EQ(info.channels, channels);
    const auto size = static_cast<int64_t>(mp3.size());
    if (c.vbrQuality >= 0) {
      const int64_t audioFrames = static_cast<int64_t>(decoded.frames.size()) - 1;
      const int64_t expectedMs = audioFrames * frameSamples * 1000 / c.rateHz;
      EXPECT_EQ(info.duration, expectedMs);
      EXPECT_EQ(info.bitrate, size / (expectedMs / 1000) * 8);
    } else {
      EXPECT_EQ(info.bitrate, c.cbrKbps * 1000);
      EXPECT_EQ(info.duration, size * 8000 / (c.cbrKbps * 1000));
      const DecodedLength length = LengthOf(decoded);
      EXPECT_LE(std::abs(info.duration - length.ms), 2 * length.longestFrameMs);
    }
    // Walking the whole file counts every frame the decoder decodes.
    ASSERT_EQ(mp3info_scan(scanner.get(), path.c_str(), nullptr, nullptr, &info, 0, 0, 0),
              kMp3InfoOk);
    EXPECT_EQ(info.frames, static_cast<int>(decoded.frames.size()));
    EXPECT_EQ(info.duration,
              static_cast<int64_t>(decoded.frames.size()) * frameSamples * 1000 / c.rateHz);
  }
}

// 150 KB of ID3v2 tag, then 3000 frames of 384 and 480 bytes in a fixed pattern: the first read
// of the file's head holds no frame, and the walk crosses many read boundaries.
TEST(Mp3InfoStreamsTest, WalkFindsEveryFrameBehindALongTagAndAcrossTheWholeFile) {
  const uint32_t tagBody = 150000;
  std::vector<uint8_t> bytes = {'I', 'D', '3', 4, 0, 0};
  for (int shift = 21; shift >= 0; shift -= 7) bytes.push_back(uint8_t((tagBody >> shift) & 0x7F));
  bytes.resize(bytes.size() + tagBody, 0xFF);  // sync-like bytes inside the tag are skipped
  std::vector<int64_t> expectedEnds;
  for (int i = 0; i < 3000; ++i) {
    const bool longer = i % 7 == 3;
    const uint8_t header[4] = {0xFF, 0xFB, uint8_t(longer ? 0xA4 : 0x94), 0x00};
    const size_t start = bytes.size();
    bytes.resize(start + (longer ? 480 : 384), 0);
    std::memcpy(bytes.data() + start, header, 4);
    expectedEnds.push_back(static_cast<int64_t>(bytes.size()));
  }
  expectedEnds[0] += 4;  // the first frame is confirmed by the header after it
  TempDir dir;
  const std::string path = dir.File("long-tag.mp3");
  WriteFile(path, bytes);
  ScannerPointer scanner = NewScanner();
  std::vector<int64_t> positions;
  Mp3Info info{};
  ASSERT_EQ(mp3info_scan(scanner.get(), path.c_str(), RecordPosition, &positions, &info, 0, 0, 0),
            kMp3InfoOk);
  EXPECT_EQ(positions, expectedEnds);
  EXPECT_EQ(info.frames, 3000);
  EXPECT_EQ(info.duration, 3000 * 24);
  EXPECT_EQ(info.flags, kMp3InfoId3v2Tag | kMp3InfoBitrateChanged);
  EXPECT_EQ(scanner->audioBytes, static_cast<int64_t>(bytes.size()) - 150010);
  EXPECT_EQ(info.bitrate, static_cast<int>(static_cast<double>(scanner->audioBytes) * 8 / 72.0));

  positions.clear();
  ASSERT_EQ(mp3info_scan(scanner.get(), path.c_str(), RecordPosition, &positions, &info, 0, 0, 50),
            kMp3InfoOk);
  ASSERT_EQ(positions.size(), 50u);
  EXPECT_EQ(positions.front(), 150010 + 384 + 4);
  EXPECT_EQ(positions.back(), expectedEnds[49]);
}

bool NulWithin(const char* text, size_t slotBytes) {
  return text == nullptr || std::memchr(text, 0, slotBytes) != nullptr;
}

// Damaged and unusual streams: the scan ends normally with figures in range, whatever the
// frame limit and search limit.
TEST(Mp3InfoStreamsTest, DamagedStreamsScanWithFiguresInRange) {
  ScannerPointer scanner = NewScanner();
  size_t files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(MpegTestDataPath("robustness"))) {
    SCOPED_TRACE(entry.path().filename().string());
    for (const int frameLimit : {0, 1, 50}) {
      for (const int searchLimit : {0, 64}) {
        Mp3Info info{};
        const int result = mp3info_scan(scanner.get(), entry.path().c_str(), nullptr, nullptr,
                                        &info, 0, searchLimit, frameLimit);
        ASSERT_TRUE(result == kMp3InfoOk || (searchLimit > 0 && result == kMp3InfoNoHeaderInLimit));
        EXPECT_GE(info.frames, 0);
        EXPECT_GE(info.duration, 0);
        if (frameLimit > 0) {
          EXPECT_LE(info.frames, frameLimit);
        }
        EXPECT_TRUE(info.channels == -1 || info.channels == 1 || info.channels == 2);
        EXPECT_TRUE(info.layer == -1 || (info.layer >= 1 && info.layer <= 3));
        EXPECT_TRUE(info.level >= -1 && info.level <= 2);
        EXPECT_TRUE(NulWithin(info.title, kMp3InfoTextSlotBytes));
        EXPECT_TRUE(NulWithin(info.year, kMp3InfoYearSlotBytes));
        EXPECT_EQ(info.frames == 0, info.frequency == -1 && info.channels == -1);
      }
    }
    ++files;
  }
  EXPECT_GT(files, 40u);
}

}  // namespace
}  // namespace veltro::media
