// MPEG file information speed in files per second (wall clock), for the program's scanner
// (mp3info_scan with the folder scan's frame limit of 50) and for TagLib (FileRef reading the tag
// and the audio properties' length) over the same files in the same run, warm (files in the page
// cache) and cold (the page cache dropped before each pass; needs root, skipped otherwise).
// A summary prints the rates and the ratios ours / TagLib, and how far the two durations differ.
//
// Files: 2,000 MP3 files in 200 nested folders, each 20 s of music-like audio encoded with
// libmp3lame at start, in turn CBR 128 kbit/s 44.1 kHz, VBR quality 2 44.1 kHz with a Xing
// header, and CBR 160 kbit/s 48 kHz (about 320 to 400 KB each, so the 50-frame scan never
// reaches the end); every file ends with an ID3v1 tag and every fourth starts with a 3 KB ID3v2
// tag.
#include <benchmark/benchmark.h>
#include <taglib/audioproperties.h>
#include <taglib/fileref.h>
#include <taglib/tag.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "media/mp3info/Mp3InfoScanner.h"
#include "support/Fixtures.h"
#include "support/Mp3Encoder.h"
#include "support/TempDir.h"

namespace {

namespace media = veltro::media;
using veltro::testing::Mp3EncoderOptions;

constexpr int kFileCount = 2000;
constexpr int kFolders = 20;
constexpr int kSubfolders = 10;
constexpr double kSeconds = 20.0;
constexpr int kId3v2Body = 3000;

std::vector<uint8_t> Encode(int rateHz, int cbrKbps, int vbrQuality) {
  Mp3EncoderOptions options;
  options.sampleRateHz = rateHz;
  options.cbrKbps = cbrKbps;
  options.vbrQuality = vbrQuality;
  const auto samples = veltro::testing::MusicLike(static_cast<uint32_t>(rateHz), kSeconds, 2, 11);
  return veltro::testing::EncodeMp3(samples, options);
}

// An ID3v2.3 tag: title, artist and album text frames, then zero padding to `bodyBytes`.
std::string Id3v2Tag(int index, int bodyBytes) {
  std::string body;
  const auto frame = [&body](const char* id, const std::string& text) {
    const size_t size = text.size() + 1;  // encoding byte + text
    body += id;
    for (int shift = 24; shift >= 0; shift -= 8) body += static_cast<char>((size >> shift) & 0xFF);
    body += std::string(2, '\0') + '\0' + text;
  };
  frame("TIT2", "Song number " + std::to_string(index));
  frame("TPE1", "Artist " + std::to_string(index % 97));
  frame("TALB", "Album " + std::to_string(index % 13));
  body.resize(static_cast<size_t>(bodyBytes), '\0');
  std::string tag = "ID3\x03";
  tag += std::string(2, '\0');
  for (int shift = 21; shift >= 0; shift -= 7)
    tag += static_cast<char>((bodyBytes >> shift) & 0x7F);
  return tag + body;
}

std::string Id3v1Tag(int index) {
  std::string tag(128, '\0');
  const std::string title = "Title " + std::to_string(index);
  const std::string artist = "Artist " + std::to_string(index % 97);
  tag.replace(0, 3, "TAG");
  tag.replace(3, title.size(), title);
  tag.replace(33, artist.size(), artist);
  tag.replace(93, 4, "2001");
  tag[127] = static_cast<char>(index % 80);
  return tag;
}

// The generated files, removed at exit.
struct Library {
  veltro::testing::TempDir dir;
  std::vector<std::string> paths;
  uint64_t bytes = 0;
};

std::unique_ptr<Library>& LibraryHolder() {
  static std::unique_ptr<Library> library;
  return library;
}

const Library& Files() {
  std::unique_ptr<Library>& library = LibraryHolder();
  if (library == nullptr) {
    auto made = std::make_unique<Library>();
    const std::vector<uint8_t> encodings[3] = {Encode(44100, 128, -1), Encode(44100, 0, 2),
                                               Encode(48000, 160, -1)};
    for (int i = 0; i < kFileCount; ++i) {
      const std::filesystem::path folder = made->dir.Path() /
                                           ("artist" + std::to_string(i % kFolders)) /
                                           ("album" + std::to_string(i / kFolders % kSubfolders));
      std::filesystem::create_directories(folder);
      const std::vector<uint8_t>& audio = encodings[i % 3];
      std::string bytes = i % 4 == 0 ? Id3v2Tag(i, kId3v2Body) : std::string();
      bytes.append(audio.begin(), audio.end());
      bytes += Id3v1Tag(i);
      const std::string path = (folder / ("song" + std::to_string(i) + ".mp3")).string();
      std::ofstream(path, std::ios::binary).write(bytes.data(), std::streamsize(bytes.size()));
      made->paths.push_back(path);
      made->bytes += bytes.size();
    }
    library = std::move(made);
  }
  return *library;
}

// What a pass found: a checksum keeps the work alive; durations per file for the comparison.
struct PassResult {
  int64_t checksum = 0;
  std::vector<int> durationsMs;
};

PassResult ScanVeltro(const std::vector<std::string>& paths) {
  PassResult result;
  media::Mp3InfoScanner* scanner = nullptr;
  if (media::mp3info_new(&scanner) != media::kMp3InfoOk) return result;
  for (const std::string& path : paths) {
    media::Mp3Info info{};
    if (media::mp3info_scan(scanner, path.c_str(), nullptr, nullptr, &info, 0, 0, 50) != 0) {
      result.durationsMs.push_back(-1);
      continue;
    }
    result.checksum += info.duration + (info.title != nullptr ? info.title[0] : 0) +
                       (info.artist != nullptr ? info.artist[0] : 0);
    result.durationsMs.push_back(info.duration);
  }
  media::mp3info_delete(scanner);
  return result;
}

PassResult ScanTagLib(const std::vector<std::string>& paths) {
  PassResult result;
  for (const std::string& path : paths) {
    const TagLib::FileRef file(path.c_str());
    if (file.isNull() || file.audioProperties() == nullptr) {
      result.durationsMs.push_back(-1);
      continue;
    }
    const int duration = file.audioProperties()->lengthInMilliseconds();
    if (file.tag() != nullptr) {
      result.checksum +=
          static_cast<int64_t>(file.tag()->title().size() + file.tag()->artist().size());
    }
    result.checksum += duration;
    result.durationsMs.push_back(duration);
  }
  return result;
}

constexpr char kVeltro[] = "veltro";
constexpr char kTagLib[] = "taglib";

std::map<std::string, std::vector<int>>& WarmDurations() {
  static std::map<std::string, std::vector<int>> durations;  // [contender]
  return durations;
}

// Writes back dirty pages and drops the page cache; false when not permitted.
bool DropPageCache() {
  sync();
  std::ofstream control("/proc/sys/vm/drop_caches");
  if (!control) return false;
  control << "3\n";
  control.flush();
  return static_cast<bool>(control);
}

template <PassResult (*Scan)(const std::vector<std::string>&), const char* kName>
void BM_Scan(benchmark::State& state) {
  const Library& library = Files();
  const bool cold = state.range(0) != 0;
  for (auto _ : state) {
    if (cold) {
      state.PauseTiming();
      const bool dropped = DropPageCache();
      state.ResumeTiming();
      if (!dropped) {
        state.SkipWithError("cannot drop the page cache (needs root): no cold figures");
        return;
      }
    }
    PassResult pass = Scan(library.paths);
    benchmark::DoNotOptimize(pass.checksum);
    if (!cold) WarmDurations()[kName] = std::move(pass.durationsMs);
  }
  state.SetLabel(cold ? "cold" : "warm");
  state.counters["files_per_s"] = benchmark::Counter(double(library.paths.size()),
                                                     benchmark::Counter::kIsIterationInvariantRate);
}

void RegisterAll() {
  for (const int cold : {0, 1}) {
    for (auto* b : {benchmark::RegisterBenchmark(kVeltro, BM_Scan<ScanVeltro, kVeltro>),
                    benchmark::RegisterBenchmark(kTagLib, BM_Scan<ScanTagLib, kTagLib>)}) {
      b->Arg(cold)->Unit(benchmark::kMillisecond)->UseRealTime()->Repetitions(3);
      if (cold != 0) b->Iterations(1);
      if (cold == 0) b->MinTime(0.5);
    }
  }
}

// Prints the run's results as usual and remembers the median files/s per contender and mode.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
      if (!median || run.error_occurred) continue;
      const auto counter = run.counters.find("files_per_s");
      if (counter == run.counters.end()) continue;
      rates[run.report_label][run.run_name.function_name] = counter->second.value;
    }
  }
  std::map<std::string, std::map<std::string, double>> rates;  // [warm|cold][contender]
};

// The largest difference between the two contenders' durations over all files, in ms.
int LargestDurationDifference() {
  const auto& durations = WarmDurations();
  const auto ours = durations.find(kVeltro);
  const auto theirs = durations.find(kTagLib);
  if (ours == durations.end() || theirs == durations.end()) return -1;
  int largest = 0;
  for (size_t i = 0; i < ours->second.size() && i < theirs->second.size(); ++i) {
    largest = std::max(largest, std::abs(ours->second[i] - theirs->second[i]));
  }
  return largest;
}

void PrintSummary(const RatioReporter& reporter) {
  const Library& library = Files();
  std::printf("\n%d files, %.0f MB; %-6s %12s %12s %10s\n", kFileCount, double(library.bytes) / 1e6,
              "mode", "veltro f/s", "taglib f/s", "ratio");
  for (const char* mode : {"warm", "cold"}) {
    const auto found = reporter.rates.find(mode);
    if (found == reporter.rates.end()) {
      std::printf("%-6s (not measured)\n", mode);
      continue;
    }
    const auto at = [&found](const char* name) {
      return found->second.count(name) != 0 ? found->second.at(name) : 0.0;
    };
    const double ours = at(kVeltro), theirs = at(kTagLib);
    std::printf("%-6s %12.0f %12.0f %10.2f\n", mode, ours, theirs, theirs > 0 ? ours / theirs : 0);
  }
  std::printf("largest duration difference between the two: %d ms\n", LargestDurationDifference());
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  RegisterAll();
  std::fprintf(stderr, "scanner_bench: writing %d files...\n", kFileCount);
  Files();
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  PrintSummary(reporter);
  benchmark::Shutdown();
  LibraryHolder().reset();
  return 0;
}
