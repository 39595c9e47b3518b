// Cost of the song library at the size of a very large collection, 1,000,000 songs (override
// with VELTRO_BENCH_LIBRARY_RECORDS, e.g. a small count under callgrind). Ratio counters divide
// by a baseline measured in the same run:
//   - x_plain_read: the start-up load (construct + LoadIndexes, files in the page cache) against
//     one plain read() of the same five files into fresh buffers;
//   - x_pass: Search with typical patterns against one pass that reads every record's texts;
//   - median_us, p99_us: single quick-find jumps, each timed with the steady clock;
//   - x_write_file_atomically: the scan's commit (CommitStaging + SortIndexes + WriteAll) of
//     100,000 songs against WriteFileAtomically of the same number of bytes as one file.
// All figures are wall-clock (UseRealTime): the load and the commit wait on the kernel. A
// summary with the goals follows the usual table.
//
// The synthetic library is written once into a temporary directory (about 460 bytes per song)
// and removed at exit, also when the program is interrupted.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "SyntheticSongs.h"
#include "library/SongDatabase.h"
#include "platform/SafeWrite.h"
#include "support/TempDir.h"

namespace {

using veltro::library::MakeRecord;
using veltro::library::SongDatabase;
using veltro::library::SongRecord;
using Clock = std::chrono::steady_clock;
using veltro::bench::Random;
using veltro::bench::SongGenerator;

constexpr size_t kDefaultRecords = 1'000'000;
constexpr size_t kCommitRecords = 100'000;
// Bytes one song occupies on disk: its record plus one entry in each of the four indexes.
constexpr size_t kBytesPerSong = 360 + 36 + 36 + 16 + 12;

// ---- Temporary files, removed at exit and on interruption -------------------------------------

// Paths the interrupt handler removes (files before their directories); fixed storage, since
// the handler may only call async-signal-safe functions.
struct CleanupList {
  char paths[32][512] = {};
  std::atomic<int> count{0};
};
CleanupList cleanupList;

extern "C" void RemoveFilesAndExit(int) {
  const int count = cleanupList.count.load();
  for (int i = 0; i < count; ++i) {
    unlink(cleanupList.paths[i]);
    rmdir(cleanupList.paths[i]);
  }
  _exit(130);
}

void RemoveOnInterrupt(const std::filesystem::path& path) {
  const int slot = cleanupList.count.load();
  const std::string text = path.string();
  if (slot >= 32 || text.size() >= 512) return;
  std::memcpy(cleanupList.paths[slot], text.c_str(), text.size() + 1);
  cleanupList.count.store(slot + 1);
}

// A working directory with an empty Data/ in it, cleaned up on interruption too.
class LibraryDirectory {
 public:
  LibraryDirectory() {
    std::filesystem::create_directory(dir_.Path() / "Data");
    for (const char* name : {"Data.ndb", "a.ndx", "s.ndx", "g.ndx", "y.ndx", "baseline.bin"}) {
      RemoveOnInterrupt(dir_.Path() / "Data" / name);
    }
    RemoveOnInterrupt(dir_.Path() / "Data");
    RemoveOnInterrupt(dir_.Path());
  }
  const std::filesystem::path& Path() const { return dir_.Path(); }
  std::string DataFile(std::string_view name) const {
    return (dir_.Path() / "Data" / name).string();
  }

 private:
  veltro::testing::TempDir dir_;
};

size_t RecordsInLibrary() {
  static const size_t count = [] {
    const char* text = std::getenv("VELTRO_BENCH_LIBRARY_RECORDS");
    const long long value = text ? std::atoll(text) : 0;
    return value >= 1000 && value <= 5'000'000 ? static_cast<size_t>(value) : kDefaultRecords;
  }();
  return count;
}

// Exits with a message unless the temporary directory has room for everything this program
// writes: the big library, and the commit benchmark's files with their temporaries.
void RequireFreeSpace() {
  const uint64_t needed =
      RecordsInLibrary() * kBytesPerSong + 3 * kCommitRecords * kBytesPerSong + (256ull << 20);
  std::error_code error;
  const auto space = std::filesystem::space(std::filesystem::temp_directory_path(), error);
  if (error || space.available < needed) {
    std::fprintf(stderr, "library_bench: needs %llu MB free in %s, has %llu MB\n",
                 static_cast<unsigned long long>(needed >> 20),
                 std::filesystem::temp_directory_path().c_str(),
                 static_cast<unsigned long long>(error ? 0 : space.available >> 20));
    std::exit(2);
  }
}

double SecondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

// Writes the big library once through the scan's own path: stage, commit, sort, write.
void WriteBigLibrary(const LibraryDirectory& directory) {
  const auto start = Clock::now();
  SongDatabase database(directory.Path());
  SongGenerator generator(1);
  for (size_t i = 0; i < RecordsInLibrary(); ++i) database.StageRecord(generator.Next());
  const double stagedSeconds = SecondsSince(start);
  database.CommitStaging();
  database.SortIndexes();
  if (!database.WriteAll()) {
    std::fprintf(stderr, "library_bench: WriteAll failed: %s\n",
                 database.LastWriteProblem().c_str());
    std::exit(2);
  }
  std::printf("fixture: %zu songs generated in %.2f s, committed and written in %.2f s\n",
              RecordsInLibrary(), stagedSeconds, SecondsSince(start) - stagedSeconds);
}

const LibraryDirectory& BigLibrary() {
  static const bool roomChecked = (RequireFreeSpace(), true);
  static const LibraryDirectory directory;
  static const bool written = (WriteBigLibrary(directory), true);
  (void)roomChecked;
  (void)written;
  return directory;
}

// The big library as loaded at start-up, shared by the search and quick-find benchmarks.
SongDatabase& LoadedLibrary() {
  static SongDatabase database(BigLibrary().Path());
  static const int loadResult = database.LoadIndexes();
  if (loadResult != 0) {
    std::fprintf(stderr, "library_bench: LoadIndexes failed: %s\n",
                 database.IndexLoadProblem().c_str());
    std::exit(2);
  }
  return database;
}

// ---- Start-up load --------------------------------------------------------------------------

const std::array<const char*, 5> kLibraryFiles = {"Data.ndb", "a.ndx", "s.ndx", "g.ndx", "y.ndx"};

// Reads a whole file with read() into a freshly allocated buffer of its size; returns the
// bytes read, or 0 on failure.
size_t ReadWholeFile(const std::string& path) {
  const int file = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (file < 0) return 0;
  struct stat status {};
  if (fstat(file, &status) != 0) {
    close(file);
    return 0;
  }
  const auto size = static_cast<size_t>(status.st_size);
  auto buffer = std::make_unique_for_overwrite<char[]>(size);
  size_t done = 0;
  while (done < size) {
    const ssize_t got = read(file, buffer.get() + done, size - done);
    if (got <= 0) break;
    done += static_cast<size_t>(got);
  }
  close(file);
  benchmark::DoNotOptimize(buffer.get());
  benchmark::ClobberMemory();
  return done == size ? size : 0;
}

size_t LibraryBytes() {
  size_t bytes = 0;
  for (const char* name : kLibraryFiles) {
    bytes += static_cast<size_t>(std::filesystem::file_size(BigLibrary().DataFile(name)));
  }
  return bytes;
}

// Wall-clock seconds per iteration of a loop that started at `start` (the library's own
// counters of rates divide by CPU time, which misses the kernel's waits).
double SecondsPerIteration(const benchmark::State& state, Clock::time_point start) {
  return SecondsSince(start) / static_cast<double>(std::max<int64_t>(state.iterations(), 1));
}

void SetThroughput(benchmark::State& state, size_t bytes, double seconds) {
  state.counters["MB_per_s"] = static_cast<double>(bytes) / seconds / 1e6;
}

// Mean wall-clock seconds of `runs` calls of `work`: the baseline a ratio counter divides by,
// measured in the same run as the figure it is compared with.
template <typename Work>
double MeanSeconds(int runs, Work work) {
  const auto start = Clock::now();
  for (int run = 0; run < runs; ++run) work();
  return SecondsSince(start) / runs;
}

size_t ReadLibraryFiles() {
  size_t bytes = 0;
  for (const char* name : kLibraryFiles) bytes += ReadWholeFile(BigLibrary().DataFile(name));
  return bytes;
}

// One plain read of the five files, after a first read that also proves they read whole.
double PlainReadSeconds() {
  static const double seconds = [] {
    if (ReadLibraryFiles() != LibraryBytes()) {
      std::fprintf(stderr, "library_bench: a library file could not be read whole\n");
      std::exit(2);
    }
    return MeanSeconds(4, ReadLibraryFiles);
  }();
  return seconds;
}

// Start-up: construct the database on the files (in the page cache) and load them, with the
// consistency check of every index. x_plain_read = time / one plain read of the five files.
void BM_LoadIndexesWarm(benchmark::State& state) {
  const size_t expected = LibraryBytes();
  const double baseline = PlainReadSeconds();
  const auto start = Clock::now();
  for (auto _ : state) {
    SongDatabase database(BigLibrary().Path());
    if (database.LoadIndexes() != 0) {
      state.SkipWithError(("LoadIndexes returned 1: " + database.IndexLoadProblem()).c_str());
      break;
    }
    benchmark::DoNotOptimize(database.Records().data());
  }
  const double seconds = SecondsPerIteration(state, start);
  SetThroughput(state, expected, seconds);
  state.counters["x_plain_read"] = seconds / baseline;
}
BENCHMARK(BM_LoadIndexesWarm)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(8);

// ---- Search -----------------------------------------------------------------------------------

struct SearchCase {
  const char* name;
  const char* artist;
  const char* songName;
  const char* genre;
  const char* year;
};

static const SearchCase kSearchCases[] = {
    {"artist the*", "the*", "", "", ""},
    {"title *love*", "", "*love*", "", ""},
    {"genre rock", "", "", "rock", ""},
    {"year 199*", "", "", "", "199*"},
    {"all four", "the*", "*love*", "rock", "199*"},
    {"all empty", "", "", "", ""},
    {"no match", "*qqqzzz*", "", "", ""},
};

// One linear pass that reads the four text fields of every record (their first bytes): the
// memory traffic no search can avoid.
unsigned PassOverRecords(std::span<const SongRecord> records) {
  unsigned sum = 0;
  for (const SongRecord& record : records) {
    sum += static_cast<unsigned char>(record.artist[0]) +
           static_cast<unsigned char>(record.songName[0]) +
           static_cast<unsigned char>(record.genre[0]) + static_cast<unsigned char>(record.year[0]);
  }
  return sum;
}

double PassSeconds() {
  static const double seconds =
      MeanSeconds(20, [] { benchmark::DoNotOptimize(PassOverRecords(LoadedLibrary().Records())); });
  return seconds;
}

// x_pass = time / one pass over the records.
void RunSearch(benchmark::State& state, const SearchCase& pattern) {
  SongDatabase& database = LoadedLibrary();
  const double baseline = PassSeconds();
  int matches = 0;
  const auto start = Clock::now();
  for (auto _ : state) {
    matches = database.Search(pattern.artist, pattern.songName, pattern.genre, pattern.year);
    benchmark::DoNotOptimize(matches);
  }
  state.counters["matches"] = matches;
  state.counters["x_pass"] = SecondsPerIteration(state, start) / baseline;
}

// ---- Quick-find -------------------------------------------------------------------------------

constexpr int64_t kJumpsPerRun = 200'000;

// Random 1-4 letter texts as typed, in either letter case.
const std::vector<std::string>& TypedPrefixes() {
  static const std::vector<std::string> prefixes = [] {
    Random random(7);
    std::vector<std::string> list(4096);
    for (std::string& text : list) {
      const size_t length = 1 + random.Below(4);
      for (size_t i = 0; i < length; ++i) {
        const char base = random.Below(2) == 0 ? 'a' : 'A';
        text.push_back(static_cast<char>(base + static_cast<char>(random.Below(26))));
      }
    }
    return list;
  }();
  return prefixes;
}

// Times every jump alone with the steady clock (one clock read, ~20-30 ns, is included) and
// reports the median and the 99th percentile in microseconds.
template <typename Jump>
void MeasureJumps(benchmark::State& state, Jump jump) {
  const auto& prefixes = TypedPrefixes();
  std::vector<double> nanoseconds;
  nanoseconds.reserve(static_cast<size_t>(state.max_iterations));
  size_t next = 0;
  for (auto _ : state) {
    const std::string& text = prefixes[next++ % prefixes.size()];
    const auto start = Clock::now();
    const int row = jump(text);
    const auto stop = Clock::now();
    benchmark::DoNotOptimize(row);
    nanoseconds.push_back(std::chrono::duration<double, std::nano>(stop - start).count());
  }
  if (nanoseconds.empty()) return;
  auto at = [&](double fraction) {
    const auto rank = static_cast<size_t>(fraction * static_cast<double>(nanoseconds.size() - 1));
    std::nth_element(nanoseconds.begin(), nanoseconds.begin() + static_cast<ptrdiff_t>(rank),
                     nanoseconds.end());
    return nanoseconds[rank] / 1000.0;
  };
  state.counters["median_us"] = at(0.5);
  state.counters["p99_us"] = at(0.99);
}

void BM_FindArtistPrefix(benchmark::State& state) {
  SongDatabase& database = LoadedLibrary();
  MeasureJumps(state, [&](std::string_view text) { return database.FindArtistPrefix(text); });
}
BENCHMARK(BM_FindArtistPrefix)
    ->Unit(benchmark::kMicrosecond)
    ->UseRealTime()
    ->Iterations(kJumpsPerRun);

void BM_FindSongNamePrefix(benchmark::State& state) {
  SongDatabase& database = LoadedLibrary();
  MeasureJumps(state, [&](std::string_view text) { return database.FindSongNamePrefix(text); });
}
BENCHMARK(BM_FindSongNamePrefix)
    ->Unit(benchmark::kMicrosecond)
    ->UseRealTime()
    ->Iterations(kJumpsPerRun);

// ---- The scan's commit ----------------------------------------------------------------------

// 100,000 songs in generation order (not sorted), as a scan of unsorted folders stages them.
const std::vector<SongRecord>& CommitSongs() {
  static const std::vector<SongRecord> songs = [] {
    SongGenerator generator(2);
    std::vector<SongRecord> list;
    list.reserve(kCommitRecords);
    for (size_t i = 0; i < kCommitRecords; ++i) list.push_back(generator.Next());
    return list;
  }();
  return songs;
}

const LibraryDirectory& CommitDirectory() {
  static const LibraryDirectory directory;
  return directory;
}

// Replaces one file of the commit's size (records plus index entries) atomically.
bool WriteBaselineFile(std::string* error) {
  static const std::string bytes(kCommitRecords * kBytesPerSong, 'x');
  return veltro::platform::WriteFileAtomically(CommitDirectory().DataFile("baseline.bin"), bytes,
                                               error);
}

double AtomicWriteSeconds() {
  static const double seconds = MeanSeconds(3, [] { WriteBaselineFile(nullptr); });
  return seconds;
}

// CommitStaging + SortIndexes + WriteAll of 100,000 freshly staged songs (staging untimed);
// the three steps' shares are counters too, and x_write_file_atomically = time / replacing one
// file of the same number of bytes.
void BM_Commit100k(benchmark::State& state) {
  RequireFreeSpace();
  const double baseline = AtomicWriteSeconds();
  double commitSeconds = 0, sortSeconds = 0, writeSeconds = 0;
  for (auto _ : state) {
    state.PauseTiming();
    auto database = std::make_unique<SongDatabase>(CommitDirectory().Path());
    for (const SongRecord& song : CommitSongs()) database->StageRecord(song);
    state.ResumeTiming();
    const auto start = Clock::now();
    database->CommitStaging();
    const auto committed = Clock::now();
    database->SortIndexes();
    const auto sorted = Clock::now();
    const bool written = database->WriteAll();
    state.PauseTiming();
    commitSeconds += std::chrono::duration<double>(committed - start).count();
    sortSeconds += std::chrono::duration<double>(sorted - committed).count();
    writeSeconds += SecondsSince(sorted);
    const std::string problem = "WriteAll failed: " + database->LastWriteProblem();
    database.reset();
    state.ResumeTiming();
    if (!written) {
      state.SkipWithError(problem.c_str());
      break;
    }
  }
  const double runs = static_cast<double>(std::max<int64_t>(state.iterations(), 1));
  state.counters["commit_ms"] = 1000 * commitSeconds / runs;
  state.counters["sort_ms"] = 1000 * sortSeconds / runs;
  state.counters["write_ms"] = 1000 * writeSeconds / runs;
  state.counters["x_write_file_atomically"] =
      (commitSeconds + sortSeconds + writeSeconds) / runs / baseline;
}
BENCHMARK(BM_Commit100k)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(4);

// ---- Reporting ----------------------------------------------------------------------------------

// Prints the run's results as usual and keeps each benchmark's wall time per iteration and
// its counters for the summary.
class SummaryReporter : public benchmark::ConsoleReporter {
 public:
  struct Figures {
    double seconds = 0;
    std::map<std::string, double> counters;
  };

  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      if (run.run_type != Run::RT_Iteration || run.iterations == 0 || run.error_occurred) continue;
      Figures& figures = results[run.run_name.function_name];
      figures.seconds = run.GetAdjustedRealTime() / benchmark::GetTimeUnitMultiplier(run.time_unit);
      for (const auto& [name, counter] : run.counters) figures.counters[name] = counter.value;
    }
  }
  const Figures* Find(const std::string& name) const {
    const auto found = results.find(name);
    return found == results.end() ? nullptr : &found->second;
  }
  std::map<std::string, Figures> results;
};

void PrintLine(const std::string& figure, double value, const char* unit, double goal,
               const std::string& note = {}) {
  std::printf("  %-44s %10.3f %-3s  <= %-7g %-7s %s\n", figure.c_str(), value, unit, goal,
              value <= goal ? "met" : "MISSED", note.c_str());
}

double CounterOf(const SummaryReporter::Figures* figures, const char* name) {
  if (!figures || !figures->counters.count(name)) return 0;
  return figures->counters.at(name);
}

void PrintSummary(const SummaryReporter& reporter) {
  std::printf("\nSummary (%zu songs; wall-clock)\n", RecordsInLibrary());
  if (const auto* load = reporter.Find("BM_LoadIndexesWarm")) {
    char note[64];
    std::snprintf(note, sizeof note, "%.0f ms / %.0f ms", 1e3 * load->seconds,
                  1e3 * PlainReadSeconds());
    PrintLine("LoadIndexes warm / plain read", CounterOf(load, "x_plain_read"), "x", 2, note);
  }
  bool passed = false;
  for (const SearchCase& pattern : kSearchCases) {
    if (const auto* search = reporter.Find(std::string("BM_Search/") + pattern.name)) {
      char figure[96], note[64];
      std::snprintf(figure, sizeof figure, "Search %s (%.0f matches)", pattern.name,
                    CounterOf(search, "matches"));
      std::snprintf(note, sizeof note, "%.1f x pass", CounterOf(search, "x_pass"));
      PrintLine(figure, 1e3 * search->seconds, "ms", 100, note);
      passed = true;
    }
  }
  if (passed) std::printf("  (one pass over the records: %.1f ms)\n", 1e3 * PassSeconds());
  for (const char* jump : {"BM_FindArtistPrefix", "BM_FindSongNamePrefix"}) {
    if (const auto* figures = reporter.Find(jump)) {
      PrintLine(std::string(jump + 3) + " median", CounterOf(figures, "median_us"), "us", 2);
    }
  }
  if (const auto* commit = reporter.Find("BM_Commit100k")) {
    char note[64];
    std::snprintf(note, sizeof note, "%.1f x WriteFileAtomically (%.0f ms)",
                  CounterOf(commit, "x_write_file_atomically"), 1e3 * AtomicWriteSeconds());
    PrintLine("Commit+SortIndexes+WriteAll of 100,000", commit->seconds, "s", 1, note);
  }
}

}  // namespace

int main(int argc, char** argv) {
  std::signal(SIGINT, RemoveFilesAndExit);
  std::signal(SIGTERM, RemoveFilesAndExit);
  for (const SearchCase& pattern : kSearchCases) {
    benchmark::RegisterBenchmark((std::string("BM_Search/") + pattern.name).c_str(),
                                 [&pattern](benchmark::State& state) { RunSearch(state, pattern); })
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
  }
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  SummaryReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  PrintSummary(reporter);
  benchmark::Shutdown();
  return 0;
}
