// MP3 fixtures for the decoder tests: interleaved 16-bit PCM encoded through libmp3lame into a
// complete MP3 file image in memory. Only tests and benchmarks use it (the program itself never
// encodes MP3).
#pragma once

#include <cstdint>
#include <vector>

namespace veltro::testing {

enum class Mp3Mode { kJointStereo, kStereo, kMono };

struct Mp3EncoderOptions {
  int sampleRateHz = 44100;  // of the input and of the stream (no resampling)
  Mp3Mode mode = Mp3Mode::kJointStereo;
  int cbrKbps = 128;     // constant bit rate (kbit/s), used when vbrQuality < 0
  int vbrQuality = -1;   // 0 (best) .. 9: variable bit rate with a Xing/LAME header
  bool infoTag = false;  // a constant-rate stream also starts with an "Info" tag frame
};

// Encodes `samples` (interleaved; 1 channel for kMono, else 2) and returns the file bytes:
// the tag frame first when one is written (completed after the encoding), no ID3 tags. Returns
// an empty vector when the encoder refuses the options or fails. Any thread; owns nothing.
std::vector<uint8_t> EncodeMp3(const std::vector<int16_t>& samples,
                               const Mp3EncoderOptions& options);

}  // namespace veltro::testing
