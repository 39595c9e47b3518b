#include "platform/sound/MixerCore.h"

#include <algorithm>
#include <cmath>
#include <thread>

#include "platform/sound/VoiceMixer.h"

namespace veltro::platform::sound {

BufferVoice::BufferVoice(uint16_t channelCount, uint32_t frameCount, uint32_t frequency)
    : channels(channelCount),
      frames(frameCount),
      samples(std::make_unique<std::atomic<int16_t>[]>(size_t{frameCount} * channelCount)),
      frequencyHz(frequency) {}

float GainFromHundredthsDb(int32_t hundredthsDb) {
  if (hundredthsDb <= -10000) return 0.0f;
  if (hundredthsDb >= 0) return 1.0f;
  return static_cast<float>(std::pow(10.0, static_cast<double>(hundredthsDb) / 2000.0));
}

MixerCore::MixerCore() : mixScratch_(2 * kChunkFrames) {
  for (auto& slot : slots_) slot.store(nullptr, std::memory_order_relaxed);
}

bool MixerCore::Add(BufferVoice& voice) {
  for (int i = 0; i < kMaxVoices; ++i) {
    BufferVoice* expected = nullptr;
    // seq_cst (includes release): the voice's construction is visible to the mixer's load.
    if (slots_[i].compare_exchange_strong(expected, &voice, std::memory_order_seq_cst)) {
      voice.slot = i;
      return true;
    }
  }
  return false;
}

void MixerCore::Remove(BufferVoice& voice) {
  if (voice.slot < 0) return;
  slots_[voice.slot].store(nullptr, std::memory_order_seq_cst);
  voice.slot = -1;
  const uint64_t seen = passSequence_.load(std::memory_order_seq_cst);
  if ((seen & 1u) == 0) return;  // no pass running; later passes cannot see the voice
  // A pass that may hold the pointer is running: wait until it ends (the count moves on).
  while (passSequence_.load(std::memory_order_acquire) == seen) std::this_thread::yield();
}

void MixerCore::Mix(int16_t* out, size_t frames) {
  passSequence_.fetch_add(1, std::memory_order_seq_cst);
  while (frames > 0) {
    const size_t chunk = std::min(frames, kChunkFrames);
    MixChunk(out, chunk);
    out += 2 * chunk;
    frames -= chunk;
  }
  passSequence_.fetch_add(1, std::memory_order_release);
}

void MixerCore::MixChunk(int16_t* out, size_t frames) {
  float* mix = mixScratch_.data();
  std::fill(mix, mix + 2 * frames, 0.0f);
  for (auto& slot : slots_) {
    // seq_cst pairs with Remove's clear (see passSequence_); a plain load on common hardware.
    BufferVoice* voice = slot.load(std::memory_order_seq_cst);
    if (voice != nullptr) MixVoice(*voice, mix, frames);
  }
  for (size_t i = 0; i < 2 * frames; ++i) {
    const float v = std::clamp(mix[i], -32768.0f, 32767.0f);
    out[i] = static_cast<int16_t>(v >= 0.0f ? v + 0.5f : v - 0.5f);
  }
}

}  // namespace veltro::platform::sound
