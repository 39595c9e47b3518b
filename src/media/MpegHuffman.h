// The Huffman code tables of Layer III (the 32 pair tables for the big_values region and the two
// quadruple tables for the count1 region, ISO/IEC 11172-3 Table B.7) and the decoding of one
// code word with its linbits and sign bits.
#pragma once

#include <cstdint>

#include "media/MpegBitReader.h"

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

}  // namespace veltro::media
