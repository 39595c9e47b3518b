// A real output device through PortAudio: one 44100 Hz, 16-bit stereo stream whose callback
// runs the mix. Also the device list that SoundSystem reports.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/sound/Backend.h"
#include "platform/sound/SoundSystem.h"

namespace veltro::platform::sound {

// Opens the PortAudio output whose GUID text is `guidText` ("" = the default output) with a
// low-latency stream that mixes `core`; the stream's output underflows are counted into
// `underruns`, which must outlive the backend. nullptr when PortAudio has no such device or
// the stream cannot be opened. UI thread.
std::unique_ptr<Backend> CreatePortAudioBackend(const std::string& guidText,
                                                std::shared_ptr<MixerCore> core,
                                                std::atomic<uint64_t>& underruns);

// The PortAudio devices that have output channels, in PortAudio's order, described as
// "<host API name>: <device name>". Empty when PortAudio cannot start. UI thread.
std::vector<DeviceInfo> PortAudioOutputDevices();

// The stable GUID text of a device description. Any thread.
std::string DeviceGuidText(const std::string& description);

}  // namespace veltro::platform::sound
