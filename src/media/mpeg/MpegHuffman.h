// The Huffman code tables of Layer III (the 32 pair tables for the big_values region and the two
// quadruple tables for the count1 region, ISO/IEC 11172-3 Table B.7) and the decoding of one
// code word with its linbits and sign bits.
#pragma once

#include <cstddef>
#include <cstdint>

#include "media/mpeg/MpegBitReader.h"

namespace veltro::media {

// One code table as the standard lists it: entry x * size + y holds the code word of (x, y)
// (for the quadruple tables, entry v * 8 + w * 4 + x * 2 + y).
struct Layer3HuffmanTable {
  int size = 0;     // values per axis: x, y < size (0 for the unused tables 0, 4 and 14)
  int linbits = 0;  // extra bits read for a value of 15
  const uint16_t* codes = nullptr;
  const uint8_t* lengths = nullptr;
  int entries = 0;  // size * size, or 16 for the quadruple tables
};

// Any thread. `tableSelect` 0..31; the returned table lives for the whole program.
const Layer3HuffmanTable& Layer3PairTable(int tableSelect);
// Any thread. `count1TableSelect` 0 (table A) or 1 (table B).
const Layer3HuffmanTable& Layer3QuadTable(int count1TableSelect);

// Any thread. Reads one pair code of table `tableSelect` (0..31) with its linbits and signs
// into values[0] (x) and values[1] (y). Table 0 reads nothing and yields (0, 0). Bits past the
// reader's end read as zeros, so a damaged stream still yields values of the table's range.
void DecodeLayer3Pair(MpegBitReader& reader, int tableSelect, int values[2]);

// Any thread. Reads one quadruple code of count1 table `count1TableSelect` (0 or 1) with its
// signs into values[0..3] (v, w, x, y), each -1, 0 or 1.
void DecodeLayer3Quad(MpegBitReader& reader, int count1TableSelect, int values[4]);

// A big-endian bit reader for the spectrum decoding loops: a 64-bit cache refilled with whole
// bytes. Never reads outside its buffer; the bytes past its end read as zeros, and the bit
// position keeps counting through them so the caller sees how far a damaged part overran.
class Layer3FastBits {
 public:
  // Any thread. Reads `bytes` bytes of `data` (not owned) from bit `bitPosition`.
  Layer3FastBits(const uint8_t* data, size_t bytes, size_t bitPosition);
  // Makes at least 56 bits available to Peek and Skip.
  void Refill() {
    if (bytePosition_ + 8 <= bytes_) {
      uint64_t word = 0;
      for (int i = 0; i < 8; ++i)
        word = (word << 8) | data_[bytePosition_ + static_cast<size_t>(i)];
      cache_ |= word >> cached_;
      const int take = (63 - cached_) >> 3;
      bytePosition_ += static_cast<size_t>(take);
      cached_ += 8 * take;
      return;
    }
    RefillNearEnd();
  }
  // The next `count` (1..32) bits; Refill must have made them available.
  uint32_t Peek(int count) const { return static_cast<uint32_t>(cache_ >> (64 - count)); }
  void Skip(int count) {
    cache_ <<= count;
    cached_ -= count;
  }
  // Reads `count` (0..32) bits, refilling when needed.
  uint32_t Read(int count) {
    if (count == 0) return 0;
    if (cached_ < count) Refill();
    const uint32_t value = Peek(count);
    Skip(count);
    return value;
  }
  size_t BitPosition() const { return 8 * bytePosition_ - static_cast<size_t>(cached_); }

 private:
  void RefillNearEnd();

  const uint8_t* data_;
  size_t bytes_;
  size_t bytePosition_;  // next byte to load; may pass bytes_ (those bytes read as zeros)
  uint64_t cache_ = 0;   // the next bits, first bit most significant
  int cached_ = 0;       // valid bits in cache_
};

// Any thread. Decodes `count` (even) values as count / 2 pair codes of table `tableSelect`
// (0..31) with linbits and signs into values[0..count). Multi-bit table lookups.
void DecodeLayer3Pairs(Layer3FastBits& bits, int tableSelect, int* values, int count);

// Any thread. Decodes quadruples of count1 table `count1TableSelect` into values from line
// `line` while the position is before `endBit` and the quadruple fits below `lineLimit`; a
// quadruple ending past `endBit` was never coded and is dropped. Returns the line after the last
// kept quadruple.
int DecodeLayer3Quads(Layer3FastBits& bits, int count1TableSelect, int* values, int line,
                      int lineLimit, size_t endBit);

}  // namespace veltro::media
