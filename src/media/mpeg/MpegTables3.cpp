#include "media/mpeg/MpegTables3.h"

#include <bit>
#include <cmath>
#include <numbers>

#include "media/mpeg/MpegVectorPath.h"

namespace veltro::media {
namespace {

// Scale factor bands: ISO/IEC 11172-3 Table B.8 (44.1, 48, 32 kHz) and ISO/IEC 13818-3
// Table B.2 (22.05, 24, 16 kHz). MPEG 2.5 uses the 22.05 kHz long bands and the 16 kHz short
// bands at 11.025 and 12 kHz, and a table of its own at 8 kHz (bands twice as wide).
constexpr Layer3Bands kBands[9] = {
    {{0,  4,  8,   12,  16,  20,  24,  30,  36,  44,  52, 62,
      74, 90, 110, 134, 162, 196, 238, 288, 342, 418, 576},
     {0, 4, 8, 12, 16, 22, 30, 40, 52, 66, 84, 106, 136, 192}},
    {{0,  4,  8,   12,  16,  20,  24,  30,  36,  42,  50, 60,
      72, 88, 106, 128, 156, 190, 230, 276, 330, 384, 576},
     {0, 4, 8, 12, 16, 22, 28, 38, 50, 64, 80, 100, 126, 192}},
    {{0,  4,   8,   12,  16,  20,  24,  30,  36,  44,  54, 66,
      82, 102, 126, 156, 194, 240, 296, 364, 448, 550, 576},
     {0, 4, 8, 12, 16, 22, 30, 42, 58, 78, 104, 138, 180, 192}},
    {{0,   6,   12,  18,  24,  30,  36,  44,  54,  66,  80, 96,
      116, 140, 168, 200, 238, 284, 336, 396, 464, 522, 576},
     {0, 4, 8, 12, 18, 24, 32, 42, 56, 74, 100, 132, 174, 192}},
    {{0,   6,   12,  18,  24,  30,  36,  44,  54,  66,  80, 96,
      114, 136, 162, 194, 232, 278, 332, 394, 464, 540, 576},
     {0, 4, 8, 12, 18, 26, 36, 48, 62, 80, 104, 136, 180, 192}},
    {{0,   6,   12,  18,  24,  30,  36,  44,  54,  66,  80, 96,
      116, 140, 168, 200, 238, 284, 336, 396, 464, 522, 576},
     {0, 4, 8, 12, 18, 26, 36, 48, 62, 80, 104, 134, 174, 192}},
    {{0,   6,   12,  18,  24,  30,  36,  44,  54,  66,  80, 96,
      116, 140, 168, 200, 238, 284, 336, 396, 464, 522, 576},
     {0, 4, 8, 12, 18, 26, 36, 48, 62, 80, 104, 134, 174, 192}},
    {{0,   6,   12,  18,  24,  30,  36,  44,  54,  66,  80, 96,
      116, 140, 168, 200, 238, 284, 336, 396, 464, 522, 576},
     {0, 4, 8, 12, 18, 26, 36, 48, 62, 80, 104, 134, 174, 192}},
    {{0,   12,  24,  36,  48,  60,  72,  88,  108, 132, 160, 192,
      232, 280, 336, 400, 476, 566, 568, 570, 572, 574, 576},
     {0, 8, 16, 24, 36, 52, 72, 96, 124, 160, 162, 164, 166, 192}},
};

// Quantisation constants of the alias-reduction butterflies (ISO/IEC 11172-3 Table B.9).
constexpr double kAliasC[8] = {-0.6, -0.535, -0.33, -0.185, -0.095, -0.041, -0.0142, -0.0037};

struct Pow43Table {
  float values[kMaxPow43];
  Pow43Table() {
    for (int i = 0; i < kMaxPow43; ++i) values[i] = static_cast<float>(std::pow(i, 4.0 / 3.0));
  }
};

// The inverse MDCT (ISO/IEC 11172-3 2.4.3.4.10.2) of N/2 values is, up to sign and order, a
// DCT-IV of N/2 points, y[n] = sum_k X[k] cos(pi (2n + 1)(2k + 1) / (2N)), so only N/2 x N/2
// products are needed. Rows are padded to a multiple of four for the vector units.
constexpr int kLongRow = 20;
constexpr int kShortRow = 8;

struct TransformTables {
  float dct4Long[18][kLongRow];  // [k][n]
  float dct4Short[6][kShortRow];
  float windowLong[4][36];  // by block type; entry 2 unused (short blocks use windowShort)
  float windowShort[12];
  Layer3AliasCoefficients alias;

  TransformTables() {
    const double pi = std::numbers::pi;
    for (int k = 0; k < 18; ++k)
      for (int n = 0; n < kLongRow; ++n)
        dct4Long[k][n] =
            n < 18 ? static_cast<float>(std::cos(pi / 72.0 * (2 * n + 1) * (2 * k + 1))) : 0.0f;
    for (int k = 0; k < 6; ++k)
      for (int n = 0; n < kShortRow; ++n)
        dct4Short[k][n] =
            n < 6 ? static_cast<float>(std::cos(pi / 24.0 * (2 * n + 1) * (2 * k + 1))) : 0.0f;
    for (int i = 0; i < 12; ++i)
      windowShort[i] = static_cast<float>(std::sin(pi / 12.0 * (i + 0.5)));
    FillLongWindows(pi);
    for (int i = 0; i < 8; ++i) {
      const double root = std::sqrt(1.0 + kAliasC[i] * kAliasC[i]);
      alias.cs[i] = static_cast<float>(1.0 / root);
      alias.ca[i] = static_cast<float>(kAliasC[i] / root);
    }
  }

  void FillLongWindows(double pi) {
    for (int i = 0; i < 36; ++i) {
      const double normal = std::sin(pi / 36.0 * (i + 0.5));
      windowLong[0][i] = windowLong[2][i] = static_cast<float>(normal);
      // Start window: normal rise, flat, short fall, zero.
      double start = 0.0;
      if (i < 18)
        start = normal;
      else if (i < 24)
        start = 1.0;
      else if (i < 30)
        start = std::sin(pi / 12.0 * (i - 18 + 0.5));
      windowLong[1][i] = static_cast<float>(start);
      // Stop window: zero, short rise, flat, normal fall.
      double stop = normal;
      if (i < 6)
        stop = 0.0;
      else if (i < 12)
        stop = std::sin(pi / 12.0 * (i - 6 + 0.5));
      else if (i < 18)
        stop = 1.0;
      windowLong[3][i] = static_cast<float>(stop);
    }
  }
};

const Pow43Table& Pow43() {
  static const Pow43Table table;
  return table;
}

const TransformTables& Transforms() {
  static const TransformTables tables;
  return tables;
}

// 2^(k / 4) for k = 0..3.
constexpr float kQuarterPowers[4] = {1.0f, 1.18920711500272106672f, 1.41421356237309504880f,
                                     1.68179283050742908606f};

}  // namespace

const int8_t kLayer3Pretab[kLongBands] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                                          1, 1, 1, 1, 2, 2, 3, 3, 3, 2, 0};

const int8_t kLayer3Slen[2][16] = {{0, 0, 0, 0, 3, 1, 1, 1, 2, 2, 2, 3, 3, 3, 4, 4},
                                   {0, 1, 2, 3, 0, 1, 2, 3, 1, 2, 3, 1, 2, 3, 2, 3}};

// nr_of_sfb_block of ISO/IEC 13818-3 2.4.3.2: scale factors per partition.
const int8_t kLayer3LsfBandCounts[6][3][4] = {
    {{6, 5, 5, 5}, {9, 9, 9, 9}, {6, 9, 9, 9}},
    {{6, 5, 7, 3}, {9, 9, 12, 6}, {6, 9, 12, 6}},
    {{11, 10, 0, 0}, {18, 18, 0, 0}, {15, 18, 0, 0}},
    {{7, 7, 7, 0}, {12, 12, 12, 0}, {6, 15, 12, 0}},
    {{6, 6, 6, 3}, {12, 9, 9, 6}, {6, 12, 9, 6}},
    {{8, 8, 5, 0}, {15, 12, 9, 0}, {6, 18, 9, 0}},
};

const Layer3Bands& Layer3BandsFor(int level, int samplingIndex) {
  const int row = (level < 0 || level > 2) ? 0 : level;
  const int column = (samplingIndex < 0 || samplingIndex > 2) ? 0 : samplingIndex;
  return kBands[row * 3 + column];
}

float Layer3Requantize(int value, int quarterExponent) {
  if (value == 0) return 0.0f;
  int magnitude = value < 0 ? -value : value;
  if (magnitude >= kMaxPow43) magnitude = kMaxPow43 - 1;
  const float result = Pow43().values[magnitude] * Layer3RequantizeScale(quarterExponent);
  return value < 0 ? -result : result;
}

float Layer3RequantizeScale(int quarterExponent) {
  return std::ldexp(kQuarterPowers[quarterExponent & 3], quarterExponent >> 2);
}

void Layer3RequantizeLines(const int* values, int count, int quarterExponent, float* out) {
  const float scale = Layer3RequantizeScale(quarterExponent);
  const float* pow43 = Pow43().values;
  for (int i = 0; i < count; ++i) {
    const int value = values[i];
    int magnitude = value < 0 ? -value : value;
    magnitude = magnitude < kMaxPow43 ? magnitude : kMaxPow43 - 1;
    // The sign bit of the value moves onto the float: no branch on the (random) sign.
    const uint32_t sign = static_cast<uint32_t>(value) & 0x80000000u;
    out[i] = std::bit_cast<float>(std::bit_cast<uint32_t>(pow43[magnitude] * scale) | sign);
  }
}

const Layer3AliasCoefficients& Layer3Alias() {
  return Transforms().alias;
}

namespace {

// y[n] = sum_k in[k] * matrix[k][n] (rows of `Row` floats). Zero inputs are not skipped: the
// test would be an unpredictable branch that costs more than the vector multiply-adds it saves.
template <int Count, int Row>
[[gnu::always_inline]] inline void Dct4(const float* in, int inStride, const float (*matrix)[Row],
                                        float* y) {
  for (int n = 0; n < Row; ++n) y[n] = 0.0f;
  for (int k = 0; k < Count; ++k) {
    const float value = in[k * inStride];
    const float* row = matrix[k];
    for (int n = 0; n < Row; ++n) y[n] += value * row[n];
  }
}

// x[i] = y[i + 9] (i < 9), -y[26 - i] (i < 27), -y[i - 27]: the DCT-IV's odd symmetry about
// the ends of its range unfolds 18 values into the 36 of the inverse MDCT.
[[gnu::always_inline]] inline void InverseMdctLong(const float* in18, int blockType, float* out36) {
  const TransformTables& t = Transforms();
  const float* window = t.windowLong[blockType & 3];
  float y[kLongRow];
  Dct4<18, kLongRow>(in18, 1, t.dct4Long, y);
  for (int i = 0; i < 9; ++i) out36[i] = y[i + 9] * window[i];
  for (int i = 9; i < 27; ++i) out36[i] = -y[26 - i] * window[i];
  for (int i = 27; i < 36; ++i) out36[i] = -y[i - 27] * window[i];
}

// Per window: x[i] = y[i + 3] (i < 3), -y[8 - i] (i < 9), -y[i - 9] for the 12-point transform.
[[gnu::always_inline]] inline void InverseMdctShort(const float* in18, float* out36) {
  const TransformTables& t = Transforms();
  for (int i = 0; i < 36; ++i) out36[i] = 0.0f;
  float y[kShortRow];
  float x[12];
  for (int window = 0; window < 3; ++window) {
    Dct4<6, kShortRow>(in18 + window, 3, t.dct4Short, y);
    for (int i = 0; i < 3; ++i) x[i] = y[i + 3];
    for (int i = 3; i < 9; ++i) x[i] = -y[8 - i];
    for (int i = 9; i < 12; ++i) x[i] = -y[i - 9];
    for (int i = 0; i < 12; ++i) out36[6 + 6 * window + i] += x[i] * t.windowShort[i];
  }
}

void InverseMdctLongBaseline(const float* in18, int blockType, float* out36) {
  InverseMdctLong(in18, blockType, out36);
}

void InverseMdctShortBaseline(const float* in18, float* out36) {
  InverseMdctShort(in18, out36);
}

#if VELTRO_MPEG_AVX2_COPY
VELTRO_TARGET_AVX2 void InverseMdctLongAvx2(const float* in18, int blockType, float* out36) {
  InverseMdctLong(in18, blockType, out36);
}

VELTRO_TARGET_AVX2 void InverseMdctShortAvx2(const float* in18, float* out36) {
  InverseMdctShort(in18, out36);
}
#endif

}  // namespace

void Layer3InverseMdctLong(const float* in18, int blockType, float* out36) {
#if VELTRO_MPEG_AVX2_COPY
  if (MpegUsesAvx2()) {
    InverseMdctLongAvx2(in18, blockType, out36);
    return;
  }
#endif
  InverseMdctLongBaseline(in18, blockType, out36);
}

void Layer3InverseMdctShort(const float* in18, float* out36) {
#if VELTRO_MPEG_AVX2_COPY
  if (MpegUsesAvx2()) {
    InverseMdctShortAvx2(in18, out36);
    return;
  }
#endif
  InverseMdctShortBaseline(in18, out36);
}

}  // namespace veltro::media
