// The places offered for a scan: mount table lines parsed (escapes, optional fields, broken
// lines), mounts classified by kind with pseudo, memory and system mounts left out, the XDG
// music folder and the home folder.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "platform/Volumes.h"
#include "support/TempDir.h"

namespace veltro::platform {
namespace {

using testing::TempDir;

std::string MountLine(std::string_view device, std::string_view mountPoint, std::string_view type,
                      std::string_view source) {
  return "36 25 " + std::string(device) + " / " + std::string(mountPoint) +
         " rw,relatime shared:1 - " + std::string(type) + " " + std::string(source) + " rw\n";
}

TEST(MountInfo, ParsesFieldsResolvingEscapesAndLeavesBrokenLinesOut) {
  struct Case {
    std::string line;
    std::optional<MountEntry> entry;
  };
  const std::vector<Case> cases = {
      {"26 1 254:0 / / rw,relatime - ext4 /dev/vda rw", MountEntry{254, 0, "/", "/", "ext4", "/dev/vda"}},
      {"40 26 8:17 /music /media/my\\040stick rw master:2 shared:3 - vfat /dev/sdb1 rw,uid=1000",
       MountEntry{8, 17, "/music", "/media/my stick", "vfat", "/dev/sdb1"}},
      {"41 26 0:50 / /mnt/back\\134slash\\011tab rw - fuse.sshfs me@host:/x rw",
       MountEntry{0, 50, "/", "/mnt/back\\slash\ttab", "fuse.sshfs", "me@host:/x"}},
      {"42 26 0:51 / /mnt/short\\04 rw - nfs4 host:/ rw",
       MountEntry{0, 51, "/", "/mnt/short\\04", "nfs4", "host:/"}},
      {"43 26 0:52 / /mnt/x rw - tmpfs", std::nullopt},           // no source
      {"44 26 0:53 / /mnt/x - tmpfs tmpfs rw", std::nullopt},    // no options
      {"45 26 0-54 / /mnt/x rw - tmpfs tmpfs rw", std::nullopt},  // bad device
      {"46 26 0:55 / /mnt/x rw tmpfs tmpfs rw", std::nullopt},    // no separator
      {"", std::nullopt},
  };
  for (const Case& c : cases) {
    const std::vector<MountEntry> entries = ParseMountInfo(c.line);
    ASSERT_EQ(entries.size(), c.entry ? 1u : 0u) << c.line;
    if (!c.entry) continue;
    const MountEntry& got = entries[0];
    EXPECT_EQ(std::tie(got.major, got.minor, got.root, got.mountPoint, got.fileSystemType,
                       got.source),
              std::tie(c.entry->major, c.entry->minor, c.entry->root, c.entry->mountPoint,
                       c.entry->fileSystemType, c.entry->source))
        << c.line;
  }
  const std::string table = MountLine("8:1", "/", "ext4", "/dev/sda1") + "broken line\n" +
                            MountLine("0:5", "/proc", "proc", "proc");
  EXPECT_EQ(ParseMountInfo(table.substr(0, table.size() - 1)).size(), 2u);  // no final newline
}

TEST(MountInfo, ClassifiesMountsByKindAndLeavesOutWhatHoldsNoSongs) {
  constexpr unsigned kRemovableMajor = 8;  // the stand-in sysfs says its devices are removable
  struct Case {
    std::string_view device, mountPoint, type, source;
    std::optional<VolumeKind> kind;
  };
  const std::vector<Case> cases = {
      {"254:0", "/", "ext4", "/dev/vda", VolumeKind::kFixed},
      {"254:1", "/home", "btrfs", "/dev/vda2", VolumeKind::kFixed},
      {"8:1", "/mnt/usb", "vfat", "/dev/sdb1", VolumeKind::kRemovable},
      {"254:3", "/media/me/STICK", "exfat", "/dev/vdc1", VolumeKind::kRemovable},
      {"254:4", "/run/media/me/DISK", "ntfs3", "/dev/vdd1", VolumeKind::kRemovable},
      {"0:40", "/mnt/nas", "nfs4", "nas:/music", VolumeKind::kRemote},
      {"0:41", "/mnt/share", "cifs", "//srv/music", VolumeKind::kRemote},
      {"0:42", "/mnt/ssh", "fuse.sshfs", "me@host:", VolumeKind::kRemote},
      {"11:0", "/mnt/cd", "iso9660", "/dev/sr0", VolumeKind::kOptical},
      {"11:1", "/media/me/DVD", "udf", "/dev/sr1", VolumeKind::kOptical},
      {"0:5", "/proc", "proc", "proc", std::nullopt},
      {"0:6", "/dev", "devtmpfs", "devtmpfs", std::nullopt},
      {"0:7", "/sys/fs/cgroup", "cgroup2", "cgroup2", std::nullopt},
      {"0:8", "/tmp", "tmpfs", "tmpfs", std::nullopt},
      {"0:9", "/", "overlay", "overlay", std::nullopt},
      {"7:0", "/snap/core/1", "squashfs", "/dev/loop0", std::nullopt},
      {"254:5", "/boot", "ext4", "/dev/vda5", std::nullopt},
      {"254:6", "/boot/efi", "vfat", "/dev/vda6", std::nullopt},
  };
  const RemovableTest isRemovable = [](unsigned major, unsigned) {
    return major == kRemovableMajor;
  };
  std::string table;
  std::vector<MountedVolume> expected;
  for (const Case& c : cases) {
    const std::string line = MountLine(c.device, c.mountPoint, c.type, c.source);
    table += line;
    const std::vector<MountEntry> entry = ParseMountInfo(line);
    ASSERT_EQ(entry.size(), 1u) << c.mountPoint;
    EXPECT_EQ(ClassifyMount(entry[0], isRemovable), c.kind) << c.mountPoint << " " << c.type;
    const bool listed = std::any_of(expected.begin(), expected.end(), [&](const MountedVolume& v) {
      return v.mountPoint == c.mountPoint;
    });
    if (c.kind && !listed) expected.push_back({std::string(c.mountPoint), std::string(c.type), *c.kind});
  }
  const std::vector<MountedVolume> volumes = VolumesOfMountInfo(table, isRemovable);
  ASSERT_EQ(volumes.size(), expected.size());
  for (size_t i = 0; i < volumes.size(); ++i) {
    EXPECT_EQ(std::tie(volumes[i].mountPoint, volumes[i].fileSystemType, volumes[i].kind),
              std::tie(expected[i].mountPoint, expected[i].fileSystemType, expected[i].kind));
  }
}

TEST(MountInfo, LiveVolumesAreFoldersOffPseudoFileSystems) {
  for (const MountedVolume& volume : MountedVolumes()) {
    EXPECT_TRUE(std::filesystem::is_directory(volume.mountPoint)) << volume.mountPoint;
    EXPECT_FALSE(IsOnPseudoFileSystem(volume.mountPoint)) << volume.mountPoint;
  }
  TempDir dir;
  EXPECT_FALSE(IsOnPseudoFileSystem(dir.Path().string()));
  for (const char* pseudo : {"/proc/self", "/sys", "/dev"}) {
    if (std::filesystem::is_directory(pseudo)) {
      EXPECT_TRUE(IsOnPseudoFileSystem(pseudo)) << pseudo;
    }
  }
}

TEST(UserDirs, MusicFolderComesFromItsLine) {
  const std::string home = "/home/me";
  struct Case {
    std::string text;
    std::string folder;
  };
  const std::vector<Case> cases = {
      {"XDG_DESKTOP_DIR=\"$HOME/Desktop\"\nXDG_MUSIC_DIR=\"$HOME/Musik\"\n", "/home/me/Musik"},
      {"  XDG_MUSIC_DIR=\"/data/songs/\"", "/data/songs"},
      {"XDG_MUSIC_DIR=\"$HOME/My \\\"Best\\\" Songs\"", "/home/me/My \"Best\" Songs"},
      {"# XDG_MUSIC_DIR=\"$HOME/Old\"\n", ""},
      {"XDG_MUSIC_DIR=\"$HOME/\"", ""},  // home itself: no music folder
      {"XDG_MUSIC_DIR=\"$HOME\"", ""},
      {"XDG_MUSIC_DIR=\"$HOMEWORK\"", ""},
      {"XDG_MUSIC_DIR=$HOME/Music", ""},  // not quoted
      {"XDG_MUSIC_DIR=\"relative/Music\"", ""},
      {"XDG_MUSIC_DIR=\"$HOME/Music", ""},  // no closing quote
  };
  for (const Case& c : cases) EXPECT_EQ(MusicFolderOfUserDirs(c.text, home), c.folder) << c.text;
}

// Sets an environment variable for one scope and puts the old value back.
class ScopedVariable {
 public:
  ScopedVariable(const char* name, const std::optional<std::string>& value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    value ? setenv(name, value->c_str(), 1) : unsetenv(name);
  }
  ~ScopedVariable() { old_ ? setenv(name_, old_->c_str(), 1) : unsetenv(name_); }
  ScopedVariable(const ScopedVariable&) = delete;
  ScopedVariable& operator=(const ScopedVariable&) = delete;

 private:
  const char* name_;
  std::optional<std::string> old_;
};

TEST(UserDirs, MusicFolderMustExistAndFallsBackToMusicInHome) {
  TempDir dir;
  const std::string home = dir.File("home");
  const std::string config = dir.File("config");
  std::filesystem::create_directories(config);
  const ScopedVariable homeVariable("HOME", home);
  const ScopedVariable configVariable("XDG_CONFIG_HOME", config);
  testing::WriteBytes(config + "/user-dirs.dirs", "XDG_MUSIC_DIR=\"$HOME/Tunes\"\n");
  struct Step {
    const char* makeFolder;  // created before the step (nullptr: nothing)
    std::string expected;
  };
  for (const Step& step : {Step{nullptr, ""}, Step{"Music", home + "/Music"},
                           Step{"Tunes", home + "/Tunes"}}) {
    if (step.makeFolder) std::filesystem::create_directories(home + "/" + step.makeFolder);
    EXPECT_EQ(UserMusicFolder(), step.expected) << (step.makeFolder ? step.makeFolder : "none");
  }
}

TEST(UserDirs, HomeFolderIsHomeElseThePasswordEntry) {
  {
    const ScopedVariable homeVariable("HOME", "/somewhere/else");
    EXPECT_EQ(HomeFolder(), "/somewhere/else");
  }
  const ScopedVariable homeVariable("HOME", std::nullopt);
  const std::string fromDatabase = HomeFolder();
  EXPECT_FALSE(fromDatabase.empty());
  EXPECT_TRUE(std::filesystem::is_directory(fromDatabase) || fromDatabase == "/nonexistent")
      << fromDatabase;
}

}  // namespace
}  // namespace veltro::platform
