// The AVX2 copies of the decoder's loops must give exactly the bits of the baseline copies:
// the same transform outputs, the same window sums, the same PCM for every conformance stream
// at every down-sampling. On a processor without AVX2 only the baseline copy exists.
#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <random>
#include <vector>

#include "media/mpeg/MpegDct32.h"
#include "media/mpeg/MpegSynthesis.h"
#include "media/mpeg/MpegTables3.h"
#include "media/mpeg/MpegTestData.h"
#include "media/mpeg/MpegVectorPath.h"

namespace veltro::media {
namespace {

class MpegVectorPathTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!MpegAvx2Available()) GTEST_SKIP() << "this processor runs the baseline copies only";
  }
  void TearDown() override { ForceMpegBaseline(false); }

  // Runs `work` on the AVX2 copies, then on the baseline copies.
  template <typename Result, typename Work>
  static std::pair<Result, Result> BothWays(Work work) {
    ForceMpegBaseline(false);
    EXPECT_TRUE(MpegUsesAvx2());
    Result fast = work();
    ForceMpegBaseline(true);
    EXPECT_FALSE(MpegUsesAvx2());
    Result baseline = work();
    ForceMpegBaseline(false);
    return {fast, baseline};
  }
};

std::vector<uint32_t> Bits(const float* values, size_t count) {
  std::vector<uint32_t> bits(count);
  for (size_t i = 0; i < count; ++i) bits[i] = std::bit_cast<uint32_t>(values[i]);
  return bits;
}

TEST_F(MpegVectorPathTest, TransformsGiveTheSameBits) {
  std::mt19937 random(11);
  std::uniform_real_distribution<float> value(-1.0f, 1.0f);
  std::vector<float> input(32 * 64);
  for (float& x : input) x = value(random);
  for (int shift = 0; shift <= 2; ++shift) {
    const auto [fast, baseline] = BothWays<std::vector<uint32_t>>([&] {
      std::vector<uint32_t> all;
      for (size_t block = 0; block < 64; ++block) {
        float out[32] = {};
        Dct32Fast(input.data() + 32 * block, out, shift);
        const std::vector<uint32_t> bits = Bits(out, 32);
        all.insert(all.end(), bits.begin(), bits.end());
      }
      return all;
    });
    EXPECT_EQ(fast, baseline) << "shift " << shift;
  }
  for (int blockType = 0; blockType < 4; ++blockType) {
    const auto [fast, baseline] = BothWays<std::vector<uint32_t>>([&] {
      float longOut[36], shortOut[36];
      Layer3InverseMdctLong(input.data() + 18 * blockType, blockType, longOut);
      Layer3InverseMdctShort(input.data() + 18 * blockType, shortOut);
      std::vector<uint32_t> all = Bits(longOut, 36);
      const std::vector<uint32_t> more = Bits(shortOut, 36);
      all.insert(all.end(), more.begin(), more.end());
      return all;
    });
    EXPECT_EQ(fast, baseline) << "block type " << blockType;
  }
}

TEST_F(MpegVectorPathTest, SynthesisGivesTheSameSamples) {
  std::mt19937 random(5);
  std::uniform_real_distribution<float> value(-1.2f, 1.2f);  // beyond full scale: clipping too
  for (int shift = 0; shift <= 2; ++shift) {
    const auto [fast, baseline] = BothWays<std::vector<int16_t>>([&] {
      random.seed(5);
      MpegSynthesis synthesis;
      std::vector<int16_t> pcm(32 * 200);
      for (size_t block = 0; block < 200; ++block) {
        float subbands[32];
        for (float& x : subbands) x = value(random);
        synthesis.Synthesize(subbands, shift, pcm.data() + 32 * block, 1);
      }
      return pcm;
    });
    EXPECT_EQ(fast, baseline) << "shift " << shift;
  }
}

TEST_F(MpegVectorPathTest, EveryConformanceStreamDecodesToTheSamePcm) {
  for (const std::string& name : ConformanceStreams()) {
    const std::vector<uint8_t> bytes =
        ReadFileBytes(MpegTestDataPath("conformance/" + name + ".bit"));
    ASSERT_FALSE(bytes.empty()) << name;
    for (int downsampling = 0; downsampling <= 2; ++downsampling) {
      const auto [fast, baseline] =
          BothWays<std::vector<int16_t>>([&] { return DecodeBytes(bytes, 0, downsampling).pcm; });
      ASSERT_FALSE(fast.empty()) << name;
      EXPECT_TRUE(fast == baseline) << name << " down-sampling " << downsampling;
    }
  }
}

}  // namespace
}  // namespace veltro::media
