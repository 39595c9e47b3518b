// The PCM format record shared by the decoders, the player engine and the sound layer.
// Its byte layout is the 18-byte little-endian WAVEFORMATEX record of RIFF "fmt " chunks.
#pragma once

#include <cstdint>

namespace veltro::platform {

#pragma pack(push, 1)
struct WaveFormat {
  uint16_t formatTag = 0;       // 1 = integer PCM
  uint16_t channels = 0;        // 1 = mono, 2 = stereo (interleaved)
  uint32_t samplesPerSec = 0;   // frames per second
  uint32_t avgBytesPerSec = 0;  // samplesPerSec * blockAlign
  uint16_t blockAlign = 0;      // bytes per frame
  uint16_t bitsPerSample = 0;   // 8 (unsigned) or 16 (signed little-endian)
  uint16_t extraSize = 0;       // bytes of format-specific data after the record
};
#pragma pack(pop)
static_assert(sizeof(WaveFormat) == 18, "WaveFormat must keep the 18-byte record layout");

inline constexpr uint16_t kWaveFormatPcm = 1;
inline constexpr uint16_t kWaveFormatExtensible = 0xFFFE;

// Integer PCM format with consistent derived fields. Any thread.
constexpr WaveFormat MakePcmFormat(uint32_t samplesPerSec, uint16_t channels,
                                   uint16_t bitsPerSample) {
  WaveFormat f;
  f.formatTag = kWaveFormatPcm;
  f.channels = channels;
  f.samplesPerSec = samplesPerSec;
  f.blockAlign = static_cast<uint16_t>(channels * bitsPerSample / 8);
  f.avgBytesPerSec = samplesPerSec * f.blockAlign;
  f.bitsPerSample = bitsPerSample;
  f.extraSize = 0;
  return f;
}

// The byte value of silence: 0x80 for 8-bit (unsigned) samples, 0x00 otherwise.
constexpr uint8_t SilenceByte(const WaveFormat& format) {
  return format.bitsPerSample < 16 ? uint8_t{0x80} : uint8_t{0x00};
}

}  // namespace veltro::platform
