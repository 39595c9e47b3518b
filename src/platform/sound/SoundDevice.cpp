#include "platform/sound/SoundDevice.h"

#include <algorithm>

#include "platform/sound/Backend.h"
#include "platform/sound/MixerCore.h"
#include "platform/sound/NullBackend.h"
#include "platform/sound/PortAudioBackend.h"
#include "platform/sound/SoundBuffer.h"
#include "platform/sound/SoundSystem.h"

namespace veltro::platform::sound {
namespace {

constexpr uint32_t kMinFormatRateHz = 1000;
constexpr uint32_t kMaxFormatRateHz = 200000;
constexpr uint32_t kMaxBufferBytes = 0x0FFFFFFF;

bool IsSupported(const WaveFormat& format) {
  return format.formatTag == kWaveFormatPcm && (format.channels == 1 || format.channels == 2) &&
         (format.bitsPerSample == 8 || format.bitsPerSample == 16) &&
         format.blockAlign == format.channels * format.bitsPerSample / 8 &&
         format.samplesPerSec >= kMinFormatRateHz && format.samplesPerSec <= kMaxFormatRateHz;
}

}  // namespace

SoundDevice::SoundDevice() = default;

SoundDevice::~SoundDevice() {
  Close();
}

bool SoundDevice::Open(const std::string& guidText) {
  Close();
  auto core = std::make_shared<MixerCore>();
  std::unique_ptr<Backend> backend;
  if (guidText == SoundSystem::NullOutputGuid()) {
    backend = std::make_unique<NullBackend>(core, underruns_);
  } else {
    backend = CreatePortAudioBackend(guidText, core, underruns_);
  }
  if (!backend) return false;
  return Start(std::move(core), std::move(backend));
}

bool SoundDevice::OpenManual() {
  Close();
  return Start(std::make_shared<MixerCore>(), std::make_unique<ManualBackend>());
}

bool SoundDevice::Start(std::shared_ptr<MixerCore> core, std::unique_ptr<Backend> backend) {
  underruns_.store(0, std::memory_order_relaxed);
  core_ = std::move(core);
  // The keep-alive buffer exists before the stream starts, so the first pass already has it.
  keepAlive_ = CreateBuffer(PrimaryFormat(), PrimaryFormat().avgBytesPerSec);
  if (keepAlive_) keepAlive_->Play(true);
  if (!backend->Start()) {
    keepAlive_.reset();
    core_.reset();
    return false;
  }
  backend_ = std::move(backend);
  return true;
}

void SoundDevice::Close() {
  if (backend_) backend_->Stop();  // from here on no mix pass runs on this core
  backend_.reset();
  keepAlive_.reset();
  if (core_) core_->MarkClosed();
  core_.reset();
}

bool SoundDevice::IsOpen() const {
  return core_ != nullptr;
}

const WaveFormat& SoundDevice::PrimaryFormat() {
  static const WaveFormat kPrimary = MakePcmFormat(kSampleRateHz, kChannels, 16);
  return kPrimary;
}

std::unique_ptr<SoundBuffer> SoundDevice::CreateBuffer(const WaveFormat& format, uint32_t bytes) {
  if (!core_ || !IsSupported(format)) return nullptr;
  if (bytes == 0 || bytes > kMaxBufferBytes || bytes % format.blockAlign != 0) return nullptr;
  // WaveFormat is a packed record: its fields are copied out, never bound to references.
  const uint16_t channels = format.channels;
  const uint32_t frames = bytes / format.blockAlign;
  const uint32_t rateHz = format.samplesPerSec;
  auto voice = std::make_unique<BufferVoice>(channels, frames, rateHz);
  std::unique_ptr<SoundBuffer> buffer(new SoundBuffer(core_, std::move(voice), format, bytes));
  // Published only once fully built; a buffer that finds no slot is simply dropped.
  if (!core_->Add(*buffer->voice_)) return nullptr;
  return buffer;
}

bool SoundDevice::Render(int16_t* out, size_t frames) {
  if (!core_ || !backend_ || !backend_->IsManual()) {
    std::fill(out, out + 2 * frames, int16_t{0});
    return false;
  }
  core_->Mix(out, frames);
  return true;
}

uint64_t SoundDevice::UnderrunCount() const {
  return underruns_.load(std::memory_order_relaxed);
}

}  // namespace veltro::platform::sound
