// MPEG audio decoding speed from memory on one core, in seconds of audio per second of CPU
// ("x real time"), for the program's decoder and two independent decoders (libmpg123 and
// libmad) decoding the same files in the same run. A summary prints the ratios per file.
//
// Files: 30 s of music-like audio encoded with libmp3lame at start (44.1 kHz joint stereo CBR
// 128 and CBR 320, VBR quality 2, and a 22.05 kHz MPEG-2 stream at 64 kbit/s) and a Layer II
// conformance stream (32 kHz stereo, 256 kbit/s) repeated to about 30 s.
// All three decoders produce interleaved 16-bit PCM (libmad's fixed-point output is rounded
// and clipped the same way).
#include <benchmark/benchmark.h>
#include <mad.h>
#include <mpg123.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "media/mpeg/MpegFrameDecoder.h"
#include "media/mpeg/MpegTestData.h"
#include "media/mpeg/MpegVectorPath.h"
#include "support/Fixtures.h"
#include "support/Mp3Encoder.h"

namespace {

using veltro::media::MemoryByteSource;
using veltro::media::MpegDecodedFrame;
using veltro::media::MpegFrameDecoder;
using veltro::testing::Mp3EncoderOptions;

constexpr double kSeconds = 30.0;

struct BenchFile {
  const char* name;
  std::vector<uint8_t> bytes;
};

std::vector<uint8_t> Encode(int rateHz, int cbrKbps, int vbrQuality) {
  Mp3EncoderOptions options;
  options.sampleRateHz = rateHz;
  options.cbrKbps = cbrKbps;
  options.vbrQuality = vbrQuality;
  options.infoTag = vbrQuality >= 0;
  const auto samples = veltro::testing::MusicLike(static_cast<uint32_t>(rateHz), kSeconds, 2, 7);
  return veltro::testing::EncodeMp3(samples, options);
}

std::vector<uint8_t> RepeatedLayer2() {
  const std::vector<uint8_t> once =
      veltro::media::ReadFileBytes(veltro::media::MpegTestDataPath("conformance/l2-fl10.bit"));
  std::vector<uint8_t> bytes;
  if (once.empty()) {
    std::fprintf(stderr,
                 "mpeg_bench: cannot read %s; set VELTRO_TESTDATA to the shared test data folder\n",
                 veltro::media::MpegTestDataPath("conformance/l2-fl10.bit").c_str());
    std::exit(2);
  }
  // 256 kbit/s: 32000 bytes per second of audio.
  while (bytes.size() < static_cast<size_t>(kSeconds * 32000))
    bytes.insert(bytes.end(), once.begin(), once.end());
  return bytes;
}

const std::vector<BenchFile>& Files() {
  static const std::vector<BenchFile> files = [] {
    std::vector<BenchFile> list;
    list.push_back({"cbr128", Encode(44100, 128, -1)});
    list.push_back({"cbr320", Encode(44100, 320, -1)});
    list.push_back({"vbr_q2", Encode(44100, 128, 2)});
    list.push_back({"mpeg2_22k", Encode(22050, 64, -1)});
    list.push_back({"layer2", RepeatedLayer2()});
    return list;
  }();
  return files;
}

// What one decoding pass yields: seconds of audio and a checksum that keeps the work alive.
struct PassResult {
  double audioSeconds = 0.0;
  int64_t checksum = 0;
};

PassResult DecodeVeltro(const std::vector<uint8_t>& bytes) {
  MpegFrameDecoder decoder;
  MemoryByteSource source(bytes);
  std::vector<int16_t> pcm(veltro::media::kMpegMaxFrameSamples);
  PassResult result;
  for (;;) {
    MpegDecodedFrame frame;
    const int status = decoder.DecodeFrame(source, pcm.data(), frame);
    if (status == veltro::media::kMpegEndOfStream) break;
    if (status != 0) continue;
    if (frame.sampleRate > 0) result.audioSeconds += double(frame.samples) / frame.sampleRate;
    result.checksum += pcm[0];
  }
  return result;
}

// The same decoder held to its baseline (non-AVX2) copies: what a processor without AVX2 gets.
PassResult DecodeVeltroBaseline(const std::vector<uint8_t>& bytes) {
  veltro::media::ForceMpegBaseline(true);
  const PassResult result = DecodeVeltro(bytes);
  veltro::media::ForceMpegBaseline(false);
  return result;
}

PassResult DecodeMpg123(const std::vector<uint8_t>& bytes) {
  PassResult result;
  mpg123_handle* handle = mpg123_new(nullptr, nullptr);
  if (handle == nullptr) return result;
  mpg123_param(handle, MPG123_FLAGS, MPG123_QUIET, 0.0);
  mpg123_format_none(handle);
  const long* rates = nullptr;
  size_t rateCount = 0;
  mpg123_rates(&rates, &rateCount);
  for (size_t i = 0; i < rateCount; ++i)
    mpg123_format(handle, rates[i], MPG123_MONO | MPG123_STEREO, MPG123_ENC_SIGNED_16);
  mpg123_open_feed(handle);
  mpg123_feed(handle, bytes.data(), bytes.size());
  size_t totalBytes = 0;
  long rate = 0;
  int channels = 2;
  for (;;) {
    off_t frameNumber = 0;
    unsigned char* audio = nullptr;
    size_t audioBytes = 0;
    const int status = mpg123_decode_frame(handle, &frameNumber, &audio, &audioBytes);
    if (status == MPG123_NEW_FORMAT) {
      int encoding = 0;
      mpg123_getformat(handle, &rate, &channels, &encoding);
      continue;
    }
    if (status != MPG123_OK) break;
    totalBytes += audioBytes;
    if (audioBytes >= 2) result.checksum += static_cast<int16_t>(audio[0] | (audio[1] << 8));
  }
  if (rate > 0) result.audioSeconds = double(totalBytes) / (2.0 * channels) / double(rate);
  mpg123_delete(handle);
  return result;
}

int16_t MadToPcm(mad_fixed_t sample) {
  sample += (1L << (MAD_F_FRACBITS - 16));  // round to nearest
  if (sample >= MAD_F_ONE) sample = MAD_F_ONE - 1;
  if (sample < -MAD_F_ONE) sample = -MAD_F_ONE;
  return static_cast<int16_t>(sample >> (MAD_F_FRACBITS + 1 - 16));
}

PassResult DecodeMad(const std::vector<uint8_t>& bytes) {
  mad_stream stream;
  mad_frame frame;
  mad_synth synth;
  mad_stream_init(&stream);
  mad_frame_init(&frame);
  mad_synth_init(&synth);
  mad_stream_buffer(&stream, bytes.data(), bytes.size());
  std::vector<int16_t> pcm(2 * 1152);
  PassResult result;
  for (;;) {
    if (mad_frame_decode(&frame, &stream) != 0) {
      if (MAD_RECOVERABLE(stream.error)) continue;
      break;
    }
    mad_synth_frame(&synth, &frame);
    const mad_pcm& out = synth.pcm;
    for (unsigned i = 0; i < out.length; ++i)
      for (unsigned c = 0; c < out.channels; ++c) pcm[2 * i + c] = MadToPcm(out.samples[c][i]);
    result.audioSeconds += double(out.length) / double(out.samplerate);
    result.checksum += pcm[0];
  }
  mad_synth_finish(&synth);
  mad_frame_finish(&frame);
  mad_stream_finish(&stream);
  return result;
}

template <PassResult (*Decode)(const std::vector<uint8_t>&)>
void BM_Decode(benchmark::State& state) {
  const BenchFile& file = Files()[static_cast<size_t>(state.range(0))];
  if (file.bytes.empty()) {
    state.SkipWithError("fixture missing");
    return;
  }
  double audioSeconds = 0.0;
  for (auto _ : state) {
    const PassResult pass = Decode(file.bytes);
    benchmark::DoNotOptimize(pass.checksum);
    audioSeconds += pass.audioSeconds;
  }
  state.SetLabel(file.name);
  // Rates divide by CPU time: seconds of audio per CPU second.
  state.counters["x_real_time"] = benchmark::Counter(audioSeconds, benchmark::Counter::kIsRate);
}

// File by file, the decoders take turns in several short rounds, so that a slow spell of the
// machine (another process, a virtual machine's host) falls on all of them alike.
constexpr int kRounds = 7;

void RegisterAll() {
  for (int file = 0; file < 5; ++file) {
    for (int round = 0; round < kRounds; ++round) {
      for (auto* b : {benchmark::RegisterBenchmark("veltro", BM_Decode<DecodeVeltro>),
                      benchmark::RegisterBenchmark("veltro_base", BM_Decode<DecodeVeltroBaseline>),
                      benchmark::RegisterBenchmark("mpg123", BM_Decode<DecodeMpg123>),
                      benchmark::RegisterBenchmark("mad", BM_Decode<DecodeMad>)})
        b->Arg(file)->Unit(benchmark::kMillisecond)->MinTime(0.15);
    }
  }
}

// Prints the run's results as usual and keeps x_real_time of every round per decoder and file.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      if (run.run_type != Run::RT_Iteration || run.iterations == 0) continue;
      const auto counter = run.counters.find("x_real_time");
      if (counter == run.counters.end()) continue;
      rounds[run.report_label][run.run_name.function_name].push_back(counter->second.value);
    }
  }
  // The median over the rounds, which a few slow spells do not move.
  double Speed(const std::string& file, const std::string& decoder) const {
    const auto found = rounds.find(file);
    if (found == rounds.end() || !found->second.count(decoder)) return 0.0;
    std::vector<double> values = found->second.at(decoder);
    std::nth_element(values.begin(), values.begin() + values.size() / 2, values.end());
    return values[values.size() / 2];
  }

 private:
  std::map<std::string, std::map<std::string, std::vector<double>>> rounds;  // [file][decoder]
};

void PrintSummary(const RatioReporter& reporter) {
  std::printf("\nveltro runs its %s copies; veltro_base its baseline copies\n",
              veltro::media::MpegAvx2Available() ? "AVX2" : "baseline");
  std::printf("%-10s %10s %10s %10s %10s %12s %12s %12s\n", "file", "veltro x", "base x",
              "mpg123 x", "mad x", "vs mpg123", "base/mpg123", "vs mad");
  for (const BenchFile& file : Files()) {
    const auto at = [&](const char* decoder) { return reporter.Speed(file.name, decoder); };
    const double veltro = at("veltro"), base = at("veltro_base"), mpg123 = at("mpg123"),
                 mad = at("mad");
    if (veltro == 0.0) continue;
    const auto ratio = [](double a, double b) { return b > 0 ? a / b : 0.0; };
    std::printf("%-10s %10.0f %10.0f %10.0f %10.0f %12.2f %12.2f %12.2f\n", file.name, veltro, base,
                mpg123, mad, ratio(veltro, mpg123), ratio(base, mpg123), ratio(veltro, mad));
  }
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  RegisterAll();
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  PrintSummary(reporter);
  benchmark::Shutdown();
  return 0;
}
