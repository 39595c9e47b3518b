#include "platform/SerialPorts.h"

#include <dirent.h>
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <climits>
#include <optional>
#include <tuple>

namespace veltro::platform {
namespace {

// The name prefixes of serial devices, in the order the list shows their kinds.
constexpr std::string_view kPortKinds[] = {"ttyS", "ttyUSB", "ttyACM"};

struct PortName {
  size_t kind;  // index into kPortKinds
  unsigned number;
  std::string name;
};

// A whole decimal number (no sign, no other characters), or nullopt.
std::optional<unsigned> DecimalNumber(std::string_view digits) {
  unsigned number = 0;
  const char* last = digits.data() + digits.size();
  const auto [end, error] = std::from_chars(digits.data(), last, number);
  if (digits.empty() || error != std::errc() || end != last) return std::nullopt;
  return number;
}

// The kind and number of a device name such as "ttyUSB0"; nullopt for every other name.
// "ttyS" is tried last so that it never claims a longer prefix's names.
std::optional<PortName> ParsePortName(std::string_view name) {
  for (size_t kind = std::size(kPortKinds); kind-- > 0;) {
    const std::string_view prefix = kPortKinds[kind];
    if (!name.starts_with(prefix)) continue;
    const std::optional<unsigned> number = DecimalNumber(name.substr(prefix.size()));
    if (!number) return std::nullopt;
    return PortName{kind, *number, std::string(name)};
  }
  return std::nullopt;
}

// Opens `path` as a serial port would be opened, without waiting for a carrier and without
// taking it as controlling terminal, and checks that it is a terminal that answers.
bool CanOpenTerminal(const std::string& path) {
  const int fd = open(path.c_str(), O_RDWR | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return false;
  termios attributes{};
  const bool answers = isatty(fd) == 1 && tcgetattr(fd, &attributes) == 0;
  close(fd);
  return answers;
}

std::vector<PortName> CandidateNames(const std::string& devDirectory) {
  std::vector<PortName> names;
  DIR* folder = opendir(devDirectory.c_str());
  if (folder == nullptr) return names;
  while (const dirent* entry = readdir(folder)) {
    if (std::optional<PortName> port = ParsePortName(entry->d_name)) {
      names.push_back(std::move(*port));
    }
  }
  closedir(folder);
  return names;
}

}  // namespace

std::vector<std::string> OpenableSerialPorts(const std::string& devDirectory) {
  std::vector<PortName> names = CandidateNames(devDirectory);
  std::sort(names.begin(), names.end(), [](const PortName& a, const PortName& b) {
    return std::tie(a.kind, a.number, a.name) < std::tie(b.kind, b.number, b.name);
  });
  std::vector<std::string> ports;
  for (const PortName& port : names) {
    std::string path = devDirectory + "/" + port.name;
    if (CanOpenTerminal(path)) ports.push_back(std::move(path));
  }
  return ports;
}

std::string SerialDevicePath(std::string_view setting) {
  constexpr std::string_view kComPrefix = "COM";
  if (setting.size() > kComPrefix.size()) {
    const bool isCom = std::equal(kComPrefix.begin(), kComPrefix.end(), setting.begin(),
                                  [](char expected, char actual) {
                                    return expected == (actual & ~0x20);  // ASCII upper case
                                  });
    const std::optional<unsigned> number = DecimalNumber(setting.substr(kComPrefix.size()));
    if (isCom && number && *number >= 1 && *number <= INT_MAX) {
      return "/dev/ttyS" + std::to_string(*number - 1);
    }
  }
  return std::string(setting);
}

}  // namespace veltro::platform
