// The MPEG audio codec module of the media framework: decodes MPEG-1, MPEG-2 and MPEG 2.5 audio
// (Layers I, II and III) into 16-bit PCM, one frame per decode call, through MpegFrameDecoder.
// Besides decoding it skips an ID3v2 tag at the start of a seekable stream, reads a Xing/Lame or
// VBRI header for duration, bitrate and a seek table, publishes the stream properties
// "mpeg/level", "mpeg/layer" and "mpeg/mode", keeps a running estimate of bitrate and duration
// for streams without such a header, and offers channel selection, down-sampling and a 32-band
// equaliser as codec parameters.
//
// Threads: the framework's rule; every method runs on the thread that currently uses the
// decoder. The decode method allocates nothing.
#pragma once

#include "media/framework/MediaFramework.h"

namespace veltro::media {

inline constexpr char kMpegOutputType[] = "audio/mpeg";
// The largest PCM output of one decode call in bytes: a Layer II/III MPEG-1 frame, 1152 samples
// per channel, two channels, 16 bits each (the frame decoder's kMpegMaxFrameSamples words).
inline constexpr int kMpegCodecMaxOutputBytes = 4608;
// The output buffer size the codec asks the framework for: room for its largest frame.
inline constexpr int kMpegCodecBufferBytes = kMpegCodecMaxOutputBytes;
inline constexpr int kMpegCodecCaps = 3;

// Fills the 16-word codec descriptor (version kMfInterfaceVersion): every method except
// stream closed and the reserved word, which stay null. Any thread; `out` is the caller's.
void MpegAudioCodecDescriptor(MfCodecModule* out);

}  // namespace veltro::media
