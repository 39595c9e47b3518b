#include "media/mpeg/MpegSynthesis.h"

#include <cmath>
#include <cstring>

#include "media/mpeg/MpegDct32.h"
#include "media/mpeg/MpegSynthesisWindow.h"
#include "media/mpeg/MpegVectorPath.h"

namespace veltro::media {
namespace {

constexpr int kBlocks = 16;
constexpr int kBlockSize = 32;
using Lanes4 = float __attribute__((vector_size(16)));  // one SSE register
using Lanes8 = float __attribute__((vector_size(32)));  // one AVX register
constexpr int kBatch = 8;                               // blocks transformed together
constexpr float kFullScale = 32768.0f;

// The synthesis window rearranged per history block: the output sample j takes
// V[j] * D[64i + j] from block 2i and V[32 + j] * D[64i + 32 + j] from block 2i + 1
// (i = 0..7), so row t holds the 32 coefficients applied to the block t steps back.
// The coefficients are scaled so that a full-scale sub-band sample (1.0) gives 32768.
struct BlockWindow {
  float rows[kBlocks][kBlockSize];
  BlockWindow() {
    for (int t = 0; t < kBlocks; ++t) {
      const int base = 64 * (t / 2) + 32 * (t % 2);
      for (int j = 0; j < kBlockSize; ++j) {
        rows[t][j] =
            static_cast<float>(kSynthesisWindow[base + j] * kSynthesisWindowUnit * kFullScale);
      }
    }
  }
};
const BlockWindow kBlockWindow;

// Rounds to the nearest integer (ties to even, as lrint in the default rounding mode) and
// clips to 16 bits. Adding and removing 1.5 * 2^23 leaves a float below 2^22 in magnitude
// rounded to an integer by the addition itself: no library call, and the loop vectorises.
[[gnu::always_inline]] inline int16_t ToPcm(float value) {
  constexpr float kRoundingBias = 12582912.0f;
  const float clipped = value < -32768.0f ? -32768.0f : (value > 32767.0f ? 32767.0f : value);
  const float biased = clipped + kRoundingBias;
  return static_cast<int16_t>(biased - kRoundingBias);
}

// Output j takes the 16 products v_t[j] * w_t[j], added in block order. All 32 running sums
// stay in vector registers (Width floats each) while the blocks go by, so the sums of
// different outputs advance side by side instead of waiting on one another's additions.
template <typename Vector, int Width>
[[gnu::always_inline]] inline void WindowBlocks(const float* const* vectors, int shift,
                                                int16_t* out, int stride) {
  constexpr int kParts = kBlockSize / Width;
  Vector sums[kParts] = {};
  for (int t = 0; t < kBlocks; ++t) {
    for (int p = 0; p < kParts; ++p) {
      Vector v, w;
      std::memcpy(&v, vectors[t] + p * Width, sizeof v);
      std::memcpy(&w, kBlockWindow.rows[t] + p * Width, sizeof w);
      sums[p] += v * w;
    }
  }
  float flat[kBlockSize];
  std::memcpy(flat, sums, sizeof flat);
  const int step = 1 << shift;
  for (int j = 0, n = 0; j < kBlockSize; j += step, ++n) out[n * stride] = ToPcm(flat[j]);
}

void WindowBaseline(const float* const* vectors, int shift, int16_t* out, int stride) {
  WindowBlocks<Lanes4, 4>(vectors, shift, out, stride);
}

#if VELTRO_MPEG_AVX2_COPY
VELTRO_TARGET_AVX2 void WindowAvx2(const float* const* vectors, int shift, int16_t* out,
                                   int stride) {
  WindowBlocks<Lanes8, 8>(vectors, shift, out, stride);
}
#endif

}  // namespace

MpegSynthesis::MpegSynthesis() {
  for (float& gain : gains_) gain = 1.0f;
  Reset();
}

void MpegSynthesis::Reset() {
  std::memset(history_, 0, sizeof(history_));
  ringIndex_ = 0;
}

void MpegSynthesis::SetGains(const float* gains32) {
  hasGains_ = gains32 != nullptr;
  if (hasGains_) std::memcpy(gains_, gains32, sizeof(gains_));
}

void MpegSynthesis::Synthesize(const float* subbands32, int shift, int16_t* out, int stride) {
  float block[1][kBlockSize];
  std::memcpy(block[0], subbands32, sizeof(block));
  SynthesizeBlocks(block, 1, shift, out, stride);
}

void MpegSynthesis::SynthesizeBlocks(const float (*blocks)[32], int count, int shift, int16_t* out,
                                     int stride) {
  shift = shift < 0 ? 0 : (shift > 2 ? 2 : shift);
  const int perBlock = kBlockSize >> shift;
  for (int first = 0; first < count; first += kBatch) {
    const int batch = count - first < kBatch ? count - first : kBatch;
    const float(*input)[kBlockSize] = blocks + first;
    float weighted[kBatch][kBlockSize];
    if (hasGains_) {
      for (int b = 0; b < batch; ++b)
        for (int k = 0; k < kBlockSize; ++k) weighted[b][k] = input[b][k] * gains_[k];
      input = weighted;
    }
    float matrixed[kBatch][kBlockSize] = {};
    Dct32FastBlocks(input, batch, matrixed, shift);
    for (int b = 0; b < batch; ++b) {
      PushBlock(matrixed[b]);
      Window(shift, out + (first + b) * perBlock * stride, stride);
    }
  }
}

// V[i] = X[16 + i] for i = 0..63, where X is the 32-point transform and X[64 - n] = -X[n],
// X[32] = 0, X[n + 64] = -X[n] give the entries beyond 31.
void MpegSynthesis::PushBlock(const float* matrixed) {
  ringIndex_ = (ringIndex_ + kBlocks - 1) % kBlocks;
  float* v = history_[ringIndex_];
  for (int j = 0; j < 16; ++j) v[j] = matrixed[16 + j];
  v[16] = 0.0f;
  for (int j = 17; j < 32; ++j) v[j] = -matrixed[48 - j];
  for (int j = 0; j < 16; ++j) v[32 + j] = -matrixed[16 - j];
  for (int j = 16; j < 32; ++j) v[32 + j] = -matrixed[j - 16];
}

void MpegSynthesis::Window(int shift, int16_t* out, int stride) const {
  const float* vectors[kBlocks];
  for (int t = 0; t < kBlocks; ++t)
    vectors[t] = history_[(ringIndex_ + t) % kBlocks] + 32 * (t % 2);
#if VELTRO_MPEG_AVX2_COPY
  if (MpegUsesAvx2()) {
    WindowAvx2(vectors, shift, out, stride);
    return;
  }
#endif
  WindowBaseline(vectors, shift, out, stride);
}

}  // namespace veltro::media
