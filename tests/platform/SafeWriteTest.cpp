#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <string>

#include "platform/SafeWrite.h"
#include "support/TempDir.h"

namespace veltro::platform {
namespace {

using veltro::testing::ReadBytes;
using veltro::testing::TempDir;
using veltro::testing::WriteBytes;

size_t EntriesIn(const TempDir& dir) {
  size_t count = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(dir.Path())) {
    ++count;
  }
  return count;
}

mode_t PermissionBits(const std::string& path) {
  struct stat status {};
  EXPECT_EQ(stat(path.c_str(), &status), 0);
  return status.st_mode & 07777;
}

TEST(SafeWrite, CreatesAndReplacesKeepingPermissions) {
  TempDir dir;
  const std::string path = dir.File("veltro.ini");
  std::string error;
  ASSERT_TRUE(WriteFileAtomically(path, "first", &error)) << error;
  EXPECT_EQ(ReadBytes(path), "first");

  ASSERT_EQ(chmod(path.c_str(), 0640), 0);
  ASSERT_TRUE(WriteFileAtomically(path, std::string("second\0with nul", 15), &error)) << error;
  EXPECT_EQ(ReadBytes(path), std::string("second\0with nul", 15));
  EXPECT_EQ(PermissionBits(path), 0640u);
  ASSERT_TRUE(WriteFileAtomically(path, "", &error)) << error;
  EXPECT_EQ(ReadBytes(path), "");
  EXPECT_EQ(EntriesIn(dir), 1u) << "no temporary file is left behind";
}

TEST(SafeWrite, ReplacesTheFileALinkNamesAndKeepsTheLink) {
  TempDir dir;
  const std::string real = dir.File("real.ini");
  const std::string link = dir.File("link.ini");
  WriteBytes(real, "old");
  std::filesystem::create_symlink(real, link);
  std::string error;
  ASSERT_TRUE(WriteFileAtomically(link, "new", &error)) << error;
  EXPECT_TRUE(std::filesystem::is_symlink(link));
  EXPECT_EQ(ReadBytes(real), "new");
}

TEST(SafeWrite, FailuresLeaveTheTargetAndNoTemporaryFile) {
  TempDir dir;
  std::string error;
  EXPECT_FALSE(WriteFileAtomically(dir.File("missing/veltro.ini"), "x", &error));
  EXPECT_NE(error.find("missing"), std::string::npos) << error;
  EXPECT_EQ(error.find('\n'), std::string::npos) << "one line";

  std::filesystem::create_directory(dir.File("folder"));
  error.clear();
  EXPECT_FALSE(WriteFileAtomically(dir.File("folder"), "x", &error));
  EXPECT_FALSE(error.empty());
  EXPECT_TRUE(std::filesystem::is_directory(dir.File("folder")));
  EXPECT_EQ(EntriesIn(dir), 1u);
  EXPECT_FALSE(WriteFileAtomically(dir.File("folder"), "x", nullptr)) << "error is optional";
}

TEST(SafeWrite, WriteErrorKeepsTheOldContents) {
  // A file size limit makes the write itself fail part way, as a full disk would.
  TempDir dir;
  const std::string path = dir.File("library.dat");
  WriteBytes(path, "old contents");
  rlimit saved{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
  const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
  rlimit small = saved;
  small.rlim_cur = 16;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  std::string error;
  const bool written = WriteFileAtomically(path, std::string(4096, 'n'), &error);
  setrlimit(RLIMIT_FSIZE, &saved);
  std::signal(SIGXFSZ, previousHandler);
  EXPECT_FALSE(written);
  EXPECT_FALSE(error.empty());
  EXPECT_EQ(ReadBytes(path), "old contents");
  EXPECT_EQ(EntriesIn(dir), 1u);
}

TEST(SafeWrite, PendingFilesReplaceOnlyWhenToldAndKeepTheirHandle) {
  TempDir dir;
  const std::string kept = dir.File("kept.ndx");
  const std::string replaced = dir.File("replaced.ndb");
  WriteBytes(kept, "old");
  std::string error;
  int handle = -1;
  {
    auto abandoned = PendingFile::Create(kept, &error);
    auto written = PendingFile::Create(replaced, &error);
    ASSERT_TRUE(abandoned && written) << error;
    ASSERT_TRUE(abandoned->Write("never", 5, &error)) << error;
    ASSERT_TRUE(written->Write("new bytes", 9, &error) && written->Flush(&error)) << error;
    EXPECT_EQ(EntriesIn(dir), 3u) << "nothing is replaced before Replace";
    ASSERT_TRUE(written->Replace(&error) && SyncDirectoryOf(replaced, &error)) << error;
    handle = written->ReleaseDescriptor();
  }
  EXPECT_EQ(ReadBytes(kept), "old");
  EXPECT_EQ(ReadBytes(replaced), "new bytes");
  EXPECT_EQ(EntriesIn(dir), 2u) << "the abandoned temporary is removed";
  ASSERT_EQ(pwrite(handle, "N", 1, 0), 1) << "the released handle is the replaced file's";
  close(handle);
  EXPECT_EQ(ReadBytes(replaced), "New bytes");
}

TEST(SafeWrite, RemovesOnlyTemporariesOfProcessesThatAreGone) {
  TempDir dir;
  const std::string target = dir.File("Data.ndb");
  const pid_t child = fork();
  if (child == 0) _exit(0);
  ASSERT_GT(child, 0);
  waitpid(child, nullptr, 0);
  const std::string gone = target + ".tmp-" + std::to_string(child) + "-0-1";
  const std::string running = target + ".tmp-" + std::to_string(getpid()) + "-0-1";
  const std::string unrelated = target + ".tmp-notapid";
  for (const auto& name : {target, gone, running, unrelated}) WriteBytes(name, "x");
  RemoveAbandonedTemporaries(target);
  EXPECT_FALSE(std::filesystem::exists(gone));
  EXPECT_TRUE(std::filesystem::exists(running));
  EXPECT_TRUE(std::filesystem::exists(unrelated));
  EXPECT_TRUE(std::filesystem::exists(target));
}

}  // namespace
}  // namespace veltro::platform
