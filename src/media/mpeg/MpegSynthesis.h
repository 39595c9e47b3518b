// The polyphase synthesis filter bank of one channel: 32 sub-band samples in, 32 PCM samples
// out (or every second/fourth of them when down-sampling), rounded to the nearest integer and
// clipped to 16 bits. Single-precision floating point. Allocates nothing after construction.
#pragma once

#include <cstdint>

namespace veltro::media {

class MpegSynthesis {
 public:
  MpegSynthesis();
  // Clears the filter history (after a seek or a reset).
  void Reset();
  // Per-band gains applied to each block before filtering; null removes them.
  void SetGains(const float* gains32);
  bool HasGains() const { return hasGains_; }
  const float* Gains() const { return gains_; }
  // Filters one block of 32 sub-band samples (full scale 1.0) and writes 32 >> shift samples
  // (shift 0, 1 or 2) to out[0], out[stride], out[2 * stride], ...
  void Synthesize(const float* subbands32, int shift, int16_t* out, int stride);
  // Synthesize for `count` consecutive blocks; block b writes its 32 >> shift samples from
  // out[b * (32 >> shift) * stride] on. The transforms run eight blocks at a time.
  void SynthesizeBlocks(const float (*blocks)[32], int count, int shift, int16_t* out, int stride);

 private:
  // Expands the 32 transform outputs (only every 2^shift-th valid) into the newest V vector.
  void PushBlock(const float* matrixed);
  // Windows the last 16 V vectors into 32 >> shift rounded, clipped output samples.
  void Window(int shift, int16_t* out, int stride) const;

  // The 64-entry matrixing vectors V of the last 16 blocks; slot ringIndex_ is the newest,
  // slot (ringIndex_ + t) % 16 the one t blocks older.
  float history_[16][64];
  int ringIndex_ = 0;
  float gains_[32];
  bool hasGains_ = false;
};

}  // namespace veltro::media
