// The VBR header some encoders write into the first frame of an MPEG audio stream, in place of
// audio: a "Xing" (or "Lame") header with optional frame count, byte count and 100-entry seek
// table, or a "VBRI" header with a frame count. Both sit behind the frame's side information;
// VBRI headers are also found 32 bytes behind the frame header whatever the mode.
//
// Pure functions over a byte span; any thread. Every field is read only when it lies wholly
// inside the span, so a caller may pass as many bytes of the frame as it has read.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "media/mpeg/MpegHeader.h"

namespace veltro::media {

inline constexpr int kVbrSeekTableEntries = 100;
// The seek table's entries are byte positions in 1/256 of the stream.
inline constexpr int kVbrSeekTableScale = 256;

enum class VbrHeaderKind { kNone, kXing, kVbri };

// What a VBR header holds; a field flagged absent is zero.
struct VbrHeader {
  VbrHeaderKind kind = VbrHeaderKind::kNone;
  bool hasFrameCount = false;
  uint32_t frameCount = 0;
  bool hasByteCount = false;
  uint32_t byteCount = 0;
  bool hasSeekTable = false;
  std::array<uint8_t, kVbrSeekTableEntries> seekTable{};
};

// Distance of a VBR header from the frame start for this header: behind the side information.
int VbrHeaderOffset(const MpegFrameHeader& header);

// Samples per channel of one frame as a VBR header's frame count counts them: a Layer III
// frame's, whatever the layer of the header given.
int VbrFrameSamples(const MpegFrameHeader& header);

// The VBR header in `frame` (the bytes of the stream's first frame, from its header on).
// A Xing header is taken when its tag and flags fit and every field its flags announce up to
// the frame count fits; a byte count or seek table that does not fit is left out. Without a
// Xing header a VBRI header is looked for behind the side information, then at its usual place.
VbrHeader ParseVbrHeader(std::span<const uint8_t> frame, const MpegFrameHeader& header);

}  // namespace veltro::media
