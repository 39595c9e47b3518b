// The 32-bit MPEG audio frame header: unpacking, validity and the figures derived from it
// (bitrate, sampling frequency, frame length, side-information size, samples per frame).
#pragma once

#include <cstdint>

namespace veltro::media {

// Unpacked from the big-endian header word, one int per field.
struct MpegFrameHeader {
  int level = 0;          // 0 MPEG-1, 1 MPEG-2 (LSF), 2 MPEG 2.5, 3 invalid
  int layerCode = 0;      // bits 17-18: 3 Layer I, 2 Layer II, 1 Layer III, 0 invalid
  int protection = 0;     // bit 16; 0 = a 16-bit CRC follows the header
  int bitrateIndex = 0;   // bits 12-15
  int samplingIndex = 0;  // bits 10-11
  int padding = 0;        // bit 9
  int privateBit = 0;     // bit 8
  int mode = 0;           // bits 6-7: 0 stereo, 1 joint stereo, 2 dual channel, 3 mono
  int modeExtension = 0;  // bits 4-5
  int copyright = 0;      // bit 3
  int original = 0;       // bit 2
  int emphasis = 0;       // bits 0-1
};

inline constexpr int kModeStereo = 0;
inline constexpr int kModeJointStereo = 1;
inline constexpr int kModeDualChannel = 2;
inline constexpr int kModeMono = 3;

// True when the top 11 bits (the sync word) are all set.
inline bool HasSyncWord(uint32_t word) {
  return (word & 0xFFE00000u) == 0xFFE00000u;
}

MpegFrameHeader UnpackHeader(uint32_t word);

// Bitrate index neither 0 nor 15, layer code not 0, sampling index not 3, padding only at
// sampling index 0, the Layer II MPEG-1 bitrate/mode rules, level 0..2 and MPEG 2.5 only with
// Layer III.
bool IsValidHeader(const MpegFrameHeader& header);

int LayerNumber(const MpegFrameHeader& header);   // 1, 2 or 3
int BitrateKbps(const MpegFrameHeader& header);   // 0 for index 0 and 15
int FrequencyHz(const MpegFrameHeader& header);   // 0 for index 3
int ChannelCount(const MpegFrameHeader& header);  // 1 for mono, else 2
// Frame length in bytes, header included (valid headers only).
int FrameLength(const MpegFrameHeader& header);
// Layer III side information in bytes, CRC excluded: 17/32 (MPEG-1), 9/17 (MPEG-2/2.5).
int SideInfoBytes(const MpegFrameHeader& header);
// PCM samples per channel of one frame before down-sampling: 384, 1152 or 576.
int SamplesPerFrame(const MpegFrameHeader& header);

}  // namespace veltro::media
