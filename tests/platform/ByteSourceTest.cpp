#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "platform/ByteSource.h"
#include "support/TempDir.h"

namespace veltro::platform {
namespace {

using veltro::testing::TempDir;

// The same reads and seeks must give the same results from a file and from memory.
void ExpectReadsAndSeeks(ByteSource& source) {
  ASSERT_EQ(source.Size(), 10u);
  char buffer[16] = {};
  EXPECT_EQ(source.Read(buffer, 4), 4u);
  EXPECT_EQ(std::string(buffer, 4), "0123");
  EXPECT_EQ(source.Tell(), 4u);
  EXPECT_EQ(source.Read(buffer, sizeof buffer), 6u) << "a read stops at the end";
  EXPECT_EQ(std::string(buffer, 6), "456789");
  EXPECT_EQ(source.Read(buffer, 1), 0u);
  EXPECT_FALSE(source.Seek(11));
  EXPECT_EQ(source.Tell(), 10u) << "a failed seek keeps the offset";
  ASSERT_TRUE(source.Seek(10));
  ASSERT_TRUE(source.Seek(7));
  EXPECT_EQ(source.Read(buffer, 2), 2u);
  EXPECT_EQ(std::string(buffer, 2), "78");
  EXPECT_EQ(source.Read(buffer, 0), 0u);
}

TEST(ByteSource, MemoryAndFileBehaveAlike) {
  const std::string bytes = "0123456789";
  MemoryByteSource memory(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
  ExpectReadsAndSeeks(memory);

  TempDir dir;
  veltro::testing::WriteBytes(dir.File("ten"), bytes);
  auto file = FileByteSource::Open(dir.File("ten"));
  ASSERT_NE(file, nullptr);
  ExpectReadsAndSeeks(*file);
}

TEST(ByteSource, EmptySources) {
  MemoryByteSource memory(nullptr, 0);
  char byte = 0;
  EXPECT_EQ(memory.Read(&byte, 1), 0u);
  EXPECT_TRUE(memory.Seek(0));
  EXPECT_FALSE(memory.Seek(1));

  TempDir dir;
  veltro::testing::WriteBytes(dir.File("empty"), "");
  auto file = FileByteSource::Open(dir.File("empty"));
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(file->Size(), 0u);
  EXPECT_EQ(file->Read(&byte, 1), 0u);
}

TEST(ByteSource, OpenRefusesDirectoriesAndMissingFiles) {
  TempDir dir;
  EXPECT_EQ(FileByteSource::Open(dir.Path().string()), nullptr);
  EXPECT_EQ(FileByteSource::Open(dir.File("missing")), nullptr);
  EXPECT_EQ(FileByteSource::Open(""), nullptr);
}

TEST(ByteSource, OpenRefusesUnreadableFiles) {
  if (geteuid() == 0) GTEST_SKIP() << "root reads files without read permission";
  TempDir dir;
  const std::string locked = dir.File("locked");
  veltro::testing::WriteBytes(locked, "secret");
  ASSERT_EQ(chmod(locked.c_str(), 0), 0);
  EXPECT_EQ(FileByteSource::Open(locked), nullptr);
}

}  // namespace
}  // namespace veltro::platform
