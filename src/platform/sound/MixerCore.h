// The audio-thread side of a device: the table of voices (one per SoundBuffer) and the mix.
//
// Sharing between threads:
// - Voice slots are atomic pointers. A voice is fully built before it is stored into a slot
//   (release), and the mixer loads slots with acquire, so it never sees a half-built voice.
// - Removing a voice clears its slot, then waits on the removing thread until no mix pass that
//   could still hold the old pointer is running (see passSequence_ below); only then may the
//   caller free the voice. The audio thread itself never waits and never allocates.
// - Everything a voice shares with other threads is an atomic: the sample store (one atomic
//   int16 per sample, relaxed), the 32.32 cursor, the play state, frequency and gain.
#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace veltro::platform::sound {

enum class PlayState : uint8_t { kStopped, kPlayingOnce, kLooping };

// One buffer as the mixer sees it. The owning SoundBuffer holds it; the mixer only borrows it
// while it sits in a slot.
struct BufferVoice {
  BufferVoice(uint16_t channelCount, uint32_t frameCount, uint32_t frequencyHz);

  const uint16_t channels;  // 1 or 2 (interleaved in `samples`)
  const uint32_t frames;
  // Published sample store: written with relaxed stores by Unlock, read with relaxed loads by
  // the mixer, so a region being rewritten while it plays can click but is never a data race.
  std::unique_ptr<std::atomic<int16_t>[]> samples;
  // Play position in frames, 32.32 fixed point. Written by the mixer (compare-exchange, so a
  // concurrent SetCurrentPosition wins) and by the owner's SetCurrentPosition.
  std::atomic<uint64_t> cursor{0};
  std::atomic<PlayState> state{PlayState::kStopped};
  std::atomic<uint32_t> frequencyHz;
  std::atomic<float> gain{1.0f};
  // False until the first Unlock: a never-written voice is silence and is only advanced.
  std::atomic<bool> written{false};
  int slot = -1;  // index in the mixer's table; set by MixerCore::Add
};

class MixerCore {
 public:
  static constexpr int kMaxVoices = 64;
  static constexpr uint32_t kOutputRateHz = 44100;
  static constexpr size_t kChunkFrames = 1024;  // frames mixed per inner pass over the voices

  MixerCore();

  // Publishes `voice` to the mixer. Returns false when every slot is taken. The voice must
  // outlive its presence in the table (see Remove). Any non-audio thread.
  bool Add(BufferVoice& voice);
  // Takes `voice` out of the table and returns once no mix pass can still read it; the caller
  // may free it afterwards. Never call it from the audio thread. Any non-audio thread.
  void Remove(BufferVoice& voice);

  // Mixes `frames` frames of interleaved 16-bit stereo into `out` (2 * frames values) and
  // advances every playing voice. Audio thread only: one caller at a time per core; never
  // blocks, allocates or does I/O.
  void Mix(int16_t* out, size_t frames);

  // Marks the device closed: buffers on this core become lost. Any thread.
  void MarkClosed() { closed_.store(true, std::memory_order_release); }
  bool IsClosed() const { return closed_.load(std::memory_order_acquire); }

 private:
  void MixChunk(int16_t* out, size_t frames);

  std::array<std::atomic<BufferVoice*>, kMaxVoices> slots_;
  // Incremented at the start and at the end of every Mix call: odd while a pass runs. Remove
  // reads it after clearing a slot (both sequentially consistent, so either the pass started
  // after the clear and cannot see the voice, or Remove sees the odd value and waits until the
  // number changes; the end increment is a release that Remove acquires).
  std::atomic<uint64_t> passSequence_{0};
  std::atomic<bool> closed_{false};
  std::vector<float> mixScratch_;  // 2 * kChunkFrames; allocated once, used only by Mix
};

// Linear gain for an attenuation in hundredths of a decibel; -10000 and below give exactly 0.
float GainFromHundredthsDb(int32_t hundredthsDb);

}  // namespace veltro::platform::sound
