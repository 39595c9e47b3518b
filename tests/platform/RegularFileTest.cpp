// Opening song and library files: regular files open for reading and writing; a FIFO without a
// writer, a device, a folder and a missing file are refused at once with a reason that names them.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "platform/RegularFile.h"
#include "support/TempDir.h"

namespace veltro::platform {
namespace {

using testing::TempDir;

TEST(RegularFile, OpensRegularFilesInBlockingModeForBothAccesses) {
  TempDir dir;
  const std::string path = dir.File("song.mp3");
  testing::WriteBytes(path, "abc");
  for (const FileAccess access : {FileAccess::kRead, FileAccess::kReadWrite}) {
    std::FILE* stream = OpenRegularFileStream(path, access);
    ASSERT_NE(stream, nullptr);
    char bytes[4] = {};
    EXPECT_EQ(std::fread(bytes, 1, 4, stream), 3u);
    EXPECT_STREQ(bytes, "abc");
    std::fclose(stream);
  }
}

TEST(RegularFile, RefusesEverythingElseWithoutWaiting) {
  TempDir dir;
  const std::string fifo = dir.File("pipe.ogg");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0644), 0);
  struct Case {
    std::string path;
    std::string said;
  };
  const std::vector<Case> cases = {{fifo, "is a FIFO, not a regular file"},
                                   {dir.Path().string(), "is a folder, not a regular file"},
                                   {"/dev/zero", "is a device, not a regular file"},
                                   {dir.File("missing.wav"), "cannot open"}};
  for (const Case& c : cases) {
    for (const FileAccess access : {FileAccess::kRead, FileAccess::kReadWrite}) {
      std::string reason;
      EXPECT_EQ(OpenRegularFile(c.path, access, &reason), -1) << c.path;
      EXPECT_NE(reason.find(c.said), std::string::npos) << reason;
      EXPECT_NE(reason.find(c.path), std::string::npos) << reason;
      EXPECT_EQ(OpenRegularFileStream(c.path, access), nullptr) << c.path;
    }
  }
}

}  // namespace
}  // namespace veltro::platform
