// Frame header unpacking and the figures derived from it. Tables transcribe ISO/IEC 11172-3
// 2.4.2.3 (bitrate_index, sampling_frequency) and ISO/IEC 13818-3 2.4.2.3 (the low sampling
// frequencies); the MPEG 2.5 extension halves the MPEG-2 frequencies and uses its bitrates.
#include "media/mpeg/MpegHeader.h"

namespace veltro::media {

namespace {

// kbit/s by [row][bitrate index]; rows: MPEG-1 Layer I, II, III, then MPEG-2/2.5 Layer I and
// Layers II/III (ISO/IEC 11172-3 2.4.2.3, ISO/IEC 13818-3 2.4.2.3). Indices 0 and 15 hold 0.
static const int kBitratesKbps[5][16] = {
    {0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448, 0},
    {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384, 0},
    {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0},
    {0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256, 0},
    {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0},
};

// Hz by [level][sampling index]; index 3 is reserved.
static const int kFrequenciesHz[3][4] = {
    {44100, 48000, 32000, 0},
    {22050, 24000, 16000, 0},
    {11025, 12000, 8000, 0},
};

int Bits(uint32_t word, int shift, uint32_t mask) {
  return static_cast<int>((word >> shift) & mask);
}

bool IsLayer2BitrateAllowed(const MpegFrameHeader& header) {
  if (header.level != 0 || header.layerCode != 2) return true;
  const int index = header.bitrateIndex;
  const bool mono = header.mode == kModeMono;
  const bool monoOnly = index == 1 || index == 2 || index == 3 || index == 5;  // 32-80 kbit/s
  const bool neverMono = index >= 11 && index <= 14;                           // 224-384 kbit/s
  if (monoOnly) return mono;
  if (neverMono) return !mono;
  return true;
}

}  // namespace

MpegFrameHeader UnpackHeader(uint32_t word) {
  MpegFrameHeader header;
  // Bits 20-19: 11 MPEG-1, 10 MPEG-2, 00 MPEG 2.5, 01 reserved.
  const int id = Bits(word, 19, 1);
  const bool extensionBitClear = Bits(word, 20, 1) == 0;
  header.level = extensionBitClear ? 2 + id : 1 - id;
  header.layerCode = Bits(word, 17, 3);
  header.protection = Bits(word, 16, 1);
  header.bitrateIndex = Bits(word, 12, 15);
  header.samplingIndex = Bits(word, 10, 3);
  header.padding = Bits(word, 9, 1);
  header.privateBit = Bits(word, 8, 1);
  header.mode = Bits(word, 6, 3);
  header.modeExtension = Bits(word, 4, 3);
  header.copyright = Bits(word, 3, 1);
  header.original = Bits(word, 2, 1);
  header.emphasis = Bits(word, 0, 3);
  return header;
}

bool IsValidHeader(const MpegFrameHeader& header) {
  if (header.level < 0 || header.level > 2) return false;
  if (header.layerCode < 1 || header.layerCode > 3) return false;
  if (header.bitrateIndex <= 0 || header.bitrateIndex >= 15) return false;
  if (header.samplingIndex < 0 || header.samplingIndex >= 3) return false;
  // Only 44100, 22050 and 11025 Hz need padding to keep the average frame length exact.
  if (header.padding != 0 && header.samplingIndex != 0) return false;
  if (header.level == 2 && header.layerCode != 1) return false;
  return IsLayer2BitrateAllowed(header);
}

int LayerNumber(const MpegFrameHeader& header) {
  return 4 - header.layerCode;
}

int BitrateKbps(const MpegFrameHeader& header) {
  if (header.level < 0 || header.level > 2) return 0;
  if (header.layerCode < 1 || header.layerCode > 3) return 0;
  if (header.bitrateIndex < 0 || header.bitrateIndex > 15) return 0;
  const int layer = LayerNumber(header);
  int row = 0;
  if (header.level == 0) {
    row = layer - 1;
  } else {
    row = layer == 1 ? 3 : 4;
  }
  return kBitratesKbps[row][header.bitrateIndex];
}

int FrequencyHz(const MpegFrameHeader& header) {
  if (header.level < 0 || header.level > 2) return 0;
  if (header.samplingIndex < 0 || header.samplingIndex > 3) return 0;
  return kFrequenciesHz[header.level][header.samplingIndex];
}

int ChannelCount(const MpegFrameHeader& header) {
  return header.mode == kModeMono ? 1 : 2;
}

int FrameLength(const MpegFrameHeader& header) {
  const int bitrate = BitrateKbps(header);
  const int frequency = FrequencyHz(header);
  if (bitrate == 0 || frequency == 0) return 0;
  const int pad = header.padding != 0 && header.samplingIndex == 0 ? 1 : 0;
  switch (LayerNumber(header)) {
    case 1:
      return (12000 * bitrate / frequency) * 4 + 4 * pad;
    case 2:
      return 144000 * bitrate / frequency + pad;
    default: {
      const int length = 144000 * bitrate / frequency;
      return (header.level == 0 ? length : length / 2) + pad;
    }
  }
}

int SideInfoBytes(const MpegFrameHeader& header) {
  const bool mono = header.mode == kModeMono;
  if (header.level == 0) return mono ? 17 : 32;
  return mono ? 9 : 17;
}

int SamplesPerFrame(const MpegFrameHeader& header) {
  switch (LayerNumber(header)) {
    case 1:
      return 384;
    case 2:
      return 1152;
    default:
      return header.level == 0 ? 1152 : 576;
  }
}

}  // namespace veltro::media
