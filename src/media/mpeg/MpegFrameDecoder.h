// Decodes an MPEG audio stream frame by frame into 16-bit PCM: synchronisation with
// confirmation, the frame-reading state machine (resumable after a failed read), the Layer III
// bit reservoir, the layer decoders, channel selection, down-sampling and the equaliser.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "media/mpeg/MpegHeader.h"

namespace veltro::media {

inline constexpr int kMpegEndOfStream = -514;
inline constexpr int kMpegDecodeError = -700;
inline constexpr int kMpegMaxFrameSamples = 1152 * 2;  // per call, all channels

// Where the stream's bytes come from. Reads are all or nothing, as the framework's read service.
class MpegByteSource {
 public:
  virtual ~MpegByteSource() = default;
  // Reads exactly `size` bytes into `buffer`: 0 on success, kMpegEndOfStream when the stream
  // ends first, another negative code for other failures.
  virtual int Read(uint8_t* buffer, size_t size) = 0;
};

// What one decoded frame holds.
struct MpegDecodedFrame {
  MpegFrameHeader header;
  int samples = 0;     // per channel, after down-sampling (0 for no frame)
  int channels = 0;    // of the PCM: 1 or 2
  int sampleRate = 0;  // of the PCM, after down-sampling
};

class MpegFrameDecoder {
 public:
  MpegFrameDecoder();
  ~MpegFrameDecoder();
  MpegFrameDecoder(const MpegFrameDecoder&) = delete;
  MpegFrameDecoder& operator=(const MpegFrameDecoder&) = delete;

  // Clears the synthesis, the IMDCT overlaps and the reader (state 0, no pending header, not in
  // sync, reservoir empty).
  void Reset();

  // 0 both channels, 1 left, 2 right, 3 mean of both, other values as 0.
  void SetChannelSelection(int selection);
  // 0 none; 1 half rate at >= 32000 Hz; 2 quarter rate at >= 32000 Hz, half at >= 16000 Hz.
  void SetDownsampling(int downsampling);
  // 64 signed bytes (32 left, 32 right) or null to remove the gains.
  void SetEqualizer(const int8_t* bytes64);
  // Writes the 64 bytes back (zeros for a channel without gains).
  void GetEqualizer(int8_t* bytes64) const;

  // Decodes the next frame from `source` into `pcm` (room for kMpegMaxFrameSamples,
  // interleaved left, right when two channels). Returns 0, kMpegEndOfStream, kMpegDecodeError
  // (the frame is lost, the next call goes on), or another negative code of the source. A
  // Layer III frame whose reservoir lacks its main data decodes as silence of full length.
  int DecodeFrame(MpegByteSource& source, int16_t* pcm, MpegDecodedFrame& frame);

  // Bytes read from the source between the last Reset and the header of the frame DecodeFrame
  // returned last: how far the reader had to search for it after a seek.
  uint64_t LastFrameStartBytes() const;

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace veltro::media
