// Cost of the sound mixer: N looping 44.1 kHz 16-bit stereo buffers played at 46300 Hz (so
// every frame is resampled) on a manual device, one second of output per iteration.
//
// Counters:
//   core_pct_per_buffer  share of one core each playing buffer costs, in percent
//                        (time per second of audio / N / 1 s * 100)
//   x_memcpy             time per playing buffer relative to copying one second of stereo
//                        int16 (176400 bytes), measured in the same run
// BM_MixStopped is the fixed cost of a pass with the same buffers present but stopped.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <memory>
#include <vector>

#include "platform/sound/SoundBuffer.h"
#include "platform/sound/SoundDevice.h"

namespace {

using veltro::platform::MakePcmFormat;
using veltro::platform::sound::SoundBuffer;
using veltro::platform::sound::SoundDevice;

constexpr size_t kFramesPerSecond = 44100;

struct Rig {
  SoundDevice device;
  std::vector<std::unique_ptr<SoundBuffer>> buffers;
  std::vector<int16_t> out = std::vector<int16_t>(2 * kFramesPerSecond);

  Rig(int64_t count, bool playing) {
    device.OpenManual();
    const auto format = MakePcmFormat(44100, 2, 16);
    for (int64_t i = 0; i < count; ++i) {
      auto buffer = device.CreateBuffer(format, format.avgBytesPerSec);
      uint8_t* bytes = buffer->Lock(0, buffer->SizeBytes());
      for (uint32_t b = 0; b < buffer->SizeBytes(); ++b) {
        bytes[b] = static_cast<uint8_t>(b * 7 + static_cast<uint32_t>(i));
      }
      buffer->Unlock();
      buffer->SetFrequency(46300);
      buffer->SetVolume(-600);
      if (playing) buffer->Play(true);
      buffers.push_back(std::move(buffer));
    }
  }
};

// Seconds to copy one second of stereo int16, best of many runs.
double MemcpyBaselineSeconds() {
  static const double seconds = [] {
    std::vector<uint8_t> from(kFramesPerSecond * 4, 1), to(kFramesPerSecond * 4);
    double best = 1.0;
    for (int run = 0; run < 200; ++run) {
      const auto start = std::chrono::steady_clock::now();
      std::memcpy(to.data(), from.data(), from.size());
      benchmark::DoNotOptimize(to.data());
      benchmark::ClobberMemory();
      const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
      best = std::min(best, took.count());
    }
    return best;
  }();
  return seconds;
}

void BM_MixPlaying(benchmark::State& state) {
  Rig rig(state.range(0), true);
  const double baseline = MemcpyBaselineSeconds();
  for (auto _ : state) {
    rig.device.Render(rig.out.data(), kFramesPerSecond);
    benchmark::DoNotOptimize(rig.out.data());
  }
  const double perBufferIterations = static_cast<double>(state.iterations() * state.range(0));
  state.counters["core_pct_per_buffer"] = benchmark::Counter(
      perBufferIterations / 100.0, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
  state.counters["x_memcpy"] = benchmark::Counter(
      perBufferIterations * baseline, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_MixPlaying)->Arg(1)->Arg(4)->Arg(16)->Unit(benchmark::kMillisecond);

void BM_MixStopped(benchmark::State& state) {
  Rig rig(state.range(0), false);
  for (auto _ : state) {
    rig.device.Render(rig.out.data(), kFramesPerSecond);
    benchmark::DoNotOptimize(rig.out.data());
  }
}
BENCHMARK(BM_MixStopped)->Arg(1)->Arg(16)->Unit(benchmark::kMillisecond);

void BM_MemcpyOneSecond(benchmark::State& state) {
  std::vector<uint8_t> from(kFramesPerSecond * 4, 1), to(kFramesPerSecond * 4);
  for (auto _ : state) {
    std::memcpy(to.data(), from.data(), from.size());
    benchmark::DoNotOptimize(to.data());
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_MemcpyOneSecond)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
