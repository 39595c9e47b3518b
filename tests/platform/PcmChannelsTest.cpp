// Decoded frames written in the output's channel count: copied, duplicated or averaged, always
// as signed 16-bit little-endian bytes, and exactly as many bytes as promised.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "platform/PcmChannels.h"

namespace veltro::platform {
namespace {

// The little-endian bytes of `samples`, written out by hand.
std::vector<uint8_t> LittleEndianBytes(const std::vector<int>& samples) {
  std::vector<uint8_t> bytes;
  for (const int sample : samples) {
    const auto bits = static_cast<uint16_t>(sample);
    bytes.push_back(static_cast<uint8_t>(bits & 0xFF));
    bytes.push_back(static_cast<uint8_t>(bits >> 8));
  }
  return bytes;
}

TEST(PcmChannels, CopiesDuplicatesOrAveragesEachFrame) {
  const struct {
    const char* name;
    std::vector<int16_t> in;
    int from;
    int to;
    std::vector<int> expected;
  } cases[] = {
      {"stereo kept", {1, -2, 300, -32768}, 2, 2, {1, -2, 300, -32768}},
      {"mono kept", {32767, -1, 0}, 1, 1, {32767, -1, 0}},
      {"mono to both sides", {5, -7, 32767}, 1, 2, {5, 5, -7, -7, 32767, 32767}},
      // The mean is truncated toward zero, never rounded down: -3 / 2 is -1.
      {"stereo mean", {4, 6, -3, 0, 3, 0, 1, -2}, 2, 1, {5, -1, 1, 0}},
      // The sum of two extreme samples does not wrap before the division.
      {"stereo mean at the limits",
       {32767, 32767, -32768, -32768, -32768, -1, 32767, -32768},
       2,
       1,
       {32767, -32768, -16384, 0}},
      {"no frames", {}, 1, 2, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const size_t frames = c.in.size() / static_cast<size_t>(c.from);
    std::vector<uint8_t> out(c.expected.size() * 2 + 4, 0xEE);  // a guard after the result
    const size_t written = StorePcm16Frames(c.in.data(), frames, c.from, c.to, out.data());
    EXPECT_EQ(written, frames * static_cast<size_t>(c.to) * 2);
    ASSERT_EQ(written, c.expected.size() * 2);
    EXPECT_EQ(std::vector<uint8_t>(out.begin(), out.begin() + static_cast<long>(written)),
              LittleEndianBytes(c.expected));
    EXPECT_EQ(std::vector<uint8_t>(out.begin() + static_cast<long>(written), out.end()),
              std::vector<uint8_t>(4, 0xEE));
  }
}

}  // namespace
}  // namespace veltro::platform
