// Cost of the player engine's refill path against raw decoding plus raw tempo processing of
// the same audio, measured in the same run; and how many decks one core keeps in real time.
//
// Fixture: 60 s of music-like 44.1 kHz stereo, encoded to Ogg Vorbis (quality 0.4) at start.
// Every deck runs Mastertempo at +5 %.
#include <benchmark/benchmark.h>
#include <soundtouch/SoundTouch.h>
#include <vorbis/vorbisfile.h>

#include <cstdio>
#include <map>
#include <memory>
#include <string>

// The fixture generators are shared with the tests; compiled into this program directly.
#include "engine/PlayerEngine.h"
#include "platform/sound/SoundDevice.h"
#include "support/Fixtures.h"
#include "support/TempDir.h"

namespace {

using veltro::engine::PlayerEngine;
using veltro::platform::sound::SoundDevice;

constexpr uint32_t kQuarterFrames = 11025;

const std::string& SongPath() {
  static veltro::testing::TempDir dir;
  static const std::string path = [] {
    std::string p = dir.File("bench.ogg");
    veltro::testing::WriteOgg(p, veltro::testing::MusicLike(44100, 60.0, 2, 11), 2, 44100, 0.4f);
    return p;
  }();
  return path;
}

struct EngineDeck {
  SoundDevice device;
  PlayerEngine engine;
  std::vector<int16_t> mix = std::vector<int16_t>(2 * kQuarterFrames);
  bool Start() {
    if (!device.OpenManual()) return false;
    engine.AttachDevices(&device, nullptr);
    if (!engine.Load(SongPath(), 7, ".OGG")) return false;
    engine.SetTempoMode(1);
    engine.SetPitch(50);
    Rewind();
    return true;
  }
  void Rewind() {
    engine.ResetEndCount();
    engine.Prime(0);
    engine.Play();
  }
  void RenderQuarter() { device.Render(mix.data(), kQuarterFrames); }
};

// (1) One RefillHalf: a quarter second rendered (untimed), then the Service call that
// refills the half the cursor left.
void BM_EngineRefill(benchmark::State& state) {
  EngineDeck deck;
  if (!deck.Start()) {
    state.SkipWithError("cannot load the fixture");
    return;
  }
  const uint64_t before = deck.engine.RefillCount();
  for (auto _ : state) {
    state.PauseTiming();
    if (deck.engine.EndCount() > 0) deck.Rewind();
    deck.RenderQuarter();
    state.ResumeTiming();
    benchmark::DoNotOptimize(deck.engine.Service());
  }
  state.counters["refills_per_iteration"] =
      static_cast<double>(deck.engine.RefillCount() - before) /
      static_cast<double>(state.iterations());
}
BENCHMARK(BM_EngineRefill)->Unit(benchmark::kMicrosecond);

// (2) Baseline: libvorbisfile ov_read plus SoundTouch (float) producing the same quarter
// second of output at +5 % tempo.
struct RawPath {
  OggVorbis_File file{};
  soundtouch::SoundTouch tempo;
  std::vector<char> pcm = std::vector<char>(4096);
  std::vector<float> in = std::vector<float>(2048), out = std::vector<float>(8192);
  bool open = false;
  bool Open() {
    open = ov_fopen(SongPath().c_str(), &file) == 0;
    tempo.setSampleRate(44100);
    tempo.setChannels(2);
    tempo.setSetting(SETTING_USE_QUICKSEEK, 0);
    tempo.setSetting(SETTING_USE_AA_FILTER, 1);
    tempo.setTempoChange(5.0);
    return open;
  }
  ~RawPath() {
    if (open) ov_clear(&file);
  }
  // Decodes and processes until a quarter second of output came; false at the end.
  bool Quarter() {
    uint32_t produced = 0;
    while (produced < kQuarterFrames) {
      int section = 0;
      const long got = ov_read(&file, pcm.data(), 4096, 0, 2, 1, &section);
      if (got <= 0) return false;
      const auto* samples = reinterpret_cast<const int16_t*>(pcm.data());
      const size_t count = static_cast<size_t>(got) / 2;
      for (size_t i = 0; i < count; ++i) in[i] = samples[i] * (1.0f / 32768.0f);
      tempo.putSamples(in.data(), static_cast<uint32_t>(count / 2));
      while (const uint32_t n = tempo.receiveSamples(out.data(), 4096)) produced += n;
    }
    return true;
  }
};

void BM_RawDecodeAndTempo(benchmark::State& state) {
  auto raw = std::make_unique<RawPath>();
  if (!raw->Open()) {
    state.SkipWithError("cannot open the fixture");
    return;
  }
  for (auto _ : state) {
    if (!raw->Quarter()) {
      state.PauseTiming();
      raw = std::make_unique<RawPath>();
      raw->Open();
      state.ResumeTiming();
    }
  }
  // Quarter seconds of audio per second of CPU, as decks: 4 iterations = 1 s of audio.
  state.counters["decks_per_core"] =
      benchmark::Counter(static_cast<double>(state.iterations()) / 4, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_RawDecodeAndTempo)->Unit(benchmark::kMicrosecond);

// (3) The full path for one second of audio: four quarter-second renders through the mixer,
// each followed by Service (decode, tempo, copy into the buffer).
void BM_FullPathSecond(benchmark::State& state) {
  EngineDeck deck;
  if (!deck.Start()) {
    state.SkipWithError("cannot load the fixture");
    return;
  }
  for (auto _ : state) {
    if (deck.engine.EndCount() > 0) {
      state.PauseTiming();
      deck.Rewind();
      state.ResumeTiming();
    }
    for (int quarter = 0; quarter < 4; ++quarter) {
      deck.RenderQuarter();
      benchmark::DoNotOptimize(deck.engine.Service());
    }
  }
  state.counters["decks_per_core"] =
      benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_FullPathSecond)->Unit(benchmark::kMillisecond);

// Prints the run's results as usual and remembers each benchmark's CPU time per iteration.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      if (run.run_type == Run::RT_Iteration && run.iterations > 0) {
        cpuPerIteration[run.run_name.function_name] =
            run.GetAdjustedCPUTime() * (run.time_unit == benchmark::kMillisecond ? 1000 : 1);
      }
    }
  }
  std::map<std::string, double> cpuPerIteration;  // microseconds
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  const auto& t = reporter.cpuPerIteration;
  if (t.count("BM_EngineRefill") && t.count("BM_RawDecodeAndTempo")) {
    std::printf("refill / (raw decode + tempo) = %.3f (goal <= 1.25)\n",
                t.at("BM_EngineRefill") / t.at("BM_RawDecodeAndTempo"));
  }
  if (t.count("BM_FullPathSecond")) {
    std::printf("decks per core (full path) = %.0f (goal >= 250)\n",
                1e6 / t.at("BM_FullPathSecond"));
  }
  if (t.count("BM_RawDecodeAndTempo")) {
    std::printf("decks per core (raw decode + tempo) = %.0f\n",
                1e6 / (4 * t.at("BM_RawDecodeAndTempo")));
  }
  benchmark::Shutdown();
  return 0;
}
