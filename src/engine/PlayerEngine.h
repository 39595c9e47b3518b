// The audio heart of one deck: decodes a song, passes it through the SoundTouch tempo
// processor and keeps a half-second looping stream buffer (two quarter-second halves) and a
// short cue buffer filled on the deck's main device and, optionally, its monitor device.
//
// Units: positions and lengths in hundredths of a second; pitch in tenths of a percent;
// volumes in hundredths of a decibel (0 = full, -10000 = silence); sizes in bytes of the
// song's PCM format (A = its average bytes per second). The decoders always deliver 16-bit
// samples, so A is that of the 16-bit output.
//
// Buffer sizes: half = A / 4, main buffer = two halves, cue buffer = A * 10 / 65, each
// rounded down to a whole sample frame (a buffer or half that ended inside a frame would
// misalign the channels of everything written after it; for 44.1 kHz stereo the half and
// main buffer are exactly A / 4 and A / 2, the cue buffer 27136 bytes).
//
// End of a song: the decoder's last block goes through the tempo processor, which is then
// flushed, so the song's last audio is played. A refill counts towards EndCount() only when
// the decoder has reported the end and no song audio is left over for later refills; the
// first counted refill therefore holds the song's last audio, and EndCount() reaches 3 just
// when the half holding it has been played out.
//
// Failure: Load fails (engine unloaded, LastError() says why) for an unknown extension, a
// file that cannot be opened or is not a valid stream of its kind, and when the main device
// is attached but the main buffer cannot be created on it. A missing monitor buffer only
// silences the monitor. A buffer that is lost later (its device closed) is skipped: writes to
// it are dropped and nothing crashes.
//
// Threads: Service runs on the deck's timer thread, everything else on the UI thread. One
// mutex per engine serialises every public call, so the two never interleave. NearEnd() and
// EndCount() are atomics that any thread may read.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "engine/DecoderBase.h"
#include "engine/OggDecoder.h"
#include "engine/WavDecoder.h"
#include "platform/WaveFormat.h"
#include "platform/sound/SoundBuffer.h"
#include "platform/sound/SoundDevice.h"

namespace soundtouch {
class SoundTouch;
}

namespace veltro::engine {

class PlayerEngine {
 public:
  static constexpr uint32_t kDecoderBlockBytes = 16384;

  // Builds the tempo processor and the decoders (MP3, Ogg, WAV); nothing is loaded. UI thread.
  PlayerEngine();
  // Releases the buffers and closes the decoder (the deck normally unloads first).
  ~PlayerEngine();
  PlayerEngine(const PlayerEngine&) = delete;
  PlayerEngine& operator=(const PlayerEngine&) = delete;

  // Stores the devices this deck plays on (not owned; they must outlive every loaded song).
  // `monitorDevice` may be null; so may `mainDevice` (a silent deck). UI thread, once.
  void AttachDevices(platform::sound::SoundDevice* mainDevice,
                     platform::sound::SoundDevice* monitorDevice);
  // Replaces the decoder used for ".MP3" files (the engine owns it; by default an
  // Mp3Decoder; null makes ".MP3" an unsupported type). Unloads an MP3 song first. UI thread.
  void SetMp3Decoder(std::unique_ptr<DecoderBase> decoder);

  // Opens `path` with the decoder that SongFileTypeOf picks for `extension` (".MP3", ".WAV",
  // ".OGG", any case), creates the buffers and configures the tempo processor.
  // `endWarningSeconds` sets the near-end threshold. Unloads first. False (unloaded,
  // LastError() set) on failure. Does not fill or start the buffers: follow with Prime.
  // UI thread.
  bool Load(const std::string& path, int endWarningSeconds, const std::string& extension);
  // Releases the four buffers and closes the decoder. UI thread.
  void Unload();
  // Length of the loaded song (1/100 s); 0 when nothing is loaded. Any thread.
  int Length() const;
  // Positions the song at `position` (1/100 s) and refills both halves and the cue buffer.
  // EndCount() starts again from 0, then counts these refills. UI thread.
  void Prime(int position);
  // Start / stop the main and monitor buffers (looping, from their cursors). UI thread.
  void Play();
  void Stop();
  // Start / stop both cue buffers (looping). UI thread.
  void PlayCue();
  void StopCue();
  // Refills a half when the play cursor has crossed into the other half and returns the
  // position being heard (1/100 s). Timer thread, every 100 ms while playing.
  int Service();
  // Updates NearEnd() and returns the time text for `position` (1/100 s): elapsed when
  // `elapsedMode` != 0, else remaining with a "-" prefix ("-00:03:07:25"). UI thread.
  std::string TimeText(int position, int elapsedMode);
  // Pitch in tenths of a percent (-127..+128): a tempo change in Mastertempo mode, else a
  // change of the buffers' frequency. UI thread.
  void SetPitch(int value);
  // Always the frequency form of SetPitch (pitch bend). UI thread.
  void SetRate(int value);
  // Volume of the main (and main cue) buffer / monitor (and monitor cue) buffer, in
  // hundredths of a decibel. UI thread.
  void SetMainVolume(int32_t volume);
  void SetMonitorVolume(int32_t volume);
  // Sets the tempo processor's rate and channels from the song and its quality settings.
  // UI thread.
  void ConfigureTempo();
  // Tempo change 0 (Mastertempo switched off). UI thread.
  void ClearTempoChange();
  // The tempo change (percent) the processor applies now, read back from it. Any thread.
  double TempoChangePercent() const;

  // Accessors for the deck and the mixer. Any thread.
  bool IsLoaded() const { return Guarded(loaded_); }
  WaveFormat Format() const { return Guarded(format_); }
  int NearEnd() const { return nearEnd_.load(); }
  int EndCount() const { return endCount_.load(); }
  void ResetEndCount() { endCount_.store(0); }
  int EndWarning() const { return Guarded(endWarning_); }
  void SetEndWarning(int hundredths);
  int TempoMode() const { return Guarded(tempoMode_); }
  void SetTempoMode(int mode);
  std::string LastError() const { return Guarded(lastError_); }

  // Read-only diagnostics: number of half refills since construction, the offset (bytes) of
  // the last one, and the buffer sizes of the loaded song (bytes). Any thread.
  uint64_t RefillCount() const { return refillCount_.load(); }
  uint32_t LastRefillOffset() const { return lastRefillOffset_.load(); }
  uint32_t HalfSize() const { return Guarded(halfSize_); }
  uint32_t CueBytes() const { return Guarded(cueBytes_); }
  // The main buffer's playback frequency (Hz); 0 without a main buffer.
  uint32_t MainFrequencyHz() const;

 private:
  // A copy of `field` read under the engine's mutex.
  template <typename T>
  T Guarded(const T& field) const {
    std::lock_guard lock(mutex_);
    return field;
  }
  DecoderBase* ChooseDecoder(const std::string& extension);
  bool CreateBuffers();
  void UnloadLocked();
  void ConfigureTempoLocked();
  void ResetTempo();
  void ApplyFrequency(int value);
  int HeldBackHundredths(uint32_t queuedBytes) const;
  void RefillHalf(uint32_t offset);
  int ProduceBlock(uint8_t* destination);
  void FeedTempo(const uint8_t* block, uint32_t frames);
  void DrainTempo();
  void FillCue();
  // Starts (looping) or stops each present buffer.
  static void SetPlaying(std::initializer_list<platform::sound::SoundBuffer*> buffers,
                         bool playing);
  static void WriteRegion(platform::sound::SoundBuffer* buffer, uint32_t offset,
                          const uint8_t* bytes, uint32_t count);

  mutable std::mutex mutex_;
  std::atomic<int> nearEnd_{0};
  int tempoMode_ = 0;
  int endWarning_ = 0;
  std::atomic<int> endCount_{0};
  bool loaded_ = false;
  std::unique_ptr<soundtouch::SoundTouch> tempo_;
  std::vector<uint8_t> staging_;
  std::vector<uint8_t> carry_;  // processed output not yet placed in a half; its size is the
                                // carry length
  uint32_t mainBytes_ = 0;      // of the main and monitor buffers
  uint32_t cueBytes_ = 0;       // of the two cue buffers
  std::array<char, 24> timeText_{};
  DecoderBase* decoder_ = nullptr;
  std::unique_ptr<DecoderBase> mp3_;
  OggDecoder ogg_;
  WavDecoder wav_;
  platform::sound::SoundDevice* mainDevice_ = nullptr;
  platform::sound::SoundDevice* monitorDevice_ = nullptr;
  std::unique_ptr<platform::sound::SoundBuffer> mainBuffer_;
  std::unique_ptr<platform::sound::SoundBuffer> monitorBuffer_;
  std::unique_ptr<platform::sound::SoundBuffer> mainCueBuffer_;
  std::unique_ptr<platform::sound::SoundBuffer> monitorCueBuffer_;
  WaveFormat format_{};
  uint32_t halfSize_ = 0;
  uint32_t lastPlayCursor_ = 0;
  bool streamEnded_ = false;  // the decoder reported the end and the processor was flushed
  std::string lastError_;
  std::atomic<uint64_t> refillCount_{0};
  std::atomic<uint32_t> lastRefillOffset_{0};
  // Work areas reused by every refill.
  std::vector<uint8_t> block_;
  std::vector<float> floatIn_;
  std::vector<float> floatOut_;
};

}  // namespace veltro::engine
