// MPEG audio decoding of arbitrary bytes through MpegFrameDecoder, frame by frame to the end of
// the stream. The first byte chooses the decoder settings: bits 0-1 the channel selection,
// bits 2-3 the down-sampling (3 is out of range on purpose), bit 4 a reset in the middle of the
// stream, bit 5 equaliser gains taken from the byte itself. Every decoded frame must fit the
// PCM buffer and describe itself consistently, and decoding must keep making progress.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "media/mpeg/MpegFrameDecoder.h"

namespace {

using veltro::media::kMpegEndOfStream;
using veltro::media::kMpegMaxFrameSamples;

// All-or-nothing reads over the input; a read past the end consumes the rest, as a file does.
class FuzzByteSource : public veltro::media::MpegByteSource {
 public:
  FuzzByteSource(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  int Read(uint8_t* buffer, size_t size) override {
    if (size > size_ - position_) {
      position_ = size_;
      return kMpegEndOfStream;
    }
    if (size > 0) std::memcpy(buffer, data_ + position_, size);
    position_ += size;
    return 0;
  }
  size_t Position() const { return position_; }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t position_ = 0;
};

void Configure(veltro::media::MpegFrameDecoder& decoder, uint8_t settings) {
  decoder.SetChannelSelection(settings & 3);
  decoder.SetDownsampling((settings >> 2) & 3);
  if ((settings & 0x20) != 0) {
    int8_t gains[64];
    for (int i = 0; i < 64; ++i) gains[i] = static_cast<int8_t>(settings * (i + 1));
    decoder.SetEqualizer(gains);
  }
}

// Traps when a decoded frame is impossible.
void CheckFrame(const veltro::media::MpegDecodedFrame& frame) {
  if (frame.channels != 1 && frame.channels != 2) __builtin_trap();
  if (frame.samples < 0 || frame.samples > 1152) __builtin_trap();
  if (frame.samples * frame.channels > kMpegMaxFrameSamples) __builtin_trap();
  if (frame.sampleRate < 2000 || frame.sampleRate > 48000) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  constexpr int kMaxCalls = 2000;
  constexpr int kMaxStalledCalls = 64;
  const uint8_t settings = data[0];
  FuzzByteSource source(data + 1, size - 1);
  veltro::media::MpegFrameDecoder decoder;
  Configure(decoder, settings);
  std::vector<int16_t> pcm(kMpegMaxFrameSamples);  // exact size, so overruns are caught
  const bool resetInMiddle = (settings & 0x10) != 0;
  bool resetDone = false;
  int stalledCalls = 0;
  for (int call = 0; call < kMaxCalls; ++call) {
    if (resetInMiddle && !resetDone && source.Position() >= (size - 1) / 2) {
      decoder.Reset();
      resetDone = true;
    }
    const size_t before = source.Position();
    veltro::media::MpegDecodedFrame frame;
    const int rc = decoder.DecodeFrame(source, pcm.data(), frame);
    if (rc == kMpegEndOfStream) break;
    if (rc == 0) CheckFrame(frame);
    const bool progressed = rc == 0 || source.Position() != before;
    stalledCalls = progressed ? 0 : stalledCalls + 1;
    if (stalledCalls > kMaxStalledCalls) __builtin_trap();  // neither output nor input
  }
  int8_t equalizer[64];
  decoder.GetEqualizer(equalizer);
  return 0;
}
