// Reading and writing the fixed-width integers of file layouts: little-endian (RIFF, library
// files) and big-endian (MPEG side headers, SHA-1). Pure functions over byte pointers; the
// caller guarantees the bytes exist.
#pragma once

#include <cstdint>

namespace veltro::platform {

constexpr uint16_t LoadLittleEndian16(const uint8_t* bytes) {
  return static_cast<uint16_t>(bytes[0] | (bytes[1] << 8));
}

constexpr uint32_t LoadLittleEndian32(const uint8_t* bytes) {
  return uint32_t{bytes[0]} | (uint32_t{bytes[1]} << 8) | (uint32_t{bytes[2]} << 16) |
         (uint32_t{bytes[3]} << 24);
}

constexpr uint32_t LoadBigEndian32(const uint8_t* bytes) {
  return (uint32_t{bytes[0]} << 24) | (uint32_t{bytes[1]} << 16) | (uint32_t{bytes[2]} << 8) |
         uint32_t{bytes[3]};
}

// Writes the low `bytes` bytes of `value` (1 to 4), least significant first.
constexpr void StoreLittleEndian(uint8_t* at, uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) at[i] = static_cast<uint8_t>(value >> (8 * i));
}

constexpr void StoreBigEndian32(uint8_t* at, uint32_t value) {
  for (int i = 0; i < 4; ++i) at[i] = static_cast<uint8_t>(value >> (24 - 8 * i));
}

}  // namespace veltro::platform
