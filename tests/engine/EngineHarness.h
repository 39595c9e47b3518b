// Shared set-up for the engine's end-to-end tests: songs written to a temporary directory,
// an engine on manual sound devices, and rendering helpers.
#pragma once

#include <ogg/ogg.h>
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

// Writes to `path` a chained Ogg Vorbis file: `first` (44.1 kHz stereo, `firstSeconds`) then
// a second stream of `secondSeconds` in `channels` and `rateHz`, under its own serial number
// as chaining requires. False when a link cannot be encoded.
inline bool WriteChainedOgg(const std::string& path, double firstSeconds, int channels,
                            uint32_t rateHz, double secondSeconds) {
  const std::string head = path + ".head";
  const std::string tail = path + ".tail";
  if (!WriteOgg(head, MusicLike(44100, firstSeconds, 2), 2, 44100) ||
      !WriteOgg(tail, MusicLike(rateHz, secondSeconds, channels, 7), channels, rateHz)) {
    return false;
  }
  std::string chain = ReadBytes(head);
  const std::string second = ReadBytes(tail);
  ogg_sync_state sync;
  ogg_sync_init(&sync);
  char* buffer = ogg_sync_buffer(&sync, static_cast<long>(second.size()));
  std::copy(second.begin(), second.end(), buffer);
  ogg_sync_wrote(&sync, static_cast<long>(second.size()));
  ogg_page page;
  while (ogg_sync_pageout(&sync, &page) == 1) {
    page.header[14] ^= 0x80;  // a serial number different from the first stream's
    ogg_page_checksum_set(&page);
    chain.append(reinterpret_cast<const char*>(page.header), static_cast<size_t>(page.header_len));
    chain.append(reinterpret_cast<const char*>(page.body), static_cast<size_t>(page.body_len));
  }
  ogg_sync_clear(&sync);
  WriteBytes(path, chain);
  return true;
}

}  // namespace veltro::testing
