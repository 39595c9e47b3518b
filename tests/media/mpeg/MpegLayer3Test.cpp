// Layer III: the Huffman tables as complete prefix codes, requantisation, the inverse MDCT
// against the textbook formula, side information of hand-built frames, and the decoding of
// hand-built main data through the whole hybrid filter bank.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <numbers>
#include <vector>

#include "media/mpeg/MpegBitWriter.h"
#include "media/mpeg/MpegHuffman.h"
#include "media/mpeg/MpegLayer3.h"
#include "media/mpeg/MpegTables3.h"

namespace veltro::media {
namespace {

// Writes big-endian bit fields.

// Writes the code word of (x, y) of pair table `table`, with linbits and signs.
void PutPair(MpegBitWriter& w, int table, int x, int y) {
  const Layer3HuffmanTable& t = Layer3PairTable(table);
  const int ax = std::min(std::abs(x), 15);
  const int ay = std::min(std::abs(y), 15);
  const int entry = ax * t.size + ay;
  w.Put(t.codes[entry], t.lengths[entry]);
  for (const int v : {x, y}) {
    if (t.linbits > 0 && std::abs(v) >= 15)
      w.Put(static_cast<uint32_t>(std::abs(v) - 15), t.linbits);
    if (v != 0) w.Put(v < 0 ? 1 : 0, 1);
  }
}

MpegFrameHeader Mpeg1Header(int mode) {
  MpegFrameHeader h;
  h.level = 0;
  h.layerCode = 1;
  h.protection = 1;
  h.bitrateIndex = 9;
  h.samplingIndex = 0;  // 44.1 kHz
  h.mode = mode;
  return h;
}

MpegFrameHeader LsfHeader(int mode) {
  MpegFrameHeader h = Mpeg1Header(mode);
  h.level = 1;  // 22.05 kHz
  return h;
}

// ---------------------------------------------------------------------------------------
// Huffman tables

TEST(MpegLayer3HuffmanTest, EveryTableIsACompletePrefixCode) {
  std::vector<const Layer3HuffmanTable*> tables;
  for (int t = 0; t < 32; ++t)
    if (Layer3PairTable(t).size > 0) tables.push_back(&Layer3PairTable(t));
  tables.push_back(&Layer3QuadTable(0));
  tables.push_back(&Layer3QuadTable(1));
  ASSERT_EQ(tables.size(), 31u);  // 32 minus the unused tables 0, 4 and 14, plus A and B
  for (const Layer3HuffmanTable* table : tables) {
    // Kraft sum in units of 2^-19 (the longest code has 19 bits) must be exactly one.
    uint64_t kraft = 0;
    for (int e = 0; e < table->entries; ++e) {
      ASSERT_GE(table->lengths[e], 1);
      ASSERT_LE(table->lengths[e], 19);
      ASSERT_LT(table->codes[e], 1u << table->lengths[e]);
      kraft += uint64_t{1} << (19 - table->lengths[e]);
    }
    EXPECT_EQ(kraft, uint64_t{1} << 19) << "table of size " << table->size;
  }
}

TEST(MpegLayer3HuffmanTest, EveryPairCodeDecodesToItsValues) {
  for (int t = 1; t < 32; ++t) {
    const Layer3HuffmanTable& table = Layer3PairTable(t);
    for (int x = 0; x < table.size; ++x) {
      for (int y = 0; y < table.size; ++y) {
        // Signs alternate, and escape values carry their largest linbits value.
        const int big = table.linbits > 0 ? 15 + (1 << table.linbits) - 1 : 15;
        const int vx = (x == 15 ? big : x) * ((x + y) % 2 == 0 ? 1 : -1);
        const int vy = (y == 15 ? big : y) * (y % 2 == 0 ? -1 : 1);
        MpegBitWriter w;
        PutPair(w, t, vx, vy);
        w.Put(0x5, 3);  // a following field must stay unread
        const std::vector<uint8_t> bytes = w.Bytes();
        MpegBitReader reader(bytes.data(), bytes.size());
        int values[2] = {-99, -99};
        DecodeLayer3Pair(reader, t, values);
        ASSERT_EQ(values[0], vx) << "table " << t << " x " << x << " y " << y;
        ASSERT_EQ(values[1], vy) << "table " << t << " x " << x << " y " << y;
        ASSERT_EQ(reader.Read(3), 0x5u);
      }
    }
  }
}

TEST(MpegLayer3HuffmanTest, QuadruplesDecodeWithSignsAndTableZeroReadsNothing) {
  for (int t = 0; t < 2; ++t) {
    const Layer3HuffmanTable& table = Layer3QuadTable(t);
    for (int entry = 0; entry < 16; ++entry) {
      MpegBitWriter w;
      w.Put(table.codes[entry], table.lengths[entry]);
      int expected[4];
      for (int i = 0; i < 4; ++i) {
        expected[i] = (entry >> (3 - i)) & 1;
        if (expected[i] != 0) {
          w.Put(i % 2, 1);  // odd positions negative
          if (i % 2 != 0) expected[i] = -1;
        }
      }
      const std::vector<uint8_t> bytes = w.Bytes();
      MpegBitReader reader(bytes.data(), bytes.size());
      int values[4];
      DecodeLayer3Quad(reader, t, values);
      for (int i = 0; i < 4; ++i) EXPECT_EQ(values[i], expected[i]) << t << " " << entry;
      EXPECT_EQ(reader.BitPosition(), static_cast<size_t>(w.BitCount()));
    }
  }
  const uint8_t ones[2] = {0xFF, 0xFF};
  MpegBitReader reader(ones, 2);
  int values[2] = {7, 7};
  DecodeLayer3Pair(reader, 0, values);
  EXPECT_EQ(values[0], 0);
  EXPECT_EQ(values[1], 0);
  EXPECT_EQ(reader.BitPosition(), 0u);
}

TEST(MpegLayer3HuffmanTest, ReadingPastTheBufferYieldsValuesInRange) {
  const uint8_t one = 0x00;  // a few zero bits, then the reader's end
  for (int t = 1; t < 32; ++t) {
    const Layer3HuffmanTable& table = Layer3PairTable(t);
    if (table.size == 0) continue;
    MpegBitReader reader(&one, 1);
    int values[2];
    for (int i = 0; i < 8; ++i) DecodeLayer3Pair(reader, t, values);
    const int limit = 15 + (1 << table.linbits);
    EXPECT_LE(std::abs(values[0]), limit);
    EXPECT_LE(std::abs(values[1]), limit);
  }
}

// ---------------------------------------------------------------------------------------
// Requantisation and transforms

TEST(MpegLayer3TransformTest, RequantisesPowersAndQuarterSteps) {
  EXPECT_FLOAT_EQ(Layer3Requantize(0, 12), 0.0f);
  EXPECT_FLOAT_EQ(Layer3Requantize(1, 0), 1.0f);
  EXPECT_FLOAT_EQ(Layer3Requantize(8, 0), 16.0f);
  EXPECT_FLOAT_EQ(Layer3Requantize(-27, 0), -81.0f);
  EXPECT_FLOAT_EQ(Layer3Requantize(1, 4), 2.0f);
  EXPECT_FLOAT_EQ(Layer3Requantize(1, -2), static_cast<float>(std::sqrt(0.5)));
  EXPECT_FLOAT_EQ(Layer3Requantize(-3, -7),
                  static_cast<float>(-std::pow(3.0, 4.0 / 3.0) * std::pow(2.0, -7.0 / 4.0)));
  const double largest = std::pow(8206.0, 4.0 / 3.0);
  EXPECT_NEAR(Layer3Requantize(8206, 0), largest, largest * 1e-6);
  EXPECT_NEAR(Layer3Requantize(100000, 0), largest, largest * 1e-6);  // clamped, no overrun
}

double LongWindow(int blockType, int i) {
  const double pi = std::numbers::pi;
  const double normal = std::sin(pi / 36 * (i + 0.5));
  if (blockType == 1) {
    if (i < 18) return normal;
    if (i < 24) return 1.0;
    if (i < 30) return std::sin(pi / 12 * (i - 18 + 0.5));
    return 0.0;
  }
  if (blockType == 3) {
    if (i < 6) return 0.0;
    if (i < 12) return std::sin(pi / 12 * (i - 6 + 0.5));
    if (i < 18) return 1.0;
  }
  return normal;
}

TEST(MpegLayer3TransformTest, LongInverseMdctMatchesTheDirectFormula) {
  float in[18];
  for (int k = 0; k < 18; ++k) in[k] = static_cast<float>(std::sin(1.7 * k + 0.3) * (k + 1));
  for (const int blockType : {0, 1, 3}) {
    float out[36];
    Layer3InverseMdctLong(in, blockType, out);
    for (int i = 0; i < 36; ++i) {
      double sum = 0;
      for (int k = 0; k < 18; ++k)
        sum += in[k] * std::cos(std::numbers::pi / 72 * (2 * i + 1 + 18) * (2 * k + 1));
      EXPECT_NEAR(out[i], sum * LongWindow(blockType, i), 2e-5) << blockType << " " << i;
    }
  }
}

TEST(MpegLayer3TransformTest, ShortInverseMdctOverlapsThreeWindows) {
  float in[18];
  for (int k = 0; k < 18; ++k) in[k] = static_cast<float>(std::cos(0.9 * k) * (18 - k));
  float out[36];
  Layer3InverseMdctShort(in, out);
  double expected[36] = {};
  for (int w = 0; w < 3; ++w) {
    for (int i = 0; i < 12; ++i) {
      double sum = 0;
      for (int k = 0; k < 6; ++k)
        sum += in[3 * k + w] * std::cos(std::numbers::pi / 24 * (2 * i + 1 + 6) * (2 * k + 1));
      expected[6 + 6 * w + i] += sum * std::sin(std::numbers::pi / 12 * (i + 0.5));
    }
  }
  for (int i = 0; i < 36; ++i) EXPECT_NEAR(out[i], expected[i], 2e-5) << i;
}

TEST(MpegLayer3TransformTest, BandTablesEndAtTheGranuleAndRise) {
  for (int level = 0; level < 3; ++level) {
    for (int index = 0; index < 3; ++index) {
      const Layer3Bands& bands = Layer3BandsFor(level, index);
      EXPECT_EQ(bands.longStart[0], 0);
      EXPECT_EQ(bands.longStart[22], 576);
      EXPECT_EQ(bands.shortStart[13], 192);
      for (int b = 0; b < 22; ++b) EXPECT_LT(bands.longStart[b], bands.longStart[b + 1]);
      for (int b = 0; b < 13; ++b) EXPECT_LT(bands.shortStart[b], bands.shortStart[b + 1]);
    }
  }
}

// ---------------------------------------------------------------------------------------
// Side information

struct GranuleFields {
  int part23 = 0, bigValues = 0, globalGain = 210, scalefacCompress = 0;
  int blockType = 0, mixed = 0;  // blockType < 0 writes window_switching 1 with block type 0
  bool windowSwitching = false;
  int tables[3] = {1, 1, 1};
  int subblockGain[3] = {0, 0, 0};
  int region0 = 15, region1 = 6;
  int preflag = 0, scalefacScale = 0, count1Table = 0;
};

void PutGranule(MpegBitWriter& w, const GranuleFields& g, bool mpeg1) {
  w.Put(g.part23, 12);
  w.Put(g.bigValues, 9);
  w.Put(g.globalGain, 8);
  w.Put(g.scalefacCompress, mpeg1 ? 4 : 9);
  w.Put(g.windowSwitching ? 1 : 0, 1);
  if (g.windowSwitching) {
    w.Put(g.blockType, 2);
    w.Put(g.mixed, 1);
    w.Put(g.tables[0], 5);
    w.Put(g.tables[1], 5);
    for (const int gain : g.subblockGain) w.Put(gain, 3);
  } else {
    for (const int table : g.tables) w.Put(table, 5);
    w.Put(g.region0, 4);
    w.Put(g.region1, 3);
  }
  if (mpeg1) w.Put(g.preflag, 1);
  w.Put(g.scalefacScale, 1);
  w.Put(g.count1Table, 1);
}

// Mono MPEG-1 side information (17 bytes).
std::vector<uint8_t> Mpeg1MonoSideInfo(const GranuleFields& g0, const GranuleFields& g1,
                                       int scfsi = 0, int mainDataBegin = 0) {
  MpegBitWriter w;
  w.Put(mainDataBegin, 9);
  w.Put(0x15, 5);  // private bits
  w.Put(scfsi, 4);
  PutGranule(w, g0, true);
  PutGranule(w, g1, true);
  EXPECT_EQ(w.BitCount(), 17 * 8);
  return w.Bytes(17);
}

TEST(MpegLayer3SideInfoTest, ParsesMpeg1StereoFields) {
  MpegBitWriter w;
  w.Put(300, 9);
  w.Put(5, 3);
  w.Put(0xA, 4);  // scfsi channel 0: 1010
  w.Put(0x3, 4);  // scfsi channel 1: 0011
  GranuleFields longBlock;
  longBlock.part23 = 1234;
  longBlock.bigValues = 288;
  longBlock.globalGain = 170;
  longBlock.scalefacCompress = 11;
  longBlock.tables[0] = 24, longBlock.tables[1] = 13, longBlock.tables[2] = 31;
  longBlock.region0 = 9, longBlock.region1 = 4;
  longBlock.preflag = 1, longBlock.count1Table = 1;
  GranuleFields shortBlock;
  shortBlock.windowSwitching = true;
  shortBlock.blockType = 2;
  shortBlock.mixed = 1;
  shortBlock.tables[0] = 7, shortBlock.tables[1] = 15;
  shortBlock.subblockGain[0] = 1, shortBlock.subblockGain[1] = 5, shortBlock.subblockGain[2] = 7;
  shortBlock.scalefacScale = 1;
  PutGranule(w, longBlock, true);
  PutGranule(w, shortBlock, true);
  PutGranule(w, shortBlock, true);
  PutGranule(w, longBlock, true);
  ASSERT_EQ(w.BitCount(), 32 * 8);
  const std::vector<uint8_t> bytes = w.Bytes();

  MpegLayer3 layer3;
  Layer3SideInfo side;
  ASSERT_EQ(layer3.ParseSideInfo(Mpeg1Header(kModeStereo), bytes.data(), bytes.size(), side),
            kLayerOk);
  EXPECT_EQ(side.mainDataBegin, 300);
  EXPECT_EQ(side.privateBits, 5);
  EXPECT_EQ(side.granules, 2);
  EXPECT_EQ(side.channels, 2);
  EXPECT_EQ(side.scfsi[0][0], 1);
  EXPECT_EQ(side.scfsi[0][1], 0);
  EXPECT_EQ(side.scfsi[1][3], 1);
  const Layer3GranuleChannel& a = side.granule[0][0];
  EXPECT_EQ(a.part23Length, 1234);
  EXPECT_EQ(a.bigValues, 288);
  EXPECT_EQ(a.globalGain, 170);
  EXPECT_EQ(a.scalefacCompress, 11);
  EXPECT_EQ(a.windowSwitching, 0);
  EXPECT_EQ(a.tableSelect[2], 31);
  EXPECT_EQ(a.region0Count, 9);
  EXPECT_EQ(a.region1Count, 4);
  EXPECT_EQ(a.preflag, 1);
  EXPECT_EQ(a.count1TableSelect, 1);
  const Layer3GranuleChannel& b = side.granule[0][1];
  EXPECT_EQ(b.windowSwitching, 1);
  EXPECT_EQ(b.blockType, 2);
  EXPECT_EQ(b.mixedBlock, 1);
  EXPECT_EQ(b.tableSelect[0], 7);
  EXPECT_EQ(b.tableSelect[1], 15);
  EXPECT_EQ(b.subblockGain[2], 7);
  EXPECT_EQ(b.region0Count, 7);  // implicit for mixed blocks
  EXPECT_EQ(b.scalefacScale, 1);
  EXPECT_EQ(side.granule[1][1].part23Length, 1234);
  EXPECT_EQ(side.MainDataBits(), 2 * 1234);
}

TEST(MpegLayer3SideInfoTest, ParsesLsfMonoAndDerivesPreflag) {
  MpegBitWriter w;
  w.Put(201, 8);
  w.Put(1, 1);
  GranuleFields g;
  g.part23 = 999;
  g.bigValues = 100;
  g.scalefacCompress = 505;  // 500 and above: preflag
  PutGranule(w, g, false);
  ASSERT_EQ(w.BitCount(), 9 * 8);
  const std::vector<uint8_t> bytes = w.Bytes();
  MpegLayer3 layer3;
  Layer3SideInfo side;
  ASSERT_EQ(layer3.ParseSideInfo(LsfHeader(kModeMono), bytes.data(), bytes.size(), side), kLayerOk);
  EXPECT_EQ(side.mainDataBegin, 201);
  EXPECT_EQ(side.granules, 1);
  EXPECT_EQ(side.channels, 1);
  EXPECT_EQ(side.granule[0][0].part23Length, 999);
  EXPECT_EQ(side.granule[0][0].scalefacCompress, 505);
  EXPECT_EQ(side.granule[0][0].preflag, 1);
  EXPECT_EQ(side.MainDataBits(), 999);
}

TEST(MpegLayer3SideInfoTest, RejectsForbiddenValues) {
  MpegLayer3 layer3;
  Layer3SideInfo side;
  GranuleFields ok;
  GranuleFields tooBig;
  tooBig.bigValues = 289;
  std::vector<uint8_t> bytes = Mpeg1MonoSideInfo(ok, tooBig);
  EXPECT_EQ(layer3.ParseSideInfo(Mpeg1Header(kModeMono), bytes.data(), bytes.size(), side),
            kLayerDecodeError);
  GranuleFields switchingNormal;
  switchingNormal.windowSwitching = true;
  switchingNormal.blockType = 0;
  bytes = Mpeg1MonoSideInfo(switchingNormal, ok);
  EXPECT_EQ(layer3.ParseSideInfo(Mpeg1Header(kModeMono), bytes.data(), bytes.size(), side),
            kLayerDecodeError);
  bytes = Mpeg1MonoSideInfo(ok, ok);
  EXPECT_EQ(layer3.ParseSideInfo(Mpeg1Header(kModeMono), bytes.data(), bytes.size(), side),
            kLayerOk);
  // A cut-off side information reads as zeros: no error, nothing read outside the buffer.
  EXPECT_EQ(layer3.ParseSideInfo(Mpeg1Header(kModeMono), bytes.data(), 3, side), kLayerOk);
}

}  // namespace
}  // namespace veltro::media
