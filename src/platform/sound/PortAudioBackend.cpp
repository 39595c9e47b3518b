#include "platform/sound/PortAudioBackend.h"

#include <portaudio.h>

#include <mutex>

#include "platform/Guid.h"

#if defined(VELTRO_QUIET_ALSA)
#include <alsa/error.h>
#endif
#if defined(VELTRO_QUIET_JACK)
#include <jack/jack.h>
#endif

namespace veltro::platform::sound {
namespace {

// ALSA and JACK print a line for every card, plug-in or server they cannot find while
// PortAudio probes; on a machine without sound hardware that is dozens of lines per start.
// Failures still reach us through PortAudio's return codes.
#if defined(VELTRO_QUIET_ALSA)
void IgnoreAlsaMessage(const char* /*file*/, int /*line*/, const char* /*function*/, int /*error*/,
                       const char* /*format*/, ...) {}
#endif
#if defined(VELTRO_QUIET_JACK)
void IgnoreJackMessage(const char* /*message*/) {}
#endif

void QuietSystemAudioMessages() {
#if defined(VELTRO_QUIET_ALSA)
  snd_lib_error_set_handler(&IgnoreAlsaMessage);
#endif
#if defined(VELTRO_QUIET_JACK)
  jack_set_error_function(&IgnoreJackMessage);
  jack_set_info_function(&IgnoreJackMessage);
#endif
}

// Pa_Initialize / Pa_Terminate, reference-counted for the whole process: every user holds a
// session for as long as it calls PortAudio.
class PortAudioSession {
 public:
  PortAudioSession() {
    std::lock_guard lock(Mutex());
    if (Users() == 0) {
      QuietSystemAudioMessages();
      if (Pa_Initialize() != paNoError) return;
    }
    ++Users();
    ok_ = true;
  }
  ~PortAudioSession() {
    if (!ok_) return;
    std::lock_guard lock(Mutex());
    if (--Users() == 0) Pa_Terminate();
  }
  PortAudioSession(const PortAudioSession&) = delete;
  PortAudioSession& operator=(const PortAudioSession&) = delete;
  bool Ok() const { return ok_; }

 private:
  static std::mutex& Mutex() {
    static std::mutex mutex;
    return mutex;
  }
  static int& Users() {
    static int users = 0;
    return users;
  }
  bool ok_ = false;
};

std::string Describe(const PaDeviceInfo& device) {
  const PaHostApiInfo* host = Pa_GetHostApiInfo(device.hostApi);
  const std::string hostName = host != nullptr && host->name != nullptr ? host->name : "";
  return hostName + ": " + (device.name != nullptr ? device.name : "");
}

PaDeviceIndex FindOutputDevice(const std::string& guidText) {
  if (guidText.empty()) return Pa_GetDefaultOutputDevice();
  const PaDeviceIndex count = Pa_GetDeviceCount();
  for (PaDeviceIndex i = 0; i < count; ++i) {
    const PaDeviceInfo* device = Pa_GetDeviceInfo(i);
    if (device == nullptr || device->maxOutputChannels <= 0) continue;
    if (DeviceGuidText(Describe(*device)) == guidText) return i;
  }
  return paNoDevice;
}

class PortAudioBackend final : public Backend {
 public:
  PortAudioBackend(std::shared_ptr<MixerCore> core, std::atomic<uint64_t>& underruns)
      : core_(std::move(core)), underruns_(underruns) {}
  ~PortAudioBackend() override {
    Stop();
    if (stream_ != nullptr) Pa_CloseStream(stream_);
  }

  bool Open(PaDeviceIndex index) {
    const PaDeviceInfo* device = Pa_GetDeviceInfo(index);
    if (device == nullptr || device->maxOutputChannels < 2) return false;
    PaStreamParameters output{};
    output.device = index;
    output.channelCount = 2;
    output.sampleFormat = paInt16;
    output.suggestedLatency = device->defaultLowOutputLatency;
    return Pa_OpenStream(&stream_, nullptr, &output, MixerCore::kOutputRateHz,
                         paFramesPerBufferUnspecified, paNoFlag, &Callback, this) == paNoError;
  }

  bool Start() override { return stream_ != nullptr && Pa_StartStream(stream_) == paNoError; }

  void Stop() override {
    // Pa_StopStream returns after the last callback has finished.
    if (stream_ != nullptr && Pa_IsStreamActive(stream_) == 1) Pa_StopStream(stream_);
  }

  bool SessionOk() const { return session_.Ok(); }

 private:
  static int Callback(const void* /*input*/, void* output, unsigned long frames,
                      const PaStreamCallbackTimeInfo* /*time*/, PaStreamCallbackFlags status,
                      void* user) {
    auto* self = static_cast<PortAudioBackend*>(user);
    if ((status & paOutputUnderflow) != 0) self->underruns_.fetch_add(1, std::memory_order_relaxed);
    self->core_->Mix(static_cast<int16_t*>(output), frames);
    return paContinue;
  }

  PortAudioSession session_;
  std::shared_ptr<MixerCore> core_;
  std::atomic<uint64_t>& underruns_;
  PaStream* stream_ = nullptr;
};

}  // namespace

std::string DeviceGuidText(const std::string& description) {
  // The name space of Veltro's sound-device GUIDs (a fixed random GUID).
  static const Guid kSoundDeviceNamespace{
      0x7A3C1E52, 0x9B4D, 0x4F61, {0xA0, 0xD2, 0x5E, 0x8B, 0x3C, 0x6F, 0x1D, 0x07}};
  return Guid::NameBased(kSoundDeviceNamespace, description).Format();
}

std::unique_ptr<Backend> CreatePortAudioBackend(const std::string& guidText,
                                                std::shared_ptr<MixerCore> core,
                                                std::atomic<uint64_t>& underruns) {
  auto backend = std::make_unique<PortAudioBackend>(std::move(core), underruns);
  if (!backend->SessionOk()) return nullptr;
  const PaDeviceIndex index = FindOutputDevice(guidText);
  if (index == paNoDevice || !backend->Open(index)) return nullptr;
  return backend;
}

std::vector<DeviceInfo> PortAudioOutputDevices() {
  std::vector<DeviceInfo> devices;
  PortAudioSession session;
  if (!session.Ok()) return devices;
  const PaDeviceIndex count = Pa_GetDeviceCount();
  for (PaDeviceIndex i = 0; i < count; ++i) {
    const PaDeviceInfo* device = Pa_GetDeviceInfo(i);
    if (device == nullptr || device->maxOutputChannels <= 0) continue;
    std::string description = Describe(*device);
    devices.push_back({DeviceGuidText(description), std::move(description)});
  }
  return devices;
}

}  // namespace veltro::platform::sound
