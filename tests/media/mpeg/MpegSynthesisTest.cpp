// The polyphase synthesis against a direct double-precision evaluation of the ISO/IEC 11172-3
// decoding procedure (shift V by 64, matrix with N[i][k], build U, window with D, sum 16
// terms), the fast transform against the direct one, down-sampling, gains and reset.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>
#include <random>
#include <vector>

#include "media/mpeg/MpegDct32.h"
#include "media/mpeg/MpegSynthesis.h"
#include "media/mpeg/MpegSynthesisWindow.h"

namespace veltro::media {
namespace {

// The standard's procedure, written as the flow chart reads, in double precision, unrounded.
class ReferenceSynthesis {
 public:
  ReferenceSynthesis() : v_(1024, 0.0) {}
  std::vector<double> Filter(const float* subbands) {
    for (int i = 1023; i >= 64; --i) v_[i] = v_[i - 64];
    for (int i = 0; i < 64; ++i) {
      double sum = 0.0;
      for (int k = 0; k < 32; ++k) {
        sum += std::cos((16 + i) * (2 * k + 1) * std::numbers::pi / 64.0) * subbands[k];
      }
      v_[i] = sum;
    }
    double u[512];
    for (int i = 0; i < 8; ++i) {
      for (int j = 0; j < 32; ++j) {
        u[i * 64 + j] = v_[i * 128 + j];
        u[i * 64 + 32 + j] = v_[i * 128 + 96 + j];
      }
    }
    std::vector<double> out(32, 0.0);
    for (int j = 0; j < 32; ++j) {
      for (int i = 0; i < 16; ++i) {
        const int n = j + 32 * i;
        out[j] += u[n] * kSynthesisWindow[n] * kSynthesisWindowUnit * 32768.0;
      }
    }
    return out;
  }

 private:
  std::vector<double> v_;
};

std::vector<float> RandomBlock(std::mt19937& random, float amplitude) {
  std::uniform_real_distribution<float> value(-amplitude, amplitude);
  std::vector<float> block(32);
  for (float& x : block) x = value(random);
  return block;
}

double RoundedClipped(double value) {
  return std::min(32767.0, std::max(-32768.0, std::round(value)));
}

TEST(MpegSynthesisWindow, HasTheSymmetriesOfTheStandardsWindow) {
  // A mistyped coefficient breaks one of these relations (each value appears twice).
  EXPECT_EQ(kSynthesisWindow[0], 0);
  EXPECT_EQ(kSynthesisWindow[256], 75038);  // 1.144989014 * 65536, the peak
  for (int i = 1; i < 512; ++i) {
    if (i % 64 == 0) {
      EXPECT_EQ(kSynthesisWindow[512 - i], kSynthesisWindow[i]) << i;
    } else {
      EXPECT_EQ(kSynthesisWindow[512 - i], -kSynthesisWindow[i]) << i;
    }
  }
}

TEST(MpegDct32, FastAndPlainMatchTheCosineSum) {
  std::mt19937 random(7);
  for (int trial = 0; trial < 200; ++trial) {
    const std::vector<float> input = RandomBlock(random, 1.0f);
    float plain[32], fast[32];
    Dct32Plain(input.data(), plain);
    Dct32Fast(input.data(), fast, 0);
    for (int n = 0; n < 32; ++n) {
      double exact = 0.0;
      for (int k = 0; k < 32; ++k) {
        exact += input[k] * std::cos(n * (2 * k + 1) * std::numbers::pi / 64.0);
      }
      ASSERT_NEAR(plain[n], exact, 2e-5) << n;
      ASSERT_NEAR(fast[n], exact, 2e-5) << n;
    }
  }
}

TEST(MpegDct32, ShiftedTransformsWriteOnlyTheirEntriesAndMatchTheFullOne) {
  std::mt19937 random(8);
  const std::vector<float> input = RandomBlock(random, 1.0f);
  float full[32];
  Dct32Fast(input.data(), full, 0);
  for (int shift = 1; shift <= 2; ++shift) {
    float partial[32];
    for (float& x : partial) x = 123.0f;
    Dct32Fast(input.data(), partial, shift);
    for (int n = 0; n < 32; ++n) {
      if (n % (1 << shift) == 0) {
        EXPECT_EQ(partial[n], full[n]) << shift << " " << n;
      } else {
        EXPECT_EQ(partial[n], 123.0f) << shift << " " << n;
      }
    }
  }
}

TEST(MpegSynthesis, MatchesTheStandardsProcedureWithinRounding) {
  std::mt19937 random(1);
  MpegSynthesis synthesis;
  ReferenceSynthesis reference;
  double squaredError = 0.0;
  int count = 0;
  for (int block = 0; block < 200; ++block) {
    // Mostly moderate levels, with some loud blocks that drive the output into clipping.
    const float amplitude = block % 10 == 9 ? 0.6f : 0.25f;
    const std::vector<float> input = RandomBlock(random, amplitude);
    int16_t out[32];
    synthesis.Synthesize(input.data(), 0, out, 1);
    const std::vector<double> expected = reference.Filter(input.data());
    for (int j = 0; j < 32; ++j) {
      const double error = out[j] - expected[j];
      if (std::abs(expected[j]) < 32767.0) {
        // Rounding gives up to 0.5; single precision on sums up to a few times full scale
        // adds a few hundredths.
        ASSERT_LE(std::abs(error), 0.54) << "block " << block << " sample " << j;
        squaredError += error * error;
        ++count;
      } else {
        ASSERT_EQ(out[j], RoundedClipped(expected[j])) << "block " << block << " sample " << j;
      }
    }
  }
  // Rounding alone gives an RMS error of about 0.29.
  EXPECT_LT(std::sqrt(squaredError / count), 0.3);
}

TEST(MpegSynthesis, DownsamplingWritesEverySecondOrFourthSampleAtTheStride) {
  std::mt19937 random(2);
  MpegSynthesis full, half, quarter;
  for (int block = 0; block < 40; ++block) {
    const std::vector<float> input = RandomBlock(random, 0.5f);
    int16_t all[32];
    int16_t halfOut[32], quarterOut[32];
    for (int16_t& x : halfOut) x = 777;
    for (int16_t& x : quarterOut) x = 777;
    full.Synthesize(input.data(), 0, all, 1);
    half.Synthesize(input.data(), 1, halfOut, 2);        // 16 samples at stride 2
    quarter.Synthesize(input.data(), 2, quarterOut, 1);  // 8 samples at stride 1
    for (int n = 0; n < 16; ++n) {
      ASSERT_EQ(halfOut[2 * n], all[2 * n]) << block << " " << n;
      ASSERT_EQ(halfOut[2 * n + 1], 777);
    }
    for (int n = 0; n < 8; ++n) ASSERT_EQ(quarterOut[n], all[4 * n]) << block << " " << n;
    for (int n = 8; n < 32; ++n) ASSERT_EQ(quarterOut[n], 777);
  }
}

TEST(MpegSynthesis, GainsScaleTheSubbandsBeforeFiltering) {
  std::mt19937 random(3);
  float gains[32];
  for (int k = 0; k < 32; ++k) gains[k] = k % 2 == 0 ? 2.0f : 0.5f;
  MpegSynthesis withGains, scaledInput;
  withGains.SetGains(gains);
  ASSERT_TRUE(withGains.HasGains());
  EXPECT_EQ(withGains.Gains()[1], 0.5f);
  for (int block = 0; block < 20; ++block) {
    std::vector<float> input = RandomBlock(random, 0.3f);
    int16_t a[32], b[32];
    withGains.Synthesize(input.data(), 0, a, 1);
    for (int k = 0; k < 32; ++k) input[k] *= gains[k];
    scaledInput.Synthesize(input.data(), 0, b, 1);
    for (int j = 0; j < 32; ++j) ASSERT_EQ(a[j], b[j]);
  }
  withGains.SetGains(nullptr);
  EXPECT_FALSE(withGains.HasGains());
  withGains.Reset();
  scaledInput.Reset();
  const std::vector<float> input = RandomBlock(random, 0.3f);
  int16_t a[32], b[32];
  withGains.Synthesize(input.data(), 0, a, 1);
  scaledInput.Synthesize(input.data(), 0, b, 1);
  for (int j = 0; j < 32; ++j) EXPECT_EQ(a[j], b[j]);
}

TEST(MpegSynthesis, ResetForgetsTheHistory) {
  std::mt19937 random(4);
  std::vector<std::vector<float>> blocks;
  for (int i = 0; i < 20; ++i) blocks.push_back(RandomBlock(random, 0.5f));
  MpegSynthesis used, fresh;
  int16_t out[32], expected[32];
  for (const auto& block : blocks) used.Synthesize(block.data(), 0, out, 1);
  used.Reset();
  const std::vector<float> silence(32, 0.0f);
  used.Synthesize(silence.data(), 0, out, 1);
  for (int16_t x : out) EXPECT_EQ(x, 0);
  used.Reset();
  for (const auto& block : blocks) {
    used.Synthesize(block.data(), 0, out, 1);
    fresh.Synthesize(block.data(), 0, expected, 1);
    for (int j = 0; j < 32; ++j) ASSERT_EQ(out[j], expected[j]);
  }
}

// Blocks transformed side by side give each block exactly its own transform, whatever its lane
// and however many blocks share the batch (a batch of 20 ends in a partial one of 4).
TEST(MpegDct32, BlocksSideBySideEqualEachBlockAlone) {
  std::mt19937 random(3);
  std::vector<float> input(32 * 20);
  std::uniform_real_distribution<float> value(-1.0f, 1.0f);
  for (float& x : input) x = value(random);
  const auto* blocks = reinterpret_cast<const float(*)[32]>(input.data());
  for (int shift = 0; shift <= 2; ++shift) {
    for (int count : {1, 7, 8, 20}) {
      std::vector<float> together(32 * 20, 0.0f), alone(32 * 20, 0.0f);
      Dct32FastBlocks(blocks, count, reinterpret_cast<float(*)[32]>(together.data()), shift);
      for (int b = 0; b < count; ++b) Dct32Fast(blocks[b], alone.data() + 32 * b, shift);
      EXPECT_EQ(std::memcmp(together.data(), alone.data(), together.size() * sizeof(float)), 0)
          << "shift " << shift << ", " << count << " blocks";
    }
  }
}

// A frame's blocks synthesized in one call equal the same blocks one call each, for both
// channels interleaved (stride 2), with gains, at every down-sampling.
TEST(MpegSynthesis, BlocksInOneCallEqualOneCallEach) {
  std::mt19937 random(9);
  std::uniform_real_distribution<float> value(-0.8f, 0.8f);
  float blocks[36][32];
  for (auto& block : blocks)
    for (float& x : block) x = value(random);
  float gains[32];
  for (int k = 0; k < 32; ++k) gains[k] = 0.25f + 0.05f * static_cast<float>(k);
  for (int shift = 0; shift <= 2; ++shift) {
    const int perBlock = 32 >> shift;
    MpegSynthesis together, alone;
    together.SetGains(gains);
    alone.SetGains(gains);
    std::vector<int16_t> joined(2 * 36 * 32, 7), single(2 * 36 * 32, 7);
    together.SynthesizeBlocks(blocks, 36, shift, joined.data() + 1, 2);
    for (int b = 0; b < 36; ++b)
      alone.Synthesize(blocks[b], shift, single.data() + 1 + b * perBlock * 2, 2);
    EXPECT_EQ(joined, single) << "shift " << shift;
    EXPECT_EQ(joined[0], 7) << "the other channel's slots are left alone";
  }
}

}  // namespace
}  // namespace veltro::media
