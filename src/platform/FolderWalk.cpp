#include "platform/FolderWalk.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <unordered_map>
#include <vector>

#include "platform/Volumes.h"

namespace veltro::platform {
namespace {

// Folders are opened for listing only: never waiting (O_NONBLOCK), never anything but a folder
// (O_DIRECTORY refuses a FIFO or device before opening it).
constexpr int kFolderOpenFlags = O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NONBLOCK;

struct FolderId {
  dev_t device = 0;
  ino_t inode = 0;
  bool operator==(const FolderId&) const = default;
};

// Closes a listing when the walk leaves its folder, however it leaves.
class Listing {
 public:
  explicit Listing(int fd) : dir_(fdopendir(fd)) {
    if (dir_ == nullptr) close(fd);
  }
  ~Listing() {
    if (dir_ != nullptr) closedir(dir_);
  }
  Listing(const Listing&) = delete;
  Listing& operator=(const Listing&) = delete;

  bool IsOpen() const { return dir_ != nullptr; }
  int Fd() const { return dirfd(dir_); }
  // The next entry; nullptr at the end or on a listing error (`failed` then set).
  const dirent* Next(bool* failed) {
    errno = 0;
    const dirent* entry = readdir(dir_);
    *failed = entry == nullptr && errno != 0;
    return entry;
  }

 private:
  DIR* dir_;
};

bool IsDotOrDotDot(std::string_view name) { return name == "." || name == ".."; }

std::string ChildPrefix(std::string root) {
  while (!root.empty() && root.back() == '/') root.pop_back();
  return root + "/";
}

class Walker {
 public:
  Walker(const WalkVisitor& visitor, const std::atomic<bool>& stop, size_t maxPathBytes)
      : visitor_(visitor), stop_(stop), maxPathBytes_(maxPathBytes) {}

  void WalkRoot(const std::string& root) {
    EnterFolder(open(root.c_str(), kFolderOpenFlags), root, ChildPrefix(root));
  }

  const WalkCounts& Counts() const { return counts_; }

 private:
  // Walks the folder open as `fd` (or counts why it cannot), then closes it.
  void EnterFolder(int fd, const std::string& path, const std::string& prefix) {
    struct stat status{};
    if (fd < 0 || fstat(fd, &status) != 0 || faccessat(fd, ".", X_OK, AT_EACCESS) != 0) {
      if (fd >= 0) close(fd);
      return Skip(WalkSkip::kUnlistableFolder);
    }
    const FolderId id{status.st_dev, status.st_ino};
    if (std::find(inside_.begin(), inside_.end(), id) != inside_.end()) {
      close(fd);
      return Skip(WalkSkip::kLinkLoop);
    }
    if (IsPseudo(fd, id.device)) {
      close(fd);
      return Skip(WalkSkip::kPseudoFileSystem);
    }
    Listing listing(fd);
    if (!listing.IsOpen()) return Skip(WalkSkip::kUnlistableFolder);
    ++counts_.folders;
    if (visitor_.onFolder) visitor_.onFolder(path);
    inside_.push_back(id);
    ListEntries(listing, prefix);
    inside_.pop_back();
  }

  void ListEntries(Listing& listing, const std::string& prefix) {
    bool failed = false;
    while (!stop_) {
      const dirent* entry = listing.Next(&failed);
      if (entry == nullptr) break;
      if (!IsDotOrDotDot(entry->d_name)) VisitEntry(listing.Fd(), prefix, *entry);
    }
    if (failed) Skip(WalkSkip::kUnlistableFolder);
  }

  void VisitEntry(int folderFd, const std::string& prefix, const dirent& entry) {
    const std::string_view name = entry.d_name;
    switch (entry.d_type) {
      case DT_DIR:
        return VisitFolder(folderFd, prefix, name);
      case DT_REG:
        if (Wants(name)) VisitFile(folderFd, prefix, name);
        return;
      case DT_LNK:
      case DT_UNKNOWN:
        return VisitLinkOrUnknown(folderFd, prefix, name);
      default:  // FIFO, device, socket: judged by the entry, never opened
        if (Wants(name)) Skip(WalkSkip::kNotRegularFile);
        return;
    }
  }

  void VisitFolder(int folderFd, const std::string& prefix, std::string_view name) {
    std::string path = prefix;
    path.append(name);
    if (path.size() > maxPathBytes_) return Skip(WalkSkip::kLongPath);
    const int fd = openat(folderFd, std::string(name).c_str(), kFolderOpenFlags);
    EnterFolder(fd, path, path + "/");
  }

  void VisitFile(int folderFd, const std::string& prefix, std::string_view name) {
    WalkedFile file{prefix + std::string(name), std::string(name)};
    if (file.path.size() > maxPathBytes_) return Skip(WalkSkip::kLongPath);
    struct stat status{};
    if (fstatat(folderFd, file.name.c_str(), &status, AT_NO_AUTOMOUNT) != 0 ||
        !S_ISREG(status.st_mode)) {
      return Skip(WalkSkip::kNotRegularFile);
    }
    file.device = status.st_dev;
    file.inode = status.st_ino;
    file.size = static_cast<uint64_t>(status.st_size);
    ++counts_.files;
    if (visitor_.onFile) visitor_.onFile(file);
  }

  // A symbolic link (followed) or an entry the file system did not type.
  void VisitLinkOrUnknown(int folderFd, const std::string& prefix, std::string_view name) {
    struct stat status{};
    const bool found =
        fstatat(folderFd, std::string(name).c_str(), &status, AT_NO_AUTOMOUNT) == 0;
    if (found && S_ISDIR(status.st_mode)) return VisitFolder(folderFd, prefix, name);
    if (!Wants(name)) return;
    if (found && S_ISREG(status.st_mode)) return VisitFile(folderFd, prefix, name);
    Skip(WalkSkip::kNotRegularFile);
  }

  // Pseudo file systems are recognised by their magic number, or (for those sharing the memory
  // file system's number) by the mount table's type; each device is judged once per walk.
  bool IsPseudo(int fd, dev_t device) {
    const auto known = pseudoDevices_.find(device);
    if (known != pseudoDevices_.end()) return known->second;
    struct statfs fileSystem{};
    const bool pseudo =
        (fstatfs(fd, &fileSystem) == 0 &&
         IsPseudoFileSystemMagic(static_cast<uint64_t>(fileSystem.f_type))) ||
        IsPseudoFileSystemType(FileSystemTypeOfDevice(device));
    pseudoDevices_.emplace(device, pseudo);
    return pseudo;
  }

  bool Wants(std::string_view name) const {
    return !visitor_.wantsFile || visitor_.wantsFile(name);
  }

  void Skip(WalkSkip reason) { ++counts_.Skipped(reason); }

  const WalkVisitor& visitor_;
  const std::atomic<bool>& stop_;
  const size_t maxPathBytes_;
  WalkCounts counts_;
  std::vector<FolderId> inside_;  // the folders on the current path, the root first
  std::unordered_map<dev_t, bool> pseudoDevices_;
};

}  // namespace

WalkCounts WalkFolder(const std::string& root, const WalkVisitor& visitor,
                      const std::atomic<bool>& stop, size_t maxPathBytes) {
  Walker walker(visitor, stop, maxPathBytes);
  if (!stop) walker.WalkRoot(root);
  return walker.Counts();
}

}  // namespace veltro::platform
