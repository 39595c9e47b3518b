#include "platform/sound/SoundBuffer.h"

#include <algorithm>

#include "platform/ByteOrder.h"
#include "platform/sound/MixerCore.h"

namespace veltro::platform::sound {
namespace {

constexpr uint32_t kMinFrequencyHz = 100;
constexpr uint32_t kMaxFrequencyHz = 200000;
constexpr int32_t kSilenceHundredthsDb = -10000;

}  // namespace

SoundBuffer::SoundBuffer(std::shared_ptr<MixerCore> core, std::unique_ptr<BufferVoice> voice,
                         const WaveFormat& format, uint32_t bytes)
    : core_(std::move(core)),
      voice_(std::move(voice)),
      format_(format),
      scratch_(bytes, SilenceByte(format)) {}

SoundBuffer::~SoundBuffer() {
  // The voice may only be freed once the mixer can no longer read it.
  if (core_ && voice_) core_->Remove(*voice_);
}

uint32_t SoundBuffer::SizeBytes() const {
  return static_cast<uint32_t>(scratch_.size());
}

const WaveFormat& SoundBuffer::Format() const {
  return format_;
}

bool SoundBuffer::IsLost() const {
  return core_->IsClosed();
}

uint8_t* SoundBuffer::Lock(uint32_t offsetBytes, uint32_t bytes) {
  if (IsLost() || locked_ || bytes == 0) return nullptr;
  if (uint64_t{offsetBytes} + bytes > scratch_.size()) return nullptr;
  locked_ = true;
  lockedOffset_ = offsetBytes;
  lockedBytes_ = bytes;
  return scratch_.data() + offsetBytes;
}

void SoundBuffer::Unlock() {
  if (!locked_) return;
  locked_ = false;
  if (IsLost()) return;
  Publish(lockedOffset_, lockedBytes_);
}

void SoundBuffer::Publish(uint32_t offsetBytes, uint32_t bytes) {
  // Every sample the region touches is converted whole (a region may split a 16-bit sample;
  // its other byte is taken from the scratch copy).
  std::atomic<int16_t>* store = voice_->samples.get();
  if (format_.bitsPerSample == 8) {
    for (uint32_t i = offsetBytes; i < offsetBytes + bytes; ++i) {
      store[i].store(static_cast<int16_t>((scratch_[i] - 128) * 256), std::memory_order_relaxed);
    }
  } else {
    const uint32_t first = offsetBytes / 2;
    const uint32_t end = (offsetBytes + bytes + 1) / 2;
    for (uint32_t s = first; s < end; ++s) {
      const uint16_t bits = LoadLittleEndian16(&scratch_[2 * s]);
      store[s].store(static_cast<int16_t>(bits), std::memory_order_relaxed);
    }
  }
  // Orders the sample stores before the flag for a mixer that acquires it.
  voice_->written.store(true, std::memory_order_release);
}

void SoundBuffer::Play(bool looping) {
  if (IsLost()) return;
  voice_->state.store(looping ? PlayState::kLooping : PlayState::kPlayingOnce,
                      std::memory_order_release);
}

void SoundBuffer::Stop() {
  if (IsLost()) return;
  voice_->state.store(PlayState::kStopped, std::memory_order_release);
}

bool SoundBuffer::IsPlaying() const {
  if (IsLost()) return false;
  return voice_->state.load(std::memory_order_acquire) != PlayState::kStopped;
}

void SoundBuffer::SetCurrentPosition(uint32_t bytes) {
  if (IsLost()) return;
  const uint32_t frame = bytes / format_.blockAlign;
  if (frame >= voice_->frames) return;
  voice_->cursor.store(static_cast<uint64_t>(frame) << 32, std::memory_order_release);
}

uint32_t SoundBuffer::GetCurrentPosition() const {
  if (IsLost()) return 0;
  const auto frame = static_cast<uint32_t>(voice_->cursor.load(std::memory_order_acquire) >> 32);
  return frame * format_.blockAlign;
}

void SoundBuffer::SetVolume(int32_t hundredthsDb) {
  if (IsLost()) return;
  volumeHundredthsDb_ = std::clamp(hundredthsDb, kSilenceHundredthsDb, 0);
  voice_->gain.store(GainFromHundredthsDb(volumeHundredthsDb_), std::memory_order_relaxed);
}

int32_t SoundBuffer::Volume() const {
  return volumeHundredthsDb_;
}

void SoundBuffer::SetFrequency(uint32_t hz) {
  if (IsLost()) return;
  voice_->frequencyHz.store(std::clamp(hz, kMinFrequencyHz, kMaxFrequencyHz),
                            std::memory_order_relaxed);
}

uint32_t SoundBuffer::Frequency() const {
  return voice_->frequencyHz.load(std::memory_order_relaxed);
}

}  // namespace veltro::platform::sound
