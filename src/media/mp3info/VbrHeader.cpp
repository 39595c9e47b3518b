// The Xing/Lame and VBRI header parse.
#include "media/mp3info/VbrHeader.h"

#include <cstring>

#include "platform/ByteOrder.h"

namespace veltro::media {
namespace {

constexpr int kFrameHeaderBytes = 4;
constexpr size_t kTagBytes = 4;
constexpr size_t kWordBytes = 4;
// Xing flags: which optional fields follow the flags word, in this order.
constexpr uint32_t kXingFrameCountFlag = 1;
constexpr uint32_t kXingByteCountFlag = 2;
constexpr uint32_t kXingSeekTableFlag = 4;
// VBRI headers are written 32 bytes behind the frame header whatever the mode.
constexpr size_t kVbriUsualOffset = kFrameHeaderBytes + 32;
// The VBRI frame count: tag, version, delay and quality words (2 bytes each), byte count (4).
constexpr size_t kVbriFrameCountOffset = 14;
// Samples per channel of a Layer III frame: MPEG-1, and MPEG-2 or 2.5.
constexpr int kMpeg1Layer3Samples = 1152;
constexpr int kLowerLevelLayer3Samples = 576;

bool Fits(std::span<const uint8_t> bytes, size_t at, size_t count) {
  return at <= bytes.size() && count <= bytes.size() - at;
}

bool HasTag(std::span<const uint8_t> bytes, size_t at, const char* tag) {
  return Fits(bytes, at, kTagBytes) && std::memcmp(bytes.data() + at, tag, kTagBytes) == 0;
}

// Reads the word at `at` into `value` when it fits.
bool ReadWord(std::span<const uint8_t> bytes, size_t at, uint32_t& value) {
  if (!Fits(bytes, at, kWordBytes)) return false;
  value = platform::LoadBigEndian32(bytes.data() + at);
  return true;
}

bool ParseXing(std::span<const uint8_t> bytes, size_t at, VbrHeader& vbr) {
  if (!HasTag(bytes, at, "Xing") && !HasTag(bytes, at, "Lame")) return false;
  uint32_t flags = 0;
  if (!ReadWord(bytes, at + kTagBytes, flags)) return false;
  at += kTagBytes + kWordBytes;
  if ((flags & kXingFrameCountFlag) != 0) {
    if (!ReadWord(bytes, at, vbr.frameCount)) return false;
    vbr.hasFrameCount = true;
    at += kWordBytes;
  }
  if ((flags & kXingByteCountFlag) != 0) {
    vbr.hasByteCount = ReadWord(bytes, at, vbr.byteCount);
    at += kWordBytes;
  }
  if ((flags & kXingSeekTableFlag) != 0 && Fits(bytes, at, kVbrSeekTableEntries)) {
    std::memcpy(vbr.seekTable.data(), bytes.data() + at, kVbrSeekTableEntries);
    vbr.hasSeekTable = true;
  }
  vbr.kind = VbrHeaderKind::kXing;
  return true;
}

bool ParseVbri(std::span<const uint8_t> bytes, size_t at, VbrHeader& vbr) {
  if (!HasTag(bytes, at, "VBRI") || !ReadWord(bytes, at + kVbriFrameCountOffset, vbr.frameCount)) {
    return false;
  }
  vbr.hasFrameCount = true;
  vbr.kind = VbrHeaderKind::kVbri;
  return true;
}

}  // namespace

int VbrHeaderOffset(const MpegFrameHeader& header) {
  return kFrameHeaderBytes + SideInfoBytes(header);
}

int VbrFrameSamples(const MpegFrameHeader& header) {
  return header.level == 0 ? kMpeg1Layer3Samples : kLowerLevelLayer3Samples;
}

VbrHeader ParseVbrHeader(std::span<const uint8_t> frame, const MpegFrameHeader& header) {
  const auto offset = static_cast<size_t>(VbrHeaderOffset(header));
  VbrHeader xing;
  if (ParseXing(frame, offset, xing)) return xing;
  VbrHeader vbri;
  if (ParseVbri(frame, offset, vbri) || ParseVbri(frame, kVbriUsualOffset, vbri)) return vbri;
  return {};
}

}  // namespace veltro::media
