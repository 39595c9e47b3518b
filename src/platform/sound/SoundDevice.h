// One opened output device: a 44100 Hz 16-bit stereo stream that mixes every SoundBuffer
// created on it. The device is shared by every deck that plays on it.
//
// Backends: a PortAudio stream (a real sound card), "Null output" (a thread that consumes the
// mix at real-time pace and plays nothing) and the manual backend (nothing runs by itself;
// Render pulls the mix synchronously, for tests).
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "platform/WaveFormat.h"

namespace veltro::platform::sound {

class SoundBuffer;
class MixerCore;
class Backend;

class SoundDevice {
 public:
  static constexpr uint32_t kSampleRateHz = 44100;
  static constexpr uint16_t kChannels = 2;

  SoundDevice();
  ~SoundDevice();  // Closes the device.
  SoundDevice(const SoundDevice&) = delete;
  SoundDevice& operator=(const SoundDevice&) = delete;

  // Opens the device with this GUID text ("" = the system's default output, the GUID of
  // "Null output" = the null device), sets the primary format and starts a one-second silent
  // keep-alive buffer looping. On failure the device stays unopened and false is returned.
  // UI thread.
  bool Open(const std::string& guidText);
  // Opens the manual backend: the mix advances only through Render. UI/test thread.
  bool OpenManual();
  // Stops the stream and releases it. Buffers still alive become lost: their calls do
  // nothing and Lock fails. Safe to call on an unopened device. UI thread.
  void Close();
  // UI thread.
  bool IsOpen() const;

  // The primary format: PCM, 2 channels, 44100 Hz, 16 bits.
  static const WaveFormat& PrimaryFormat();

  // Creates a secondary buffer of `bytes` bytes (a whole number of frames) in `format`
  // (integer PCM, 8 or 16 bits, 1 or 2 channels, 1000..200000 Hz). The buffer starts stopped,
  // at position 0, full volume, its format's frequency, filled with silence. nullptr when
  // the device is not open, the format is not supported or the device has no free slot.
  // UI thread.
  std::unique_ptr<SoundBuffer> CreateBuffer(const WaveFormat& format, uint32_t bytes);

  // Manual backend only: mixes `frames` frames into `out` (interleaved int16 stereo,
  // 2 * frames values), advancing every playing buffer. Returns false (and writes silence)
  // on any other backend or when closed. The calling thread acts as the audio thread: one
  // thread at a time, and buffers must not be destroyed from inside it.
  bool Render(int16_t* out, size_t frames);

  // Number of times the output stream ran dry since Open (PortAudio output underflows; for
  // "Null output", periods the mixing thread started too late). Any thread.
  uint64_t UnderrunCount() const;

 private:
  bool Start(std::shared_ptr<MixerCore> core, std::unique_ptr<Backend> backend);
  std::shared_ptr<MixerCore> core_;
  std::unique_ptr<Backend> backend_;
  std::unique_ptr<SoundBuffer> keepAlive_;
  std::atomic<uint64_t> underruns_{0};  // counted by the backend's audio thread
};

}  // namespace veltro::platform::sound
