#include "library/FolderScan.h"

#include <algorithm>
#include <cstring>

#include "library/SongDatabase.h"
#include "platform/FileDescriptor.h"
#include "platform/RegularFile.h"

namespace veltro::library {
namespace {

bool CanOpenForReading(const std::string& path) {
  const int file = platform::OpenRegularFile(path, platform::FileAccess::kRead);
  if (file < 0) return false;
  platform::CloseFile(file);
  return true;
}

// Whether the staging list holds exactly the library's records, in their order: what it holds
// after a scan that found nothing new and a clean-up that found nothing missing.
bool StagingIsTheLibrary(const SongDatabase& library) {
  return std::ranges::equal(library.StagingList(), library.Records(),
                            [](const SongRecord& staged, const SongRecord& record) {
                              return std::memcmp(&staged, &record, sizeof record) == 0;
                            });
}

void Tell(const std::function<void(std::string_view)>& onStep, std::string_view step) {
  if (onStep) onStep(step);
}

}  // namespace

std::string_view SkipReasonText(SkipReason reason) {
  switch (reason) {
    case SkipReason::kUnlistableFolder:
      return "folders that could not be listed";
    case SkipReason::kLongPath:
      return "paths too long for the library";
    case SkipReason::kLinkLoop:
      return "links back into a folder being walked";
    case SkipReason::kPseudoFileSystem:
      return "folders on pseudo file systems";
    case SkipReason::kNotRegularFile:
      return "song names that are not regular files";
    case SkipReason::kSameFile:
      return "files reached a second time";
    case SkipReason::kUnreadable:
      return "files that could not be read as songs";
    case SkipReason::kNotPcm:
      return "WAV files that are not PCM";
    case SkipReason::kCount:
      break;
  }
  return "";
}

std::vector<std::string> StagedPaths(const SongDatabase& library) {
  std::vector<std::string> paths;
  paths.reserve(library.StagingList().size());
  for (const SongRecord& record : library.StagingList()) paths.emplace_back(FieldText(record.path));
  return paths;
}

std::vector<std::string> FindMissing(const std::vector<std::string>& paths,
                                     const std::atomic<bool>& stop,
                                     const std::function<void(const std::string&)>& onPath) {
  std::vector<std::string> missing;
  for (const std::string& path : paths) {
    if (stop) break;
    if (onPath) onPath(path);
    if (!CanOpenForReading(path)) missing.push_back(path);
  }
  return missing;
}

CommitResult CommitScan(SongDatabase& library,
                        const std::function<void(std::string_view step)>& onStep) {
  CommitResult result;
  if (library.StagingList().empty() || StagingIsTheLibrary(library)) return result;
  Tell(onStep, kCommitIndexStep);
  library.CommitStaging();
  result.committed = true;
  Tell(onStep, kCommitSortStep);
  library.SortIndexes();
  Tell(onStep, kCommitWriteStep);
  if (library.WriteAll()) return result;
  result.ok = false;
  result.committed = false;
  result.problem = library.LastWriteProblem();
  // The files were not replaced: memory follows them back to the old library.
  if (library.LoadIndexes() != 0) library.RebuildIndexFiles();
  return result;
}

}  // namespace veltro::library
