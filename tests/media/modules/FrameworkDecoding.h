// Whole-stream decoding through the media framework, as its clients decode: a decoder with the
// MPEG codec module and the memory input. The reference the MPEG codec, the deck's MP3 decoder,
// the file information scanner and the command-line decoder are compared against.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "media/framework/MediaFramework.h"
#include "media/modules/MemoryInput.h"
#include "media/modules/MpegAudioCodec.h"

namespace veltro::media {

// One decoded frame's PCM layout.
struct FramePcmShape {
  int samples = 0;  // per channel
  int channels = 0;
  int sampleRateHz = 0;
};

struct FrameworkDecoding {
  std::vector<int16_t> pcm;  // each frame in its own channel count, one after another
  std::vector<FramePcmShape> frames;
  int decodeErrors = 0;  // kMfDecodeError results, each a lost frame
  int setupResult = 0;   // the first failing set-up call's code, else 0
  int endCode = 0;       // the code that ended the decoding
};

// Decodes `bytes` as a client of the media framework does: a decoder with the MPEG codec and the
// memory input, the stream created and opened, then mf_decode into the decoder's own buffer
// until it stops returning 0 or -700 (a lost frame, skipped). Stops after `maxCalls` calls, so
// a decoder that never ends shows as an end code of 0.
inline FrameworkDecoding DecodeThroughFramework(const std::vector<uint8_t>& bytes,
                                                size_t maxCalls = 100000) {
  FrameworkDecoding result;
  MfDecoder* decoder = nullptr;
  if ((result.setupResult = mf_decoder_new(&decoder)) != kMfOk) return result;
  MfCodecModule codec{};
  MpegAudioCodecDescriptor(&codec);
  MfInputModule input{};
  MemoryInputDescriptor(&input);
  const char* name = "mem:conformance";
  const int steps[] = {
      mf_codec_module_register(decoder, &codec), mf_input_module_register(decoder, &input),
      MemoryInputAttach(decoder, name, bytes.data(), static_cast<uint32_t>(bytes.size())),
      mf_input_new(decoder, name, -1), mf_input_open(decoder)};
  for (const int step : steps) {
    if (step < 0 && result.setupResult == 0) result.setupResult = step;
  }
  for (size_t call = 0; result.setupResult == 0 && call < maxCalls; ++call) {
    const int rc = mf_decode(decoder, nullptr);
    if (rc == kMfDecodeError) {
      ++result.decodeErrors;
      continue;
    }
    if (rc != kMfOk) {
      result.endCode = rc;
      break;
    }
    const MfOutputBuffer& out = *decoder->outputBuffer;
    result.frames.push_back({out.sampleCount, out.channels, out.sampleRateHz});
    result.pcm.insert(result.pcm.end(), out.samples, out.samples + out.sampleCount * out.channels);
  }
  mf_decoder_delete(decoder);
  return result;
}

}  // namespace veltro::media
