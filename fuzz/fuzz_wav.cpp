// WAV parsing and reading from arbitrary bytes: open, format, length, reads and seeks.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "engine/WavDecoder.h"
#include "platform/ByteSource.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  veltro::engine::WavDecoder decoder;
  if (!decoder.OpenSource(std::make_unique<veltro::platform::MemoryByteSource>(data, size))) {
    return 0;
  }
  const veltro::platform::WaveFormat format = decoder.Format();
  if (format.bitsPerSample != 16 || format.blockAlign == 0) __builtin_trap();
  const int length = decoder.Length();
  std::vector<uint8_t> block(4096);
  int status = decoder.Read(block.data(), 4096);
  decoder.Seek(length / 2);
  status |= decoder.Read(block.data(), 1001);  // an odd size on purpose
  decoder.Seek(length + 100);
  if (decoder.Read(block.data(), 64) != veltro::engine::DecoderBase::kEndOfStream) {
    __builtin_trap();  // past the end every read is the end of the stream
  }
  decoder.Seek(1);
  for (int i = 0; i < 4 && decoder.Read(block.data(), 4096) == 0; ++i) {
  }
  (void)decoder.Position();
  (void)status;
  return 0;
}
