#include "media/mpeg/MpegLayer3.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>

#include "media/mpeg/MpegHuffman.h"
#include "media/mpeg/MpegTables3.h"

namespace veltro::media {
namespace {

constexpr int kMaxBigValues = 288;

bool IsMpeg1(const MpegFrameHeader& header) {
  return header.level == 0;
}

bool IsShortBlock(const Layer3GranuleChannel& gc) {
  return gc.windowSwitching != 0 && gc.blockType == 2;
}

// One scale factor band of one granule in bitstream order: a long band, or one window of a
// short band (window >= 0).
struct Segment {
  int start;
  int width;
  int band;
  int window;
};
constexpr int kMaxSegments = 40;

// The bands of a granule channel in the order its spectral lines are coded. Mixed blocks code
// the long bands below line 36 (8 bands for MPEG-1, 6 for MPEG-2/2.5), then short bands from 3.
int BuildSegments(const MpegFrameHeader& header, const Layer3GranuleChannel& gc,
                  Segment* segments) {
  const Layer3Bands& bands = Layer3BandsFor(header.level, header.samplingIndex);
  int count = 0;
  if (!IsShortBlock(gc)) {
    for (int b = 0; b < kLongBands; ++b)
      segments[count++] = {bands.longStart[b], bands.longStart[b + 1] - bands.longStart[b], b, -1};
    return count;
  }
  int firstShort = 0;
  if (gc.mixedBlock != 0) {
    const int longCount = IsMpeg1(header) ? 8 : 6;
    for (int b = 0; b < longCount; ++b)
      segments[count++] = {bands.longStart[b], bands.longStart[b + 1] - bands.longStart[b], b, -1};
    firstShort = 3;
  }
  for (int b = firstShort; b < kShortBands; ++b) {
    const int width = bands.shortStart[b + 1] - bands.shortStart[b];
    for (int window = 0; window < 3; ++window)
      segments[count++] = {3 * bands.shortStart[b] + window * width, width, b, window};
  }
  return count;
}

void ParseGranuleChannel(const MpegFrameHeader& header, MpegBitReader& reader,
                         Layer3GranuleChannel& gc) {
  const bool mpeg1 = IsMpeg1(header);
  gc.part23Length = static_cast<int>(reader.Read(12));
  gc.bigValues = static_cast<int>(reader.Read(9));
  gc.globalGain = static_cast<int>(reader.Read(8));
  gc.scalefacCompress = static_cast<int>(reader.Read(mpeg1 ? 4 : 9));
  gc.windowSwitching = static_cast<int>(reader.Read(1));
  if (gc.windowSwitching != 0) {
    gc.blockType = static_cast<int>(reader.Read(2));
    gc.mixedBlock = static_cast<int>(reader.Read(1));
    for (int r = 0; r < 2; ++r) gc.tableSelect[r] = static_cast<int>(reader.Read(5));
    gc.tableSelect[2] = 0;
    for (int w = 0; w < 3; ++w) gc.subblockGain[w] = static_cast<int>(reader.Read(3));
    // Implicit region boundaries: the whole big_values area is regions 0 and 1.
    gc.region0Count = (gc.blockType == 2 && gc.mixedBlock == 0) ? 8 : 7;
    gc.region1Count = 36;
  } else {
    gc.blockType = 0;
    gc.mixedBlock = 0;
    for (int r = 0; r < 3; ++r) gc.tableSelect[r] = static_cast<int>(reader.Read(5));
    for (int w = 0; w < 3; ++w) gc.subblockGain[w] = 0;
    gc.region0Count = static_cast<int>(reader.Read(4));
    gc.region1Count = static_cast<int>(reader.Read(3));
  }
  gc.preflag = mpeg1 ? static_cast<int>(reader.Read(1)) : 0;
  gc.scalefacScale = static_cast<int>(reader.Read(1));
  gc.count1TableSelect = static_cast<int>(reader.Read(1));
}

bool IsIntensityRight(const MpegFrameHeader& header, int channel) {
  return channel == 1 && header.mode == kModeJointStereo && (header.modeExtension & 1) != 0;
}

// Scale factor bit lengths and the partition row of an MPEG-2/2.5 granule channel
// (ISO/IEC 13818-3 2.4.3.2); sets preflag for scalefac_compress 500 and above.
int LsfLengths(int scalefacCompress, bool intensityRight, int slen[4], int* preflag) {
  *preflag = 0;
  slen[3] = 0;
  if (intensityRight) {
    int c = scalefacCompress >> 1;
    if (c < 180) {
      slen[0] = c / 36, slen[1] = (c % 36) / 6, slen[2] = c % 6;
      return 3;
    }
    if (c < 244) {
      c -= 180;
      slen[0] = (c % 64) >> 4, slen[1] = (c % 16) >> 2, slen[2] = c % 4;
      return 4;
    }
    c -= 244;
    slen[0] = c / 3, slen[1] = c % 3, slen[2] = 0;
    return 5;
  }
  int c = scalefacCompress;
  if (c < 400) {
    slen[0] = (c >> 4) / 5, slen[1] = (c >> 4) % 5, slen[2] = (c % 16) >> 2, slen[3] = c % 4;
    return 0;
  }
  if (c < 500) {
    c -= 400;
    slen[0] = (c >> 2) / 5, slen[1] = (c >> 2) % 5, slen[2] = c % 4;
    return 1;
  }
  c -= 500;
  slen[0] = c / 3, slen[1] = c % 3, slen[2] = 0;
  *preflag = 1;
  return 2;
}

// Intensity stereo factors (left, right) for a legal position, MPEG-1: tan(pos * pi / 12)
// split; MPEG-2/2.5: powers of io = 2^(-1/4) or 2^(-1/2) by intensity_scale.
void IntensityFactors(bool mpeg1, int position, int intensityScale, float* left, float* right) {
  if (mpeg1) {
    if (position == 6) {
      *left = 1.0f, *right = 0.0f;
      return;
    }
    const double ratio = std::tan(position * std::numbers::pi / 12.0);
    *left = static_cast<float>(ratio / (1.0 + ratio));
    *right = static_cast<float>(1.0 / (1.0 + ratio));
    return;
  }
  const double io = intensityScale != 0 ? std::numbers::sqrt2 / 2.0 : std::pow(2.0, -0.25);
  *left = *right = 1.0f;
  if (position == 0) return;
  if ((position & 1) != 0)
    *left = static_cast<float>(std::pow(io, (position + 1) / 2));
  else
    *right = static_cast<float>(std::pow(io, position / 2));
}

bool SegmentHasData(const float* lines, const Segment& s) {
  for (int i = s.start; i < s.start + s.width; ++i)
    if (lines[i] != 0.0f) return true;
  return false;
}

// Marks the segments coded as intensity stereo: above the right channel's last non-zero band,
// separately per short window; in a mixed block the long part only when no short window of
// the right channel carries data.
void MarkIntensity(const Segment* segments, int count, const float* right, bool* intensity) {
  bool dataAbove[4] = {false, false, false, false};  // long, window 0, 1, 2
  for (int i = count - 1; i >= 0; --i) {
    const int kind = segments[i].window + 1;
    const bool anyShortData = dataAbove[1] || dataAbove[2] || dataAbove[3];
    if (kind == 0 && anyShortData) dataAbove[0] = true;
    if (!dataAbove[kind] && SegmentHasData(right, segments[i])) dataAbove[kind] = true;
    intensity[i] = !dataAbove[kind];
  }
}

// The right channel's scale factors (intensity positions) and their largest codable values.
struct RightScaleFactors {
  const uint8_t* longBand;
  const uint8_t (*shortBand)[3];
  const uint8_t* maxLong;
  const uint8_t* maxShort;
};

// The intensity position of an intensity-coded segment, or -1 when it has none (illegal).
int IntensityPosition(bool mpeg1, const Segment& s, int index, const bool* isBand,
                      const RightScaleFactors& sf) {
  const bool lastBand = s.window < 0 ? s.band == kLongBands - 1 : s.band == kShortBands - 1;
  const int band = lastBand ? s.band - 1 : s.band;
  const int illegal = mpeg1 ? 7 : (s.window < 0 ? sf.maxLong[band] : sf.maxShort[band]);
  if (lastBand) {
    // The last band has no scale factor of its own. It takes the position of the band below
    // when that band is intensity-coded too; otherwise the neutral position of MPEG-2/2.5 (0:
    // both channels equal) or, for MPEG-1, none (the band stays as coded).
    const int below = s.window < 0 ? index - 1 : index - 3;
    if (below < 0 || !isBand[below]) return mpeg1 ? -1 : 0;
  }
  const int position = s.window < 0 ? sf.longBand[band] : sf.shortBand[band][s.window];
  return position == illegal ? -1 : position;
}

}  // namespace

int Layer3SideInfo::MainDataBits() const {
  int bits = 0;
  for (int g = 0; g < granules; ++g)
    for (int c = 0; c < channels; ++c) bits += granule[g][c].part23Length;
  return bits;
}

MpegLayer3::MpegLayer3() {
  Reset();
}

void MpegLayer3::Reset() {
  std::memset(overlap_, 0, sizeof overlap_);
  std::memset(scaleFactors_, 0, sizeof scaleFactors_);
  std::memset(quantized_, 0, sizeof quantized_);
  std::memset(lines_, 0, sizeof lines_);
  codedLines_[0] = codedLines_[1] = 0;
}

int MpegLayer3::ParseSideInfo(const MpegFrameHeader& header, const uint8_t* bytes, size_t count,
                              Layer3SideInfo& side) {
  MpegBitReader reader(bytes, count);
  const bool mpeg1 = IsMpeg1(header);
  side = Layer3SideInfo{};
  side.channels = header.mode == kModeMono ? 1 : 2;
  side.granules = mpeg1 ? 2 : 1;
  side.mainDataBegin = static_cast<int>(reader.Read(mpeg1 ? 9 : 8));
  side.privateBits = static_cast<int>(
      reader.Read(mpeg1 ? (side.channels == 1 ? 5 : 3) : (side.channels == 1 ? 1 : 2)));
  if (mpeg1)
    for (int c = 0; c < side.channels; ++c)
      for (int g = 0; g < 4; ++g) side.scfsi[c][g] = static_cast<int>(reader.Read(1));
  for (int g = 0; g < side.granules; ++g) {
    for (int c = 0; c < side.channels; ++c) {
      Layer3GranuleChannel& gc = side.granule[g][c];
      ParseGranuleChannel(header, reader, gc);
      if (gc.bigValues > kMaxBigValues) return kLayerDecodeError;
      if (gc.windowSwitching != 0 && gc.blockType == 0) return kLayerDecodeError;
      if (!mpeg1) {
        int slen[4];
        LsfLengths(gc.scalefacCompress, IsIntensityRight(header, c), slen, &gc.preflag);
      }
    }
  }
  return kLayerOk;
}

void MpegLayer3::ReadScaleFactorsMpeg1(const Layer3SideInfo& side, int granule, int channel,
                                       MpegBitReader& reader) {
  const Layer3GranuleChannel& gc = side.granule[granule][channel];
  ScaleFactors& sf = scaleFactors_[channel];
  const int slen1 = kLayer3Slen[0][gc.scalefacCompress & 15];
  const int slen2 = kLayer3Slen[1][gc.scalefacCompress & 15];
  if (IsShortBlock(gc)) {
    int firstShort = 0;
    if (gc.mixedBlock != 0) {
      for (int b = 0; b < 8; ++b) sf.longBand[b] = static_cast<uint8_t>(reader.Read(slen1));
      firstShort = 3;
    }
    for (int b = firstShort; b < 12; ++b)
      for (int w = 0; w < 3; ++w)
        sf.shortBand[b][w] = static_cast<uint8_t>(reader.Read(b < 6 ? slen1 : slen2));
    for (int w = 0; w < 3; ++w) sf.shortBand[12][w] = 0;
    return;
  }
  // Long blocks: four groups of bands; granule 1 reuses a group of granule 0 when its scfsi
  // bit is set.
  static constexpr int kGroupStart[5] = {0, 6, 11, 16, 21};
  for (int group = 0; group < 4; ++group) {
    if (granule == 1 && side.scfsi[channel][group] != 0) continue;
    const int bits = group < 2 ? slen1 : slen2;
    for (int b = kGroupStart[group]; b < kGroupStart[group + 1]; ++b)
      sf.longBand[b] = static_cast<uint8_t>(reader.Read(bits));
  }
  sf.longBand[21] = 0;
}

void MpegLayer3::ReadScaleFactorsLsf(const MpegFrameHeader& header, const Layer3GranuleChannel& gc,
                                     int channel, MpegBitReader& reader) {
  ScaleFactors& sf = scaleFactors_[channel];
  std::memset(&sf, 0, sizeof sf);
  int slen[4];
  int preflag = 0;
  const int row =
      LsfLengths(gc.scalefacCompress, IsIntensityRight(header, channel), slen, &preflag);
  const int kind = IsShortBlock(gc) ? (gc.mixedBlock != 0 ? 2 : 1) : 0;
  const int8_t* counts = kLayer3LsfBandCounts[row][kind];
  int longBand = 0;
  int shortUnit = kind == 2 ? 9 : 0;  // (band * 3 + window); mixed blocks start at band 3
  for (int part = 0; part < 4; ++part) {
    const auto maxValue = static_cast<uint8_t>((1 << slen[part]) - 1);
    for (int i = 0; i < counts[part]; ++i) {
      const auto value = static_cast<uint8_t>(reader.Read(slen[part]));
      // Mixed blocks: the first six values are long bands, the rest short windows.
      const bool isLong = kind == 0 || (kind == 2 && longBand < 6);
      if (isLong && longBand < kLongBands) {
        sf.maxLong[longBand] = maxValue;
        sf.longBand[longBand++] = value;
      } else if (!isLong && shortUnit < 3 * kShortBands) {
        sf.maxShort[shortUnit / 3] = maxValue;
        sf.shortBand[shortUnit / 3][shortUnit % 3] = value;
        ++shortUnit;
      }
    }
  }
  // The last bands carry no scale factor; intensity positions there repeat the band below.
  sf.maxLong[21] = sf.maxLong[20];
  sf.maxShort[12] = sf.maxShort[11];
}

void MpegLayer3::DecodeSpectrum(const MpegFrameHeader& header, const Layer3GranuleChannel& gc,
                                int channel, MpegBitReader& reader, size_t endBit) {
  const Layer3Bands& bands = Layer3BandsFor(header.level, header.samplingIndex);
  int region1Start = 0;
  int region2Start = kGranuleLines;
  if (gc.windowSwitching != 0) {
    region1Start =
        IsShortBlock(gc) && gc.mixedBlock == 0 ? 3 * bands.shortStart[3] : bands.longStart[8];
  } else {
    region1Start = bands.longStart[std::min(gc.region0Count + 1, kLongBands)];
    region2Start = bands.longStart[std::min(gc.region0Count + gc.region1Count + 2, kLongBands)];
  }
  int* values = quantized_[channel];
  const int bigEnd = std::min(2 * gc.bigValues, kGranuleLines);
  Layer3FastBits bits(mainData_, mainDataBytes_, reader.BitPosition());
  const int regionEnd[3] = {std::min(region1Start, bigEnd), std::min(region2Start, bigEnd), bigEnd};
  int line = 0;
  for (int region = 0; region < 3; ++region) {
    // Region boundaries are even (band starts), so pairs never straddle them.
    const int end = std::max(regionEnd[region], line);
    DecodeLayer3Pairs(bits, gc.tableSelect[region], values + line, end - line);
    line = end;
  }
  // count1 region: quadruples until the part's bits are used up.
  line = DecodeLayer3Quads(bits, gc.count1TableSelect, values, line, kGranuleLines, endBit);
  std::fill(values + line, values + kGranuleLines, 0);
  codedLines_[channel] = line;
}

void MpegLayer3::Requantize(const MpegFrameHeader& header, const Layer3GranuleChannel& gc,
                            int channel) {
  Segment segments[kMaxSegments];
  const int count = BuildSegments(header, gc, segments);
  const ScaleFactors& sf = scaleFactors_[channel];
  const int* values = quantized_[channel];
  float* lines = lines_[channel];
  const int shift = gc.scalefacScale != 0 ? 4 : 2;  // scale factor step in quarter powers of 2
  const int limit = codedLines_[channel];
  std::fill(lines, lines + kGranuleLines, 0.0f);
  for (int i = 0; i < count; ++i) {
    const Segment& s = segments[i];
    if (s.start >= limit) break;
    int exponent = gc.globalGain - 210;
    if (s.window < 0) {
      const int pre = gc.preflag != 0 ? kLayer3Pretab[s.band] : 0;
      exponent -= shift * (sf.longBand[s.band] + pre);
    } else {
      exponent -= 8 * gc.subblockGain[s.window] + shift * sf.shortBand[s.band][s.window];
    }
    const int end = std::min(s.start + s.width, limit);
    Layer3RequantizeLines(values + s.start, end - s.start, exponent, lines + s.start);
  }
}

void MpegLayer3::ProcessStereo(const MpegFrameHeader& header, const Layer3GranuleChannel& right) {
  if (header.mode != kModeJointStereo) return;
  const bool middleSide = (header.modeExtension & 2) != 0;
  const bool intensity = (header.modeExtension & 1) != 0;
  if (!middleSide && !intensity) return;
  const bool mpeg1 = IsMpeg1(header);
  Segment segments[kMaxSegments];
  const int count = BuildSegments(header, right, segments);
  bool isBand[kMaxSegments] = {};
  if (intensity) MarkIntensity(segments, count, lines_[1], isBand);
  const ScaleFactors& sf = scaleFactors_[1];
  const RightScaleFactors rightScaleFactors{sf.longBand, sf.shortBand, sf.maxLong, sf.maxShort};
  float* left = lines_[0];
  float* rightLines = lines_[1];
  const auto kScale = static_cast<float>(std::numbers::sqrt2 / 2.0);
  for (int i = 0; i < count; ++i) {
    const Segment& s = segments[i];
    const int position = isBand[i] ? IntensityPosition(mpeg1, s, i, isBand, rightScaleFactors) : -1;
    if (position >= 0) {
      float kl = 0.0f;
      float kr = 0.0f;
      IntensityFactors(mpeg1, position, right.scalefacCompress & 1, &kl, &kr);
      for (int line = s.start; line < s.start + s.width; ++line) {
        rightLines[line] = left[line] * kr;
        left[line] *= kl;
      }
    } else if (middleSide) {
      for (int line = s.start; line < s.start + s.width; ++line) {
        const float m = left[line];
        const float d = rightLines[line];
        left[line] = (m + d) * kScale;
        rightLines[line] = (m - d) * kScale;
      }
    }
  }
  codedLines_[0] = codedLines_[1] = kGranuleLines;
}

namespace {

// Short bands are coded window by window; the IMDCT wants each sub-band's 18 values
// interleaved (value k of window w at 3 * k + w), so every band is rearranged in place.
void ReorderShortBands(const Layer3Bands& bands, int firstBand, float* lines) {
  float band[3 * 192];
  for (int b = firstBand; b < kShortBands; ++b) {
    const int width = bands.shortStart[b + 1] - bands.shortStart[b];
    const int start = 3 * bands.shortStart[b];
    for (int window = 0; window < 3; ++window)
      for (int f = 0; f < width; ++f) band[3 * f + window] = lines[start + window * width + f];
    std::copy(band, band + 3 * width, lines + start);
  }
}

// Butterflies across the boundaries between sub-bands 0..boundaries.
void ReduceAliasing(int boundaries, float* lines) {
  const Layer3AliasCoefficients& alias = Layer3Alias();
  for (int sb = 1; sb <= boundaries; ++sb) {
    float* lower = lines + 18 * sb - 1;
    float* upper = lines + 18 * sb;
    for (int i = 0; i < 8; ++i) {
      const float a = lower[-i];
      const float b = upper[i];
      lower[-i] = a * alias.cs[i] - b * alias.ca[i];
      upper[i] = b * alias.cs[i] + a * alias.ca[i];
    }
  }
}

int LastNonZeroLine(const float* lines) {
  for (int i = kGranuleLines - 1; i >= 0; --i)
    if (lines[i] != 0.0f) return i;
  return -1;
}

}  // namespace

void MpegLayer3::InverseTransform(const MpegFrameHeader& header, const Layer3GranuleChannel& gc,
                                  int channel, int subbandLimit, float (*blocks)[32]) {
  float* lines = lines_[channel];
  const bool shortBlock = IsShortBlock(gc);
  const bool mixed = shortBlock && gc.mixedBlock != 0;
  if (shortBlock)
    ReorderShortBands(Layer3BandsFor(header.level, header.samplingIndex), mixed ? 3 : 0, lines);
  const int lastLine = LastNonZeroLine(lines);
  int used = (lastLine + 18) / 18;  // sub-bands holding data
  if (!shortBlock) {
    used = std::min(used + 1, 32);  // aliasing spills into the next sub-band
    ReduceAliasing(used - 1, lines);
  } else if (mixed && used > 0) {
    used = std::max(used, 2);
    ReduceAliasing(1, lines);
  }
  used = std::min(used, std::clamp(subbandLimit, 1, 32));
  // With mixed_block_flag the two lowest sub-bands use the normal window, whatever the block
  // type; the others the window of the block type.
  const bool lowNormal = gc.windowSwitching != 0 && gc.mixedBlock != 0;
  float time[36];
  for (int sb = 0; sb < 32; ++sb) {
    float* overlap = overlap_[channel][sb];
    if (sb < used) {
      const bool normalWindow = lowNormal && sb < 2;
      if (shortBlock && !normalWindow)
        Layer3InverseMdctShort(lines + 18 * sb, time);
      else
        Layer3InverseMdctLong(lines + 18 * sb, normalWindow ? 0 : gc.blockType, time);
      for (int i = 0; i < 18; ++i) {
        blocks[i][sb] = time[i] + overlap[i];
        overlap[i] = time[18 + i];
      }
    } else {
      for (int i = 0; i < 18; ++i) {
        blocks[i][sb] = overlap[i];
        overlap[i] = 0.0f;
      }
    }
    // Frequency inversion: odd time samples of odd sub-bands change sign.
    if ((sb & 1) != 0)
      for (int i = 1; i < 18; i += 2) blocks[i][sb] = -blocks[i][sb];
  }
}

int MpegLayer3::DecodeMainData(const MpegFrameHeader& header, const Layer3SideInfo& side,
                               const uint8_t* mainData, size_t count, int subbandLimit,
                               MpegSubbands& out) {
  MpegBitReader reader(mainData, count);
  mainData_ = mainData;
  mainDataBytes_ = count;
  const bool mpeg1 = IsMpeg1(header);
  out.channels = side.channels;
  out.blocks = 18 * side.granules;
  size_t partStart = 0;
  for (int g = 0; g < side.granules; ++g) {
    for (int c = 0; c < side.channels; ++c) {
      const Layer3GranuleChannel& gc = side.granule[g][c];
      if (gc.bigValues > kMaxBigValues) return kLayerDecodeError;
      if (gc.windowSwitching != 0 && gc.blockType == 0) return kLayerDecodeError;
      reader.SeekBit(partStart);
      const size_t partEnd = partStart + static_cast<size_t>(gc.part23Length);
      if (mpeg1)
        ReadScaleFactorsMpeg1(side, g, c, reader);
      else
        ReadScaleFactorsLsf(header, gc, c, reader);
      DecodeSpectrum(header, gc, c, reader, partEnd);
      Requantize(header, gc, c);
      partStart = partEnd;
    }
    if (side.channels == 2) ProcessStereo(header, side.granule[g][1]);
    for (int c = 0; c < side.channels; ++c)
      InverseTransform(header, side.granule[g][c], c, subbandLimit, out.samples[c] + 18 * g);
  }
  return kLayerOk;
}

}  // namespace veltro::media
