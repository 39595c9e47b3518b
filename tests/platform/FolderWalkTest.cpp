// The folder walk over generated trees: what it reports (regular files only, byte for byte,
// hidden folders included, in listing order), what it skips and counts (FIFOs, dangling links,
// link loops, pseudo file systems, unlistable folders, over-long paths), and cancellation.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "platform/FolderWalk.h"
#include "support/TempDir.h"
#include "support/Unprivileged.h"

namespace veltro::platform {
namespace {

namespace fs = std::filesystem;
using testing::TempDir;
using testing::WriteBytes;

bool IsMp3Name(std::string_view name) {
  if (name.size() < 4) return false;
  std::string extension(name.substr(name.size() - 4));
  for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return extension == ".mp3";
}

struct WalkResult {
  WalkCounts counts;
  std::vector<std::string> events;  // "D:" folder entered, "F:" file reported, in order
  std::map<std::string, WalkedFile> files;
};

WalkResult Walk(const std::string& root,
                std::function<bool(std::string_view)> wantsFile = {},
                size_t maxPathBytes = kMaxWalkPathBytes) {
  WalkResult result;
  WalkVisitor visitor;
  visitor.wantsFile = std::move(wantsFile);
  visitor.onFolder = [&](const std::string& folder) { result.events.push_back("D:" + folder); };
  visitor.onFile = [&](const WalkedFile& file) {
    result.events.push_back("F:" + file.path);
    result.files[file.path] = file;
  };
  const std::atomic<bool> stop{false};
  result.counts = WalkFolder(root, visitor, stop, maxPathBytes);
  return result;
}

std::map<WalkSkip, long long> SkipsOf(const WalkCounts& counts) {
  std::map<WalkSkip, long long> skips;
  for (size_t i = 0; i < kWalkSkipCount; ++i) {
    if (counts.skipped[i] != 0) skips[static_cast<WalkSkip>(i)] = counts.skipped[i];
  }
  return skips;
}

void MakeFolder(const std::string& path) { ASSERT_TRUE(fs::create_directory(path)) << path; }
void MakeLink(const std::string& target, const std::string& path) {
  fs::create_symlink(target, path);
}

// One tree with every kind of entry the walk treats in its own way, each case named by its path.
TEST(FolderWalk, ReportsRegularWantedFilesAndCountsWhatItLeavesOut) {
  TempDir dir;
  const std::string root = dir.Path().string();
  const std::string odd = std::string("\xff\xfe") + " raw.mp3";  // not UTF-8
  MakeFolder(root + "/.hidden");
  MakeFolder(root + "/album.mp3");
  MakeFolder(root + "/sub");
  for (const char* file :
       {"/a.mp3", "/notes.txt", "/.hidden/b.mp3", "/album.mp3/c.Mp3", "/sub/d.mp3x"}) {
    WriteBytes(root + file, "song");
  }
  WriteBytes(root + "/" + odd, "odd");
  ASSERT_EQ(mkfifo((root + "/pipe.mp3").c_str(), 0644), 0);
  MakeLink(root + "/missing", root + "/gone.mp3");
  MakeLink("a.mp3", root + "/link.mp3");
  MakeLink("..", root + "/sub/up");
  MakeLink(".", root + "/sub/self");

  const WalkResult walk = Walk(root, IsMp3Name);

  std::vector<std::string> reported;
  for (const auto& [path, file] : walk.files) reported.push_back(path.substr(root.size()));
  std::vector<std::string> expected = {"/a.mp3", "/link.mp3", "/" + odd, "/.hidden/b.mp3",
                                       "/album.mp3/c.Mp3"};
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(reported, expected);
  EXPECT_EQ(walk.counts.files, 5);
  EXPECT_EQ(walk.counts.folders, 4);  // root, .hidden, album.mp3, sub
  const std::map<WalkSkip, long long> skips = {{WalkSkip::kLinkLoop, 2},
                                               {WalkSkip::kNotRegularFile, 2}};
  EXPECT_EQ(SkipsOf(walk.counts), skips);

  const WalkedFile& original = walk.files.at(root + "/a.mp3");
  const WalkedFile& link = walk.files.at(root + "/link.mp3");
  EXPECT_EQ(link.name, "link.mp3");
  EXPECT_EQ(link.size, 4u);
  EXPECT_EQ(std::pair(link.device, link.inode), std::pair(original.device, original.inode));
  EXPECT_EQ(walk.files.at(root + "/" + odd).name, odd);
}

// Depth first in listing order: a folder is walked as soon as its entry is met, before the
// entries that follow it.
TEST(FolderWalk, FollowsTheListingDepthFirst) {
  TempDir dir;
  const std::string root = dir.Path().string();
  for (const char* folder : {"/m", "/m/z", "/b", "/b/y", "/b/y/x"}) MakeFolder(root + folder);
  for (const char* file : {"/k", "/c", "/m/q", "/m/z/a", "/b/y/x/r", "/b/e", "/w"}) {
    WriteBytes(root + file, "");
  }
  std::vector<std::string> expected = {"D:" + root};
  for (const fs::directory_entry& entry : fs::recursive_directory_iterator(root)) {
    expected.push_back((entry.is_directory() ? "D:" : "F:") + entry.path().string());
  }
  EXPECT_EQ(Walk(root).events, expected);
}

TEST(FolderWalk, NeverEntersPseudoFileSystemsNotEvenAsRoot) {
  TempDir dir;
  const std::string root = dir.Path().string();
  std::vector<std::string> pseudo;
  for (const char* path : {"/proc", "/sys", "/dev", "/dev/pts"}) {
    if (fs::is_directory(path)) pseudo.push_back(path);
  }
  ASSERT_FALSE(pseudo.empty());
  for (const std::string& path : pseudo) {
    const WalkResult walk = Walk(path);
    EXPECT_EQ(walk.counts.folders, 0) << path;
    EXPECT_EQ(walk.counts.Skipped(WalkSkip::kPseudoFileSystem), 1) << path;
    MakeLink(path, root + "/link" + std::to_string(&path - pseudo.data()));
  }
  const WalkResult walk = Walk(root);
  EXPECT_EQ(walk.counts.folders, 1);
  EXPECT_EQ(walk.counts.Skipped(WalkSkip::kPseudoFileSystem), static_cast<long long>(pseudo.size()));
}

// The limit is inclusive: a path of exactly the limit is reported, one byte more is counted.
TEST(FolderWalk, SkipsPathsLongerThanTheLimitWithoutCuttingThem) {
  TempDir dir;
  const std::string root = dir.Path().string();
  const std::string folder = root + "/" + std::string(200 - root.size(), 'f');  // 200 bytes
  MakeFolder(folder);
  struct Case {
    size_t pathBytes;
    bool reported;
  };
  for (const Case& c : {Case{kMaxWalkPathBytes, true}, Case{kMaxWalkPathBytes + 1, false}}) {
    const std::string name = std::string(c.pathBytes - folder.size() - 5, 'n') + ".mp3";
    WriteBytes(folder + "/" + name, "");
  }
  MakeFolder(folder + "/" + std::string(kMaxWalkPathBytes - folder.size(), 'd'));  // 1 too long
  const WalkResult walk = Walk(root);
  ASSERT_EQ(walk.files.size(), 1u);
  EXPECT_EQ(walk.files.begin()->first.size(), kMaxWalkPathBytes);
  EXPECT_EQ(walk.counts.Skipped(WalkSkip::kLongPath), 2);  // the longer file, the folder
  EXPECT_EQ(walk.counts.folders, 2);

  const WalkResult wider = Walk(root, {}, kMaxWalkPathBytes + 1);
  EXPECT_EQ(wider.files.size(), 2u);
  EXPECT_EQ(wider.counts.folders, 3);
}

// Folders the user may not list (no read permission) or not search (no execute permission)
// are counted and left; the rest of the tree is walked. Run as a user permissions apply to.
TEST(FolderWalk, CountsFoldersItCannotListAndWalksOn) {
  TempDir dir;
  const std::string root = dir.Path().string();
  ASSERT_EQ(chmod(root.c_str(), 0755), 0);
  for (const auto& [name, mode] : {std::pair("/locked", 0000), std::pair("/unsearchable", 0644)}) {
    MakeFolder(root + name);
    WriteBytes(root + name + "/hidden.mp3", "");
    ASSERT_EQ(chmod((root + name).c_str(), static_cast<mode_t>(mode)), 0);
  }
  WriteBytes(root + "/open.mp3", "");
  ASSERT_EQ(chmod((root + "/open.mp3").c_str(), 0644), 0);
  const int result = testing::RunUnprivileged([&root] {
    const WalkResult walk = Walk(root);
    if (walk.files.size() != 1 || walk.files.count(root + "/open.mp3") == 0) return 1;
    return walk.counts.Skipped(WalkSkip::kUnlistableFolder) == 2 ? 0 : 2;
  });
  EXPECT_EQ(result, 0) << "1: wrong files reported, 2: wrong unlistable count";
  const WalkResult missing = Walk(root + "/no such folder");
  EXPECT_EQ(missing.counts.Skipped(WalkSkip::kUnlistableFolder), 1);
  EXPECT_EQ(missing.counts.folders, 0);
}

TEST(FolderWalk, StopsBetweenEntriesWhenAsked) {
  TempDir dir;
  const std::string root = dir.Path().string();
  for (int i = 0; i < 20; ++i) WriteBytes(root + "/" + std::to_string(i) + ".mp3", "");
  std::atomic<bool> stop{true};
  int files = 0;
  WalkVisitor visitor;
  visitor.onFile = [&](const WalkedFile&) { stop = ++files == 3; };
  EXPECT_EQ(WalkFolder(root, visitor, stop).folders, 0);  // stopped before the root
  stop = false;
  const WalkCounts counts = WalkFolder(root, visitor, stop);
  EXPECT_EQ(files, 3);
  EXPECT_EQ(counts.files, 3);
}

}  // namespace
}  // namespace veltro::platform
