// The places a user may want to scan for songs: the mounted volumes from the mount table, the
// user's music folder and home folder; and the test for pseudo file systems (the kernel's views
// of processes, devices and settings), which hold no songs and are never walked.
//
// Any thread. The parsers are pure functions over text; the rest reads the live system.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace veltro::platform {

enum class VolumeKind { kFixed, kRemovable, kRemote, kOptical };

// One line of the mount table (/proc/self/mountinfo), octal escapes ("\040" for a space)
// resolved.
struct MountEntry {
  unsigned major = 0;  // the device numbers of the mounted file system
  unsigned minor = 0;
  std::string root;            // the folder of the file system that is mounted ("/" for all)
  std::string mountPoint;
  std::string fileSystemType;  // with its subtype: "fuse.sshfs"
  std::string source;          // "/dev/sdb1", "server:/share", "proc"...
};

// A mounted volume worth offering to scan.
struct MountedVolume {
  std::string mountPoint;
  std::string fileSystemType;
  VolumeKind kind = VolumeKind::kFixed;
};

// The lines of a mount table's text that are well formed, in order; others are left out.
std::vector<MountEntry> ParseMountInfo(std::string_view text);

// Whether a device (major, minor) is a removable one, as the kernel says in sysfs.
using RemovableTest = std::function<bool(unsigned major, unsigned minor)>;

// How a mount is offered: remote for network file systems, optical for disc file systems,
// removable for a removable device or a mount under /media or /run/media, fixed for other file
// systems on a block device. Nullopt for pseudo file systems, memory file systems, images of
// system packages and system folders (/boot), which are not offered.
std::optional<VolumeKind> ClassifyMount(const MountEntry& entry, const RemovableTest& isRemovable);

// The offered volumes of a mount table's text, in its order, each mount point once.
std::vector<MountedVolume> VolumesOfMountInfo(std::string_view text,
                                              const RemovableTest& isRemovable);

// The offered volumes of this process's mount table whose mount points are folders; empty when
// the table cannot be read.
std::vector<MountedVolume> MountedVolumes();

// Pseudo file systems by mount table type ("proc", "sysfs", "devtmpfs"...) and by the magic
// number statfs reports.
bool IsPseudoFileSystemType(std::string_view type);
bool IsPseudoFileSystemMagic(uint64_t magic);
// Whether `path` lies on a pseudo file system (by its magic number, else by the mount table's
// type for its device). False when it cannot be examined.
bool IsOnPseudoFileSystem(const std::string& path);

// The mount table type of the file system on device `device` (a stat st_dev), read from this
// process's mount table; empty when not found.
std::string FileSystemTypeOfDevice(uint64_t device);

// The music folder named by the text of an XDG user-dirs file (XDG_MUSIC_DIR="$HOME/Music" or
// an absolute path), "$HOME" replaced by `home`; empty when it names none or names home itself.
std::string MusicFolderOfUserDirs(std::string_view text, const std::string& home);

// The user's music folder: the one the XDG user-dirs file names ($XDG_CONFIG_HOME, default
// ~/.config, then user-dirs.dirs) if it is a folder, else ~/Music if that is a folder, else empty.
std::string UserMusicFolder();

// The user's home folder: $HOME, else the password database's entry; empty when neither says.
std::string HomeFolder();

}  // namespace veltro::platform
