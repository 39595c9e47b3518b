// What the layer decoders hand to the synthesis: per channel, blocks of 32 sub-band samples
// (Layer I: 12 blocks, Layer II: 36, Layer III: 18 per granule, 36 for MPEG-1 and 18 for
// MPEG-2/2.5), each block in sub-band order 0..31, at the scale where full scale is 1.0.
#pragma once

namespace veltro::media {

inline constexpr int kSubbands = 32;
inline constexpr int kMaxBlocks = 36;

struct MpegSubbands {
  int channels = 0;  // 1 or 2 (after the layer's stereo processing)
  int blocks = 0;    // blocks per channel in this frame
  float samples[2][kMaxBlocks][kSubbands];
};

// Result codes of the layer decoders.
inline constexpr int kLayerOk = 0;
inline constexpr int kLayerDecodeError = -700;  // a forbidden value inside the frame

}  // namespace veltro::media
