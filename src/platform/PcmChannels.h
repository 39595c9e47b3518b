// Decoded 16-bit frames written as little-endian PCM in a chosen channel count, for outputs whose
// channel count is fixed by a stream's first frame while later frames may differ. Pure; any
// thread.
#pragma once

#include <cstddef>
#include <cstdint>

namespace veltro::platform {

// Writes `frames` sample frames of `samples` (interleaved, `fromChannels` per frame) to `out` as
// signed 16-bit little-endian PCM with `toChannels` per frame, and returns the bytes written
// (frames * toChannels * 2). Equal counts copy the samples; a mono frame is duplicated to both
// channels; a stereo frame becomes the mean of its two samples, truncated toward zero. Channel
// counts are 1 or 2 (equal counts may be any); `out` has room for the result.
size_t StorePcm16Frames(const int16_t* samples, size_t frames, int fromChannels, int toChannels,
                        uint8_t* out);

}  // namespace veltro::platform
