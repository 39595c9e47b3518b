// Layers I and II on hand-built frames: bit order of allocation, scale factors and samples,
// requantisation against the standard's formula, joint-stereo bounds, Layer II table choice,
// scfsi and grouping, forbidden values, and frames cut short.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <memory>
#include <random>
#include <vector>

#include "media/mpeg/MpegBitWriter.h"
#include "media/mpeg/MpegLayer12.h"

namespace veltro::media {
namespace {

MpegFrameHeader Header(int level, int layer, int bitrateIndex, int samplingIndex, int mode,
                       int modeExtension = 0) {
  MpegFrameHeader header;
  header.level = level;
  header.layerCode = 4 - layer;
  header.protection = 1;
  header.bitrateIndex = bitrateIndex;
  header.samplingIndex = samplingIndex;
  header.mode = mode;
  header.modeExtension = modeExtension;
  return header;
}

int Decode(const MpegFrameHeader& header, const std::vector<uint8_t>& body, MpegSubbands& out) {
  MpegBitReader reader(body.data(), body.size());
  return LayerNumber(header) == 1 ? DecodeLayer1(header, reader, out)
                                  : DecodeLayer2(header, reader, out);
}

// The standard's requantisation: invert the first of the nb bits, read the code as a two's
// complement fraction s''', then s'' = C * (s''' + D) with C = 2^nb / levels and D = 2^(1-nb)
// for the ungrouped classes (levels = 2^nb - 1) or 1/2 for the grouped ones; times the scale
// factor. Rounded to float like the decoder's output.
float StandardValue(uint32_t code, int nb, int levels, bool grouped, double scaleFactor) {
  const uint32_t inverted = code ^ (1u << (nb - 1));
  double fraction = static_cast<double>(inverted) / (1 << (nb - 1));
  if (inverted & (1u << (nb - 1))) fraction -= 2.0;  // negative in two's complement
  const double c = static_cast<double>(1 << nb) / levels;
  const double d = grouped ? 0.5 : 1.0 / (1 << (nb - 1));
  return static_cast<float>(c * (fraction + d) * scaleFactor);
}

double ScaleFactor(int index) {
  return std::exp2(1.0 - index / 3.0);
}

std::unique_ptr<MpegSubbands> NewSubbands() {
  auto out = std::make_unique<MpegSubbands>();
  for (auto& channel : out->samples) {
    for (auto& block : channel) {
      for (float& x : block) x = 99.0f;  // never a decoded value
    }
  }
  return out;
}

void ExpectSilent(const MpegSubbands& out) {
  for (int ch = 0; ch < out.channels; ++ch) {
    for (int b = 0; b < out.blocks; ++b) {
      for (int sb = 0; sb < kSubbands; ++sb) ASSERT_EQ(out.samples[ch][b][sb], 0.0f);
    }
  }
}

TEST(MpegLayer1, ZeroAllocationsGiveTwelveSilentBlocksPerChannel) {
  MpegBitWriter writer;
  writer.Repeat(0, 4, 64);
  auto out = NewSubbands();
  ASSERT_EQ(Decode(Header(0, 1, 8, 1, kModeStereo), writer.Bytes(100), *out), kLayerOk);
  EXPECT_EQ(out->channels, 2);
  EXPECT_EQ(out->blocks, 12);
  ExpectSilent(*out);
}

TEST(MpegLayer1, RequantisesByTheStandardsFormulaInBitstreamOrder) {
  // Mono: sub-band 0 with 3-bit samples, sub-band 5 with 15-bit samples.
  MpegBitWriter writer;
  for (int sb = 0; sb < 32; ++sb) writer.Put(sb == 0 ? 2 : (sb == 5 ? 14 : 0), 4);
  writer.Put(3, 6);   // sub-band 0: scale factor 1.0
  writer.Put(10, 6);  // sub-band 5
  const uint32_t codes0[3] = {0, 3, 6};
  for (int s = 0; s < 12; ++s) {
    writer.Put(codes0[s % 3], 3);
    writer.Put(static_cast<uint32_t>(1000 * s + 7), 15);
  }
  auto out = NewSubbands();
  ASSERT_EQ(Decode(Header(0, 1, 4, 0, kModeMono), writer.Bytes(), *out), kLayerOk);
  ASSERT_EQ(out->channels, 1);
  for (int s = 0; s < 12; ++s) {
    EXPECT_FLOAT_EQ(out->samples[0][s][0], StandardValue(codes0[s % 3], 3, 7, false, 1.0));
    EXPECT_FLOAT_EQ(out->samples[0][s][5],
                    StandardValue(1000 * s + 7, 15, 32767, false, ScaleFactor(10)));
    EXPECT_EQ(out->samples[0][s][1], 0.0f);
  }
  EXPECT_FLOAT_EQ(out->samples[0][1][0], 0.0f);  // the middle code is exactly zero
}

TEST(MpegLayer1, JointStereoSharesSamplesAboveTheBoundWithEachChannelsScaleFactor) {
  // Mode extension 0: bound 4. Sub-band 2 coded per channel, sub-band 6 shared.
  MpegBitWriter writer;
  for (int sb = 0; sb < 32; ++sb) {
    if (sb < 4) {
      writer.Put(sb == 2 ? 1 : 0, 4);  // left
      writer.Put(sb == 2 ? 3 : 0, 4);  // right
    } else {
      writer.Put(sb == 6 ? 4 : 0, 4);
    }
  }
  writer.Put(3, 6);  // sb 2 left
  writer.Put(0, 6);  // sb 2 right
  writer.Put(3, 6);  // sb 6 left
  writer.Put(6, 6);  // sb 6 right
  for (int s = 0; s < 12; ++s) {
    writer.Put(2, 2);   // sb 2 left
    writer.Put(1, 4);   // sb 2 right
    writer.Put(21, 5);  // sb 6, once
  }
  auto out = NewSubbands();
  ASSERT_EQ(Decode(Header(0, 1, 8, 0, kModeJointStereo, 0), writer.Bytes(), *out), kLayerOk);
  for (int s = 0; s < 12; ++s) {
    EXPECT_FLOAT_EQ(out->samples[0][s][2], StandardValue(2, 2, 3, false, 1.0));
    EXPECT_FLOAT_EQ(out->samples[1][s][2], StandardValue(1, 4, 15, false, 2.0));
    EXPECT_FLOAT_EQ(out->samples[0][s][6], StandardValue(21, 5, 31, false, 1.0));
    EXPECT_FLOAT_EQ(out->samples[1][s][6], StandardValue(21, 5, 31, false, 0.5));
  }
}

TEST(MpegLayer1, ForbiddenAllocationAndScaleFactorAreErrors) {
  MpegBitWriter allocation;
  allocation.Put(0, 4);
  allocation.Put(15, 4);
  auto out = NewSubbands();
  EXPECT_EQ(Decode(Header(0, 1, 8, 0, kModeMono), allocation.Bytes(200), *out), kLayerDecodeError);

  MpegBitWriter scale;
  scale.Put(1, 4);
  scale.Repeat(0, 4, 31);
  scale.Put(63, 6);
  EXPECT_EQ(Decode(Header(0, 1, 8, 0, kModeMono), scale.Bytes(200), *out), kLayerDecodeError);
}

TEST(MpegLayer2, ZeroAllocationsGiveThirtySixSilentBlocks) {
  for (int mode : {kModeStereo, kModeJointStereo, kModeDualChannel, kModeMono}) {
    auto out = NewSubbands();
    const int bitrate = mode == kModeMono ? 4 : 10;
    ASSERT_EQ(Decode(Header(0, 2, bitrate, 0, mode), std::vector<uint8_t>(400, 0), *out), kLayerOk);
    EXPECT_EQ(out->channels, mode == kModeMono ? 1 : 2);
    EXPECT_EQ(out->blocks, 36);
    ExpectSilent(*out);
  }
}

// A mono Layer II frame allocating only `subband` (whose allocation field has `nbal` bits,
// the ones before it `leading` bits in total) with value `allocation`, scfsi 2 (one scale
// factor `scale`), and per granule the codewords `codeword` of `codeBits` bits.
std::vector<uint8_t> SingleBandLayer2(int leadingBits, int nbal, int allocation, int trailingBits,
                                      int scale, uint32_t codeword, int codeBits, int perGranule) {
  MpegBitWriter writer;
  writer.Repeat(0, 1, leadingBits);
  writer.Put(static_cast<uint32_t>(allocation), nbal);
  writer.Repeat(0, 1, trailingBits);
  writer.Put(2, 2);
  writer.Put(static_cast<uint32_t>(scale), 6);
  for (int g = 0; g < 12; ++g) writer.Repeat(codeword, codeBits, perGranule);
  return writer.Bytes(300);
}

TEST(MpegLayer2, PicksTheAllocationTableByRateAndBitratePerChannel) {
  auto out = NewSubbands();
  // 44.1 kHz mono 192 kbit/s: Table B.2b, 30 sub-bands; sub-band 29 has 2 allocation bits
  // (3*4 + 8*4 + 12*3 + 6*2 = 92 before it); allocation 1 = 3 levels, grouped in 5 bits.
  ASSERT_EQ(Decode(Header(0, 2, 10, 0, kModeMono), SingleBandLayer2(92, 2, 1, 0, 3, 5, 5, 1), *out),
            kLayerOk);
  // 5 = 2 + 1*3 + 0*9: the three samples are codes 2, 1, 0.
  EXPECT_FLOAT_EQ(out->samples[0][0][29], 2.0f / 3.0f);
  EXPECT_FLOAT_EQ(out->samples[0][1][29], 0.0f);
  EXPECT_FLOAT_EQ(out->samples[0][35][29], -2.0f / 3.0f);

  // 48 kHz mono 48 kbit/s: Table B.2c, 8 sub-bands; sub-band 2 has 3 bits, allocation 3 = 9
  // levels grouped in 10 bits: 9*9*v2 + 9*v1 + v0.
  const uint32_t word = 8 + 9 * 4 + 81 * 0;
  ASSERT_EQ(
      Decode(Header(0, 2, 2, 1, kModeMono), SingleBandLayer2(8, 3, 3, 15, 0, word, 10, 1), *out),
      kLayerOk);
  EXPECT_FLOAT_EQ(out->samples[0][3][2], StandardValue(8, 4, 9, true, 2.0));
  EXPECT_FLOAT_EQ(out->samples[0][4][2], 0.0f);
  EXPECT_FLOAT_EQ(out->samples[0][5][2], StandardValue(0, 4, 9, true, 2.0));

  // 32 kHz mono 48 kbit/s: Table B.2d, 12 sub-bands; sub-band 11 is the last (3 bits).
  ASSERT_EQ(
      Decode(Header(0, 2, 2, 2, kModeMono), SingleBandLayer2(8 + 27, 3, 7, 0, 3, 100, 7, 3), *out),
      kLayerOk);
  EXPECT_FLOAT_EQ(out->samples[0][0][11], StandardValue(100, 7, 127, false, 1.0));
}

TEST(MpegLayer2, LowSamplingFrequencyTableAllowsSevenLevelsInTheFirstSubbands) {
  // MPEG-2 24 kHz mono: ISO/IEC 13818-3 Table B.1; sub-band 1 allocation 3 = 7 levels in 3 bits.
  auto out = NewSubbands();
  ASSERT_EQ(Decode(Header(1, 2, 8, 1, kModeMono),
                   SingleBandLayer2(4, 4, 3, 8 + 21 + 38, 3, 6, 3, 3), *out),
            kLayerOk);
  EXPECT_FLOAT_EQ(out->samples[0][0][1], 6.0f / 7.0f);
  EXPECT_FLOAT_EQ(out->samples[0][35][1], 6.0f / 7.0f);
}

TEST(MpegLayer2, ScaleFactorSelectionSharesFactorsBetweenThirds) {
  for (int scfsi = 0; scfsi < 4; ++scfsi) {
    MpegBitWriter writer;
    writer.Put(1, 4);         // sub-band 0: 3 levels
    writer.Repeat(0, 1, 84);  // the other 26 allocations of Table B.2a (44.1 kHz, 64 kbit/s)
    writer.Put(static_cast<uint32_t>(scfsi), 2);
    const int count = scfsi == 0 ? 3 : (scfsi == 2 ? 1 : 2);
    for (int i = 0; i < count; ++i) writer.Put(static_cast<uint32_t>(3 * (i + 1)), 6);
    writer.Repeat(0, 5, 12);  // every triplet: codes 0, 0, 0 = -2/3
    auto out = NewSubbands();
    ASSERT_EQ(Decode(Header(0, 2, 4, 0, kModeMono), writer.Bytes(200), *out), kLayerOk);
    const int expected[4][3] = {{3, 6, 9}, {3, 3, 6}, {3, 3, 3}, {3, 6, 6}};
    for (int part = 0; part < 3; ++part) {
      const float value = static_cast<float>(-2.0 / 3.0 * ScaleFactor(expected[scfsi][part]));
      EXPECT_FLOAT_EQ(out->samples[0][12 * part][0], value) << scfsi << " " << part;
      EXPECT_FLOAT_EQ(out->samples[0][12 * part + 11][0], value) << scfsi << " " << part;
    }
  }
}

TEST(MpegLayer2, JointStereoBoundBeyondTheAllocatedSubbandsIsAnError) {
  auto out = NewSubbands();
  const std::vector<uint8_t> body(300, 0);
  // 48 kHz, 64 kbit/s stereo: 32 per channel, Table B.2c with 8 sub-bands.
  EXPECT_EQ(Decode(Header(0, 2, 4, 1, kModeJointStereo, 1), body, *out), kLayerOk);  // 8
  EXPECT_EQ(Decode(Header(0, 2, 4, 1, kModeJointStereo, 2), body, *out), kLayerDecodeError);
  EXPECT_EQ(Decode(Header(0, 2, 4, 1, kModeJointStereo, 3), body, *out), kLayerDecodeError);
}

TEST(MpegLayer2, JointStereoSharesSamplesAboveTheBound) {
  // 44.1 kHz, 128 kbit/s joint stereo (Table B.2a), bound 4; sub-band 5 shared.
  MpegBitWriter writer;
  writer.Repeat(0, 4, 2 * 3 + 1 * 2);  // sub-bands 0-2 per channel, 3 per channel (4 bits)
  writer.Repeat(0, 4, 1);              // sub-band 4, shared
  writer.Put(1, 4);                    // sub-band 5, shared: 3 levels
  writer.Repeat(0, 1, 5 * 4 + 12 * 3 + 4 * 2);
  writer.Put(2, 2);  // scfsi left
  writer.Put(2, 2);  // scfsi right
  writer.Put(3, 6);
  writer.Put(6, 6);
  writer.Repeat(26, 5, 12);  // codes 2, 2, 2
  auto out = NewSubbands();
  ASSERT_EQ(Decode(Header(0, 2, 8, 0, kModeJointStereo, 0), writer.Bytes(300), *out), kLayerOk);
  for (int b = 0; b < 36; ++b) {
    ASSERT_FLOAT_EQ(out->samples[0][b][5], 2.0f / 3.0f);
    ASSERT_FLOAT_EQ(out->samples[1][b][5], 1.0f / 3.0f);
  }
}

TEST(MpegLayers12, ShortOrDamagedFramesStayInsideTheirBuffers) {
  std::mt19937 random(5);
  std::uniform_int_distribution<int> byte(0, 255);
  int errors = 0;
  for (int trial = 0; trial < 3000; ++trial) {
    const int layer = 1 + trial % 2;
    const MpegFrameHeader header = Header(trial % 5 == 0 ? 1 : 0, layer, 1 + (trial / 2) % 14,
                                          (trial / 3) % 3, (trial / 7) % 4, (trial / 11) % 4);
    // Heap buffers of the exact size, so a read past the end is caught by the sanitizers.
    const size_t size = static_cast<size_t>(trial % 400);
    auto body = std::make_unique<uint8_t[]>(size + 1);
    for (size_t i = 0; i < size; ++i) body[i] = static_cast<uint8_t>(byte(random));
    MpegBitReader reader(body.get(), size);
    auto out = NewSubbands();
    const int result =
        layer == 1 ? DecodeLayer1(header, reader, *out) : DecodeLayer2(header, reader, *out);
    if (result != kLayerOk) {
      ++errors;
      continue;
    }
    // The largest possible value: scale factor 2.0 times a code one step beyond the top
    // level (4/3 for the smallest Layer I quantiser).
    for (int ch = 0; ch < out->channels; ++ch) {
      for (int b = 0; b < out->blocks; ++b) {
        for (int sb = 0; sb < kSubbands; ++sb) {
          ASSERT_LE(std::abs(out->samples[ch][b][sb]), 8.0f / 3.0f + 1e-5f);
        }
      }
    }
  }
  EXPECT_GT(errors, 0);  // forbidden values do occur in random data
}

}  // namespace
}  // namespace veltro::media
