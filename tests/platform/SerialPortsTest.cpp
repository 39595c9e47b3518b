// Listing serial ports: only device names of the three serial kinds that open as terminals are
// listed, in kind and number order; a stored "COMn" setting names /dev/ttyS(n-1).
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/SerialPorts.h"
#include "support/PseudoTerminal.h"
#include "support/TempDir.h"

namespace veltro::platform {
namespace {

using testing::PseudoTerminal;
using testing::TempDir;

TEST(SerialPorts, ListsOnlySerialNamesThatOpenAsTerminalsInKindAndNumberOrder) {
  TempDir dir;
  PseudoTerminal terminal;
  ASSERT_FALSE(terminal.SlavePath().empty());
  // Terminals under serial names, created out of order.
  for (const char* name : {"ttyACM1", "ttyUSB10", "ttyUSB0", "ttyS3", "ttyUSB2"}) {
    std::filesystem::create_symlink(terminal.SlavePath(), dir.Path() / name);
  }
  // A terminal under other names, a regular file and a device that is no terminal.
  for (const char* name : {"ttyXYZ", "ttyUSB", "ttyS1a", "tty0"}) {
    std::filesystem::create_symlink(terminal.SlavePath(), dir.Path() / name);
  }
  testing::WriteBytes(dir.File("ttyS0"), "not a device");
  std::filesystem::create_symlink("/dev/null", dir.Path() / "ttyS1");
  std::filesystem::create_symlink(dir.File("missing"), dir.Path() / "ttyS2");

  const std::string base = dir.Path().string() + "/";
  const std::vector<std::string> expected = {base + "ttyS3", base + "ttyUSB0", base + "ttyUSB2",
                                             base + "ttyUSB10", base + "ttyACM1"};
  EXPECT_EQ(OpenableSerialPorts(dir.Path().string()), expected);
  EXPECT_TRUE(OpenableSerialPorts(dir.File("absent")).empty());
}

TEST(SerialPorts, ComSettingsNameTheBuiltInPorts) {
  const struct {
    const char* setting;
    const char* path;
  } cases[] = {
      {"COM1", "/dev/ttyS0"},
      {"com12", "/dev/ttyS11"},
      {"Com2", "/dev/ttyS1"},
      {"COM0", "COM0"},
      {"COMx", "COMx"},
      {"COM", "COM"},
      {"COM1x", "COM1x"},
      {"COM-1", "COM-1"},
      {"XCOM1", "XCOM1"},
      {"/dev/ttyUSB0", "/dev/ttyUSB0"},
      {"", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(SerialDevicePath(c.setting), c.path) << c.setting;
}

}  // namespace
}  // namespace veltro::platform
