// Test helpers: PCM byte images of known signals and buffers filled through Lock/Unlock.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>
#include <numbers>
#include <vector>

#include "platform/sound/SoundBuffer.h"
#include "platform/sound/SoundDevice.h"

namespace veltro::platform::sound::test {

inline std::vector<uint8_t> Int16Bytes(const std::vector<int16_t>& samples) {
  std::vector<uint8_t> bytes(samples.size() * 2);
  for (size_t i = 0; i < samples.size(); ++i) {
    const auto bits = static_cast<uint16_t>(samples[i]);
    bytes[2 * i] = static_cast<uint8_t>(bits & 0xFF);
    bytes[2 * i + 1] = static_cast<uint8_t>(bits >> 8);
  }
  return bytes;
}

// `frames` frames of a sine at `hz`, the same on every channel, interleaved.
inline std::vector<int16_t> Sine(double hz, double rateHz, size_t frames, int channels,
                                 double amplitude) {
  std::vector<int16_t> samples(frames * static_cast<size_t>(channels));
  for (size_t i = 0; i < frames; ++i) {
    const double phase = 2.0 * std::numbers::pi * hz * static_cast<double>(i) / rateHz;
    const auto value = static_cast<int16_t>(std::lround(amplitude * std::sin(phase)));
    for (int c = 0; c < channels; ++c) samples[i * static_cast<size_t>(channels) + c] = value;
  }
  return samples;
}

// A buffer on `device` holding exactly `bytes`, written with one Lock/Unlock.
inline std::unique_ptr<SoundBuffer> MakeBuffer(SoundDevice& device, const WaveFormat& format,
                                               const std::vector<uint8_t>& bytes) {
  auto buffer = device.CreateBuffer(format, static_cast<uint32_t>(bytes.size()));
  if (!buffer) return nullptr;
  uint8_t* region = buffer->Lock(0, static_cast<uint32_t>(bytes.size()));
  if (region == nullptr) return nullptr;
  std::memcpy(region, bytes.data(), bytes.size());
  buffer->Unlock();
  return buffer;
}

// Renders `frames` frames of the manual device (interleaved stereo).
inline std::vector<int16_t> RenderFrames(SoundDevice& device, size_t frames) {
  std::vector<int16_t> out(2 * frames, int16_t{0x5555});
  device.Render(out.data(), frames);
  return out;
}

inline double Rms(const std::vector<int16_t>& samples, size_t first, size_t count) {
  double sum = 0.0;
  for (size_t i = first; i < first + count; ++i) {
    sum += static_cast<double>(samples[i]) * static_cast<double>(samples[i]);
  }
  return std::sqrt(sum / static_cast<double>(count));
}

}  // namespace veltro::platform::sound::test
