// Builds big-endian bit fields, as MPEG frames hold them, for hand-made test frames.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace veltro::media {

class MpegBitWriter {
 public:
  void Put(uint32_t value, int bits) {
    for (int i = bits - 1; i >= 0; --i) {
      if (bitCount_ % 8 == 0) bytes_.push_back(0);
      if (((value >> i) & 1u) != 0) bytes_.back() |= static_cast<uint8_t>(0x80u >> (bitCount_ % 8));
      ++bitCount_;
    }
  }
  void Repeat(uint32_t value, int bits, int times) {
    for (int i = 0; i < times; ++i) Put(value, bits);
  }
  // The bytes written, padded with zero bytes to at least `bytes`.
  std::vector<uint8_t> Bytes(size_t bytes = 0) const {
    std::vector<uint8_t> result = bytes_;
    if (result.size() < bytes) result.resize(bytes, 0);
    return result;
  }
  int BitCount() const { return bitCount_; }

 private:
  std::vector<uint8_t> bytes_;
  int bitCount_ = 0;
};

}  // namespace veltro::media
