// Ogg Vorbis decoder over libvorbisfile: 16-bit signed little-endian interleaved output,
// mono or stereo. Decodes in units of kUnitBytes and keeps the surplus of the last unit as the
// carry for the next Read. A chained file plays its links while they keep the first link's
// channel count and sample rate; the first link in another format ends the song (and its
// length), as the output format cannot change while a song plays.
//
// The libvorbisfile state stays inside OggDecoder.cpp: users of this header need no Ogg or
// Vorbis headers.
//
// One thread at a time (the owning engine serialises its calls).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/DecoderBase.h"

namespace veltro::engine {

class OggDecoder final : public DecoderBase {
 public:
  OggDecoder();
  ~OggDecoder() override;
  OggDecoder(const OggDecoder&) = delete;
  OggDecoder& operator=(const OggDecoder&) = delete;

  // Opens the file at `path`; fails (closed, with a reason) when it is not Ogg Vorbis or has
  // more than two channels.
  bool Open(const std::string& path) override;
  void Close() override;
  // Fills exactly `bytes` bytes; the carry (less than one unit) is delivered first.
  int Read(uint8_t* buffer, uint32_t bytes) override;
  int Position() override;
  int Length() override { return length_; }
  // Lands within 1/100 s of `position`: seeks one decode unit early and decodes that unit.
  void Seek(int position) override;

 private:
  // Bytes of one decode unit: the most one libvorbisfile read delivers, and the carry's size.
  static constexpr int kUnitBytes = 4096;
  struct Vorbis;  // the libvorbisfile state of the open file

  bool Fail(const std::string& reason);
  // One libvorbisfile read of up to kUnitBytes bytes into `unit_`: its byte count, 0 at the end
  // of the playable links.
  long DecodeUnit();
  std::span<const uint8_t> NextBlock() override;
  bool DropOneUnit();

  std::unique_ptr<Vorbis> vorbis_;
  bool open_ = false;
  long playableLinks_ = 0;  // links 0..playableLinks_-1 share the first link's format
  int unitMs_ = 0;          // milliseconds of one decode unit
  int length_ = 0;
  std::vector<uint8_t> unit_ = std::vector<uint8_t>(kUnitBytes);
};

}  // namespace veltro::engine
