// A secondary sound buffer: a ring of PCM bytes in its own format that the device mixer plays
// (once or looping) from a play cursor, resampled from its frequency to the device rate, with
// a volume. Created by SoundDevice::CreateBuffer; destroying it releases it.
//
// Threads: every method may be called from the UI thread or a deck's timer thread, one at a
// time per buffer (the owning engine serialises them). The audio thread only reads what
// Unlock published and advances the cursor; nothing here ever blocks it.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "platform/WaveFormat.h"

namespace veltro::platform::sound {

class MixerCore;
struct BufferVoice;

class SoundBuffer {
 public:
  ~SoundBuffer();  // Removes the buffer from the mix; returns once the audio thread has let go.
  SoundBuffer(const SoundBuffer&) = delete;
  SoundBuffer& operator=(const SoundBuffer&) = delete;

  uint32_t SizeBytes() const;
  const WaveFormat& Format() const;
  // True once the device was closed under this buffer: every call then does nothing.
  bool IsLost() const;

  // Returns writable memory for bytes [offset, offset + bytes) of the buffer, or nullptr when
  // the region does not lie inside the buffer, another region is locked, or the buffer is
  // lost. Regions never wrap. What is written becomes audible only after Unlock.
  uint8_t* Lock(uint32_t offsetBytes, uint32_t bytes);
  // Publishes the locked region to the mixer. Does nothing when nothing is locked.
  void Unlock();

  // Starts playing at the current cursor; `looping` wraps at the end, otherwise the buffer
  // stops by itself after its last frame and its cursor returns to 0.
  void Play(bool looping);
  void Stop();
  bool IsPlaying() const;

  // Play cursor in bytes (a whole frame, 0 <= cursor < SizeBytes()): the next byte the mixer
  // takes from this buffer. SetCurrentPosition rounds down to a whole frame, ignores
  // positions at or past the end, and wins over the mixer's advance even while playing.
  // A lost buffer reports 0.
  void SetCurrentPosition(uint32_t bytes);
  uint32_t GetCurrentPosition() const;

  // Attenuation in hundredths of a decibel: 0 = full, -10000 = silence (clamped to that range).
  void SetVolume(int32_t hundredthsDb);
  int32_t Volume() const;
  // Playback frequency in frames per second (clamped to 100..200000); the buffer is resampled
  // to the device rate, so pitch and speed change together.
  void SetFrequency(uint32_t hz);
  uint32_t Frequency() const;

 private:
  friend class SoundDevice;
  SoundBuffer(std::shared_ptr<MixerCore> core, std::unique_ptr<BufferVoice> voice,
              const WaveFormat& format, uint32_t bytes);
  // Converts bytes [offset, offset + bytes) of `scratch_` into the voice's sample store.
  void Publish(uint32_t offsetBytes, uint32_t bytes);

  std::shared_ptr<MixerCore> core_;
  std::unique_ptr<BufferVoice> voice_;
  WaveFormat format_;
  std::vector<uint8_t> scratch_;  // the caller's view of the buffer bytes; Lock points into it
  int32_t volumeHundredthsDb_ = 0;
  uint32_t lockedOffset_ = 0;
  uint32_t lockedBytes_ = 0;
  bool locked_ = false;
};

}  // namespace veltro::platform::sound
