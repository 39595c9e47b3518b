#include "platform/PcmChannels.h"

#include "platform/ByteOrder.h"

namespace veltro::platform {
namespace {

constexpr size_t kSampleBytes = 2;

void StoreSample(uint8_t* at, int value) {
  StoreLittleEndian(at, static_cast<uint16_t>(static_cast<int16_t>(value)), kSampleBytes);
}

}  // namespace

size_t StorePcm16Frames(const int16_t* samples, size_t frames, int fromChannels, int toChannels,
                        uint8_t* out) {
  if (fromChannels == toChannels) {
    const size_t count = frames * static_cast<size_t>(fromChannels);
    for (size_t i = 0; i < count; ++i) StoreSample(out + kSampleBytes * i, samples[i]);
    return count * kSampleBytes;
  }
  if (fromChannels == 1) {  // the same sample on both sides
    for (size_t i = 0; i < frames; ++i) {
      StoreSample(out + 2 * kSampleBytes * i, samples[i]);
      StoreSample(out + 2 * kSampleBytes * i + kSampleBytes, samples[i]);
    }
    return frames * 2 * kSampleBytes;
  }
  for (size_t i = 0; i < frames; ++i) {  // the mean of both sides
    StoreSample(out + kSampleBytes * i, (samples[2 * i] + samples[2 * i + 1]) / 2);
  }
  return frames * kSampleBytes;
}

}  // namespace veltro::platform
