// The VBR header parse over arbitrary first-frame bytes: the first four bytes choose the level
// and mode (as a frame header would), the rest is the frame. Parsed at the scanner's and the
// codec's probe sizes and at the whole input, every field found must lie inside the span, and a
// longer span must find the same header with at least the same fields; a violation traps.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>

#include "FuzzChecks.h"
#include "media/mp3info/VbrHeader.h"

namespace {

using fuzz_checks::Check;
namespace media = veltro::media;

constexpr size_t kScannerProbeBytes = 128;
constexpr size_t kCodecProbeBytes = 152;
constexpr size_t kTagAndFlagsBytes = 8;
constexpr size_t kWordBytes = 4;
constexpr size_t kVbriUsualOffset = 36;    // 32 bytes behind the frame header
constexpr size_t kVbriFrameCountEnd = 18;  // the frame count's last byte, from the tag

// The least span a header with these fields needs, from the frame start.
size_t LeastSpan(const media::VbrHeader& vbr, size_t offset) {
  if (vbr.kind == media::VbrHeaderKind::kNone) return 0;
  if (vbr.kind == media::VbrHeaderKind::kVbri) return offset + kVbriFrameCountEnd;
  size_t end = offset + kTagAndFlagsBytes;
  if (vbr.hasFrameCount) end += kWordBytes;
  if (vbr.hasByteCount) end += kWordBytes;
  if (vbr.hasSeekTable) end += media::kVbrSeekTableEntries;
  return end;
}

void CheckHeader(const media::VbrHeader& vbr, size_t spanBytes, const media::MpegFrameHeader& h) {
  const auto offset = static_cast<size_t>(media::VbrHeaderOffset(h));
  Check(vbr.kind != media::VbrHeaderKind::kNone || !vbr.hasFrameCount);
  Check(vbr.hasFrameCount || vbr.frameCount == 0);
  Check(vbr.hasByteCount || vbr.byteCount == 0);
  Check(vbr.kind != media::VbrHeaderKind::kVbri || (vbr.hasFrameCount && !vbr.hasSeekTable));
  // A VBRI header may also sit at its usual place, whatever the mode.
  const size_t at =
      vbr.kind == media::VbrHeaderKind::kVbri ? std::min(offset, kVbriUsualOffset) : offset;
  Check(LeastSpan(vbr, at) <= spanBytes);
}

void CheckGrows(const media::VbrHeader& shorter, const media::VbrHeader& longer) {
  if (shorter.kind == media::VbrHeaderKind::kNone) return;
  Check(longer.kind == shorter.kind);
  Check(!shorter.hasFrameCount || longer.frameCount == shorter.frameCount);
  Check(!shorter.hasByteCount || longer.byteCount == shorter.byteCount);
  Check(!shorter.hasSeekTable || longer.seekTable == shorter.seekTable);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  media::MpegFrameHeader header;
  header.level = data[0] % 3;
  header.mode = (data[0] >> 2) % 4;
  const std::span<const uint8_t> frame(data + 1, size - 1);
  media::VbrHeader previous;
  for (const size_t probe : {kScannerProbeBytes, kCodecProbeBytes, frame.size()}) {
    const size_t bytes = std::min(probe, frame.size());
    const media::VbrHeader vbr = media::ParseVbrHeader(frame.first(bytes), header);
    CheckHeader(vbr, bytes, header);
    CheckGrows(previous, vbr);
    previous = vbr;
  }
  return 0;
}
