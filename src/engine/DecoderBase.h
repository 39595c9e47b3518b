// The decoder interface: one audio file turned into a stream of PCM bytes in fixed-size reads,
// with its format, length and position, and a seek by time.
//
// Units: positions and lengths in hundredths of a second; sizes in bytes of PCM in the
// decoder's output format (little-endian, interleaved). One thread at a time (the owning
// engine serialises its calls).
//
// Decoders that decode in blocks of their own size (an MPEG frame, a libvorbisfile unit) serve
// reads through FillFromBlocks: the part of the last block a read did not need is kept as the
// carry and delivered first by the next read.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

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
  virtual WaveFormat Format() const { return format_; }
  // Position in 1/100 s of the next byte that Read will deliver.
  virtual int Position() = 0;
  // Length of the song in 1/100 s.
  virtual int Length() = 0;
  // Positions the decoder so that the next Read starts at `position` (1/100 s).
  virtual void Seek(int position) = 0;

  // Why the last Open failed, for a one-line message to the user.
  const std::string& LastError() const { return lastError_; }

  // Bytes of real audio at the start of the buffer filled by the last Read (the rest of that
  // buffer is silence padding); kAllBytes when the decoder does not track it, which callers
  // take as "the whole read". Lets the engine pass only song audio through its tempo
  // processor at the end of a song.
  static constexpr uint32_t kAllBytes = UINT32_MAX;
  uint32_t LastReadAudioBytes() const { return lastReadAudioBytes_; }

  // Bytes decoded but not yet delivered: the carry (0 for decoders that read in place).
  uint32_t CarryLength() const { return static_cast<uint32_t>(carryLength_); }

 protected:
  // The next block of decoded PCM in the output format, for FillFromBlocks; empty at the end of
  // the stream (a block is never empty otherwise). Valid until the next call.
  virtual std::span<const uint8_t> NextBlock() { return {}; }
  // Moves up to `bytes` bytes into `buffer`: the carry first, then blocks from NextBlock() until
  // the buffer is full or the stream ends (which sets ended_). The part of the last block that
  // did not fit becomes the carry. Returns the bytes filled; the rest of `buffer` is untouched.
  uint32_t FillFromBlocks(uint8_t* buffer, uint32_t bytes);
  // Makes the `count` bytes at `bytes` (which may lie inside the carry itself) the carry, with
  // carryTime_ their duration; the carry holds at least `count` bytes.
  void SetCarry(const uint8_t* bytes, int count);

  WaveFormat format_{};
  int avgBytesPerSec_ = 0;
  std::string lastError_;
  uint32_t lastReadAudioBytes_ = kAllBytes;
  std::vector<uint8_t> carry_;  // sized by the decoder for its largest block
  int carryLength_ = 0;         // bytes of carry_ in use
  int carryTime_ = 0;           // 1/100 s of the carry, subtracted from the decoder's play time
  bool ended_ = false;          // the stream ended: every later read is silence
};

}  // namespace veltro::engine
