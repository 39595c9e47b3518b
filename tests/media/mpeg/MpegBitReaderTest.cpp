#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

#include "media/mpeg/MpegBitReader.h"

namespace veltro::media {
namespace {

// Field reads of every width agree with reading the same bits one at a time, at every offset,
// up to and past the end of the buffer.
TEST(MpegBitReader, FieldsEqualTheirBitsReadOneByOne) {
  std::mt19937 random(7);
  std::vector<uint8_t> bytes(23);
  for (auto& byte : bytes) byte = static_cast<uint8_t>(random());
  for (int width = 1; width <= 32; ++width) {
    for (size_t start = 0; start < bytes.size() * 8; start += 3) {
      MpegBitReader fields(bytes.data(), bytes.size());
      MpegBitReader bits(bytes.data(), bytes.size());
      fields.SeekBit(start);
      bits.SeekBit(start);
      uint32_t expected = 0;
      for (int i = 0; i < width; ++i) expected = (expected << 1) | bits.ReadBit();
      ASSERT_EQ(fields.Read(width), expected) << "width " << width << " at bit " << start;
      ASSERT_EQ(fields.BitPosition(), bits.BitPosition());
      ASSERT_EQ(fields.Overrun(), bits.Overrun());
    }
  }
}

TEST(MpegBitReader, ReadingPastTheEndGivesZerosAndMarksOverrun) {
  const std::vector<uint8_t> bytes = {0xAB, 0xCD};
  MpegBitReader reader(bytes.data(), bytes.size());
  EXPECT_EQ(reader.Read(12), 0xABCu);
  EXPECT_FALSE(reader.Overrun());
  EXPECT_EQ(reader.Read(8), 0xD0u) << "the last four bits, then zeros";
  EXPECT_TRUE(reader.Overrun());
  EXPECT_EQ(reader.Read(32), 0u);
  EXPECT_EQ(reader.Read(0), 0u);
}

}  // namespace
}  // namespace veltro::media
