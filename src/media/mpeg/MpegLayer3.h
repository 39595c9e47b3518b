// Layer III per ISO/IEC 11172-3 and 13818-3 (LSF side information, scale factors and intensity
// stereo for MPEG-2 and MPEG 2.5): side information, scale factors, Huffman decoding,
// requantisation, middle/side and intensity stereo, reordering, alias reduction, IMDCT with
// its windows and overlap, frequency inversion, producing sub-band samples.
#pragma once

#include <cstddef>
#include <cstdint>

#include "media/mpeg/MpegBitReader.h"
#include "media/mpeg/MpegHeader.h"
#include "media/mpeg/MpegSubbands.h"

namespace veltro::media {

struct Layer3GranuleChannel {
  int part23Length = 0;
  int bigValues = 0;
  int globalGain = 0;
  int scalefacCompress = 0;
  int windowSwitching = 0;
  int blockType = 0;
  int mixedBlock = 0;
  int tableSelect[3] = {0, 0, 0};
  int subblockGain[3] = {0, 0, 0};
  int region0Count = 0;
  int region1Count = 0;
  int preflag = 0;
  int scalefacScale = 0;
  int count1TableSelect = 0;
};

struct Layer3SideInfo {
  int mainDataBegin = 0;  // bytes before this frame's main data where its main data starts
  int privateBits = 0;
  int scfsi[2][4] = {};
  Layer3GranuleChannel granule[2][2];  // [granule][channel]
  int granules = 0;                    // 2 for MPEG-1, 1 for MPEG-2/2.5
  int channels = 0;
  // Bits of main data all granules and channels use (the sum of part2_3_length).
  int MainDataBits() const;
};

class MpegLayer3 {
 public:
  MpegLayer3();
  // Clears the IMDCT overlap of both channels (reset, seek, reservoir underflow).
  void Reset();
  // Parses the side information (`bytes` = SideInfoBytes(header), CRC already skipped).
  // Returns kLayerOk or kLayerDecodeError (big_values above 288, window switching with block
  // type 0).
  int ParseSideInfo(const MpegFrameHeader& header, const uint8_t* bytes, size_t count,
                    Layer3SideInfo& side);
  // Decodes the main data (`mainData` holds at least (MainDataBits() + 7) / 8 bytes, starting at
  // this frame's main data) into out (18 blocks per granule). `subbandLimit` (1..32) bounds the
  // sub-bands the IMDCT transforms (the others only shift their overlap out and clear it).
  int DecodeMainData(const MpegFrameHeader& header, const Layer3SideInfo& side,
                     const uint8_t* mainData, size_t count, int subbandLimit, MpegSubbands& out);

 private:
  // Scale factors of one channel. For MPEG-1 the values stay from granule 0 to granule 1 (the
  // scfsi bands reuse them). `maxLong`/`maxShort` hold the largest value each band's bit length
  // can code: the illegal intensity position of MPEG-2/2.5.
  struct ScaleFactors {
    uint8_t longBand[22];
    uint8_t shortBand[13][3];
    uint8_t maxLong[22];
    uint8_t maxShort[13];
  };

  void ReadScaleFactorsMpeg1(const Layer3SideInfo& side, int granule, int channel,
                             MpegBitReader& reader);
  void ReadScaleFactorsLsf(const MpegFrameHeader& header, const Layer3GranuleChannel& gc,
                           int channel, MpegBitReader& reader);
  void DecodeSpectrum(const MpegFrameHeader& header, const Layer3GranuleChannel& gc, int channel,
                      MpegBitReader& reader, size_t endBit);
  void Requantize(const MpegFrameHeader& header, const Layer3GranuleChannel& gc, int channel);
  void ProcessStereo(const MpegFrameHeader& header, const Layer3GranuleChannel& right);
  // Reordering, alias reduction, IMDCT with overlap, frequency inversion: 18 blocks of 32
  // sub-band samples into `blocks`.
  void InverseTransform(const MpegFrameHeader& header, const Layer3GranuleChannel& gc, int channel,
                        int subbandLimit, float (*blocks)[32]);

  float overlap_[2][32][18];
  ScaleFactors scaleFactors_[2];
  int quantized_[2][576];  // Huffman-decoded values of the granule
  float lines_[2][576];    // requantised spectral lines of the granule
  int codedLines_[2];      // lines up to the end of the count1 region (the rest are zero)
  // The main data of the DecodeMainData call in progress (not owned), for the spectrum's fast
  // bit reader.
  const uint8_t* mainData_ = nullptr;
  size_t mainDataBytes_ = 0;
};

}  // namespace veltro::media
