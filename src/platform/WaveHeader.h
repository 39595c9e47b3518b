// The header of a canonical RIFF WAVE file: the RIFF chunk header, a 16-byte "fmt " chunk and the
// "data" chunk header, after which the samples follow. Pure; any thread.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "platform/WaveFormat.h"

namespace veltro::platform {

inline constexpr size_t kWaveHeaderBytes = 44;
using WaveHeaderBytes = std::array<uint8_t, kWaveHeaderBytes>;

// The header for `dataBytes` bytes of samples in `format` (tag, channels, rate, average bytes per
// second, block align and bits written as given). A WAVE file cannot describe more than 4 GiB:
// beyond that both sizes stop at the largest whole number of sample frames (of block align bytes,
// at least one) that keeps the RIFF size within 32 bits, so readers that trust the header stop
// near 4 GiB instead of at a wrapped-around, far too small size.
WaveHeaderBytes MakeWaveHeader(const WaveFormat& format, uint64_t dataBytes);

}  // namespace veltro::platform
