// Enumerates the output devices Veltro can play on.
#pragma once

#include <string>
#include <vector>

namespace veltro::platform::sound {

struct DeviceInfo {
  std::string guidText;     // 38-character brace GUID, stable across restarts
  std::string description;  // human-readable name, e.g. "ALSA: HDA Intel PCH: ALC892 Analog"
};

class SoundSystem {
 public:
  static constexpr const char* kNullOutputDescription = "Null output";

  // Every output device: the PortAudio devices that have output channels, in PortAudio's
  // order, then "Null output" last. The GUID of a real device is derived from its host API
  // name and device name, so it is the same on every run. UI thread.
  static std::vector<DeviceInfo> Devices();

  // The fixed GUID text of "Null output". Any thread.
  static const std::string& NullOutputGuid();
};

}  // namespace veltro::platform::sound
