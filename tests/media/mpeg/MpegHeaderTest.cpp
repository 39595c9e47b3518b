// Frame header: unpacking, the validity rules, the bitrate and frequency tables and the frame
// length, checked on constructed headers and by walking every conformance stream.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "media/mpeg/MpegHeader.h"
#include "media/mpeg/MpegTestData.h"

namespace veltro::media {
namespace {

// Bits 20-19 of the header word for each level (0 MPEG-1, 1 MPEG-2, 2 MPEG 2.5, 3 reserved).
constexpr uint32_t kVersionBits[4] = {3, 2, 0, 1};

struct HeaderFields {
  int level = 0;
  int layer = 3;  // 1, 2 or 3
  int bitrateIndex = 9;
  int samplingIndex = 0;
  int padding = 0;
  int mode = kModeStereo;
  int protection = 1;
};

uint32_t MakeWord(const HeaderFields& f) {
  return 0xFFE00000u | (kVersionBits[f.level] << 19) | (uint32_t(4 - f.layer) << 17) |
         (uint32_t(f.protection) << 16) | (uint32_t(f.bitrateIndex) << 12) |
         (uint32_t(f.samplingIndex) << 10) | (uint32_t(f.padding) << 9) | (uint32_t(f.mode) << 6);
}

MpegFrameHeader Make(const HeaderFields& fields) {
  return UnpackHeader(MakeWord(fields));
}

TEST(MpegHeaderTest, UnpacksEveryFieldFromItsBits) {
  // 1111 1111 1111 1011 | 1001 0010 | 0110 1101: MPEG-1 Layer III, no CRC, 128 kbit/s,
  // 44100 Hz, padding, joint stereo, mode extension 2, original, emphasis 1.
  const MpegFrameHeader h = UnpackHeader(0xFFFB926Du);
  EXPECT_EQ(h.level, 0);
  EXPECT_EQ(h.layerCode, 1);
  EXPECT_EQ(h.protection, 1);
  EXPECT_EQ(h.bitrateIndex, 9);
  EXPECT_EQ(h.samplingIndex, 0);
  EXPECT_EQ(h.padding, 1);
  EXPECT_EQ(h.privateBit, 0);
  EXPECT_EQ(h.mode, kModeJointStereo);
  EXPECT_EQ(h.modeExtension, 2);
  EXPECT_EQ(h.copyright, 1);
  EXPECT_EQ(h.original, 1);
  EXPECT_EQ(h.emphasis, 1);
  const MpegFrameHeader other = UnpackHeader(0xFFFCA100u);
  EXPECT_EQ(other.layerCode, 2);
  EXPECT_EQ(other.protection, 0);
  EXPECT_EQ(other.privateBit, 1);
  EXPECT_EQ(other.mode, kModeStereo);
}

TEST(MpegHeaderTest, VersionBitsGiveTheLevel) {
  EXPECT_EQ(UnpackHeader(0xFFFB9000u).level, 0);  // 11: MPEG-1
  EXPECT_EQ(UnpackHeader(0xFFF39000u).level, 1);  // 10: MPEG-2
  EXPECT_EQ(UnpackHeader(0xFFE39000u).level, 2);  // 00: MPEG 2.5
  EXPECT_EQ(UnpackHeader(0xFFEB9000u).level, 3);  // 01: reserved
  EXPECT_FALSE(IsValidHeader(UnpackHeader(0xFFEB9000u)));
  EXPECT_TRUE(IsValidHeader(UnpackHeader(0xFFE39000u)));
}

TEST(MpegHeaderTest, SyncWordNeedsAllElevenBits) {
  EXPECT_TRUE(HasSyncWord(0xFFE00000u));
  EXPECT_FALSE(HasSyncWord(0xFFC00000u));
  EXPECT_FALSE(HasSyncWord(0x7FE00000u));
}

TEST(MpegHeaderTest, ReservedAndForbiddenFieldsAreRejected) {
  EXPECT_TRUE(IsValidHeader(Make({})));
  EXPECT_FALSE(IsValidHeader(Make({.bitrateIndex = 0})));                 // free format
  EXPECT_FALSE(IsValidHeader(Make({.bitrateIndex = 15})));                // forbidden
  EXPECT_FALSE(IsValidHeader(Make({.samplingIndex = 3})));                // reserved
  EXPECT_FALSE(IsValidHeader(UnpackHeader(MakeWord({}) & ~(3u << 17))));  // layer code 0
}

TEST(MpegHeaderTest, PaddingOnlyAtTheRatesThatNeedIt) {
  EXPECT_TRUE(IsValidHeader(Make({.samplingIndex = 0, .padding = 1})));               // 44100
  EXPECT_FALSE(IsValidHeader(Make({.samplingIndex = 1, .padding = 1})));              // 48000
  EXPECT_FALSE(IsValidHeader(Make({.samplingIndex = 2, .padding = 1})));              // 32000
  EXPECT_TRUE(IsValidHeader(Make({.level = 1, .samplingIndex = 0, .padding = 1})));   // 22050
  EXPECT_FALSE(IsValidHeader(Make({.level = 1, .samplingIndex = 1, .padding = 1})));  // 24000
  EXPECT_TRUE(IsValidHeader(Make({.level = 2, .samplingIndex = 0, .padding = 1})));   // 11025
}

TEST(MpegHeaderTest, Layer2Mpeg1BitrateAndModeCombinations) {
  for (int index : {1, 2, 3, 5}) {  // 32, 48, 56, 80 kbit/s: mono only
    EXPECT_FALSE(IsValidHeader(Make({.layer = 2, .bitrateIndex = index, .mode = kModeStereo})));
    EXPECT_FALSE(
        IsValidHeader(Make({.layer = 2, .bitrateIndex = index, .mode = kModeDualChannel})));
    EXPECT_TRUE(IsValidHeader(Make({.layer = 2, .bitrateIndex = index, .mode = kModeMono})));
  }
  for (int index = 11; index <= 14; ++index) {  // 224..384 kbit/s: never mono
    EXPECT_FALSE(IsValidHeader(Make({.layer = 2, .bitrateIndex = index, .mode = kModeMono})));
    EXPECT_TRUE(IsValidHeader(Make({.layer = 2, .bitrateIndex = index, .mode = kModeJointStereo})));
  }
  for (int index : {4, 6, 7, 8, 9, 10}) {  // 64, 96..192 kbit/s: every mode
    EXPECT_TRUE(IsValidHeader(Make({.layer = 2, .bitrateIndex = index, .mode = kModeMono})));
    EXPECT_TRUE(IsValidHeader(Make({.layer = 2, .bitrateIndex = index, .mode = kModeStereo})));
  }
  // The rule belongs to MPEG-1 Layer II only.
  EXPECT_TRUE(
      IsValidHeader(Make({.level = 1, .layer = 2, .bitrateIndex = 1, .mode = kModeStereo})));
  EXPECT_TRUE(IsValidHeader(Make({.layer = 3, .bitrateIndex = 1, .mode = kModeStereo})));
  EXPECT_TRUE(IsValidHeader(Make({.layer = 1, .bitrateIndex = 14, .mode = kModeMono})));
}

TEST(MpegHeaderTest, Mpeg25IsLayer3Only) {
  EXPECT_TRUE(IsValidHeader(Make({.level = 2, .layer = 3})));
  EXPECT_FALSE(IsValidHeader(Make({.level = 2, .layer = 2})));
  EXPECT_FALSE(IsValidHeader(Make({.level = 2, .layer = 1})));
}

TEST(MpegHeaderTest, BitrateAndFrequencyTables) {
  struct Case {
    int level, layer, index, kbps;
  };
  const Case cases[] = {{0, 1, 1, 32},   {0, 1, 14, 448}, {0, 2, 1, 32},   {0, 2, 8, 128},
                        {0, 2, 14, 384}, {0, 3, 1, 32},   {0, 3, 2, 40},   {0, 3, 14, 320},
                        {1, 1, 1, 32},   {1, 1, 9, 144},  {1, 1, 14, 256}, {1, 2, 1, 8},
                        {1, 3, 8, 64},   {1, 3, 14, 160}, {2, 3, 1, 8},    {2, 3, 14, 160}};
  for (const Case& c : cases) {
    EXPECT_EQ(BitrateKbps(Make({.level = c.level, .layer = c.layer, .bitrateIndex = c.index})),
              c.kbps)
        << c.level << "/" << c.layer << "/" << c.index;
  }
  EXPECT_EQ(BitrateKbps(Make({.bitrateIndex = 0})), 0);
  EXPECT_EQ(BitrateKbps(Make({.bitrateIndex = 15})), 0);
  const int rates[3][4] = {
      {44100, 48000, 32000, 0}, {22050, 24000, 16000, 0}, {11025, 12000, 8000, 0}};
  for (int level = 0; level < 3; ++level) {
    for (int index = 0; index < 4; ++index) {
      EXPECT_EQ(FrequencyHz(Make({.level = level, .samplingIndex = index})), rates[level][index]);
    }
  }
}

TEST(MpegHeaderTest, FrameLengthPerLayer) {
  EXPECT_EQ(FrameLength(Make({.bitrateIndex = 9, .padding = 0})), 417);  // 128 kbit/s, 44100 Hz
  EXPECT_EQ(FrameLength(Make({.bitrateIndex = 9, .padding = 1})), 418);
  EXPECT_EQ(FrameLength(Make({.layer = 1, .bitrateIndex = 1})), 32);  // (12000*32/44100)*4
  EXPECT_EQ(FrameLength(Make({.layer = 1, .bitrateIndex = 1, .padding = 1})), 36);
  EXPECT_EQ(FrameLength(Make({.layer = 1, .bitrateIndex = 12, .samplingIndex = 1})), 384);
  EXPECT_EQ(FrameLength(Make({.layer = 2, .bitrateIndex = 10, .samplingIndex = 1})), 576);
  EXPECT_EQ(FrameLength(Make({.layer = 2, .bitrateIndex = 14, .samplingIndex = 2})), 1728);
  EXPECT_EQ(FrameLength(Make({.layer = 2, .bitrateIndex = 8, .padding = 1})), 418);
  EXPECT_EQ(FrameLength(Make({.level = 1, .bitrateIndex = 8, .samplingIndex = 1})), 192);
  EXPECT_EQ(FrameLength(Make({.level = 1, .bitrateIndex = 1, .padding = 1})), 27);  // 22050
  EXPECT_EQ(FrameLength(Make({.level = 2, .bitrateIndex = 1, .samplingIndex = 2})), 72);
  EXPECT_EQ(FrameLength(Make({.level = 1, .layer = 2, .bitrateIndex = 14, .samplingIndex = 2})),
            1440);
}

TEST(MpegHeaderTest, SideInformationSamplesAndChannels) {
  EXPECT_EQ(SideInfoBytes(Make({.mode = kModeMono})), 17);
  EXPECT_EQ(SideInfoBytes(Make({.mode = kModeJointStereo})), 32);
  EXPECT_EQ(SideInfoBytes(Make({.level = 1, .mode = kModeMono})), 9);
  EXPECT_EQ(SideInfoBytes(Make({.level = 2, .mode = kModeDualChannel})), 17);
  EXPECT_EQ(SamplesPerFrame(Make({.layer = 1})), 384);
  EXPECT_EQ(SamplesPerFrame(Make({.level = 1, .layer = 2})), 1152);
  EXPECT_EQ(SamplesPerFrame(Make({.layer = 3})), 1152);
  EXPECT_EQ(SamplesPerFrame(Make({.level = 1, .layer = 3})), 576);
  EXPECT_EQ(SamplesPerFrame(Make({.level = 2, .layer = 3})), 576);
  EXPECT_EQ(ChannelCount(Make({.mode = kModeMono})), 1);
  EXPECT_EQ(ChannelCount(Make({.mode = kModeDualChannel})), 2);
  EXPECT_EQ(LayerNumber(Make({.layer = 2})), 2);
}

// Every conformance stream is a chain of frames: from the first header, stepping by the frame
// length always lands on another valid header until the file ends.
TEST(MpegHeaderTest, FrameLengthsChainThroughEveryConformanceStream) {
  for (const std::string& name : ConformanceStreams()) {
    const std::vector<uint8_t> bytes =
        ReadFileBytes(MpegTestDataPath("conformance/" + name + ".bit"));
    ASSERT_FALSE(bytes.empty()) << name;
    size_t position = 0;
    auto wordAt = [&bytes](size_t at) {
      return uint32_t(bytes[at]) << 24 | uint32_t(bytes[at + 1]) << 16 |
             uint32_t(bytes[at + 2]) << 8 | uint32_t(bytes[at + 3]);
    };
    // Some streams start with other data (a tag); the audio starts at the first header.
    while (position + 4 <= bytes.size() &&
           !(HasSyncWord(wordAt(position)) && IsValidHeader(UnpackHeader(wordAt(position))))) {
      ++position;
    }
    int frames = 0;
    while (position + 4 <= bytes.size()) {
      const uint32_t word = wordAt(position);
      const MpegFrameHeader header = UnpackHeader(word);
      ASSERT_TRUE(HasSyncWord(word) && IsValidHeader(header))
          << name << ": no header at byte " << position << " after " << frames << " frames";
      position += static_cast<size_t>(FrameLength(header));
      ++frames;
    }
    EXPECT_GT(frames, 5) << name;
  }
}

}  // namespace
}  // namespace veltro::media
