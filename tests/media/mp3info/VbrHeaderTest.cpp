// The VBR header parse on frames built here: where the header sits for each level and mode, the
// Xing fields by flag, the VBRI header at both places, and every field cut off by the end of the
// span given (the scanner reads 128 bytes of the frame, the codec 152).
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "media/mp3info/VbrHeader.h"

namespace veltro::media {
namespace {

constexpr size_t kScannerProbeBytes = 128;
constexpr size_t kCodecProbeBytes = 152;

MpegFrameHeader Header(int level, int mode) {
  MpegFrameHeader header;
  header.level = level;
  header.mode = mode;
  return header;
}

void PutWord(std::vector<uint8_t>& bytes, size_t at, uint32_t value) {
  for (size_t i = 0; i < 4; ++i) bytes[at + i] = static_cast<uint8_t>(value >> (24 - 8 * i));
}

void PutTag(std::vector<uint8_t>& bytes, size_t at, const char* tag) {
  std::memcpy(bytes.data() + at, tag, 4);
}

// A frame of `size` bytes with a Xing-style header at `at`: tag, flags, then the fields the
// flags announce (frame count 1000, byte count 500000, seek table 0, 1, 2, ...).
std::vector<uint8_t> XingFrame(size_t size, size_t at, const char* tag, uint32_t flags) {
  std::vector<uint8_t> bytes(kCodecProbeBytes + 64, 0);
  PutTag(bytes, at, tag);
  PutWord(bytes, at + 4, flags);
  size_t field = at + 8;
  if ((flags & 1u) != 0) PutWord(bytes, (field += 4) - 4, 1000);
  if ((flags & 2u) != 0) PutWord(bytes, (field += 4) - 4, 500000);
  if ((flags & 4u) != 0) {
    for (size_t i = 0; i < kVbrSeekTableEntries; ++i) bytes[field + i] = static_cast<uint8_t>(i);
  }
  bytes.resize(size);
  return bytes;
}

std::vector<uint8_t> VbriFrame(size_t size, size_t at, uint32_t frames) {
  std::vector<uint8_t> bytes(kCodecProbeBytes, 0);
  PutTag(bytes, at, "VBRI");
  PutWord(bytes, at + 14, frames);
  bytes.resize(size);
  return bytes;
}

TEST(VbrHeaderTest, SitsBehindTheSideInformationOfEachLevelAndMode) {
  struct Case {
    int level;
    int mode;
    int offset;
  };
  const Case cases[] = {{0, kModeStereo, 36},      {0, kModeJointStereo, 36},
                        {0, kModeDualChannel, 36}, {0, kModeMono, 21},
                        {1, kModeStereo, 21},      {1, kModeMono, 13},
                        {2, kModeJointStereo, 21}, {2, kModeMono, 13}};
  for (const Case& c : cases) {
    const MpegFrameHeader header = Header(c.level, c.mode);
    EXPECT_EQ(VbrHeaderOffset(header), c.offset) << c.level << "/" << c.mode;
    const auto frame = XingFrame(kCodecProbeBytes, static_cast<size_t>(c.offset), "Xing", 1);
    const VbrHeader vbr = ParseVbrHeader(frame, header);
    EXPECT_EQ(vbr.kind, VbrHeaderKind::kXing) << c.level << "/" << c.mode;
    EXPECT_EQ(vbr.frameCount, 1000u) << c.level << "/" << c.mode;
    // The same header one byte off is no header.
    const auto shifted = XingFrame(kCodecProbeBytes, static_cast<size_t>(c.offset) + 1, "Xing", 1);
    EXPECT_EQ(ParseVbrHeader(shifted, header).kind, VbrHeaderKind::kNone);
  }
}

TEST(VbrHeaderTest, XingFieldsFollowTheFlagsAndMustFitTheSpan) {
  struct Case {
    const char* name;
    const char* tag;
    uint32_t flags;
    size_t size;
    VbrHeaderKind kind;
    bool frames;
    bool byteCount;
    bool seekTable;
  };
  const MpegFrameHeader stereo = Header(0, kModeStereo);  // header at 36
  const Case cases[] = {
      {"all fields, codec probe", "Xing", 7, kCodecProbeBytes, VbrHeaderKind::kXing, true, true,
       true},
      {"Lame tag", "Lame", 7, kCodecProbeBytes, VbrHeaderKind::kXing, true, true, true},
      {"all fields, scanner probe: no room for the table", "Xing", 7, kScannerProbeBytes,
       VbrHeaderKind::kXing, true, true, false},
      {"table without counts", "Xing", 4, kCodecProbeBytes - 8, VbrHeaderKind::kXing, false, false,
       true},
      {"table one byte short", "Xing", 7, kCodecProbeBytes - 1, VbrHeaderKind::kXing, true, true,
       false},
      {"no flags", "Xing", 0, kCodecProbeBytes, VbrHeaderKind::kXing, false, false, false},
      {"byte count only", "Xing", 2, kCodecProbeBytes, VbrHeaderKind::kXing, false, true, false},
      {"byte count cut off", "Xing", 3, 36 + 15, VbrHeaderKind::kXing, true, false, false},
      {"frame count cut off", "Xing", 1, 36 + 11, VbrHeaderKind::kNone, false, false, false},
      {"flags cut off", "Xing", 1, 36 + 7, VbrHeaderKind::kNone, false, false, false},
      {"tag cut off", "Xing", 1, 36 + 3, VbrHeaderKind::kNone, false, false, false},
      {"empty span", "Xing", 1, 0, VbrHeaderKind::kNone, false, false, false},
      {"lower-case tag", "xing", 7, kCodecProbeBytes, VbrHeaderKind::kNone, false, false, false},
  };
  for (const Case& c : cases) {
    const auto frame = XingFrame(c.size, 36, c.tag, c.flags);
    const VbrHeader vbr = ParseVbrHeader(frame, stereo);
    EXPECT_EQ(vbr.kind, c.kind) << c.name;
    EXPECT_EQ(vbr.hasFrameCount, c.frames) << c.name;
    EXPECT_EQ(vbr.frameCount, c.frames ? 1000u : 0u) << c.name;
    EXPECT_EQ(vbr.hasByteCount, c.byteCount) << c.name;
    EXPECT_EQ(vbr.byteCount, c.byteCount ? 500000u : 0u) << c.name;
    EXPECT_EQ(vbr.hasSeekTable, c.seekTable) << c.name;
    EXPECT_EQ(vbr.seekTable[99], c.seekTable ? 99 : 0) << c.name;
  }
}

TEST(VbrHeaderTest, VbriIsFoundBehindTheSideInformationOrAtItsUsualPlace) {
  struct Case {
    const char* name;
    MpegFrameHeader header;
    size_t at;
    size_t size;
    bool found;
  };
  const Case cases[] = {
      {"MPEG-2 mono, behind the side information", Header(1, kModeMono), 13, kScannerProbeBytes,
       true},
      {"MPEG-2 mono, at 36", Header(1, kModeMono), 36, kScannerProbeBytes, true},
      {"MPEG-1 stereo, at 36", Header(0, kModeStereo), 36, kScannerProbeBytes, true},
      {"at 36, frame count just fits", Header(1, kModeStereo), 36, 36 + 18, true},
      {"at 36, frame count cut off", Header(1, kModeStereo), 36, 36 + 17, false},
      {"elsewhere", Header(1, kModeStereo), 40, kScannerProbeBytes, false},
  };
  for (const Case& c : cases) {
    const VbrHeader vbr = ParseVbrHeader(VbriFrame(c.size, c.at, 777), c.header);
    EXPECT_EQ(vbr.kind, c.found ? VbrHeaderKind::kVbri : VbrHeaderKind::kNone) << c.name;
    EXPECT_EQ(vbr.hasFrameCount, c.found) << c.name;
    EXPECT_EQ(vbr.frameCount, c.found ? 777u : 0u) << c.name;
    EXPECT_FALSE(vbr.hasSeekTable) << c.name;
  }
}

TEST(VbrHeaderTest, AXingHeaderHidesAVbriHeaderAtItsUsualPlace) {
  const MpegFrameHeader mono = Header(1, kModeMono);  // Xing at 13, VBRI also looked for at 36
  for (const uint32_t flags : {0u, 1u, 7u}) {
    auto frame = XingFrame(kCodecProbeBytes, 13, "Xing", flags);
    PutTag(frame, 36, "VBRI");
    PutWord(frame, 36 + 14, 55);
    const VbrHeader vbr = ParseVbrHeader(frame, mono);
    EXPECT_EQ(vbr.kind, VbrHeaderKind::kXing) << flags;
    EXPECT_NE(vbr.frameCount, 55u) << flags;
  }
}

TEST(VbrHeaderTest, FrameCountsCountLayerThreeFrames) {
  EXPECT_EQ(VbrFrameSamples(Header(0, kModeStereo)), 1152);
  EXPECT_EQ(VbrFrameSamples(Header(1, kModeMono)), 576);
  EXPECT_EQ(VbrFrameSamples(Header(2, kModeStereo)), 576);
}

}  // namespace
}  // namespace veltro::media
