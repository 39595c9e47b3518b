// Pair runs of every length the big_values regions can have: the table-driven decoder refills
// its bit cache once per two pairs, so runs whose length is not a multiple of four end in a
// single pair of their own. Runs of varied lengths, one after another from one stream, must
// yield what the code-tree decoder reads pair by pair, and leave the stream at the same bit.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

#include "media/mpeg/MpegBitReader.h"
#include "media/mpeg/MpegHuffman.h"

namespace veltro::media {
namespace {

TEST(MpegHuffmanFastTest, RunsOfAnyEvenLengthMatchTheTreeDecoderAndEndAtTheSameBit) {
  constexpr int kRunLengths[] = {2, 6, 4, 10, 0, 14, 8, 2, 18, 22};
  for (int t = 1; t < 32; ++t) {
    if (Layer3PairTable(t).size == 0) continue;
    std::mt19937 random(static_cast<uint32_t>(700 + t));
    std::vector<uint8_t> bytes(400);
    for (uint8_t& b : bytes) b = static_cast<uint8_t>(random() & 0xFF);
    MpegBitReader plain(bytes.data(), bytes.size());
    Layer3FastBits fast(bytes.data(), bytes.size(), 0);
    for (const int length : kRunLengths) {
      std::vector<int> expected(static_cast<size_t>(length));
      for (int i = 0; i < length; i += 2)
        DecodeLayer3Pair(plain, t, &expected[static_cast<size_t>(i)]);
      // One guard value past the run catches a write beyond its end.
      std::vector<int> values(static_cast<size_t>(length) + 1, -99);
      DecodeLayer3Pairs(fast, t, values.data(), length);
      ASSERT_EQ(values.back(), -99) << "table " << t << " run " << length;
      values.pop_back();
      ASSERT_EQ(values, expected) << "table " << t << " run " << length;
      ASSERT_EQ(fast.BitPosition(), plain.BitPosition()) << "table " << t << " run " << length;
    }
  }
}

}  // namespace
}  // namespace veltro::media
