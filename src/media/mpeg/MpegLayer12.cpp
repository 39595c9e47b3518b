// Layers I and II of ISO/IEC 11172-3 (2.4.1.5-2.4.1.6, 2.4.3.2-2.4.3.3) and the Layer II
// low-sampling-frequency allocation of ISO/IEC 13818-3. Every sample is requantised as
// (code - (levels - 1) / 2) * 2 / levels * scale factor: the standard's
// C * (s''' + D) written exactly, with one float rounding per sample.
#include "media/mpeg/MpegLayer12.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "media/mpeg/MpegHuffman.h"

namespace veltro::media {
namespace {

constexpr int kLayer1Blocks = 12;
constexpr int kLayer2Groups = 12;  // granules of 3 blocks
constexpr int kLayer1Subbands = 32;

// Table B.1 of ISO/IEC 11172-3: scale factor index i means 2^(1 - i/3). Index 63 is not used
// by Layer II encoders; it gets the formula's value (about 1e-6), which keeps decoding defined.
struct ScaleFactors {
  double values[64];
  ScaleFactors() {
    for (int i = 0; i < 64; ++i) values[i] = std::exp2(1.0 - i / 3.0);
  }
};
const ScaleFactors kScaleFactors;

// Multiplier turning a centred code into the sub-band sample: 2 / levels * scale factor.
float StepOf(int levels, int scaleIndex) {
  return static_cast<float>(kScaleFactors.values[scaleIndex] * 2.0 / levels);
}

int HalfOf(int levels) {
  return (levels - 1) / 2;
}

int JointBound(const MpegFrameHeader& header, int subbands) {
  if (header.mode != kModeJointStereo) return subbands;
  return 4 * (header.modeExtension + 1);
}

// ---- Layer I -------------------------------------------------------------------------------

struct Layer1Frame {
  int channels = 1;
  int bound = kLayer1Subbands;
  int allocation[2][kLayer1Subbands] = {};
  float steps[2][kLayer1Subbands] = {};
};

int ReadLayer1Allocation(MpegBitReader& body, Layer1Frame& frame) {
  for (int sb = 0; sb < kLayer1Subbands; ++sb) {
    const int coded = sb < frame.bound ? frame.channels : 1;
    for (int ch = 0; ch < coded; ++ch) {
      frame.allocation[ch][sb] = static_cast<int>(body.Read(4));
      if (frame.allocation[ch][sb] == 15) return kLayerDecodeError;
    }
    if (coded < frame.channels) frame.allocation[1][sb] = frame.allocation[0][sb];
  }
  return kLayerOk;
}

int ReadLayer1ScaleFactors(MpegBitReader& body, Layer1Frame& frame) {
  for (int sb = 0; sb < kLayer1Subbands; ++sb) {
    for (int ch = 0; ch < frame.channels; ++ch) {
      const int allocation = frame.allocation[ch][sb];
      if (allocation == 0) continue;
      const int index = static_cast<int>(body.Read(6));
      if (index == 63) return kLayerDecodeError;
      frame.steps[ch][sb] = StepOf((1 << (allocation + 1)) - 1, index);
    }
  }
  return kLayerOk;
}

// Centred code of one Layer I sample with `allocation` + 1 bits (2^bits - 1 levels).
int ReadLayer1Code(MpegBitReader& body, int allocation) {
  const int bits = allocation + 1;
  return static_cast<int>(body.Read(bits)) - ((1 << allocation) - 1);
}

void ReadLayer1Block(MpegBitReader& body, const Layer1Frame& frame, MpegSubbands& out, int block) {
  for (int sb = 0; sb < kLayer1Subbands; ++sb) {
    if (sb < frame.bound) {
      for (int ch = 0; ch < frame.channels; ++ch) {
        const int allocation = frame.allocation[ch][sb];
        const int code = allocation != 0 ? ReadLayer1Code(body, allocation) : 0;
        out.samples[ch][block][sb] = static_cast<float>(code) * frame.steps[ch][sb];
      }
    } else {
      const int allocation = frame.allocation[0][sb];
      const int code = allocation != 0 ? ReadLayer1Code(body, allocation) : 0;
      for (int ch = 0; ch < frame.channels; ++ch) {
        out.samples[ch][block][sb] = static_cast<float>(code) * frame.steps[ch][sb];
      }
    }
  }
}

}  // namespace

int DecodeLayer1(const MpegFrameHeader& header, MpegBitReader& body, MpegSubbands& out) {
  Layer1Frame frame;
  frame.channels = ChannelCount(header);
  frame.bound = std::min(JointBound(header, kLayer1Subbands), kLayer1Subbands);
  out.channels = frame.channels;
  out.blocks = kLayer1Blocks;
  if (ReadLayer1Allocation(body, frame) != kLayerOk) return kLayerDecodeError;
  if (ReadLayer1ScaleFactors(body, frame) != kLayerOk) return kLayerDecodeError;
  for (int s = 0; s < kLayer1Blocks; ++s) ReadLayer1Block(body, frame, out, s);
  return kLayerOk;
}

namespace {

// ---- Layer II ------------------------------------------------------------------------------

// The quantisation classes of ISO/IEC 11172-3 Table B.4: levels, bits per codeword, and whether
// three samples share one codeword (grouping of 3, 5 and 9 levels).
struct QuantClass {
  int levels;
  int bits;
  bool grouped;
};
static const QuantClass kQuantClasses[17] = {
    {3, 5, true},       {5, 7, true},      {7, 3, false},      {9, 10, true},
    {15, 4, false},     {31, 5, false},    {63, 6, false},     {127, 7, false},
    {255, 8, false},    {511, 9, false},   {1023, 10, false},  {2047, 11, false},
    {4095, 12, false},  {8191, 13, false}, {16383, 14, false}, {32767, 15, false},
    {65535, 16, false},
};

// StepOf for every quantisation class and scale factor index, worked out once.
struct ClassSteps {
  float values[17][64];
  ClassSteps() {
    for (int c = 0; c < 17; ++c)
      for (int i = 0; i < 64; ++i) values[c][i] = StepOf(kQuantClasses[c].levels, i);
  }
};
const ClassSteps kClassSteps;

// One row of an allocation table: nbal (bits of the allocation value) and the class index of
// allocation values 1 .. 2^nbal - 1.
struct AllocationRow {
  int bits;
  int8_t classes[15];
};
// Rows of ISO/IEC 11172-3 Tables B.2a-d and ISO/IEC 13818-3 Table B.1, named by their levels.
static const AllocationRow kRowTo65535 = {4, {0, 2, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16}};
static const AllocationRow kRowTo8191 = {4, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 16}};
static const AllocationRow kRowTo31 = {3, {0, 1, 2, 3, 4, 5, 16}};
static const AllocationRow kRowTo5 = {2, {0, 1, 16}};
static const AllocationRow kRowTo32767 = {4, {0, 1, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15}};
static const AllocationRow kRowTo127 = {3, {0, 1, 3, 4, 5, 6, 7}};
static const AllocationRow kRowTo9 = {2, {0, 1, 3}};
static const AllocationRow kRowTo16383 = {4, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14}};

// An allocation table as runs of sub-bands sharing a row; the runs add up to sblimit.
struct AllocationRun {
  int count;
  const AllocationRow* row;
};
struct AllocationTable {
  AllocationRun runs[4];
};
// ISO/IEC 11172-3 Table B.2a (sblimit 27) and B.2b (sblimit 30).
static const AllocationTable kTableB2a = {
    {{3, &kRowTo65535}, {8, &kRowTo8191}, {12, &kRowTo31}, {4, &kRowTo5}}};
static const AllocationTable kTableB2b = {
    {{3, &kRowTo65535}, {8, &kRowTo8191}, {12, &kRowTo31}, {7, &kRowTo5}}};
// ISO/IEC 11172-3 Table B.2c (sblimit 8) and B.2d (sblimit 12).
static const AllocationTable kTableB2c = {{{2, &kRowTo32767}, {6, &kRowTo127}, {0, nullptr}}};
static const AllocationTable kTableB2d = {{{2, &kRowTo32767}, {10, &kRowTo127}, {0, nullptr}}};
// ISO/IEC 13818-3 Table B.1, the low sampling frequencies (sblimit 30).
static const AllocationTable kTableLsf = {{{4, &kRowTo16383}, {7, &kRowTo127}, {19, &kRowTo9}}};

// The table for the frame's sampling frequency and bitrate per channel (11172-3 B.2).
const AllocationTable& SelectTable(const MpegFrameHeader& header) {
  if (header.level != 0) return kTableLsf;
  const int kbpsPerChannel = BitrateKbps(header) / ChannelCount(header);
  const int frequency = FrequencyHz(header);
  if (kbpsPerChannel <= 48) return frequency == 32000 ? kTableB2d : kTableB2c;
  if (kbpsPerChannel <= 80 || frequency == 48000) return kTableB2a;
  return kTableB2b;
}

struct Layer2Frame {
  int channels = 1;
  int subbands = 0;  // sblimit
  int bound = 0;
  const AllocationRow* rows[kSubbands] = {};
  const QuantClass* classes[2][kSubbands] = {};  // null: no allocation
  float steps[2][kSubbands][3] = {};  // per scale factor part (blocks 0-11, 12-23, 24-35)
};

void ExpandTable(const AllocationTable& table, Layer2Frame& frame) {
  frame.subbands = 0;
  for (const AllocationRun& run : table.runs) {
    for (int i = 0; i < run.count; ++i) frame.rows[frame.subbands++] = run.row;
  }
}

const QuantClass* ReadClass(MpegBitReader& body, const AllocationRow& row) {
  const int allocation = static_cast<int>(body.Read(row.bits));
  return allocation == 0 ? nullptr : &kQuantClasses[row.classes[allocation - 1]];
}

void ReadLayer2Allocation(MpegBitReader& body, Layer2Frame& frame) {
  for (int sb = 0; sb < frame.subbands; ++sb) {
    const AllocationRow& row = *frame.rows[sb];
    if (sb < frame.bound) {
      for (int ch = 0; ch < frame.channels; ++ch) frame.classes[ch][sb] = ReadClass(body, row);
    } else {
      frame.classes[0][sb] = ReadClass(body, row);
      frame.classes[1][sb] = frame.classes[0][sb];
    }
  }
}

// Scale factor selection information and scale factors (11172-3 2.4.2.6 and 2.4.3.3.2).
void ReadLayer2ScaleFactors(MpegBitReader& body, Layer2Frame& frame) {
  int scfsi[2][kSubbands] = {};
  for (int sb = 0; sb < frame.subbands; ++sb) {
    for (int ch = 0; ch < frame.channels; ++ch) {
      if (frame.classes[ch][sb] != nullptr) scfsi[ch][sb] = static_cast<int>(body.Read(2));
    }
  }
  for (int sb = 0; sb < frame.subbands; ++sb) {
    for (int ch = 0; ch < frame.channels; ++ch) {
      const QuantClass* quant = frame.classes[ch][sb];
      if (quant == nullptr) continue;
      int index[3];
      index[0] = static_cast<int>(body.Read(6));
      switch (scfsi[ch][sb]) {
        case 0:  // three scale factors
          index[1] = static_cast<int>(body.Read(6));
          index[2] = static_cast<int>(body.Read(6));
          break;
        case 1:  // the first serves parts 0 and 1
          index[1] = index[0];
          index[2] = static_cast<int>(body.Read(6));
          break;
        case 2:  // one for all three parts
          index[1] = index[2] = index[0];
          break;
        default:  // the second serves parts 1 and 2
          index[1] = index[2] = static_cast<int>(body.Read(6));
          break;
      }
      const float* steps = kClassSteps.values[quant - kQuantClasses];
      for (int part = 0; part < 3; ++part) frame.steps[ch][sb][part] = steps[index[part]];
    }
  }
}

// The three centred codes of every grouped codeword of the 3-, 5- and 9-level classes (5, 7
// and 10 bits). A codeword beyond levels^3 - 1 (never written by an encoder) has its last value
// limited to the top level, so the sample stays within full scale.
struct GroupedCodes {
  int8_t codes[1024][3];
  explicit GroupedCodes(const QuantClass& quant) : codes{} {
    const int half = HalfOf(quant.levels);
    for (int word = 0; word < (1 << quant.bits); ++word) {
      int rest = word;
      for (int s = 0; s < 2; ++s) {
        codes[word][s] = static_cast<int8_t>(rest % quant.levels - half);
        rest /= quant.levels;
      }
      codes[word][2] = static_cast<int8_t>(std::min(rest, quant.levels - 1) - half);
    }
  }
};
const GroupedCodes kGroupedCodes[] = {
    GroupedCodes(kQuantClasses[0]), GroupedCodes(kQuantClasses[1]), GroupedCodes(kQuantClasses[3])};

const GroupedCodes& GroupedCodesOf(const QuantClass& quant) {
  return kGroupedCodes[quant.levels == 3 ? 0 : (quant.levels == 5 ? 1 : 2)];
}

// Three consecutive centred codes of one sub-band: one grouped codeword or three codewords.
void ReadTriplet(Layer3FastBits& body, const QuantClass& quant, int codes[3]) {
  if (quant.grouped) {
    const int8_t* grouped = GroupedCodesOf(quant).codes[body.Read(quant.bits)];
    for (int s = 0; s < 3; ++s) codes[s] = grouped[s];
    return;
  }
  const int half = HalfOf(quant.levels);
  for (int s = 0; s < 3; ++s) codes[s] = static_cast<int>(body.Read(quant.bits)) - half;
}

void StoreTriplet(const int codes[3], float step, MpegSubbands& out, int ch, int group, int sb) {
  for (int s = 0; s < 3; ++s) {
    out.samples[ch][3 * group + s][sb] = static_cast<float>(codes[s]) * step;
  }
}

void ReadLayer2Group(Layer3FastBits& body, const Layer2Frame& frame, MpegSubbands& out, int group) {
  const int part = group / 4;
  static const int kSilent[3] = {0, 0, 0};
  for (int sb = 0; sb < frame.subbands; ++sb) {
    const int coded = sb < frame.bound ? frame.channels : 1;
    int codes[2][3];
    for (int ch = 0; ch < coded; ++ch) {
      const QuantClass* quant = frame.classes[ch][sb];
      if (quant != nullptr) ReadTriplet(body, *quant, codes[ch]);
    }
    for (int ch = 0; ch < frame.channels; ++ch) {
      const int source = ch < coded ? ch : 0;
      const bool silent = frame.classes[source][sb] == nullptr;
      StoreTriplet(silent ? kSilent : codes[source], frame.steps[ch][sb][part], out, ch, group, sb);
    }
  }
  for (int sb = frame.subbands; sb < kSubbands; ++sb) {
    for (int ch = 0; ch < frame.channels; ++ch) StoreTriplet(kSilent, 0.0f, out, ch, group, sb);
  }
}

}  // namespace

int DecodeLayer2(const MpegFrameHeader& header, MpegBitReader& body, MpegSubbands& out) {
  Layer2Frame frame;
  frame.channels = ChannelCount(header);
  ExpandTable(SelectTable(header), frame);
  frame.bound = JointBound(header, frame.subbands);
  out.channels = frame.channels;
  out.blocks = 3 * kLayer2Groups;
  if (frame.bound > frame.subbands) return kLayerDecodeError;
  ReadLayer2Allocation(body, frame);
  ReadLayer2ScaleFactors(body, frame);
  // The samples, the bulk of the frame, go through the cached reader (zeros past the end, as
  // the plain reader gives).
  Layer3FastBits samples(body.Data(), body.Bytes(), body.BitPosition());
  for (int group = 0; group < kLayer2Groups; ++group) ReadLayer2Group(samples, frame, out, group);
  return kLayerOk;
}

}  // namespace veltro::media
