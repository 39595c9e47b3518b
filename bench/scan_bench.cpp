// Folder scan speed in files per second (wall clock, warm page cache), through `veltro-cli scan`
// as a user runs it: a first scan into an empty library, and a rescan that finds nothing new.
// The MPEG information scanner alone (frame limit 50) over the same MP3 files is measured in the
// same run as the baseline of the first scan. A second tree of 100,000 empty song files, all
// already in the library, gives the figure for a rescan of a large library, both through the
// command (which also loads and rewrites the library) and for the walk alone.
//
// Files: 10,000 songs in 100 folders of 10 subfolders: 6 in 10 MP3 (2 s CBR 128 kbit/s with an
// ID3v1 tag), 1 in 4 Ogg Vorbis (2 s, with comments), the rest WAV (1 s, 8-bit mono 11,025 Hz).
#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "library/FolderScan.h"
#include "library/SongDatabase.h"
#include "media/mp3info/Mp3InfoScanner.h"
#include "support/Fixtures.h"
#include "support/Mp3Encoder.h"
#include "support/TempDir.h"
#include "tags/Id3Tag.h"

namespace {

namespace fs = std::filesystem;
namespace library = veltro::library;

constexpr int kSongCount = 10'000;
constexpr int kFolders = 100;
constexpr int kSubfolders = 10;
constexpr int kKnownCount = 100'000;
constexpr int kKnownFolders = 1'000;
constexpr int kMp3FrameLimit = 50;

std::string Id3v1Tag(int index) {
  const auto tag = veltro::tags::BuildId3Tag(
      {"Artist " + std::to_string(index % 97), "Title " + std::to_string(index), "", "2001"});
  return std::string(tag.begin(), tag.end());
}

struct SongFiles {
  std::string mp3, ogg, wav;
};

SongFiles EncodeOnce() {
  const auto music = veltro::testing::MusicLike(44100, 2.0, 2, 5);
  const std::vector<uint8_t> mp3 = veltro::testing::EncodeMp3(music, {});
  const auto mono = veltro::testing::Sine(440, 11025, 1.0, 1);
  return {std::string(mp3.begin(), mp3.end()),
          veltro::testing::EncodeOggVorbis(music, 2, 44100, {"ARTIST=Ogg", "TITLE=Song"}),
          veltro::testing::MakeWav(veltro::testing::PcmLayout(1, 11025, 8),
                                   veltro::testing::Pcm8Bytes(mono))};
}

void Write(const fs::path& path, const std::string& bytes) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return;
  std::fwrite(bytes.data(), 1, bytes.size(), file);
  std::fclose(file);
}

// The generated trees and the library folders, removed at exit.
struct Trees {
  veltro::testing::TempDir dir;
  fs::path songs = dir.Path() / "songs";
  fs::path known = dir.Path() / "known";
  fs::path songLibrary = dir.Path() / "song-library";
  fs::path knownLibrary = dir.Path() / "known-library";
  std::vector<std::string> mp3Paths;
};

void MakeSongTree(Trees& trees) {
  const SongFiles files = EncodeOnce();
  for (int i = 0; i < kSongCount; ++i) {
    const fs::path folder = trees.songs / ("artist" + std::to_string(i % kFolders)) /
                            ("album" + std::to_string(i / kFolders % kSubfolders));
    fs::create_directories(folder);
    const std::string name = "song" + std::to_string(i);
    if (i % 20 < 12) {
      const fs::path path = folder / (name + ".mp3");
      Write(path, files.mp3 + Id3v1Tag(i));
      trees.mp3Paths.push_back(path.string());
    } else {
      Write(folder / (name + (i % 20 < 17 ? ".ogg" : ".wav")), i % 20 < 17 ? files.ogg : files.wav);
    }
  }
}

// Empty files under names the scan reads, all entered in a library as they are generated.
void MakeKnownTree(Trees& trees) {
  fs::create_directories(trees.knownLibrary / "Data");
  library::SongDatabase database(trees.knownLibrary);
  for (int i = 0; i < kKnownCount; ++i) {
    const fs::path folder = trees.known / ("folder" + std::to_string(i % kKnownFolders));
    fs::create_directories(folder);
    const fs::path path = folder / ("song" + std::to_string(i) + ".wav");
    Write(path, "");
    database.StageRecord(library::MakeRecord("Artist", "Song", "", "", path.string(), 0));
  }
  database.CommitStaging();
  database.SortIndexes();
  if (!database.WriteAll()) std::fprintf(stderr, "%s\n", database.LastWriteProblem().c_str());
}

Trees& Files() {
  static std::unique_ptr<Trees> trees;
  if (trees == nullptr) {
    trees = std::make_unique<Trees>();
    MakeSongTree(*trees);
    MakeKnownTree(*trees);
  }
  return *trees;
}

// Runs veltro-cli scan in `libraryFolder` over `tree`; false when it fails.
bool RunScan(const fs::path& libraryFolder, const fs::path& tree) {
  const std::string command = "cd '" + libraryFolder.string() + "' && " VELTRO_CLI " scan '" +
                              tree.string() + "' >/dev/null";
  return std::system(command.c_str()) == 0;
}

void SetRate(benchmark::State& state, int files) {
  state.counters["files_per_s"] =
      benchmark::Counter(double(files), benchmark::Counter::kIsIterationInvariantRate);
}

void BM_FirstScan(benchmark::State& state) {
  Trees& trees = Files();
  for (auto _ : state) {
    state.PauseTiming();
    fs::remove_all(trees.songLibrary);
    fs::create_directories(trees.songLibrary);
    state.ResumeTiming();
    if (!RunScan(trees.songLibrary, trees.songs)) return state.SkipWithError("scan failed");
  }
  SetRate(state, kSongCount);
}

void BM_Rescan(benchmark::State& state) {
  Trees& trees = Files();
  fs::create_directories(trees.songLibrary);
  if (!RunScan(trees.songLibrary, trees.songs)) return state.SkipWithError("scan failed");
  for (auto _ : state) {
    if (!RunScan(trees.songLibrary, trees.songs)) return state.SkipWithError("scan failed");
  }
  SetRate(state, kSongCount);
}

void BM_InformationScannerAlone(benchmark::State& state) {
  const Trees& trees = Files();
  veltro::media::Mp3InfoScanner* scanner = nullptr;
  if (veltro::media::mp3info_new(&scanner) != veltro::media::kMp3InfoOk) {
    return state.SkipWithError("out of memory");
  }
  for (auto _ : state) {
    int64_t durations = 0;
    for (const std::string& path : trees.mp3Paths) {
      veltro::media::Mp3Info info{};
      veltro::media::mp3info_scan(scanner, path.c_str(), nullptr, nullptr, &info, 0, 0,
                                  kMp3FrameLimit);
      durations += info.duration;
    }
    benchmark::DoNotOptimize(durations);
  }
  veltro::media::mp3info_delete(scanner);
  SetRate(state, static_cast<int>(trees.mp3Paths.size()));
}

void BM_KnownRescan(benchmark::State& state) {
  const Trees& trees = Files();
  for (auto _ : state) {
    if (!RunScan(trees.knownLibrary, trees.known)) return state.SkipWithError("scan failed");
  }
  SetRate(state, kKnownCount);
}

void BM_KnownWalkAlone(benchmark::State& state) {
  const Trees& trees = Files();
  library::SongDatabase database(trees.knownLibrary);
  database.ReadRecordsOnly();
  const library::KnownPaths known = database.PathSnapshot();
  const std::atomic<bool> running{false};
  for (auto _ : state) {
    const library::ScanCounts counts =
        library::WalkFolders({trees.known.string()}, {}, known, running, {});
    if (counts.known != kKnownCount) return state.SkipWithError("not every file was known");
  }
  SetRate(state, kKnownCount);
}

class RateReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      const auto counter = run.counters.find("files_per_s");
      if (run.error_occurred || counter == run.counters.end()) continue;
      rates[run.run_name.function_name] = counter->second.value;
    }
  }
  std::map<std::string, double> rates;
};

void PrintSummary(const RateReporter& reporter) {
  const auto rate = [&reporter](const char* name) {
    const auto found = reporter.rates.find(name);
    return found == reporter.rates.end() ? 0.0 : found->second;
  };
  const double first = rate("BM_FirstScan");
  const double alone = rate("BM_InformationScannerAlone");
  std::printf("\nfirst scan %.0f files/s, rescan %.0f files/s, information scanner alone %.0f "
              "files/s (first scan / scanner alone = %.2f)\n",
              first, rate("BM_Rescan"), alone, alone > 0 ? first / alone : 0.0);
  const double known = rate("BM_KnownRescan");
  const double walk = rate("BM_KnownWalkAlone");
  std::printf("100,000 known files: command %.2f s, walk alone %.2f s\n",
              known > 0 ? kKnownCount / known : 0.0, walk > 0 ? kKnownCount / walk : 0.0);
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  for (auto* b : {benchmark::RegisterBenchmark("BM_FirstScan", BM_FirstScan),
                  benchmark::RegisterBenchmark("BM_Rescan", BM_Rescan),
                  benchmark::RegisterBenchmark("BM_InformationScannerAlone",
                                               BM_InformationScannerAlone),
                  benchmark::RegisterBenchmark("BM_KnownRescan", BM_KnownRescan),
                  benchmark::RegisterBenchmark("BM_KnownWalkAlone", BM_KnownWalkAlone)}) {
    b->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
  }
  RateReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  PrintSummary(reporter);
  benchmark::Shutdown();
  return 0;
}
