#include "platform/sound/SoundSystem.h"

#include "platform/sound/PortAudioBackend.h"

namespace veltro::platform::sound {

std::vector<DeviceInfo> SoundSystem::Devices() {
  std::vector<DeviceInfo> devices = PortAudioOutputDevices();
  devices.push_back({NullOutputGuid(), kNullOutputDescription});
  return devices;
}

const std::string& SoundSystem::NullOutputGuid() {
  static const std::string kGuid = DeviceGuidText(kNullOutputDescription);
  return kGuid;
}

}  // namespace veltro::platform::sound
