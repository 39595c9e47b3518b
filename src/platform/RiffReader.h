// Descends into and ascends out of RIFF chunks by id, with every size checked against the
// bytes that are really there. Replaces the multimedia-file chunk functions for WAV access.
//
// A chunk's declared size may pass the end of its parent or of the file (truncated
// recordings); Descend then reports the declared size and clamps `size` to what is present,
// so a reader never runs past real data.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/ByteSource.h"

namespace veltro::platform {

constexpr uint32_t FourCC(char a, char b, char c, char d) {
  return static_cast<uint32_t>(static_cast<uint8_t>(a)) |
         static_cast<uint32_t>(static_cast<uint8_t>(b)) << 8 |
         static_cast<uint32_t>(static_cast<uint8_t>(c)) << 16 |
         static_cast<uint32_t>(static_cast<uint8_t>(d)) << 24;
}

struct RiffChunk {
  uint32_t id = 0;            // four-character code as stored (little-endian)
  uint32_t declaredSize = 0;  // size field as stored in the header
  uint32_t size = 0;          // bytes of data actually present (<= declaredSize)
  uint64_t dataOffset = 0;    // offset of the first data byte in the source
  uint32_t formType = 0;      // "RIFF"/"LIST" chunks: the form type; else 0
};

// Reads through a ByteSource it does not own. One thread at a time.
class RiffReader {
 public:
  explicit RiffReader(ByteSource& source) : source_(source) {}

  // Finds the top-level "RIFF" chunk with this form type at the start of the source and
  // positions at its first sub-chunk. False when the source is not such a RIFF file.
  bool DescendRiff(uint32_t formType, RiffChunk& riff);
  // Searches `parent`'s sub-chunks, from the current offset onward, for one with this id and
  // positions at its first data byte ("RIFF"/"LIST" chunks: past their form type, at their
  // first sub-chunk). False when none is found within the parent; the offset is then unchanged.
  bool Descend(const RiffChunk& parent, uint32_t id, RiffChunk& chunk);
  // Positions just past `chunk` (its data and pad byte). False when that is beyond the source.
  bool Ascend(const RiffChunk& chunk);

  // Plain reads and seeks on the underlying source (bytes, absolute offsets).
  size_t Read(void* destination, size_t bytes) { return source_.Read(destination, bytes); }
  bool Seek(uint64_t offset) { return source_.Seek(offset); }
  uint64_t Tell() const { return source_.Tell(); }

 private:
  bool ReadHeader(uint32_t& id, uint32_t& size);
  bool ReadFormType(RiffChunk& chunk);
  ByteSource& source_;
};

}  // namespace veltro::platform
