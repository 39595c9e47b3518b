// RIFF WAVE decoder: integer PCM, 8 or 16 bits, mono or stereo (also as
// WAVE_FORMAT_EXTENSIBLE with the PCM sub-format). 16-bit data is passed on as stored; 8-bit
// data is widened to 16-bit signed, so the output is always 16-bit (the tempo processor works
// on 16-bit samples).
//
// Robustness rules for outside files:
// - reads stop at the end of the "data" chunk: chunks after it (LIST, id3) are never played;
// - a "data" chunk that claims more bytes than the file holds is clamped to the bytes
//   present (and to whole sample frames);
// - only the fields needed are read from a "fmt " chunk longer than 16 bytes; a shorter one
//   is refused;
// - block align and average bytes per second are derived from channels, bits and rate: a
//   file whose stored values disagree is corrected, not refused (the sample layout is defined
//   by channels and bits; players in the field do the same);
// - anything else (compressed, IEEE float, 24/32-bit, more than 2 channels, a sample rate
//   outside 1000..200000 Hz) is refused with a reason in LastError().
//
// One thread at a time (the owning engine serialises its calls).
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "engine/DecoderBase.h"
#include "platform/ByteSource.h"
#include "platform/RiffReader.h"

namespace veltro::engine {

class WavDecoder final : public DecoderBase {
 public:
  WavDecoder() = default;
  ~WavDecoder() override = default;
  WavDecoder(const WavDecoder&) = delete;
  WavDecoder& operator=(const WavDecoder&) = delete;

  // Opens the file at `path` (bytes of the file system's path).
  bool Open(const std::string& path) override;
  // Opens a WAV image from any byte source (takes ownership), e.g. memory for the fuzzer.
  bool OpenSource(std::unique_ptr<platform::ByteSource> source);
  void Close() override;
  int Read(uint8_t* buffer, uint32_t bytes) override;
  int Position() override;
  int Length() override { return length_; }
  void Seek(int position) override;

  // Bytes of sample data in the "data" chunk that will be played (whole frames).
  uint64_t DataBytes() const { return dataBytes_; }

 private:
  bool Fail(const std::string& reason);
  bool ReadFormatChunk(platform::RiffReader& reader, const platform::RiffChunk& fmt);
  bool CheckFormat(uint16_t tag, uint16_t channels, uint32_t rate, uint16_t bits);
  void WidenTo16Bit(uint8_t* buffer, uint64_t samples) const;

  std::unique_ptr<platform::ByteSource> source_;
  platform::RiffChunk riffChunk_;
  platform::RiffChunk dataChunk_;
  int length_ = 0;
  uint64_t dataStart_ = 0;
  uint64_t dataBytes_ = 0;
  uint64_t consumedBytes_ = 0;  // file bytes of the data chunk delivered so far
  WaveFormat fileFormat_{};     // as stored in the file (after correction); format_ is the output
  bool widen8Bit_ = false;
};

}  // namespace veltro::engine
