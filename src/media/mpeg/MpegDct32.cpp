#include "media/mpeg/MpegDct32.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>

#include "media/mpeg/MpegVectorPath.h"

namespace veltro::media {
namespace {

constexpr int kSize = 32;

// cos(n (2k + 1) pi / 64) for the direct transform, [n][k].
struct CosineMatrix {
  float values[kSize][kSize];
  CosineMatrix() {
    for (int n = 0; n < kSize; ++n) {
      for (int k = 0; k < kSize; ++k) {
        values[n][k] = static_cast<float>(std::cos(n * (2 * k + 1) * std::numbers::pi / 64.0));
      }
    }
  }
};
const CosineMatrix kCosines;

// Odd-part factors 1 / (2 cos((2k + 1) pi / (2N))) of the even/odd split of an N-point
// transform, for N = 32, 16, 8, 4, 2 stored one after another (16 + 8 + 4 + 2 + 1 values).
struct SplitFactors {
  std::array<float, 31> values{};
  SplitFactors() {
    int offset = 0;
    for (int n = kSize; n >= 2; n /= 2) {
      for (int k = 0; k < n / 2; ++k) {
        const double angle = (2 * k + 1) * std::numbers::pi / (2.0 * n);
        values[static_cast<size_t>(offset + k)] = static_cast<float>(0.5 / std::cos(angle));
      }
      offset += n / 2;
    }
  }
  const float* For(int n) const {
    int offset = 0;
    for (int size = kSize; size > n; size /= 2) offset += size / 2;
    return values.data() + offset;
  }
};
const SplitFactors kSplitFactors;

// Values side by side, one per vector lane, so that several blocks are transformed at once:
// four in the baseline copy (one SSE register), eight in the AVX2 copy.
using Lanes4 = float __attribute__((vector_size(16)));
using Lanes8 = float __attribute__((vector_size(32)));

// N-point transform: the even outputs are the N/2-point transform of in[k] + in[N-1-k]; the odd
// outputs X[2m+1] = Y[m] + Y[m+1] where Y is the N/2-point transform of
// (in[k] - in[N-1-k]) / (2 cos((2k + 1) pi / (2N))) and Y[N/2] = 0.
// Forced inline: the whole recursion then folds into one straight-line transform. T is float
// (one block) or Lanes (eight blocks, each lane computed exactly as the float version).
template <int N, typename T>
[[gnu::always_inline]] inline void SplitTransform(const T* in, T* out) {
  if constexpr (N == 1) {
    out[0] = in[0];
  } else {
    constexpr int kHalf = N / 2;
    const float* factors = kSplitFactors.For(N);
    T sums[kHalf], differences[kHalf], evenOut[kHalf], oddOut[kHalf + 1];
    for (int k = 0; k < kHalf; ++k) {
      sums[k] = in[k] + in[N - 1 - k];
      differences[k] = (in[k] - in[N - 1 - k]) * factors[k];
    }
    SplitTransform<kHalf>(sums, evenOut);
    SplitTransform<kHalf>(differences, oddOut);
    oddOut[kHalf] = T{};
    for (int m = 0; m < kHalf; ++m) {
      out[2 * m] = evenOut[m];
      out[2 * m + 1] = oddOut[m] + oddOut[m + 1];
    }
  }
}

// Folds an N-point input to the N/2-point input whose transform is X[2m] of the N-point one.
template <typename T>
[[gnu::always_inline]] inline void Fold(const T* in, T* out, int n) {
  for (int k = 0; k < n / 2; ++k) out[k] = in[k] + in[n - 1 - k];
}

template <typename T>
[[gnu::always_inline]] inline void FastTransform(const T* in32, T* out32, int shift) {
  if (shift <= 0) {
    SplitTransform<32>(in32, out32);
    return;
  }
  T folded16[16], result[16];
  Fold(in32, folded16, 32);
  if (shift == 1) {
    SplitTransform<16>(folded16, result);
    for (int m = 0; m < 16; ++m) out32[2 * m] = result[m];
    return;
  }
  T folded8[8];
  Fold(folded16, folded8, 16);
  SplitTransform<8>(folded8, result);
  for (int m = 0; m < 8; ++m) out32[4 * m] = result[m];
}

// Up to `Lanes` blocks side by side; lanes beyond `count` carry zeros and are not written back.
template <typename Vector, int Lanes>
[[gnu::always_inline]] inline void BlocksTransform(const float (*in)[32], int count,
                                                   float (*out)[32], int shift) {
  Vector columns[kSize], results[kSize];
  for (int k = 0; k < kSize; ++k) {
    for (int lane = 0; lane < Lanes; ++lane) columns[k][lane] = lane < count ? in[lane][k] : 0.0f;
  }
  FastTransform(columns, results, shift);
  const int step = 1 << shift;
  for (int lane = 0; lane < count; ++lane) {
    for (int k = 0; k < kSize; k += step) out[lane][k] = results[k][lane];
  }
}

void FastTransformBaseline(const float* in32, float* out32, int shift) {
  FastTransform(in32, out32, shift);
}

void BlocksTransformBaseline(const float (*in)[32], int count, float (*out)[32], int shift) {
  for (int first = 0; first < count; first += 4)
    BlocksTransform<Lanes4, 4>(in + first, std::min(4, count - first), out + first, shift);
}

#if VELTRO_MPEG_AVX2_COPY
VELTRO_TARGET_AVX2 void FastTransformAvx2(const float* in32, float* out32, int shift) {
  FastTransform(in32, out32, shift);
}

VELTRO_TARGET_AVX2 void BlocksTransformAvx2(const float (*in)[32], int count, float (*out)[32],
                                            int shift) {
  for (int first = 0; first < count; first += 8)
    BlocksTransform<Lanes8, 8>(in + first, std::min(8, count - first), out + first, shift);
}
#endif

}  // namespace

void Dct32Plain(const float* in32, float* out32) {
  for (int n = 0; n < kSize; ++n) {
    float sum = 0.0f;
    for (int k = 0; k < kSize; ++k) sum += kCosines.values[n][k] * in32[k];
    out32[n] = sum;
  }
}

void Dct32Fast(const float* in32, float* out32, int shift) {
#if VELTRO_MPEG_AVX2_COPY
  if (MpegUsesAvx2()) {
    FastTransformAvx2(in32, out32, shift);
    return;
  }
#endif
  FastTransformBaseline(in32, out32, shift);
}

void Dct32FastBlocks(const float (*in)[32], int count, float (*out)[32], int shift) {
#if VELTRO_MPEG_AVX2_COPY
  if (MpegUsesAvx2()) {
    BlocksTransformAvx2(in, count, out, shift);
    return;
  }
#endif
  BlocksTransformBaseline(in, count, out, shift);
}

}  // namespace veltro::media
