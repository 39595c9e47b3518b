#include "platform/sound/VoiceMixer.h"

namespace veltro::platform::sound {
namespace {

constexpr float kFractionScale = 1.0f / 4294967296.0f;  // 2^-32: 32.32 fraction to [0, 1)

struct VoiceView {
  const std::atomic<int16_t>* samples;
  int64_t frames;
  bool looping;
};

struct Advance {
  uint64_t position;  // 32.32 cursor after the chunk
  bool ended;         // a one-shot voice ran past its end
};

inline float Load(const std::atomic<int16_t>& sample) {
  return static_cast<float>(sample.load(std::memory_order_relaxed));
}

// Sample `channel` of frame `index`, which may lie outside the buffer: the buffer is a ring
// for a looping voice, and silence surrounds a one-shot voice.
template <int kChannels>
float EdgeTap(const VoiceView& view, int64_t index, int channel) {
  if (index < 0 || index >= view.frames) {
    if (!view.looping) return 0.0f;
    index %= view.frames;
    if (index < 0) index += view.frames;
  }
  return Load(view.samples[index * kChannels + channel]);
}

template <int kChannels>
void Interpolate(const VoiceView& view, uint64_t position, float* out) {
  const auto index = static_cast<int64_t>(position >> 32);
  const float t = static_cast<float>(position & 0xFFFFFFFFu) * kFractionScale;
  if (index >= 1 && index + 2 < view.frames) {
    const std::atomic<int16_t>* p = view.samples + (index - 1) * kChannels;
    for (int c = 0; c < kChannels; ++c) {
      out[c] = HermiteInterpolate(Load(p[c]), Load(p[kChannels + c]), Load(p[2 * kChannels + c]),
                                  Load(p[3 * kChannels + c]), t);
    }
    return;
  }
  for (int c = 0; c < kChannels; ++c) {
    out[c] = HermiteInterpolate(
        EdgeTap<kChannels>(view, index - 1, c), EdgeTap<kChannels>(view, index, c),
        EdgeTap<kChannels>(view, index + 1, c), EdgeTap<kChannels>(view, index + 2, c), t);
  }
}

Advance Finish(uint64_t position, uint64_t length, bool looping) {
  if (position < length) return {position, false};
  if (!looping) return {0, true};
  return {position % length, false};
}

template <int kChannels>
Advance Render(const VoiceView& view, uint64_t position, uint64_t step, float gain, float* mix,
               size_t frames) {
  const uint64_t length = static_cast<uint64_t>(view.frames) << 32;
  for (size_t n = 0; n < frames; ++n) {
    if (position >= length) {
      if (!view.looping) return {0, true};
      position %= length;
    }
    float sample[kChannels];
    Interpolate<kChannels>(view, position, sample);
    mix[2 * n] += gain * sample[0];
    mix[2 * n + 1] += gain * sample[kChannels - 1];  // mono feeds both channels equally
    position += step;
  }
  return Finish(position, length, view.looping);
}

}  // namespace

void MixVoice(BufferVoice& voice, float* mix, size_t frames) {
  const PlayState state = voice.state.load(std::memory_order_acquire);
  if (state == PlayState::kStopped) return;
  uint64_t start = voice.cursor.load(std::memory_order_acquire);
  const uint64_t step =
      (static_cast<uint64_t>(voice.frequencyHz.load(std::memory_order_relaxed)) << 32) /
      MixerCore::kOutputRateHz;
  const float gain = voice.gain.load(std::memory_order_relaxed);
  const VoiceView view{voice.samples.get(), voice.frames, state == PlayState::kLooping};

  Advance advance;
  if (gain == 0.0f || !voice.written.load(std::memory_order_acquire)) {
    // Silent either way: only the cursor moves.
    advance = Finish(start + step * frames, static_cast<uint64_t>(view.frames) << 32, view.looping);
  } else if (voice.channels == 1) {
    advance = Render<1>(view, start, step, gain, mix, frames);
  } else {
    advance = Render<2>(view, start, step, gain, mix, frames);
  }
  // A SetCurrentPosition made while this chunk was mixed wins: the advance is then dropped.
  if (!voice.cursor.compare_exchange_strong(start, advance.position, std::memory_order_acq_rel,
                                            std::memory_order_relaxed)) {
    return;
  }
  if (advance.ended) {
    PlayState expected = PlayState::kPlayingOnce;  // a Play(looping) meanwhile keeps it going
    voice.state.compare_exchange_strong(expected, PlayState::kStopped, std::memory_order_acq_rel,
                                        std::memory_order_relaxed);
  }
}

}  // namespace veltro::platform::sound
