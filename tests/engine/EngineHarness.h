// Shared set-up for the engine's end-to-end tests: songs written to a temporary directory,
// an engine on manual sound devices, and rendering helpers.
#pragma once

#include <soundtouch/SoundTouch.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "engine/DecoderBase.h"
#include "engine/PlayerEngine.h"
#include "platform/sound/SoundDevice.h"
#include "support/Fixtures.h"
#include "support/TempDir.h"

namespace veltro::testing {

// Renders `frames` frames of the device's mix (interleaved stereo).
inline std::vector<int16_t> RenderFrames(platform::sound::SoundDevice& device, size_t frames) {
  std::vector<int16_t> out(2 * frames);
  device.Render(out.data(), frames);
  return out;
}

// What the engine should produce from a decoder: its 16384-byte blocks through a fresh
// SoundTouch processor configured as the engine configures its own, until `bytes` bytes.
inline std::vector<int16_t> ReferenceOutput(engine::DecoderBase& decoder, size_t bytes) {
  const platform::WaveFormat format = decoder.Format();
  soundtouch::SoundTouch tempo;
  tempo.setSampleRate(format.samplesPerSec);
  tempo.setChannels(format.channels);
  tempo.setSetting(SETTING_USE_QUICKSEEK, 0);
  tempo.setSetting(SETTING_USE_AA_FILTER, 1);
  std::vector<uint8_t> block(16384);
  std::vector<float> in(8192), out(8192);
  std::vector<int16_t> result;
  const uint32_t frames = 16384u / format.blockAlign;
  while (result.size() * 2 < bytes) {
    if (decoder.Read(block.data(), 16384) != engine::DecoderBase::kOk) break;
    const auto samples = SamplesFromBytes(block.data(), block.size());
    for (size_t i = 0; i < samples.size(); ++i) in[i] = samples[i] / 32768.0f;
    tempo.putSamples(in.data(), frames);
    while (const uint32_t got = tempo.receiveSamples(out.data(), frames)) {
      for (size_t i = 0; i < size_t{got} * format.channels; ++i) {
        const float scaled = std::nearbyint(out[i] * 32768.0f);
        result.push_back(static_cast<int16_t>(std::clamp(scaled, -32768.0f, 32767.0f)));
      }
    }
  }
  result.resize(bytes / 2);
  return result;
}

// Plays the loaded, primed engine to its end on `device` in steps of `stepFrames`, calling
// Service after each; returns everything rendered. `endFrame` receives the number of frames
// rendered when EndCount() first reached 3.
inline std::vector<int16_t> PlayToEnd(engine::PlayerEngine& engine,
                                      platform::sound::SoundDevice& device, size_t& endFrame,
                                      size_t stepFrames = 4410, size_t maxFrames = 44100 * 60) {
  std::vector<int16_t> all;
  engine.Play();
  endFrame = 0;
  while (all.size() / 2 < maxFrames) {
    const auto step = RenderFrames(device, stepFrames);
    all.insert(all.end(), step.begin(), step.end());
    engine.Service();
    if (engine.EndCount() >= 3) {
      endFrame = all.size() / 2;
      break;
    }
  }
  return all;
}

}  // namespace veltro::testing
