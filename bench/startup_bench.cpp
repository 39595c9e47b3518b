// Time from process start to the main window's first paint, with a library of 1,000,000 songs
// (override with VELTRO_BENCH_LIBRARY_RECORDS) against the same start with a one-song library
// (x_small_library). Each iteration starts this program again as a child ("--child DIR"), which
// runs the whole start-up (settings, library load, window, mixer, two decks on the manual sound
// backend, offscreen) and reports on a pipe once the main window has painted; the parent times
// from just before the child is spawned to that report, so dynamic loading and Qt's own start
// count too. LibraryLoad times the library's share alone (construct + LoadIndexes, page cache
// warm). Goal: under 1 s for the large library.
#include <benchmark/benchmark.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTimer>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <string>

#include "SyntheticSongs.h"
#include "app/MainWindow.h"
#include "library/SongDatabase.h"
#include "platform/sound/SoundDevice.h"
#include "support/TempDir.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;
using veltro::library::SongDatabase;

constexpr size_t kDefaultRecords = 1'000'000;
std::string selfPath;
std::map<std::string, double> meanSeconds;  // by benchmark, for the summary

size_t RecordCount() {
  const char* text = std::getenv("VELTRO_BENCH_LIBRARY_RECORDS");
  return text != nullptr ? std::strtoul(text, nullptr, 10) : kDefaultRecords;
}

// A working directory holding a library of `songs` songs with consistent index files, the
// built language module and settings for two decks with the mixer shown.
std::unique_ptr<veltro::testing::TempDir> MakeWorkingDirectory(size_t songs) {
  auto dir = std::make_unique<veltro::testing::TempDir>();
  std::filesystem::create_directory(dir->Path() / "Data");
  {
    SongDatabase library(dir->Path());
    veltro::bench::SongGenerator generator(1);
    for (size_t i = 0; i < songs; ++i) library.StageRecord(generator.Next());
    library.CommitStaging();
    library.SortIndexes();
    if (!library.WriteAll()) std::fprintf(stderr, "the library was not written\n");
  }
  QFile::copy(QStringLiteral(VELTRO_LANG_DIR "/leng.rcc"),
              QString::fromStdString(dir->File("leng.rcc")));
  std::FILE* ini = std::fopen(dir->File("veltro.ini").c_str(), "w");
  std::fputs(
      "[MainWnd]\nLanguage=leng.dll\n[Devices]\nMode=0\nCount=1\n[Player]\nCount=2\n"
      "[Mixer]\nVisible=8\n",
      ini);
  std::fclose(ini);
  return dir;
}

// Spawns "--child DIR" and returns the seconds until it reported its first paint.
double TimeOneStart(const std::string& directory) {
  int pipeEnds[2];
  if (pipe(pipeEnds) != 0) return -1;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], STDOUT_FILENO);
  posix_spawn_file_actions_addclose(&actions, pipeEnds[0]);
  std::string child = "--child";
  std::string dirArgument = directory;
  char* argv[] = {selfPath.data(), child.data(), dirArgument.data(), nullptr};
  const Clock::time_point start = Clock::now();
  pid_t pid = 0;
  const int spawned = posix_spawn(&pid, selfPath.c_str(), &actions, nullptr, argv, environ);
  posix_spawn_file_actions_destroy(&actions);
  close(pipeEnds[1]);
  char report = 0;
  const bool painted = spawned == 0 && read(pipeEnds[0], &report, 1) == 1;
  const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  close(pipeEnds[0]);
  if (spawned == 0) waitpid(pid, nullptr, 0);
  return painted ? seconds : -1;
}

// The child: the program's start-up in `directory`; one byte on standard output after the main
// window's first paint, then it leaves without the shutdown (not part of the measure).
int RunChild(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication application(argc, argv);
  veltro::app::MainWindowHooks hooks;
  hooks.workingDirectory = QString::fromLocal8Bit(argv[2]);
  hooks.openDevice = [](veltro::platform::sound::SoundDevice& device, const std::string&) {
    return device.OpenManual();
  };
  veltro::app::MainWindow window(hooks);
  struct PaintWatch : QObject {
    bool eventFilter(QObject* watched, QEvent* event) override {
      if (event->type() == QEvent::Paint && !seen) {
        seen = true;  // the rest of this paint pass runs before the timer fires
        QTimer::singleShot(0, [] {
          std::fputc('p', stdout);
          std::fflush(stdout);
          std::_Exit(0);
        });
      }
      return QObject::eventFilter(watched, event);
    }
    bool seen = false;
  } watch;
  window.installEventFilter(&watch);
  window.CreateAndStart();
  return QApplication::exec();
}

void Start(benchmark::State& state, size_t songs, const char* name) {
  const auto dir = MakeWorkingDirectory(songs);
  TimeOneStart(dir->Path().string());  // warms the page cache
  double total = 0;
  for (auto _ : state) {
    const double seconds = TimeOneStart(dir->Path().string());
    if (seconds < 0) state.SkipWithError("the child did not paint");
    state.SetIterationTime(seconds);
    total += seconds;
  }
  meanSeconds[name] = total / static_cast<double>(state.iterations());
}

void LibraryLoad(benchmark::State& state) {
  const auto dir = MakeWorkingDirectory(RecordCount());
  double total = 0;
  for (auto _ : state) {
    const Clock::time_point start = Clock::now();
    SongDatabase library(dir->Path());
    benchmark::DoNotOptimize(library.LoadIndexes());
    total += std::chrono::duration<double>(Clock::now() - start).count();
  }
  meanSeconds["load"] = total / static_cast<double>(state.iterations());
}

void PrintSummary() {
  const double small = meanSeconds["small"];
  const double large = meanSeconds["large"];
  const double load = meanSeconds["load"];
  if (small <= 0 || large <= 0) return;
  std::printf(
      "\nstart to first paint, %zu songs: %.0f ms (goal < 1000 ms), %.2f x the one-song "
      "start (%.0f ms); library load %.0f ms = %.0f %% of it\n",
      RecordCount(), large * 1e3, large / small, small * 1e3, load * 1e3, 100.0 * load / large);
}

}  // namespace

int main(int argc, char** argv) {
  selfPath = std::filesystem::canonical("/proc/self/exe").string();
  if (argc == 3 && std::string(argv[1]) == "--child") return RunChild(argc, argv);
  benchmark::RegisterBenchmark("StartToFirstPaint/small_library",
                               [](benchmark::State& state) { Start(state, 1, "small"); })
      ->UseManualTime()
      ->Unit(benchmark::kMillisecond)
      ->Iterations(5);
  benchmark::RegisterBenchmark(
      "StartToFirstPaint/large_library",
      [](benchmark::State& state) { Start(state, RecordCount(), "large"); })
      ->UseManualTime()
      ->Unit(benchmark::kMillisecond)
      ->Iterations(5);
  benchmark::RegisterBenchmark("LibraryLoad/large_library", LibraryLoad)
      ->UseRealTime()
      ->Unit(benchmark::kMillisecond)
      ->Iterations(5);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  PrintSummary();
  return 0;
}
