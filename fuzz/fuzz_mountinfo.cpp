// Parses arbitrary bytes as a mount table and classifies its mounts, and traps when a parsed
// line does not parse alone to the same entry, when the offered volumes are not among the
// parsed mounts or name a mount point twice, or when a pseudo file system is offered.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <tuple>

#include "platform/Volumes.h"

namespace {

using veltro::platform::MountEntry;
using veltro::platform::MountedVolume;

void Check(bool condition) {
  if (!condition) __builtin_trap();
}

bool SameEntry(const MountEntry& a, const MountEntry& b) {
  return std::tie(a.major, a.minor, a.root, a.mountPoint, a.fileSystemType, a.source) ==
         std::tie(b.major, b.minor, b.root, b.mountPoint, b.fileSystemType, b.source);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const auto entries = veltro::platform::ParseMountInfo(text);
  Check(entries.size() <= static_cast<size_t>(std::count(text.begin(), text.end(), '\n')) + 1);
  size_t next = 0;
  for (size_t start = 0; start < text.size();) {
    const size_t end = std::min(text.find('\n', start), text.size());
    const auto alone = veltro::platform::ParseMountInfo(text.substr(start, end - start));
    Check(alone.size() <= 1);
    if (!alone.empty()) Check(next < entries.size() && SameEntry(alone[0], entries[next++]));
    start = end + 1;
  }
  Check(next == entries.size());
  // Odd minor numbers stand for removable devices, so both answers are exercised.
  const auto volumes = veltro::platform::VolumesOfMountInfo(
      text, [](unsigned, unsigned minor) { return minor % 2 == 1; });
  for (size_t i = 0; i < volumes.size(); ++i) {
    const MountedVolume& volume = volumes[i];
    Check(!veltro::platform::IsPseudoFileSystemType(volume.fileSystemType));
    Check(std::any_of(entries.begin(), entries.end(), [&](const MountEntry& entry) {
      return entry.mountPoint == volume.mountPoint && entry.fileSystemType == volume.fileSystemType;
    }));
    for (size_t j = 0; j < i; ++j) Check(volumes[j].mountPoint != volume.mountPoint);
  }
  return 0;
}
