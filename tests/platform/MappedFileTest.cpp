// Private views of files: the file's bytes without a copy, changes that stay in memory, no view
// beyond the file's end, and a view that outlives the file's replacement.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <string>

#include "platform/MappedFile.h"
#include "support/TempDir.h"

namespace veltro::platform {
namespace {

using testing::ReadBytes;
using testing::TempDir;
using testing::WriteBytes;

std::string Text(const MappedFile& view) {
  return std::string(reinterpret_cast<const char*>(view.Bytes().data()), view.Size());
}

class MappedFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    WriteBytes(path_, "0123456789");
    fd_ = open(path_.c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(fd_, 0);
  }
  void TearDown() override { close(fd_); }

  TempDir dir_;
  std::string path_ = dir_.File("Data.ndb");
  int fd_ = -1;
};

TEST_F(MappedFileTest, ViewShowsTheFileAndKeepsChangesInMemory) {
  auto view = MappedFile::Map(fd_, 8);
  ASSERT_TRUE(view.has_value());
  close(fd_);
  fd_ = -1;  // the view does not need the descriptor
  EXPECT_EQ(Text(*view), "01234567");
  std::memcpy(view->Bytes().data() + 2, "ab", 2);
  EXPECT_EQ(Text(*view), "01ab4567");
  EXPECT_EQ(ReadBytes(path_), "0123456789");

  MappedFile moved = std::move(*view);
  EXPECT_EQ(view->Size(), 0u);
  EXPECT_EQ(Text(moved), "01ab4567");
}

TEST_F(MappedFileTest, NeverMapsBeyondTheFileEnd) {
  for (const uint64_t bytes : {uint64_t{11}, uint64_t{4096}, uint64_t{1} << 40}) {
    std::string reason;
    EXPECT_FALSE(MappedFile::Map(fd_, bytes, &reason).has_value()) << bytes;
    EXPECT_FALSE(reason.empty());
  }
  auto whole = MappedFile::Map(fd_, 10);
  ASSERT_TRUE(whole.has_value());
  EXPECT_EQ(Text(*whole), "0123456789");
  auto empty = MappedFile::Map(fd_, 0);
  ASSERT_TRUE(empty.has_value());
  EXPECT_EQ(empty->Size(), 0u);
}

TEST_F(MappedFileTest, ViewOutlivesTheReplacementOfItsFile) {
  auto view = MappedFile::Map(fd_, 10);
  ASSERT_TRUE(view.has_value());
  const std::string replacement = dir_.File("new");
  WriteBytes(replacement, "xy");
  std::filesystem::rename(replacement, path_);
  EXPECT_EQ(Text(*view), "0123456789");
  std::filesystem::remove(path_);
  EXPECT_EQ(Text(*view), "0123456789");
}

TEST_F(MappedFileTest, OnlyOwnFilesThatNoOtherUserMayWriteAreSafeToMap) {
  EXPECT_TRUE(MappedFile::OnlyOwnerMayShrink(fd_));
  ASSERT_EQ(chmod(path_.c_str(), 0664), 0);  // a user's own group may write
  EXPECT_TRUE(MappedFile::OnlyOwnerMayShrink(fd_));
  ASSERT_EQ(chmod(path_.c_str(), 0666), 0);  // every user may
  EXPECT_FALSE(MappedFile::OnlyOwnerMayShrink(fd_));
  EXPECT_FALSE(MappedFile::OnlyOwnerMayShrink(-1));
}

}  // namespace
}  // namespace veltro::platform
