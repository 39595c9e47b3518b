// The file attributes a tag writer reads, clears and restores: read-only from the owner's write
// bit, hidden from a dot name, system from a pseudo file system, and the exact permission bits.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "platform/FileAttributes.h"
#include "support/TempDir.h"

namespace veltro::platform {
namespace {

using testing::TempDir;
using testing::WriteBytes;

mode_t PermissionBits(const std::string& path) {
  struct stat status {};
  EXPECT_EQ(stat(path.c_str(), &status), 0);
  return status.st_mode & 07777;
}

TEST(FileAttributes, ReadOnlyMeansNoWriteBitForTheOwner) {
  TempDir dir;
  const std::string path = dir.File("song.mp3");
  WriteBytes(path, "audio");
  const std::vector<std::pair<mode_t, bool>> cases = {{0444, true},  {0400, true},  {0466, true},
                                                      {0000, true},  {0644, false}, {0200, false},
                                                      {0600, false}, {04755, false}};
  for (const auto& [mode, readOnly] : cases) {
    ASSERT_EQ(chmod(path.c_str(), mode), 0);
    const auto attributes = ReadFileAttributes(path);
    ASSERT_TRUE(attributes.has_value());
    EXPECT_EQ(attributes->readOnly, readOnly) << std::oct << mode;
    EXPECT_EQ(attributes->permissions, mode) << std::oct << mode;
    EXPECT_FALSE(attributes->hidden);
    EXPECT_FALSE(attributes->system);
  }
}

TEST(FileAttributes, HiddenMeansTheFileNameBeginsWithADot) {
  TempDir dir;
  std::filesystem::create_directory(dir.Path() / ".folder");
  std::filesystem::create_directory(dir.Path() / "album.v2");
  const std::vector<std::pair<std::string, bool>> cases = {
      {".song.mp3", true},          {".folder/.x", true}, {".folder/song.mp3", false},
      {"album.v2/song.mp3", false}, {"song.mp3.", false}, {"song.mp3", false}};
  for (const auto& [name, hidden] : cases) {
    const std::string path = dir.File(name);
    WriteBytes(path, "audio");
    const auto attributes = ReadFileAttributes(path);
    ASSERT_TRUE(attributes.has_value()) << name;
    EXPECT_EQ(attributes->hidden, hidden) << name;
  }
  // A relative name without any folder.
  const auto cwd = std::filesystem::current_path();
  std::filesystem::current_path(dir.Path());
  const auto relative = ReadFileAttributes(".song.mp3");
  const auto dotted = ReadFileAttributes("./song.mp3");
  std::filesystem::current_path(cwd);
  ASSERT_TRUE(relative.has_value() && dotted.has_value());
  EXPECT_TRUE(relative->hidden);
  EXPECT_FALSE(dotted->hidden);
}

TEST(FileAttributes, PseudoFileSystemFilesAreSystemFiles) {
  const auto status = ReadFileAttributes("/proc/self/status");
  ASSERT_TRUE(status.has_value());
  EXPECT_TRUE(status->system);
  const auto comm = ReadFileAttributes("/proc/self/comm");
  ASSERT_TRUE(comm.has_value());
  EXPECT_TRUE(comm->system);
  EXPECT_FALSE(comm->readOnly) << "its owner may write it";
  TempDir dir;
  const auto folder = ReadFileAttributes(dir.Path().string());
  ASSERT_TRUE(folder.has_value());
  EXPECT_FALSE(folder->system);
}

TEST(FileAttributes, MissingFilesHaveNoAttributesAndCannotBeChanged) {
  TempDir dir;
  const std::string missing = dir.File("missing.mp3");
  EXPECT_FALSE(ReadFileAttributes(missing).has_value());
  FileAttributes attributes;
  attributes.permissions = 0444;
  attributes.readOnly = true;
  EXPECT_FALSE(SetFileAttributesNormal(missing, attributes));
  EXPECT_FALSE(RestoreFileAttributes(missing, attributes));
  EXPECT_FALSE(std::filesystem::exists(missing));
}

TEST(FileAttributes, NormalAddsOnlyTheOwnerWriteBitAndRestoreGivesTheExactBitsBack) {
  TempDir dir;
  const std::string path = dir.File("song.mp3");
  WriteBytes(path, "audio");
  const std::vector<std::pair<mode_t, mode_t>> cases = {{0444, 0644}, {0400, 0600},   {0440, 0640},
                                                        {0000, 0200}, {02555, 02755}, {0644, 0644}};
  for (const auto& [mode, normal] : cases) {
    ASSERT_EQ(chmod(path.c_str(), mode), 0);
    const auto saved = ReadFileAttributes(path);
    ASSERT_TRUE(saved.has_value());
    ASSERT_TRUE(SetFileAttributesNormal(path, *saved));
    EXPECT_EQ(PermissionBits(path), normal) << std::oct << mode;
    const auto now = ReadFileAttributes(path);
    ASSERT_TRUE(now.has_value());
    EXPECT_FALSE(now->readOnly);
    ASSERT_TRUE(RestoreFileAttributes(path, *saved));
    EXPECT_EQ(PermissionBits(path), mode) << std::oct << mode;
  }
}

TEST(FileAttributes, SymbolicLinksAreFollowed) {
  TempDir dir;
  const std::string target = dir.File("song.mp3");
  const std::string link = dir.File("link.mp3");
  WriteBytes(target, "audio");
  ASSERT_EQ(chmod(target.c_str(), 0444), 0);
  std::filesystem::create_symlink(target, link);
  const auto saved = ReadFileAttributes(link);
  ASSERT_TRUE(saved.has_value());
  EXPECT_TRUE(saved->readOnly);
  EXPECT_EQ(saved->permissions, 0444u);
  ASSERT_TRUE(SetFileAttributesNormal(link, *saved));
  EXPECT_EQ(PermissionBits(target), 0644u);
  ASSERT_TRUE(RestoreFileAttributes(link, *saved));
  EXPECT_EQ(PermissionBits(target), 0444u);
  EXPECT_TRUE(std::filesystem::is_symlink(link));
}

}  // namespace
}  // namespace veltro::platform
