#include "platform/WaveHeader.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "platform/ByteOrder.h"

namespace veltro::platform {
namespace {

// The RIFF size counts everything after the RIFF chunk's own id and size fields.
constexpr uint32_t kRiffSizeBeyondData = kWaveHeaderBytes - 8;
constexpr uint32_t kFmtChunkBytes = 16;

uint32_t SaturatedDataSize(const WaveFormat& format, uint64_t dataBytes) {
  const uint32_t frameBytes = std::max<uint32_t>(format.blockAlign, 1);
  uint32_t largest = std::numeric_limits<uint32_t>::max() - kRiffSizeBeyondData;
  largest -= largest % frameBytes;
  return static_cast<uint32_t>(std::min<uint64_t>(dataBytes, largest));
}

}  // namespace

WaveHeaderBytes MakeWaveHeader(const WaveFormat& format, uint64_t dataBytes) {
  const uint32_t dataSize = SaturatedDataSize(format, dataBytes);
  WaveHeaderBytes header{};
  uint8_t* at = header.data();
  std::memcpy(at, "RIFF", 4);
  StoreLittleEndian(at + 4, kRiffSizeBeyondData + dataSize, 4);
  std::memcpy(at + 8, "WAVEfmt ", 8);
  StoreLittleEndian(at + 16, kFmtChunkBytes, 4);
  StoreLittleEndian(at + 20, format.formatTag, 2);
  StoreLittleEndian(at + 22, format.channels, 2);
  StoreLittleEndian(at + 24, format.samplesPerSec, 4);
  StoreLittleEndian(at + 28, format.avgBytesPerSec, 4);
  StoreLittleEndian(at + 32, format.blockAlign, 2);
  StoreLittleEndian(at + 34, format.bitsPerSample, 2);
  std::memcpy(at + 36, "data", 4);
  StoreLittleEndian(at + 40, dataSize, 4);
  return header;
}

}  // namespace veltro::platform
