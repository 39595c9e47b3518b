#include "engine/WavDecoder.h"

#include <algorithm>
#include <cstring>

namespace veltro::engine {

using platform::FourCC;
using platform::RiffChunk;
using platform::RiffReader;

namespace {

constexpr uint16_t kWaveFormatIeeeFloat = 3;
constexpr uint32_t kMinRateHz = 1000;
constexpr uint32_t kMaxRateHz = 200000;
constexpr uint32_t kFmtMinBytes = 16;
constexpr uint32_t kFmtExtensibleBytes = 40;
// Bytes 2..15 of every WAVE_FORMAT_EXTENSIBLE sub-format GUID derived from a format tag
// (xxxxxxxx-0000-0010-8000-00AA00389B71, the tag in the first two bytes).
constexpr uint8_t kSubFormatTail[14] = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80,
                                        0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};

uint16_t Le16(const uint8_t* p) {
  return static_cast<uint16_t>(p[0] | p[1] << 8);
}
uint32_t Le32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
         static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

}  // namespace

bool WavDecoder::Open(const std::string& path) {
  // Never waits on a FIFO or device named like a song; refuses them with a reason.
  std::string reason;
  auto file = platform::FileByteSource::Open(path, &reason);
  if (!file) return Fail(reason);
  return OpenSource(std::move(file));
}

bool WavDecoder::Fail(const std::string& reason) {
  Close();
  lastError = reason;
  return false;
}

bool WavDecoder::OpenSource(std::unique_ptr<platform::ByteSource> newSource) {
  Close();
  lastError.clear();
  if (!newSource) return Fail("cannot open the WAV source");
  source = std::move(newSource);
  RiffReader reader(*source);
  if (!reader.DescendRiff(FourCC('W', 'A', 'V', 'E'), riffChunk)) {
    return Fail("not a WAV file (no RIFF WAVE header)");
  }
  const uint64_t firstSubChunk = reader.Tell();
  RiffChunk fmt;
  if (!reader.Descend(riffChunk, FourCC('f', 'm', 't', ' '), fmt)) {
    return Fail("invalid WAV file: no \"fmt \" chunk");
  }
  if (!ReadFormatChunk(reader, fmt)) return false;
  // The data chunk is searched from the first sub-chunk, so its order relative to "fmt "
  // does not matter.
  if (!reader.Seek(firstSubChunk) ||
      !reader.Descend(riffChunk, FourCC('d', 'a', 't', 'a'), dataChunk)) {
    return Fail("invalid WAV file: no \"data\" chunk");
  }
  dataStart = dataChunk.dataOffset;
  dataBytes = dataChunk.size - dataChunk.size % fileFormat.blockAlign;
  consumedBytes = 0;
  length = static_cast<int>(dataBytes / fileFormat.avgBytesPerSec) * 100;
  if (!source->Seek(dataStart)) return Fail("invalid WAV file: data chunk outside the file");
  lastReadAudioBytes = 0;
  return true;
}

bool WavDecoder::ReadFormatChunk(RiffReader& reader, const RiffChunk& fmt) {
  if (fmt.size < kFmtMinBytes) {
    return Fail("invalid WAV file: \"fmt \" chunk of " + std::to_string(fmt.size) + " bytes");
  }
  uint8_t raw[kFmtExtensibleBytes] = {};
  const uint32_t wanted = std::min(fmt.size, kFmtExtensibleBytes);
  if (reader.Read(raw, wanted) != wanted) return Fail("invalid WAV file: truncated \"fmt \"");
  fmtSize = static_cast<int>(fmt.size);
  uint16_t tag = Le16(raw);
  const uint16_t channels = Le16(raw + 2);
  const uint32_t rate = Le32(raw + 4);
  const uint16_t bits = Le16(raw + 14);
  if (tag == platform::kWaveFormatExtensible) {
    const uint16_t extra = wanted >= 18 ? Le16(raw + 16) : 0;
    if (wanted < kFmtExtensibleBytes || extra < 22) {
      return Fail("unsupported WAV format: incomplete extensible format record");
    }
    if (std::memcmp(raw + 26, kSubFormatTail, sizeof kSubFormatTail) != 0) {
      return Fail("unsupported WAV format: unknown extensible sub-format");
    }
    tag = Le16(raw + 24);
  }
  return CheckFormat(tag, channels, rate, bits);
}

bool WavDecoder::CheckFormat(uint16_t tag, uint16_t channels, uint32_t rate, uint16_t bits) {
  if (tag == kWaveFormatIeeeFloat) return Fail("unsupported WAV format: IEEE float");
  if (tag != platform::kWaveFormatPcm) {
    return Fail("unsupported WAV format: compressed (format tag " + std::to_string(tag) + ")");
  }
  if (bits != 8 && bits != 16) {
    return Fail("unsupported WAV format: " + std::to_string(bits) + "-bit samples");
  }
  if (channels != 1 && channels != 2) {
    return Fail("unsupported WAV format: " + std::to_string(channels) + " channels");
  }
  if (rate < kMinRateHz || rate > kMaxRateHz) {
    return Fail("unsupported WAV format: sample rate " + std::to_string(rate) + " Hz");
  }
  // Derived fields are recomputed, which corrects inconsistent block align and average
  // bytes per second records.
  fileFormat = platform::MakePcmFormat(rate, channels, bits);
  widen8Bit = bits == 8;
  formatRecord = platform::MakePcmFormat(rate, channels, 16);
  bitsPerSample = 16;
  sampleRate = static_cast<int>(rate);
  avgBytesPerSec = static_cast<int>(formatRecord.avgBytesPerSec);
  return true;
}

void WavDecoder::Close() {
  source.reset();
  riffChunk = {};
  dataChunk = {};
  fmtSize = 0;
  length = 0;
  dataStart = dataBytes = consumedBytes = 0;
  widen8Bit = false;
  lastReadAudioBytes = 0;
}

int WavDecoder::Read(uint8_t* buffer, uint32_t bytes) {
  std::memset(buffer, 0, bytes);  // the output is always 16-bit: silence is 0
  lastReadAudioBytes = 0;
  if (!source) return kEndOfStream;
  const uint32_t outPerFileByte = widen8Bit ? 2 : 1;
  const uint64_t wanted = bytes / outPerFileByte;
  const uint64_t take = std::min(wanted, dataBytes - consumedBytes);
  const size_t got = source->Read(buffer, static_cast<size_t>(take));
  consumedBytes += got;
  if (widen8Bit) WidenTo16Bit(buffer, got);
  lastReadAudioBytes = static_cast<uint32_t>(got * outPerFileByte);
  if (got < wanted) {
    consumedBytes = dataBytes;  // a short read from the source also ends the stream
    return kEndOfStream;
  }
  return kOk;
}

void WavDecoder::WidenTo16Bit(uint8_t* buffer, uint64_t samples) const {
  // In place, from the last sample backwards: sample i moves to bytes 2i, 2i+1.
  for (uint64_t i = samples; i-- > 0;) {
    const uint8_t value = buffer[i];
    buffer[2 * i] = 0;
    buffer[2 * i + 1] = static_cast<uint8_t>(value ^ 0x80);  // unsigned -> signed high byte
  }
}

int WavDecoder::Position() {
  if (!source) return 0;
  return static_cast<int>(consumedBytes * 100 / fileFormat.avgBytesPerSec);
}

void WavDecoder::Seek(int position) {
  if (!source) return;
  const int clamped = std::max(position, 0);
  auto offset =
      static_cast<uint64_t>(static_cast<double>(fileFormat.avgBytesPerSec) * clamped * 0.01);
  offset -= offset % fileFormat.blockAlign;  // whole sample frames keep channels aligned
  offset = std::min(offset, dataBytes);
  if (source->Seek(dataStart + offset)) consumedBytes = offset;
}

}  // namespace veltro::engine
