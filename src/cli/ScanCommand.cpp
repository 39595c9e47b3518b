#include "cli/ScanCommand.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>

#include "cli/CliSupport.h"
#include "cli/CommandTable.h"
#include "library/SongDatabase.h"
#include "platform/Interrupt.h"
#include "platform/Terminal.h"

namespace veltro::cli {
namespace {

using library::ScanCounts;
using library::SkipReason;
using library::SongDatabase;
using library::SongRecord;

constexpr auto kProgressPeriod = std::chrono::milliseconds(100);

int ScanUsage() {
  return PrintUsage("scan");
}

// What the worker found, handed to the main thread once it has ended.
struct ScanOutcome {
  std::vector<std::string> missing;
  std::vector<SongRecord> records;
  ScanCounts counts;
};

// The worker and the main thread: the newest progress, and whether the worker has ended.
class ScanProgress {
 public:
  void Update(const std::string& place, long long count) {
    std::lock_guard lock(mutex_);
    place_ = place;
    count_ = count;
  }
  void End() {
    std::lock_guard lock(mutex_);
    ended_ = true;
    changed_.notify_all();
  }
  // Waits at most one progress period; false once the worker has ended.
  bool Wait() {
    std::unique_lock lock(mutex_);
    changed_.wait_for(lock, kProgressPeriod, [this] { return ended_; });
    return !ended_;
  }
  std::string Line() {
    std::lock_guard lock(mutex_);
    std::string line = std::to_string(count_) + " files  ";
    AppendPrintable(line, place_);
    return line;
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  std::string place_;  // guarded by mutex_
  long long count_ = 0;
  bool ended_ = false;
};

// The line is cut to the terminal's width and padded over the previous one.
void ShowLine(std::string line, int columns) {
  line.resize(static_cast<size_t>(std::max(columns - 1, 0)), ' ');
  std::fprintf(stderr, "\r%s", line.c_str());
  std::fflush(stderr);
}

ScanOutcome Work(const ScanRequest& request, const library::KnownPaths& known,
                 const std::vector<std::string>& staged, const std::atomic<bool>& stop,
                 ScanProgress& progress) {
  ScanOutcome outcome;
  if (request.clean) {
    outcome.missing = library::FindMissing(
        staged, stop, [&progress](const std::string& path) { progress.Update(path, 0); });
    outcome.counts.removed = static_cast<long long>(outcome.missing.size());
  }
  library::ScanListener listener;
  listener.onProgress = [&progress](const std::string& folder, const std::string& file,
                                    long long count) {
    progress.Update(file.empty() ? folder : folder + "/" + file, count);
  };
  listener.onBatch = [&outcome](std::vector<SongRecord> batch) {
    outcome.records.insert(outcome.records.end(), batch.begin(), batch.end());
  };
  const ScanCounts walked = library::WalkFolders(request.folders, request.options, known, stop,
                                                 listener);
  outcome.counts.added = walked.added;
  outcome.counts.known = walked.known;
  outcome.counts.skipped = walked.skipped;
  return outcome;
}

// The worker runs while this thread turns Ctrl-C into the stop flag and shows the progress.
ScanOutcome WalkWhileWatching(const ScanRequest& request, const SongDatabase& database) {
  const library::KnownPaths known = database.PathSnapshot();
  const std::vector<std::string> staged = library::StagedPaths(database);
  std::atomic<bool> stop{false};
  ScanProgress progress;
  ScanOutcome outcome;
  std::thread worker([&] {
    outcome = Work(request, known, staged, stop, progress);
    progress.End();
  });
  const int columns = request.progress ? platform::TerminalColumns(stderr) : 0;
  while (progress.Wait()) {
    if (platform::InterruptRequested()) stop = true;
    if (columns > 0) ShowLine(progress.Line(), columns);
  }
  worker.join();
  if (columns > 0) {
    ShowLine("", columns);
    std::fputc('\r', stderr);
  }
  return outcome;
}

void PrintCounts(const ScanCounts& counts) {
  long long skipped = 0;
  for (const long long count : counts.skipped) skipped += count;
  std::printf("added: %lld\nalready known: %lld\nremoved: %lld\nskipped: %lld\n", counts.added,
              counts.known, counts.removed, skipped);
  for (size_t reason = 0; reason < library::kSkipReasonCount; ++reason) {
    if (counts.skipped[reason] == 0) continue;
    const std::string_view text = library::SkipReasonText(static_cast<SkipReason>(reason));
    std::printf("  %.*s: %lld\n", static_cast<int>(text.size()), text.data(),
                counts.skipped[reason]);
  }
}

// Folders are stored as absolute paths, so the library finds its songs from any directory;
// "." and ".." are resolved in the text, as the shell's own "cd" does.
std::vector<std::string> AbsoluteFolders(const std::vector<std::string>& folders) {
  std::vector<std::string> absolute;
  for (const std::string& folder : folders) {
    std::error_code failed;
    const std::filesystem::path path = std::filesystem::absolute(folder, failed);
    absolute.push_back(failed ? folder : path.lexically_normal().string());
  }
  return absolute;
}

int Scan(ScanRequest request, const std::filesystem::path& workingDirectory) {
  std::error_code failed;  // a folder that cannot be made shows as the library's open problem
  std::filesystem::create_directories(workingDirectory / "Data", failed);
  SongDatabase database(workingDirectory);
  if (!database.HasDataFile()) return Fail("cannot open the library: " + database.OpenProblem());
  if (database.LoadIndexes() != 0) database.RebuildIndexFiles();
  database.SetOrder("Path");
  database.StageAllRecords();
  request.folders = AbsoluteFolders(request.folders);
  const ScanOutcome outcome = WalkWhileWatching(request, database);
  if (platform::InterruptRequested()) return Interrupted();
  database.RemoveStagedPaths(outcome.missing);
  for (const SongRecord& record : outcome.records) database.StageRecord(record);
  const library::CommitResult committed = library::CommitScan(database);
  PrintCounts(outcome.counts);
  if (!committed.ok) return Fail("cannot write the library: " + committed.problem);
  std::printf("records: %d%s\n", database.RecordCount(),
              committed.committed ? "" : " (library unchanged)");
  return 0;
}

}  // namespace

std::optional<std::string> ParseScanArguments(const std::vector<std::string_view>& args,
                                              ScanRequest& request) {
  const struct {
    std::string_view option;
    bool* flag;
    bool value;
  } switches[] = {{"--no-mp3", &request.options.mp3, false},
                  {"--no-ogg", &request.options.ogg, false},
                  {"--no-wav", &request.options.wav, false},
                  {"--clean", &request.clean, true},
                  {"--progress", &request.progress, true}};
  for (const std::string_view arg : args) {
    const auto known = std::ranges::find(switches, arg, [](const auto& s) { return s.option; });
    if (known != std::end(switches)) {
      *known->flag = known->value;
    } else if (arg.starts_with("--")) {
      return "unknown option: " + std::string(arg);
    } else {
      request.folders.emplace_back(arg);
    }
  }
  if (request.folders.empty() && !request.clean) return "no folder to scan";
  return std::nullopt;
}

int RunScanCommand(const std::vector<std::string_view>& args) {
  ScanRequest request;
  if (const auto problem = ParseScanArguments(args, request)) {
    Fail(*problem);
    return ScanUsage();
  }
  return Scan(std::move(request), std::filesystem::current_path());
}

}  // namespace veltro::cli
