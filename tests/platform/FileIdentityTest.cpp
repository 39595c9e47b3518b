// Who may replace a file in place, checked as an unprivileged user (root passes every
// permission check): the owner of a read-only file may, since they could make it writable.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "platform/FileIdentity.h"
#include "support/TempDir.h"
#include "support/Unprivileged.h"

namespace veltro::platform {
namespace {

using testing::TempDir;
using testing::WriteBytes;

TEST(FileIdentity, OwnerMayReplaceTheirReadOnlyFile) {
  TempDir dir;
  ASSERT_EQ(chmod(dir.Path().c_str(), 0777), 0);
  const std::string path = dir.File("song.ogg");
  WriteBytes(path, "audio");
  ASSERT_EQ(chmod(path.c_str(), 0444), 0);
  if (geteuid() == 0) {
    ASSERT_EQ(chown(path.c_str(), testing::kNobodyId, testing::kNobodyId), 0);
  }
  const int result = testing::RunUnprivileged([&path] {
    const int fd = open(path.c_str(), O_RDONLY);
    const auto identity = ReadFileIdentity(fd, path, nullptr);
    close(fd);
    if (!identity || identity->permissions != 0444) return 2;
    std::string reason;
    return MayReplaceInPlace(path, *identity, &reason) ? 0 : 1;
  });
  EXPECT_EQ(result, 0) << "1: refused, 2: identity not read";
}

}  // namespace
}  // namespace veltro::platform
