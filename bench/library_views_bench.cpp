// Responsiveness of the main window's library views over a library of 1,000,000 songs (override
// with VELTRO_BENCH_LIBRARY_RECORDS), on the offscreen platform at 800 x 600:
//   - BM_PageDownStep: one Page Down in the library list, including the repaint of the list;
//   - BM_QuickSearchKeystroke: one more letter typed into the artist quick-search edit (the
//     prefix jump, selection and scrolling), including the repaint of the whole view.
// Each step is timed on its own with the steady clock (manual time). The counters give the mean,
// the 99th percentile and the worst step in milliseconds, which step was the worst, and the worst
// step as a ratio to the baseline measured in the same run, BM_PaintBaseline: repainting the same
// list showing a library of 100 songs. A step is smooth when its worst case stays under one
// frame at 60 Hz (16.7 ms); worst_in_frame is 1 then. Wall-clock figures: on a machine busy with
// other work a single step can be held up, which shows in worst_ms and not in p99_ms.
//
// The library is built in memory (staged, committed and sorted, never written) in a temporary
// folder on a memory-backed file system where there is one (/dev/shm), removed at exit.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <algorithm>
#include <chrono>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "SyntheticSongs.h"
#include "app/LibraryList.h"
#include "app/LibraryViews.h"
#include "library/SongDatabase.h"

namespace {

using veltro::app::LibraryList;
using veltro::app::LibraryViews;
using veltro::library::SongDatabase;
using Clock = std::chrono::steady_clock;
using veltro::bench::Random;
using veltro::bench::SongGenerator;

constexpr int kDefaultRecords = 1'000'000;
constexpr int kBaselineRecords = 100;
constexpr int kViewWidth = 800;
constexpr int kViewHeight = 600;
constexpr int kSteps = 3000;
constexpr size_t kLettersPerSearch = 8;
constexpr double kFrameMs = 1000.0 / 60.0;

int RecordsInLibrary() {
  const char* text = std::getenv("VELTRO_BENCH_LIBRARY_RECORDS");
  const long long value = text != nullptr ? std::atoll(text) : 0;
  return value >= 1000 && value <= 5'000'000 ? static_cast<int>(value) : kDefaultRecords;
}

// ---- The library and the views -----------------------------------------------------------------

// A fresh folder on a memory-backed file system where there is one, removed at destruction.
class ScratchFolder {
 public:
  ScratchFolder() {
    const std::filesystem::path shm("/dev/shm");
    std::error_code error;
    const std::filesystem::path base =
        std::filesystem::is_directory(shm, error) ? shm : std::filesystem::temp_directory_path();
    for (int attempt = 0;; ++attempt) {
      path_ =
          base / ("veltro-views-bench-" + std::to_string(Clock::now().time_since_epoch().count()) +
                  "-" + std::to_string(attempt));
      if (std::filesystem::create_directory(path_, error)) break;
    }
  }
  ~ScratchFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;
  const std::filesystem::path& Path() const { return path_; }

 private:
  std::filesystem::path path_;
};

// One library with its views shown at 800 x 600.
struct ShownLibrary {
  explicit ShownLibrary(int records) : database(folder.Path()) {
    const auto start = Clock::now();
    SongGenerator generator(1);
    artists = generator.Artists();
    for (int i = 0; i < records; ++i) database.StageRecord(generator.Next());
    database.CommitStaging();
    database.SortIndexes();
    views = std::make_unique<LibraryViews>(database, nullptr);
    views->resize(kViewWidth, kViewHeight);
    views->show();
    views->ShowLibrary();
    QCoreApplication::processEvents();
    std::printf("fixture: %d songs built and shown in %.2f s\n", records,
                std::chrono::duration<double>(Clock::now() - start).count());
  }

  ScratchFolder folder;
  SongDatabase database;
  std::vector<std::string> artists;
  std::unique_ptr<LibraryViews> views;
};

// Built on first use; released by main while the QApplication still exists.
std::unique_ptr<ShownLibrary> bigLibrary;
std::unique_ptr<ShownLibrary> smallLibrary;

ShownLibrary& BigLibrary() {
  if (bigLibrary == nullptr) bigLibrary = std::make_unique<ShownLibrary>(RecordsInLibrary());
  return *bigLibrary;
}

ShownLibrary& SmallLibrary() {
  if (smallLibrary == nullptr) smallLibrary = std::make_unique<ShownLibrary>(kBaselineRecords);
  return *smallLibrary;
}

// ---- Timing ------------------------------------------------------------------------------------

double Milliseconds(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// The mean time of repainting the list of the 100-song library, in milliseconds.
double BaselinePaintMs() {
  static const double mean = [] {
    LibraryList* list = SmallLibrary().views->Library();
    for (int i = 0; i < 20; ++i) list->repaint();  // warm caches (glyphs, pixmaps)
    const auto start = Clock::now();
    for (int i = 0; i < kSteps; ++i) list->repaint();
    return Milliseconds(start) / kSteps;
  }();
  return mean;
}

// Mean, 99th percentile and worst of the steps of one benchmark run (and which step was worst:
// step 0 is the first after the list was filled).
class StepStatistics {
 public:
  void Add(benchmark::State& state, Clock::time_point start) {
    const double ms = Milliseconds(start);
    state.SetIterationTime(ms / 1000.0);
    if (ms > worstMs_) worstStep_ = static_cast<int>(stepsMs_.size());
    worstMs_ = std::max(worstMs_, ms);
    totalMs_ += ms;
    stepsMs_.push_back(ms);
  }
  void Report(benchmark::State& state) {
    const size_t steps = stepsMs_.size();
    state.counters["mean_ms"] = steps > 0 ? totalMs_ / static_cast<double>(steps) : 0.0;
    if (steps > 0) {
      const auto p99 = stepsMs_.begin() + static_cast<std::ptrdiff_t>(steps * 99 / 100);
      std::nth_element(stepsMs_.begin(), p99, stepsMs_.end());
      state.counters["p99_ms"] = *p99;
    }
    state.counters["worst_ms"] = worstMs_;
    state.counters["worst_step"] = worstStep_;
    state.counters["x_baseline_worst"] = worstMs_ / BaselinePaintMs();
    state.counters["worst_in_frame"] = worstMs_ < kFrameMs ? 1.0 : 0.0;
  }

 private:
  std::vector<double> stepsMs_;
  double worstMs_ = 0.0;
  double totalMs_ = 0.0;
  int worstStep_ = 0;
};

void SendKey(QWidget* widget, int key, const QString& text = QString()) {
  QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
  QCoreApplication::sendEvent(widget, &press);
  QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, text);
  QCoreApplication::sendEvent(widget, &release);
}

void BM_PaintBaseline(benchmark::State& state) {
  LibraryList* list = SmallLibrary().views->Library();
  StepStatistics steps;
  for (auto _ : state) {
    const auto start = Clock::now();
    list->repaint();
    steps.Add(state, start);
  }
  steps.Report(state);
}
BENCHMARK(BM_PaintBaseline)->UseManualTime()->Unit(benchmark::kMicrosecond)->Iterations(kSteps);

void BM_PageDownStep(benchmark::State& state) {
  LibraryList* list = BigLibrary().views->Library();
  SendKey(list, Qt::Key_Home);
  StepStatistics steps;
  for (auto _ : state) {
    const auto start = Clock::now();
    SendKey(list, Qt::Key_PageDown);
    list->repaint();
    steps.Add(state, start);
  }
  steps.Report(state);
  state.counters["cursor_row"] = list->Cursor();
}
BENCHMARK(BM_PageDownStep)->UseManualTime()->Unit(benchmark::kMicrosecond)->Iterations(kSteps);

// Types artist names of the collection letter by letter (up to 8 letters each), clearing the
// edit (untimed) before each new name.
void BM_QuickSearchKeystroke(benchmark::State& state) {
  ShownLibrary& library = BigLibrary();
  QLineEdit* edit = library.views->QuickSearch(0);
  Random random(7);
  std::string name;
  size_t typed = 0;
  StepStatistics steps;
  for (auto _ : state) {
    if (typed == std::min(name.size(), kLettersPerSearch)) {
      edit->clear();
      name = library.artists[random.Below(library.artists.size())];
      typed = 0;
    }
    const QChar letter = QChar::fromLatin1(name[typed++]);
    const auto start = Clock::now();
    SendKey(edit, letter.toUpper().unicode(), QString(letter));  // Qt key codes are ASCII
    library.views->repaint();
    steps.Add(state, start);
  }
  steps.Report(state);
  state.counters["selected_row"] = library.views->Library()->SelectedRow();
}
BENCHMARK(BM_QuickSearchKeystroke)
    ->UseManualTime()
    ->Unit(benchmark::kMicrosecond)
    ->Iterations(kSteps);

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");  // measured without a display, the same everywhere
  int qtArgc = 1;
  QApplication application(qtArgc, argv);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  std::printf("baseline: repainting the list of %d songs takes %.3f ms\n", kBaselineRecords,
              BaselinePaintMs());
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  bigLibrary.reset();
  smallLibrary.reset();
  return 0;
}
