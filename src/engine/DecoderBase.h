// The decoder interface: one audio file turned into a stream of PCM bytes in fixed-size reads,
// with its format, length and position, and a seek by time.
//
// Units: positions and lengths in hundredths of a second; sizes in bytes of PCM in the
// decoder's output format (little-endian, interleaved). One thread at a time (the owning
// engine serialises its calls).
#pragma once

#include <cstdint>
#include <string>

#include "platform/WaveFormat.h"

namespace veltro::engine {

using platform::WaveFormat;

class DecoderBase {
 public:
  static constexpr int kOk = 0;
  static constexpr int kEndOfStream = 10;

  virtual ~DecoderBase() = default;

  // Opens the file and prepares decoding from its start. False (with LastError() saying why)
  // when the file cannot be opened or is not a valid stream of the decoder's kind; the
  // decoder is then closed.
  virtual bool Open(const std::string& path) = 0;
  // Releases everything Open acquired. Safe when nothing is open.
  virtual void Close() = 0;
  // Fills exactly `bytes` bytes. Returns kOk, or kEndOfStream when the end of the stream was
  // met during this read; the rest of the buffer is then silence (and so is every later read).
  virtual int Read(uint8_t* buffer, uint32_t bytes) = 0;
  // The output format (valid after a successful Open).
  virtual WaveFormat Format() const { return formatRecord; }
  // Position in 1/100 s of the next byte that Read will deliver.
  virtual int Position() = 0;
  // Length of the song in 1/100 s.
  virtual int Length() = 0;
  // Positions the decoder so that the next Read starts at `position` (1/100 s).
  virtual void Seek(int position) = 0;

  // Why the last Open failed, for a one-line message to the user.
  const std::string& LastError() const { return lastError; }

  // Bytes of real audio at the start of the buffer filled by the last Read (the rest of that
  // buffer is silence padding); kAllBytes when the decoder does not track it, which callers
  // take as "the whole read". Lets the engine pass only song audio through its tempo
  // processor at the end of a song.
  static constexpr uint32_t kAllBytes = UINT32_MAX;
  uint32_t LastReadAudioBytes() const { return lastReadAudioBytes; }

 protected:
  WaveFormat formatRecord{};
  int bitsPerSample = 0;
  int sampleRate = 0;
  int avgBytesPerSec = 0;
  std::string lastError;
  uint32_t lastReadAudioBytes = kAllBytes;
};

}  // namespace veltro::engine
