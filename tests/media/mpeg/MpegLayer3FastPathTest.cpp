// The Layer III fast paths against the plain ones they replace: the cached bit reader against
// the bit-by-bit reader (also across and past the buffer's end), table-driven Huffman decoding
// of whole runs of pairs and quadruples against the code-tree decoder, and requantisation of
// whole bands against the value-by-value function.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

#include "media/mpeg/MpegBitReader.h"
#include "media/mpeg/MpegBitWriter.h"
#include "media/mpeg/MpegHuffman.h"
#include "media/mpeg/MpegTables3.h"

namespace veltro::media {
namespace {

std::vector<uint8_t> RandomBytes(size_t count, uint32_t seed) {
  std::mt19937 random(seed);
  std::vector<uint8_t> bytes(count);
  for (uint8_t& b : bytes) b = static_cast<uint8_t>(random() & 0xFF);
  return bytes;
}

TEST(MpegLayer3FastBitsTest, ReadsAsTheBitReaderThenZerosPastTheEnd) {
  // Odd sizes and start positions cover the whole-word and the byte-by-byte refills.
  for (const size_t size : {0u, 1u, 7u, 8u, 9u, 23u, 64u}) {
    const std::vector<uint8_t> bytes = RandomBytes(size, static_cast<uint32_t>(size));
    for (size_t start = 0; start <= 11 && start <= 8 * size; ++start) {
      MpegBitReader plain(bytes.data(), bytes.size());
      plain.SeekBit(start);
      Layer3FastBits fast(bytes.data(), bytes.size(), start);
      size_t expectedPosition = start;
      for (int step = 0; step < 40; ++step) {
        const int count = 1 + (step * 7) % 32;
        const uint32_t expected = plain.Read(count);  // zeros past the end
        ASSERT_EQ(fast.Read(count), expected) << "size " << size << " start " << start;
        expectedPosition += static_cast<size_t>(count);
        ASSERT_EQ(fast.BitPosition(), expectedPosition);
      }
    }
  }
}

TEST(MpegLayer3FastBitsTest, PeekAfterRefillSeesFiftySixBitsWithoutConsuming) {
  const std::vector<uint8_t> bytes = RandomBytes(16, 5);
  Layer3FastBits fast(bytes.data(), bytes.size(), 3);
  fast.Refill();
  MpegBitReader plain(bytes.data(), bytes.size());
  plain.SeekBit(3);
  const uint32_t high = plain.Read(28);
  const uint32_t low = plain.Read(28);
  EXPECT_EQ(fast.Peek(28), high);
  fast.Skip(28);
  EXPECT_EQ(fast.Peek(28), low);
  EXPECT_EQ(fast.BitPosition(), 3u + 28u);
}

// Random pairs decoded by both decoders from one bit stream, table by table.
TEST(MpegLayer3FastHuffmanTest, PairRunsMatchTheTreeDecoderOnEveryTable) {
  for (int t = 0; t < 32; ++t) {
    // Random bits are a valid stream for a complete code: every prefix leads to a code word.
    const std::vector<uint8_t> bytes = RandomBytes(600, static_cast<uint32_t>(100 + t));
    constexpr int kValues = 288;
    MpegBitReader plain(bytes.data(), bytes.size());
    std::vector<int> expected(kValues);
    for (int i = 0; i < kValues; i += 2)
      DecodeLayer3Pair(plain, t, &expected[static_cast<size_t>(i)]);
    Layer3FastBits fast(bytes.data(), bytes.size(), 0);
    std::vector<int> values(kValues, -99);
    DecodeLayer3Pairs(fast, t, values.data(), kValues);
    ASSERT_EQ(values, expected) << "table " << t;
    ASSERT_EQ(fast.BitPosition(), plain.BitPosition()) << "table " << t;
  }
}

TEST(MpegLayer3FastHuffmanTest, LargestEscapeValuesKeepTheirLinbitsAndSigns) {
  for (int t = 16; t < 32; ++t) {
    const Layer3HuffmanTable& table = Layer3PairTable(t);
    const int big = 15 + (1 << table.linbits) - 1;
    MpegBitWriter w;
    const int entry = 15 * table.size + 15;
    w.Put(table.codes[entry], table.lengths[entry]);
    w.Put(static_cast<uint32_t>(big - 15), table.linbits);
    w.Put(1, 1);  // x negative
    w.Put(static_cast<uint32_t>(big - 15), table.linbits);
    w.Put(0, 1);  // y positive
    const std::vector<uint8_t> bytes = w.Bytes();
    Layer3FastBits fast(bytes.data(), bytes.size(), 0);
    int values[2] = {0, 0};
    DecodeLayer3Pairs(fast, t, values, 2);
    EXPECT_EQ(values[0], -big) << "table " << t;
    EXPECT_EQ(values[1], big) << "table " << t;
  }
}

TEST(MpegLayer3FastHuffmanTest, QuadruplesStopAtThePartEndAndDropAnOverrunningOne) {
  for (int t = 0; t < 2; ++t) {
    const std::vector<uint8_t> bytes = RandomBytes(64, static_cast<uint32_t>(7 + t));
    MpegBitReader plain(bytes.data(), bytes.size());
    std::vector<int> expected;
    std::vector<size_t> ends;  // bit position after each quadruple
    for (int q = 0; q < 20; ++q) {
      int values[4];
      DecodeLayer3Quad(plain, t, values);
      expected.insert(expected.end(), values, values + 4);
      ends.push_back(plain.BitPosition());
    }
    // An end exactly after quadruple 9 keeps ten; one bit earlier drops the tenth.
    for (const size_t cut : {ends[9], ends[9] - 1}) {
      const int kept = cut == ends[9] ? 10 : 9;
      Layer3FastBits fast(bytes.data(), bytes.size(), 0);
      std::vector<int> values(80, -99);
      const int end = DecodeLayer3Quads(fast, t, values.data(), 0, 80, cut);
      ASSERT_EQ(end, 4 * kept) << "table " << t;
      for (int i = 0; i < 4 * kept; ++i)
        ASSERT_EQ(values[static_cast<size_t>(i)], expected[static_cast<size_t>(i)]);
      // A dropped quadruple is cleared; one never started is left alone.
      for (int i = 4 * kept; i < 4 * kept + 4; ++i) {
        const int value = values[static_cast<size_t>(i)];
        ASSERT_TRUE(value == 0 || value == -99) << value;
      }
    }
  }
}

TEST(MpegLayer3FastHuffmanTest, DamagedPartEndingPastTheBufferReadsZerosAndStops) {
  const std::vector<uint8_t> bytes = RandomBytes(3, 11);
  Layer3FastBits fast(bytes.data(), bytes.size(), 0);
  std::vector<int> values(576, -99);
  DecodeLayer3Pairs(fast, 24, values.data(), 100);
  for (int i = 0; i < 100; ++i) ASSERT_LE(std::abs(values[static_cast<size_t>(i)]), 15 + 255);
  const int end = DecodeLayer3Quads(fast, 1, values.data(), 100, 576, 100000);
  EXPECT_EQ(end, 576);  // bounded by the granule, not by the claimed part length
}

TEST(MpegLayer3FastRequantizeTest, BandsMatchTheValueByValueFunction) {
  std::vector<int> values;
  for (int v = -40; v <= 40; ++v) values.push_back(v);
  values.insert(values.end(), {8206, -8206, 8207, -9000, 100000});  // clamped like one value
  std::vector<float> out(values.size());
  for (const int exponent : {-210 - 60, -100, -7, 0, 3, 45}) {
    Layer3RequantizeLines(values.data(), static_cast<int>(values.size()), exponent, out.data());
    for (size_t i = 0; i < values.size(); ++i)
      ASSERT_EQ(out[i], Layer3Requantize(values[i], exponent)) << values[i] << " " << exponent;
  }
}

}  // namespace
}  // namespace veltro::media
