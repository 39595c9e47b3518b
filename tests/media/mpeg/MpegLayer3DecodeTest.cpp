// Layer III main data of hand-built frames through requantisation, scale factors, stereo and
// the hybrid filter bank, checked against values computed here from the textbook formulas.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <numbers>
#include <vector>

#include "media/mpeg/MpegBitWriter.h"
#include "media/mpeg/MpegHuffman.h"
#include "media/mpeg/MpegLayer3.h"

namespace veltro::media {
namespace {

// Writes Huffman-coded pairs (with their sign bits) of a pair table.
void PutPair(MpegBitWriter& writer, int table, int x, int y) {
  const Layer3HuffmanTable& t = Layer3PairTable(table);
  const int entry = std::abs(x) * t.size + std::abs(y);
  writer.Put(t.codes[entry], t.lengths[entry]);
  if (x != 0) writer.Put(x < 0 ? 1 : 0, 1);
  if (y != 0) writer.Put(y < 0 ? 1 : 0, 1);
}

MpegFrameHeader Header(int level, int mode, int modeExtension = 0) {
  MpegFrameHeader h;
  h.level = level;
  h.layerCode = 1;
  h.protection = 1;
  h.bitrateIndex = 9;
  h.samplingIndex = 0;
  h.mode = mode;
  h.modeExtension = modeExtension;
  return h;
}

// A long-block granule channel coding big_values pairs with table 1, all in region 0.
Layer3GranuleChannel LongGranule(int part23Length, int bigValues, int scalefacCompress = 0) {
  Layer3GranuleChannel gc;
  gc.part23Length = part23Length;
  gc.bigValues = bigValues;
  gc.globalGain = 210;  // gain 2^0
  gc.scalefacCompress = scalefacCompress;
  gc.tableSelect[0] = gc.tableSelect[1] = gc.tableSelect[2] = 1;
  gc.region0Count = 15;
  gc.region1Count = 6;
  return gc;
}

// Writes pairs of table 1 with one value `value` (+1 or -1) at spectral line `line`.
void PutSingleLine(MpegBitWriter& w, int pairs, int line, int value) {
  for (int p = 0; p < pairs; ++p) {
    const int x = 2 * p == line ? value : 0;
    const int y = 2 * p + 1 == line ? value : 0;
    PutPair(w, 1, x, y);
  }
}

Layer3SideInfo MonoMpeg1(const Layer3GranuleChannel& g0, const Layer3GranuleChannel& g1) {
  Layer3SideInfo side;
  side.granules = 2;
  side.channels = 1;
  side.granule[0][0] = g0;
  side.granule[1][0] = g1;
  return side;
}

// The windowed 36-point inverse MDCT of a single unit line k (normal window), with the odd
// samples negated for an odd sub-band.
double ExpectedTime(int k, int i, bool oddSubband) {
  const double pi = std::numbers::pi;
  double value = std::cos(pi / 72 * (2 * i + 1 + 18) * (2 * k + 1)) * std::sin(pi / 36 * (i + 0.5));
  if (oddSubband && i % 2 == 1) value = -value;
  return value;
}

TEST(MpegLayer3DecodeTest, SingleLineGoesThroughImdctOverlapAndFrequencyInversion) {
  // Line 27 = sub-band 1, value k = 9: outside every alias butterfly.
  MpegBitWriter w;
  PutSingleLine(w, 14, 27, 1);
  const Layer3SideInfo side = MonoMpeg1(LongGranule(w.BitCount(), 14), LongGranule(0, 0));
  const std::vector<uint8_t> data = w.Bytes();
  MpegLayer3 layer3;
  MpegSubbands out{};
  ASSERT_EQ(layer3.DecodeMainData(Header(0, kModeMono), side, data.data(), data.size(), 32, out),
            kLayerOk);
  EXPECT_EQ(out.channels, 1);
  EXPECT_EQ(out.blocks, 36);
  for (int i = 0; i < 36; ++i) {
    // Granule 0 outputs the first half of the transform, granule 1 (no data) its overlap.
    EXPECT_NEAR(out.samples[0][i][1], ExpectedTime(9, i, true), 1e-5) << i;
    for (int sb = 0; sb < 32; ++sb) {
      if (sb == 1) continue;
      EXPECT_EQ(out.samples[0][i][sb], 0.0f) << i << " " << sb;
    }
  }
  // The overlap is used up: a further silent frame is silent.
  const Layer3SideInfo silent = MonoMpeg1(LongGranule(0, 0), LongGranule(0, 0));
  ASSERT_EQ(layer3.DecodeMainData(Header(0, kModeMono), silent, data.data(), 0, 32, out), kLayerOk);
  for (int i = 0; i < 36; ++i) EXPECT_EQ(out.samples[0][i][1], 0.0f);
}

TEST(MpegLayer3DecodeTest, SubbandLimitLeavesHigherSubbandsToTheirOverlap) {
  MpegBitWriter w;
  PutSingleLine(w, 14, 27, -1);
  const Layer3SideInfo side = MonoMpeg1(LongGranule(w.BitCount(), 14), LongGranule(0, 0));
  const std::vector<uint8_t> data = w.Bytes();
  MpegLayer3 layer3;
  MpegSubbands out{};
  ASSERT_EQ(layer3.DecodeMainData(Header(0, kModeMono), side, data.data(), data.size(), 1, out),
            kLayerOk);
  for (int i = 0; i < 36; ++i) EXPECT_EQ(out.samples[0][i][1], 0.0f) << i;
  // Without the limit the same data is heard (negative line: negated samples).
  MpegLayer3 unlimited;
  ASSERT_EQ(unlimited.DecodeMainData(Header(0, kModeMono), side, data.data(), data.size(), 32, out),
            kLayerOk);
  EXPECT_NEAR(out.samples[0][3][1], -ExpectedTime(9, 3, true), 1e-5);
}

// Granule 0 codes scale factor 2 in band 0 (lines 0..3), granule 1 either reuses it through
// scfsi or codes `granule1Factor` itself; both code a unit value at line 1.
MpegSubbands DecodeScaleFactorFrame(bool reuse, int granule1Factor) {
  constexpr int kCompress = 4;  // slen1 = 3, slen2 = 0
  MpegBitWriter w;
  w.Put(2, 3);
  for (int b = 1; b < 11; ++b) w.Put(0, 3);
  PutSingleLine(w, 2, 1, 1);
  const int part0 = w.BitCount();
  if (!reuse) {
    w.Put(static_cast<uint32_t>(granule1Factor), 3);
    for (int b = 1; b < 6; ++b) w.Put(0, 3);
  }
  for (int b = 6; b < 11; ++b) w.Put(0, 3);
  PutSingleLine(w, 2, 1, 1);
  Layer3SideInfo side =
      MonoMpeg1(LongGranule(part0, 2, kCompress), LongGranule(w.BitCount() - part0, 2, kCompress));
  side.scfsi[0][0] = reuse ? 1 : 0;
  const std::vector<uint8_t> data = w.Bytes();
  MpegLayer3 layer3;
  MpegSubbands out{};
  EXPECT_EQ(layer3.DecodeMainData(Header(0, kModeMono), side, data.data(), data.size(), 32, out),
            kLayerOk);
  return out;
}

TEST(MpegLayer3DecodeTest, ScfsiReusesTheFirstGranulesScaleFactors) {
  const MpegSubbands reused = DecodeScaleFactorFrame(true, 0);
  const MpegSubbands coded = DecodeScaleFactorFrame(false, 2);
  const MpegSubbands other = DecodeScaleFactorFrame(false, 0);
  double difference = 0;
  for (int i = 18; i < 36; ++i) {
    for (int sb = 0; sb < 2; ++sb) {
      EXPECT_FLOAT_EQ(reused.samples[0][i][sb], coded.samples[0][i][sb]) << i << " " << sb;
      difference += std::abs(reused.samples[0][i][sb] - other.samples[0][i][sb]);
    }
  }
  EXPECT_GT(difference, 0.1);  // the scale factor matters
}

TEST(MpegLayer3DecodeTest, MiddleSideStereoRebuildsLeftAndRight) {
  // Middle = +1 and side = +1 at line 27: left = sqrt(2), right = 0.
  MpegBitWriter w;
  PutSingleLine(w, 14, 27, 1);
  const int part = w.BitCount();
  PutSingleLine(w, 14, 27, 1);
  Layer3SideInfo side;
  side.granules = 1;
  side.channels = 2;
  side.granule[0][0] = LongGranule(part, 14);
  side.granule[0][1] = LongGranule(part, 14);
  const std::vector<uint8_t> data = w.Bytes();
  MpegLayer3 layer3;
  MpegSubbands out{};
  ASSERT_EQ(layer3.DecodeMainData(Header(1, kModeJointStereo, 2), side, data.data(), data.size(),
                                  32, out),
            kLayerOk);
  EXPECT_EQ(out.blocks, 18);
  for (int i = 0; i < 18; ++i) {
    EXPECT_NEAR(out.samples[0][i][1], std::sqrt(2.0) * ExpectedTime(9, i, true), 1e-5) << i;
    EXPECT_NEAR(out.samples[1][i][1], 0.0, 1e-6) << i;
  }
}

TEST(MpegLayer3DecodeTest, CountOneQuadrupleBeyondThePartIsDropped) {
  // No big values; count1 table B codes (0,0,0,1) as 1110 + sign. The part ends after the
  // first quadruple's code but before its sign bit: that quadruple was never coded.
  MpegBitWriter w;
  w.Put(0xE, 4);
  w.Put(0, 1);
  const std::vector<uint8_t> data = w.Bytes();
  Layer3GranuleChannel gc = LongGranule(4, 0);
  gc.count1TableSelect = 1;
  MpegLayer3 layer3;
  MpegSubbands out{};
  const Layer3SideInfo cut = MonoMpeg1(gc, LongGranule(0, 0));
  ASSERT_EQ(layer3.DecodeMainData(Header(0, kModeMono), cut, data.data(), data.size(), 32, out),
            kLayerOk);
  for (int i = 0; i < 36; ++i) EXPECT_EQ(out.samples[0][i][0], 0.0f);
  gc.part23Length = 5;
  MpegLayer3 whole;
  const Layer3SideInfo complete = MonoMpeg1(gc, LongGranule(0, 0));
  ASSERT_EQ(whole.DecodeMainData(Header(0, kModeMono), complete, data.data(), data.size(), 32, out),
            kLayerOk);
  double energy = 0;
  for (int i = 0; i < 36; ++i) energy += out.samples[0][i][0] * out.samples[0][i][0];
  EXPECT_GT(energy, 0.1);
}

TEST(MpegLayer3DecodeTest, DamagedMainDataStaysInsideItsBuffer) {
  // Lengths far beyond the buffer, short blocks, every table: decoding reads zeros past the
  // end and produces finite output.
  std::vector<uint8_t> data(40);
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i * 37 + 11);
  MpegLayer3 layer3;
  MpegSubbands out{};
  for (int table = 0; table < 32; ++table) {
    Layer3GranuleChannel gc = LongGranule(4095, 288, 15);
    gc.tableSelect[0] = gc.tableSelect[1] = gc.tableSelect[2] = table;
    gc.windowSwitching = table % 2;
    gc.blockType = table % 2 != 0 ? 2 : 0;
    gc.mixedBlock = table % 4 == 3 ? 1 : 0;
    gc.globalGain = 255;
    gc.subblockGain[1] = 7;
    Layer3SideInfo side;
    side.granules = 1;
    side.channels = 2;
    side.granule[0][0] = side.granule[0][1] = gc;
    ASSERT_EQ(layer3.DecodeMainData(Header(1, kModeJointStereo, 3), side, data.data(), data.size(),
                                    32, out),
              kLayerOk);
    for (int ch = 0; ch < 2; ++ch)
      for (int i = 0; i < 18; ++i)
        for (int sb = 0; sb < 32; ++sb) ASSERT_TRUE(std::isfinite(out.samples[ch][i][sb]));
  }
  Layer3SideInfo bad = MonoMpeg1(LongGranule(0, 289), LongGranule(0, 0));
  EXPECT_EQ(layer3.DecodeMainData(Header(0, kModeMono), bad, data.data(), data.size(), 32, out),
            kLayerDecodeError);
}

}  // namespace
}  // namespace veltro::media
