// Walks every chunk of arbitrary bytes taken as a RIFF WAVE file, reading each chunk's data in
// full, and traps when a reported chunk lies outside the input or the walk stops moving forward.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/ByteSource.h"
#include "platform/RiffReader.h"

namespace {

using veltro::platform::FourCC;
using veltro::platform::MemoryByteSource;
using veltro::platform::RiffChunk;
using veltro::platform::RiffReader;

constexpr int kMaxListDepth = 8;

void Check(bool condition) {
  if (!condition) __builtin_trap();
}

// Reads the chunk's present data and checks that all of it is really there.
void ReadChunkData(RiffReader& reader, const RiffChunk& chunk, uint64_t sourceSize) {
  Check(chunk.size <= chunk.declaredSize);
  Check(chunk.dataOffset + chunk.size <= sourceSize);
  std::vector<uint8_t> data(chunk.size);
  Check(reader.Seek(chunk.dataOffset));
  Check(reader.Read(data.data(), data.size()) == data.size());
}

uint32_t PeekId(RiffReader& reader) {
  const uint64_t start = reader.Tell();
  uint8_t id[4] = {};
  const size_t got = reader.Read(id, sizeof id);
  reader.Seek(start);
  return got == sizeof id ? FourCC(static_cast<char>(id[0]), static_cast<char>(id[1]),
                                   static_cast<char>(id[2]), static_cast<char>(id[3]))
                          : 0;
}

// Visits each sub-chunk of `parent` in order, descending into "LIST" chunks.
void WalkChunks(RiffReader& reader, const RiffChunk& parent, uint64_t sourceSize, int depth) {
  while (true) {
    const uint64_t before = reader.Tell();
    RiffChunk chunk;
    if (!reader.Descend(parent, PeekId(reader), chunk)) {
      Check(reader.Tell() == before);
      return;
    }
    Check(chunk.dataOffset >= before + 8);
    if (chunk.id == FourCC('L', 'I', 'S', 'T') && depth < kMaxListDepth) {
      WalkChunks(reader, chunk, sourceSize, depth + 1);
    }
    ReadChunkData(reader, chunk, sourceSize);
    if (!reader.Ascend(chunk)) return;
    Check(reader.Tell() > before);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  MemoryByteSource source(data, size);
  RiffReader reader(source);
  RiffChunk riff;
  if (!reader.DescendRiff(FourCC('W', 'A', 'V', 'E'), riff)) return 0;
  Check(riff.size <= riff.declaredSize && riff.dataOffset + riff.size <= size);
  WalkChunks(reader, riff, size, 0);
  // The way the WAV decoder looks for its chunks: by id from the first sub-chunk.
  for (uint32_t id : {FourCC('f', 'm', 't', ' '), FourCC('d', 'a', 't', 'a')}) {
    RiffChunk chunk;
    Check(reader.Seek(riff.dataOffset + 4));
    if (reader.Descend(riff, id, chunk)) ReadChunkData(reader, chunk, size);
  }
  return 0;
}
