// The folder scan's walk: song files found by the platform's folder walk, known paths skipped
// at the cost of a lookup, each file read once per scan, new records handed over in batches.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <unordered_set>
#include <utility>
#include <vector>

#include "platform/SongFileType.h"
#include "library/FolderScan.h"
#include "platform/FolderWalk.h"

namespace veltro::library {
namespace {

using platform::SongFileType;

// Records handed to the caller at a time: few enough that the list fills while the walk goes
// on, enough that the caller's thread is not woken for every song.
constexpr size_t kBatchRecords = 64;

constexpr std::pair<platform::WalkSkip, SkipReason> kWalkSkipReasons[] = {
    {platform::WalkSkip::kUnlistableFolder, SkipReason::kUnlistableFolder},
    {platform::WalkSkip::kLongPath, SkipReason::kLongPath},
    {platform::WalkSkip::kLinkLoop, SkipReason::kLinkLoop},
    {platform::WalkSkip::kPseudoFileSystem, SkipReason::kPseudoFileSystem},
    {platform::WalkSkip::kNotRegularFile, SkipReason::kNotRegularFile},
};
static_assert(std::size(kWalkSkipReasons) == platform::kWalkSkipCount);
// The walk skips the paths a record cannot hold whole.
static_assert(platform::kMaxWalkPathBytes == sizeof(SongRecord::path) - 1);

struct FileId {
  uint64_t device, inode;
  bool operator==(const FileId&) const = default;
};

struct FileIdHash {
  size_t operator()(const FileId& id) const {
    return std::hash<uint64_t>{}(id.inode) ^ (std::hash<uint64_t>{}(id.device) << 1);
  }
};

SongFileType TypeOf(std::string_view name) {
  return platform::SongFileTypeOf(platform::UpperExtension(name));
}

// One scan over any number of roots: the files met so far and the records not yet handed over.
class SongWalk {
 public:
  SongWalk(const ScanOptions& options, const KnownPaths& known, const ScanListener& listener)
      : options_(options), known_(known), listener_(listener) {}

  void Walk(const std::string& root, const std::atomic<bool>& stop) {
    platform::WalkVisitor visitor;
    visitor.wantsFile = [this](std::string_view name) { return Wants(TypeOf(name)); };
    visitor.onFolder = [this](const std::string& folder) { EnterFolder(folder); };
    visitor.onFile = [this](const platform::WalkedFile& file) { Visit(file); };
    AddWalkCounts(platform::WalkFolder(root, visitor, stop));
    HandOver();
  }
  const ScanCounts& Counts() const { return counts_; }

 private:
  bool Wants(SongFileType type) const {
    switch (type) {
      case SongFileType::kMp3:
        return options_.mp3;
      case SongFileType::kOgg:
        return options_.ogg;
      case SongFileType::kWav:
        return options_.wav;
      case SongFileType::kUnknown:
        break;
    }
    return false;
  }

  void EnterFolder(const std::string& folder) {
    folder_ = folder;
    Progress("");
  }

  void Visit(const platform::WalkedFile& file) {
    ++songFiles_;
    if (!seen_.insert({file.device, file.inode}).second) {
      ++counts_.Skipped(SkipReason::kSameFile);
    } else if (known_.Contains(file.path)) {
      ++counts_.known;
    } else {
      Progress(file.name);
      Add(file.path, TypeOf(file.name));
    }
  }

  void Add(const std::string& path, SongFileType type) {
    SkipReason reason = SkipReason::kUnreadable;
    std::optional<SongRecord> record = type == SongFileType::kMp3   ? ReadMp3Song(path)
                                       : type == SongFileType::kOgg ? ReadOggSong(path, &reason)
                                                                    : ReadWavSong(path, &reason);
    if (!record) {
      ++counts_.Skipped(reason);
      return;
    }
    ++counts_.added;
    batch_.push_back(*record);
    if (batch_.size() >= kBatchRecords) HandOver();
  }

  void Progress(const std::string& name) {
    if (listener_.onProgress) listener_.onProgress(folder_, name, songFiles_);
  }

  void HandOver() {
    if (batch_.empty()) return;
    if (listener_.onBatch) listener_.onBatch(std::move(batch_));
    batch_.clear();
  }

  void AddWalkCounts(const platform::WalkCounts& walked) {
    for (const auto& [skip, reason] : kWalkSkipReasons) {
      counts_.Skipped(reason) += walked.Skipped(skip);
    }
  }

  const ScanOptions& options_;
  const KnownPaths& known_;
  const ScanListener& listener_;
  ScanCounts counts_;
  std::vector<SongRecord> batch_;
  std::unordered_set<FileId, FileIdHash> seen_;  // every song file met
  std::string folder_;
  long long songFiles_ = 0;
};

}  // namespace

ScanCounts WalkFolders(const std::vector<std::string>& roots, const ScanOptions& options,
                       const KnownPaths& known, const std::atomic<bool>& stop,
                       const ScanListener& listener) {
  SongWalk walk(options, known, listener);
  for (const std::string& root : roots) {
    if (stop) break;
    walk.Walk(root, stop);
  }
  return walk.Counts();
}

}  // namespace veltro::library
