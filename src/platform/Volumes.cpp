#include "platform/Volumes.h"

#include <pwd.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <fstream>
#include <iterator>

namespace veltro::platform {
namespace {

constexpr std::string_view kMountInfoPath = "/proc/self/mountinfo";
constexpr std::string_view kMountFieldSeparator = "-";
// A mountinfo line: mount id, parent id, major:minor, root, mount point, options, then optional
// fields up to the separator, then type, source and the file system's options.
constexpr size_t kFieldsBeforeOptional = 6;
constexpr size_t kDeviceField = 2;
constexpr size_t kRootField = 3;
constexpr size_t kMountPointField = 4;
constexpr int kOctalEscapeDigits = 3;

constexpr std::array<std::string_view, 24> kPseudoTypes = {
    "proc",     "sysfs",       "devpts",    "cgroup",   "cgroup2",    "debugfs",
    "tracefs",  "securityfs",  "pstore",    "bpf",      "configfs",   "fusectl",
    "mqueue",   "hugetlbfs",   "autofs",    "binfmt_misc", "devtmpfs", "efivarfs",
    "rpc_pipefs", "nsfs",      "selinuxfs", "smackfs",  "nfsd",       "devfs"};

// The statfs magic numbers of the pseudo file systems (the kernel's names). devtmpfs reports
// the memory file system's magic and is told apart by the mount table only.
constexpr uint64_t kProcMagic = 0x9fa0;
constexpr uint64_t kSysfsMagic = 0x62656572;
constexpr uint64_t kDevptsMagic = 0x1cd1;
constexpr uint64_t kCgroupMagic = 0x27e0eb;
constexpr uint64_t kCgroup2Magic = 0x63677270;
constexpr uint64_t kDebugfsMagic = 0x64626720;
constexpr uint64_t kTracefsMagic = 0x74726163;
constexpr uint64_t kSecurityfsMagic = 0x73636673;
constexpr uint64_t kPstorefsMagic = 0x6165676c;
constexpr uint64_t kBpfFsMagic = 0xcafe4a11;
constexpr uint64_t kConfigfsMagic = 0x62656570;
constexpr uint64_t kFuseCtlMagic = 0x65735543;
constexpr uint64_t kMqueueMagic = 0x19800202;
constexpr uint64_t kHugetlbfsMagic = 0x958458f6;
constexpr uint64_t kAutofsMagic = 0x0187;
constexpr uint64_t kBinfmtfsMagic = 0x42494e4d;
constexpr uint64_t kEfivarfsMagic = 0xde5e81e4;
constexpr uint64_t kNsfsMagic = 0x6e736673;
constexpr uint64_t kSelinuxMagic = 0xf97cff8c;
constexpr uint64_t kSmackMagic = 0x43415d53;
constexpr uint64_t kRpcPipefsMagic = 0x67596969;
constexpr std::array<uint64_t, 21> kPseudoMagics = {
    kProcMagic,      kSysfsMagic,     kDevptsMagic,   kCgroupMagic,     kCgroup2Magic,
    kDebugfsMagic,   kTracefsMagic,   kSecurityfsMagic, kPstorefsMagic, kBpfFsMagic,
    kConfigfsMagic,  kFuseCtlMagic,   kMqueueMagic,   kHugetlbfsMagic,  kAutofsMagic,
    kBinfmtfsMagic,  kEfivarfsMagic,  kNsfsMagic,     kSelinuxMagic,    kSmackMagic,
    kRpcPipefsMagic};

constexpr std::array<std::string_view, 17> kRemoteTypes = {
    "nfs",  "nfs4",  "cifs",      "smb3",  "smbfs", "sshfs", "fuse.sshfs", "9p", "afs",
    "ceph", "glusterfs", "fuse.glusterfs", "davfs", "fuse.davfs2", "virtiofs", "lustre", "ncpfs"};
constexpr std::array<std::string_view, 2> kOpticalTypes = {"iso9660", "udf"};
// Read-only images of installed packages: on block devices, but never a place for songs.
constexpr std::array<std::string_view, 1> kPackageImageTypes = {"squashfs"};
constexpr std::array<std::string_view, 2> kRemovableMountParents = {"/media/", "/run/media/"};
constexpr std::array<std::string_view, 2> kSystemMountPoints = {"/boot", "/efi"};
constexpr std::array<std::string_view, 4> kSystemMountParents = {"/boot/", "/snap/", "/var/snap/",
                                                                 "/var/lib/"};
constexpr std::string_view kDevicePrefix = "/dev/";

constexpr std::string_view kMusicDirKey = "XDG_MUSIC_DIR=";
constexpr std::string_view kHomeVariable = "$HOME";

template <size_t N>
bool IsOneOf(std::string_view text, const std::array<std::string_view, N>& list) {
  return std::find(list.begin(), list.end(), text) != list.end();
}

template <size_t N>
bool StartsWithOneOf(std::string_view text, const std::array<std::string_view, N>& prefixes) {
  return std::any_of(prefixes.begin(), prefixes.end(),
                     [text](std::string_view prefix) { return text.starts_with(prefix); });
}

bool IsOctalDigit(char c) { return c >= '0' && c <= '7'; }

// Resolves the kernel's "\ooo" escapes (space, tab, newline, backslash in names).
std::string Unescape(std::string_view field) {
  std::string text;
  text.reserve(field.size());
  for (size_t i = 0; i < field.size(); ++i) {
    const std::string_view rest = field.substr(i + 1, kOctalEscapeDigits);
    if (field[i] == '\\' && rest.size() == kOctalEscapeDigits &&
        std::all_of(rest.begin(), rest.end(), IsOctalDigit)) {
      text.push_back(static_cast<char>(((rest[0] - '0') << 6) | ((rest[1] - '0') << 3) |
                                       (rest[2] - '0')));
      i += kOctalEscapeDigits;
    } else {
      text.push_back(field[i]);
    }
  }
  return text;
}

std::vector<std::string_view> SplitFields(std::string_view line) {
  std::vector<std::string_view> fields;
  size_t start = 0;
  while (start < line.size()) {
    const size_t end = std::min(line.find(' ', start), line.size());
    if (end > start) fields.push_back(line.substr(start, end - start));
    start = end + 1;
  }
  return fields;
}

template <typename Visit>
void ForEachLine(std::string_view text, const Visit& visit) {
  size_t start = 0;
  while (start < text.size()) {
    const size_t end = std::min(text.find('\n', start), text.size());
    visit(text.substr(start, end - start));
    start = end + 1;
  }
}

bool ParseNumber(std::string_view text, unsigned* value) {
  if (text.empty() || text.size() > 9) return false;
  unsigned number = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return false;
    number = number * 10 + static_cast<unsigned>(c - '0');
  }
  *value = number;
  return true;
}

bool ParseDevice(std::string_view text, MountEntry* entry) {
  const size_t colon = text.find(':');
  return colon != std::string_view::npos && ParseNumber(text.substr(0, colon), &entry->major) &&
         ParseNumber(text.substr(colon + 1), &entry->minor);
}

std::optional<MountEntry> ParseMountLine(std::string_view line) {
  const std::vector<std::string_view> fields = SplitFields(line);
  const auto separator = std::find(fields.begin(), fields.end(), kMountFieldSeparator);
  const auto before = static_cast<size_t>(separator - fields.begin());
  if (before < kFieldsBeforeOptional || std::distance(separator, fields.end()) < 3) return {};
  MountEntry entry;
  if (!ParseDevice(fields[kDeviceField], &entry)) return {};
  entry.root = Unescape(fields[kRootField]);
  entry.mountPoint = Unescape(fields[kMountPointField]);
  entry.fileSystemType = Unescape(separator[1]);
  entry.source = Unescape(separator[2]);
  return entry;
}

bool IsSystemMountPoint(std::string_view mountPoint) {
  return IsOneOf(mountPoint, kSystemMountPoints) ||
         StartsWithOneOf(mountPoint, kSystemMountParents);
}

std::string ReadSmallFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// A partition's "removable" flag lives with its disk, one folder up from the partition's.
bool IsRemovableDevice(unsigned major, unsigned minor) {
  const std::string device =
      "/sys/dev/block/" + std::to_string(major) + ":" + std::to_string(minor) + "/";
  for (const char* flag : {"removable", "../removable"}) {
    const std::string text = ReadSmallFile(device + flag);
    if (!text.empty()) return text[0] == '1';
  }
  return false;
}

bool IsFolder(const std::string& path) {
  struct stat status{};
  return !path.empty() && stat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}

std::string EnvironmentText(const char* name) {
  const char* value = std::getenv(name);
  return value == nullptr ? std::string() : std::string(value);
}

std::string TrimTrailingSlashes(std::string path) {
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

// The quoted value of a user-dirs line, "\" escapes resolved; nullopt when it is not quoted.
std::optional<std::string> QuotedValue(std::string_view text) {
  if (text.size() < 2 || text.front() != '"') return {};
  std::string value;
  for (size_t i = 1; i < text.size(); ++i) {
    if (text[i] == '"') return value;
    if (text[i] == '\\' && i + 1 < text.size()) ++i;
    value.push_back(text[i]);
  }
  return {};
}

}  // namespace

std::vector<MountEntry> ParseMountInfo(std::string_view text) {
  std::vector<MountEntry> entries;
  ForEachLine(text, [&](std::string_view line) {
    if (auto entry = ParseMountLine(line)) entries.push_back(std::move(*entry));
  });
  return entries;
}

bool IsPseudoFileSystemType(std::string_view type) { return IsOneOf(type, kPseudoTypes); }

bool IsPseudoFileSystemMagic(uint64_t magic) {
  return std::find(kPseudoMagics.begin(), kPseudoMagics.end(), magic) != kPseudoMagics.end();
}

std::optional<VolumeKind> ClassifyMount(const MountEntry& entry,
                                        const RemovableTest& isRemovable) {
  const std::string_view type = entry.fileSystemType;
  if (IsPseudoFileSystemType(type) || IsSystemMountPoint(entry.mountPoint)) return {};
  if (IsOneOf(type, kRemoteTypes)) return VolumeKind::kRemote;
  if (IsOneOf(type, kOpticalTypes)) return VolumeKind::kOptical;
  if (!entry.source.starts_with(kDevicePrefix) || IsOneOf(type, kPackageImageTypes)) return {};
  if (StartsWithOneOf(entry.mountPoint, kRemovableMountParents) ||
      (isRemovable && isRemovable(entry.major, entry.minor))) {
    return VolumeKind::kRemovable;
  }
  return VolumeKind::kFixed;
}

std::vector<MountedVolume> VolumesOfMountInfo(std::string_view text,
                                              const RemovableTest& isRemovable) {
  std::vector<MountedVolume> volumes;
  for (const MountEntry& entry : ParseMountInfo(text)) {
    const std::optional<VolumeKind> kind = ClassifyMount(entry, isRemovable);
    const bool listed = std::any_of(volumes.begin(), volumes.end(), [&](const MountedVolume& v) {
      return v.mountPoint == entry.mountPoint;
    });
    if (kind && !listed) volumes.push_back({entry.mountPoint, entry.fileSystemType, *kind});
  }
  return volumes;
}

std::vector<MountedVolume> MountedVolumes() {
  std::vector<MountedVolume> volumes =
      VolumesOfMountInfo(ReadSmallFile(std::string(kMountInfoPath)), IsRemovableDevice);
  std::erase_if(volumes, [](const MountedVolume& volume) { return !IsFolder(volume.mountPoint); });
  return volumes;
}

std::string FileSystemTypeOfDevice(uint64_t device) {
  for (const MountEntry& entry : ParseMountInfo(ReadSmallFile(std::string(kMountInfoPath)))) {
    if (makedev(entry.major, entry.minor) == device) return entry.fileSystemType;
  }
  return {};
}

bool IsOnPseudoFileSystem(const std::string& path) {
  struct statfs fileSystem{};
  if (statfs(path.c_str(), &fileSystem) != 0) return false;
  if (IsPseudoFileSystemMagic(static_cast<uint64_t>(fileSystem.f_type))) return true;
  struct stat status{};
  return stat(path.c_str(), &status) == 0 &&
         IsPseudoFileSystemType(FileSystemTypeOfDevice(status.st_dev));
}

std::string MusicFolderOfUserDirs(std::string_view text, const std::string& home) {
  std::string folder;
  ForEachLine(text, [&](std::string_view line) {
    line.remove_prefix(std::min(line.find_first_not_of(" \t"), line.size()));
    if (!line.starts_with(kMusicDirKey)) return;
    const std::optional<std::string> value = QuotedValue(line.substr(kMusicDirKey.size()));
    if (!value) return;
    if (value->starts_with(kHomeVariable)) {
      const std::string rest = value->substr(kHomeVariable.size());
      if (rest.empty() || rest.front() == '/') folder = TrimTrailingSlashes(home + rest);
    } else if (value->starts_with('/')) {
      folder = TrimTrailingSlashes(*value);
    }
  });
  return folder == TrimTrailingSlashes(home) ? std::string() : folder;
}

std::string HomeFolder() {
  std::string home = EnvironmentText("HOME");
  if (!home.empty()) return home;
  const long suggested = sysconf(_SC_GETPW_R_SIZE_MAX);
  std::vector<char> buffer(suggested > 0 ? static_cast<size_t>(suggested) : 16384);
  passwd entry{};
  passwd* found = nullptr;
  if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found != nullptr &&
      found->pw_dir != nullptr) {
    home = found->pw_dir;
  }
  return home;
}

std::string UserMusicFolder() {
  const std::string home = HomeFolder();
  if (home.empty()) return {};
  std::string config = EnvironmentText("XDG_CONFIG_HOME");
  if (config.empty()) config = home + "/.config";
  const std::string named = MusicFolderOfUserDirs(ReadSmallFile(config + "/user-dirs.dirs"), home);
  if (IsFolder(named)) return named;
  const std::string music = TrimTrailingSlashes(home) + "/Music";
  return IsFolder(music) ? music : std::string();
}

}  // namespace veltro::platform
