// Reads a byte buffer as a big-endian bit stream. Reading past the end yields zero bits and
// marks the reader overrun, so no damaged frame can make a decoder read outside its buffer.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace veltro::media {

class MpegBitReader {
 public:
  MpegBitReader() = default;
  MpegBitReader(const uint8_t* data, size_t bytes) : data_(data), bits_(bytes * 8) {}

  // The next `count` bits (0..32) as an unsigned number, first bit most significant.
  uint32_t Read(int count) {
    if (count <= 0) return 0;
    // Written without a sum that could wrap: position_ never exceeds bits_.
    if (static_cast<size_t>(count) > bits_ - position_) return ReadPastEnd(count);
    const size_t first = position_ >> 3;
    const int offset = static_cast<int>(position_ & 7);
    position_ += static_cast<size_t>(count);
    // offset + count <= 39 bits: one 8-byte load holds the field when 8 bytes are left.
    if (first + 8 <= (bits_ >> 3)) {
      const uint64_t window = LoadBigEndian64(data_ + first) << offset;
      return static_cast<uint32_t>(window >> (64 - count));
    }
    // Near the end: gather the at most five bytes that hold the field.
    const int bytes = (offset + count + 7) >> 3;
    uint64_t window = 0;
    for (int i = 0; i < bytes; ++i) window = (window << 8) | data_[first + static_cast<size_t>(i)];
    window >>= bytes * 8 - offset - count;
    return static_cast<uint32_t>(window & ((uint64_t{1} << count) - 1));
  }
  uint32_t ReadBit() {
    if (position_ >= bits_) {
      overrun_ = true;
      return 0;
    }
    const uint32_t bit = (data_[position_ >> 3] >> (7 - (position_ & 7))) & 1u;
    ++position_;
    return bit;
  }
  void Skip(size_t count) {
    position_ += count;
    if (position_ > bits_) {
      position_ = bits_;
      overrun_ = true;
    }
  }
  // Moves to an absolute bit position (limited to the end).
  void SeekBit(size_t position) {
    position_ = position <= bits_ ? position : bits_;
    if (position > bits_) overrun_ = true;
  }
  size_t BitPosition() const { return position_; }
  const uint8_t* Data() const { return data_; }
  size_t Bytes() const { return bits_ >> 3; }
  size_t BitsLeft() const { return bits_ - position_; }
  bool Overrun() const { return overrun_; }

 private:
  static uint64_t LoadBigEndian64(const uint8_t* bytes) {
    uint64_t word;
    std::memcpy(&word, bytes, sizeof word);
    if constexpr (std::endian::native == std::endian::little) word = __builtin_bswap64(word);
    return word;
  }
  // The bits that are still there, then zeros; marks the reader overrun.
  uint32_t ReadPastEnd(int count) {
    uint32_t value = 0;
    for (int i = 0; i < count; ++i) value = (value << 1) | ReadBit();
    return value;
  }

  const uint8_t* data_ = nullptr;
  size_t bits_ = 0;
  size_t position_ = 0;
  bool overrun_ = false;
};

}  // namespace veltro::media
