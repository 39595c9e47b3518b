// Layers I and II: bit allocation, scale factors and sample requantisation per ISO/IEC 11172-3
// (and 13818-3 for the MPEG-2 low sampling frequencies of Layer II), producing sub-band samples.
#pragma once

#include "media/mpeg/MpegBitReader.h"
#include "media/mpeg/MpegHeader.h"
#include "media/mpeg/MpegSubbands.h"

namespace veltro::media {

// `body` is positioned just after the header and the CRC (if any). Fills `out` (12 blocks for
// Layer I, 36 for Layer II) and returns kLayerOk, or kLayerDecodeError for a forbidden value
// (Layer I: bit allocation 15 or scale factor index 63; Layer II: a joint-stereo bound beyond
// the allocated sub-bands). A frame cut short decodes its missing bits as zeros.
int DecodeLayer1(const MpegFrameHeader& header, MpegBitReader& body, MpegSubbands& out);
int DecodeLayer2(const MpegFrameHeader& header, MpegBitReader& body, MpegSubbands& out);

}  // namespace veltro::media
