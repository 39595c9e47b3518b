// Ogg Vorbis decoder over libvorbisfile: 16-bit signed little-endian interleaved output,
// mono or stereo. Decodes in 4096-byte units and keeps the surplus of the last unit as a
// carry for the next Read. A chained file plays its links while they keep the first link's
// channel count and sample rate; the first link in another format ends the song (and its
// length), as the output format cannot change while a song plays.
//
// One thread at a time (the owning engine serialises its calls).
#pragma once

#ifndef OV_EXCLUDE_STATIC_CALLBACKS
#define OV_EXCLUDE_STATIC_CALLBACKS
#endif
#include <vorbis/vorbisfile.h>

#include <cstdint>
#include <string>
#include <vector>

#include "engine/DecoderBase.h"

namespace veltro::engine {

class OggDecoder final : public DecoderBase {
 public:
  OggDecoder() = default;
  ~OggDecoder() override;
  OggDecoder(const OggDecoder&) = delete;
  OggDecoder& operator=(const OggDecoder&) = delete;

  // Opens the file at `path`; fails (closed, with a reason) when it is not Ogg Vorbis or has
  // more than two channels.
  bool Open(const std::string& path) override;
  void Close() override;
  int Read(uint8_t* buffer, uint32_t bytes) override;
  int Position() override;
  int Length() override { return length; }
  // Lands within 1/100 s of `position`: seeks one decode unit early and decodes that unit.
  void Seek(int position) override;

  // Bytes decoded but not yet delivered (0..4095).
  uint32_t CarryLength() const { return static_cast<uint32_t>(carryLength); }

 private:
  bool Fail(const std::string& reason);
  long DecodeUnit();  // one ov_read of up to blockSize bytes into `unit`; 0 at the end
  double PlayableSeconds(const vorbis_info& first);  // sets playableLinks
  void SetCarry(const uint8_t* bytes, size_t count);

  OggVorbis_File vorbisFile{};
  std::FILE* file = nullptr;  // owned by vorbisFile once ov_open succeeded
  bool open = false;
  bool ended = false;
  int channels = 0;
  long playableLinks = 0;  // links 0..playableLinks-1 share the first link's format
  int blockSize = 4096;
  int blockMs = 0;
  std::vector<uint8_t> carry;
  int carryLength = 0;
  int carryTime = 0;
  int length = 0;
  std::vector<uint8_t> unit = std::vector<uint8_t>(4096);
};

}  // namespace veltro::engine
