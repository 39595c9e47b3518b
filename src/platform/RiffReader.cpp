// RIFF chunk navigation. Every chunk end is computed in 64 bits from the stored 32-bit size,
// so sizes near 2^32 cannot wrap, and every search step moves forward by at least one header,
// so a search always ends.
#include "platform/RiffReader.h"

#include <algorithm>

#include "platform/ByteOrder.h"

namespace veltro::platform {

namespace {

constexpr uint32_t kRiffId = FourCC('R', 'I', 'F', 'F');
constexpr uint32_t kListId = FourCC('L', 'I', 'S', 'T');
constexpr uint64_t kHeaderBytes = 8;
constexpr uint64_t kFormTypeBytes = 4;

bool HasFormType(uint32_t id) {
  return id == kRiffId || id == kListId;
}

// Bytes of a chunk's data present before `limit`, the end of its parent's present data.
uint32_t PresentBytes(uint64_t dataOffset, uint32_t declaredSize, uint64_t limit) {
  if (dataOffset >= limit) return 0;
  return static_cast<uint32_t>(std::min<uint64_t>(declaredSize, limit - dataOffset));
}

// Offset of the first sub-chunk of a chunk that carries a form type ("RIFF", "LIST").
uint64_t FirstSubChunk(const RiffChunk& parent) {
  return parent.dataOffset + (HasFormType(parent.id) ? kFormTypeBytes : 0);
}

}  // namespace

bool RiffReader::ReadHeader(uint32_t& id, uint32_t& size) {
  uint8_t header[kHeaderBytes];
  if (source_.Read(header, sizeof header) != sizeof header) return false;
  id = LoadLittleEndian32(header);
  size = LoadLittleEndian32(header + 4);
  return true;
}

bool RiffReader::ReadFormType(RiffChunk& chunk) {
  chunk.formType = 0;
  if (chunk.size < kFormTypeBytes) return false;
  uint8_t bytes[kFormTypeBytes];
  if (source_.Read(bytes, sizeof bytes) != sizeof bytes) return false;
  chunk.formType = LoadLittleEndian32(bytes);
  return true;
}

bool RiffReader::DescendRiff(uint32_t formType, RiffChunk& riff) {
  if (!source_.Seek(0)) return false;
  RiffChunk found;
  if (!ReadHeader(found.id, found.declaredSize) || found.id != kRiffId) return false;
  found.dataOffset = kHeaderBytes;
  found.size = PresentBytes(found.dataOffset, found.declaredSize, source_.Size());
  if (!ReadFormType(found) || found.formType != formType) return false;
  riff = found;
  return true;
}

bool RiffReader::Descend(const RiffChunk& parent, uint32_t id, RiffChunk& chunk) {
  const uint64_t start = source_.Tell();
  const uint64_t parentEnd = parent.dataOffset + parent.size;
  uint64_t offset = std::max(start, FirstSubChunk(parent));
  while (offset + kHeaderBytes <= parentEnd && source_.Seek(offset)) {
    RiffChunk found;
    if (!ReadHeader(found.id, found.declaredSize)) break;
    found.dataOffset = offset + kHeaderBytes;
    found.size = PresentBytes(found.dataOffset, found.declaredSize, parentEnd);
    if (found.id == id) {
      // A "RIFF"/"LIST" chunk is entered past its form type, at its first sub-chunk.
      if (HasFormType(found.id) && !ReadFormType(found)) source_.Seek(found.dataOffset);
      chunk = found;
      return true;
    }
    // Data plus the pad byte that keeps every chunk at an even offset.
    offset = found.dataOffset + found.declaredSize + (found.declaredSize & 1u);
  }
  source_.Seek(start);
  return false;
}

bool RiffReader::Ascend(const RiffChunk& chunk) {
  const uint64_t dataEnd = chunk.dataOffset + chunk.declaredSize;
  if (dataEnd > source_.Size()) return false;
  // A missing pad byte after an odd-sized last chunk is tolerated: the source simply ends.
  const uint64_t next = std::min(dataEnd + (chunk.declaredSize & 1u), source_.Size());
  return source_.Seek(next);
}

}  // namespace veltro::platform
