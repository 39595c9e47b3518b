// Layer III tables (scale factor bands, pretab, scale factor lengths, alias-reduction and
// intensity-stereo coefficients) and the numeric building blocks that use them:
// requantisation, the inverse MDCT with its four window shapes.
#pragma once

#include <cstdint>

namespace veltro::media {

inline constexpr int kGranuleLines = 576;
inline constexpr int kLongBands = 22;   // scale factor bands of a long block
inline constexpr int kShortBands = 13;  // scale factor bands of one short window
inline constexpr int kMaxPow43 = 8207;  // |x| < 15 + 2^13 after linbits

// Scale factor band boundaries in spectral lines: long[b]..long[b + 1] (23 entries, last 576),
// short[b]..short[b + 1] within one window (14 entries, last 192).
struct Layer3Bands {
  int16_t longStart[kLongBands + 1];
  int16_t shortStart[kShortBands + 1];
};

// Any thread. `level` 0 MPEG-1, 1 MPEG-2, 2 MPEG 2.5; `samplingIndex` 0..2 (clamped).
const Layer3Bands& Layer3BandsFor(int level, int samplingIndex);

// Pre-emphasis added to the long-block scale factors when preflag is set (22 bands).
extern const int8_t kLayer3Pretab[kLongBands];
// MPEG-1 scale factor bit lengths slen1 and slen2 by scalefac_compress.
extern const int8_t kLayer3Slen[2][16];
// MPEG-2/2.5 scale factors per partition [row][block kind: long, short, mixed][partition].
// Rows 0-2: by scalefac_compress ranges; rows 3-5: the right channel under intensity stereo.
extern const int8_t kLayer3LsfBandCounts[6][3][4];

// Any thread. sign(value) * |value|^(4/3) * 2^(quarterExponent / 4). `value` beyond the
// table is clamped to its largest entry.
float Layer3Requantize(int value, int quarterExponent);
// Any thread. 2^(quarterExponent / 4): the factor Layer3Requantize applies.
float Layer3RequantizeScale(int quarterExponent);
// Any thread. out[i] = Layer3Requantize(values[i], quarterExponent) for i < count, with the
// scale computed once.
void Layer3RequantizeLines(const int* values, int count, int quarterExponent, float* out);

// Alias-reduction butterfly coefficients cs[i], ca[i], i = 0..7.
struct Layer3AliasCoefficients {
  float cs[8];
  float ca[8];
};
const Layer3AliasCoefficients& Layer3Alias();

// Any thread. The 36-point inverse MDCT of 18 spectral values, windowed with the long window of
// `blockType` (0 normal, 1 start, 3 stop): 36 time samples.
void Layer3InverseMdctLong(const float* in18, int blockType, float* out36);
// Any thread. Three 12-point inverse MDCTs of one sub-band's short windows (input interleaved:
// in18[3 * k + window]), windowed and overlapped into 36 time samples (the first and last six
// are zero).
void Layer3InverseMdctShort(const float* in18, float* out36);

}  // namespace veltro::media
