#include "engine/WavDecoder.h"

#include <algorithm>
#include <cstring>

#include "platform/ByteOrder.h"

namespace veltro::engine {

using platform::FourCC;
using platform::LoadLittleEndian16;
using platform::LoadLittleEndian32;
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
  lastError_ = reason;
  return false;
}

bool WavDecoder::OpenSource(std::unique_ptr<platform::ByteSource> newSource) {
  Close();
  lastError_.clear();
  if (!newSource) return Fail("cannot open the WAV source");
  source_ = std::move(newSource);
  RiffReader reader(*source_);
  if (!reader.DescendRiff(FourCC('W', 'A', 'V', 'E'), riffChunk_)) {
    return Fail("not a WAV file (no RIFF WAVE header)");
  }
  const uint64_t firstSubChunk = reader.Tell();
  RiffChunk fmt;
  if (!reader.Descend(riffChunk_, FourCC('f', 'm', 't', ' '), fmt)) {
    return Fail("invalid WAV file: no \"fmt \" chunk");
  }
  if (!ReadFormatChunk(reader, fmt)) return false;
  // The data chunk is searched from the first sub-chunk, so its order relative to "fmt "
  // does not matter.
  if (!reader.Seek(firstSubChunk) ||
      !reader.Descend(riffChunk_, FourCC('d', 'a', 't', 'a'), dataChunk_)) {
    return Fail("invalid WAV file: no \"data\" chunk");
  }
  dataStart_ = dataChunk_.dataOffset;
  dataBytes_ = dataChunk_.size - dataChunk_.size % fileFormat_.blockAlign;
  consumedBytes_ = 0;
  length_ = static_cast<int>(dataBytes_ / fileFormat_.avgBytesPerSec) * 100;
  if (!source_->Seek(dataStart_)) return Fail("invalid WAV file: data chunk outside the file");
  lastReadAudioBytes_ = 0;
  return true;
}

bool WavDecoder::ReadFormatChunk(RiffReader& reader, const RiffChunk& fmt) {
  if (fmt.size < kFmtMinBytes) {
    return Fail("invalid WAV file: \"fmt \" chunk of " + std::to_string(fmt.size) + " bytes");
  }
  uint8_t raw[kFmtExtensibleBytes] = {};
  const uint32_t wanted = std::min(fmt.size, kFmtExtensibleBytes);
  if (reader.Read(raw, wanted) != wanted) return Fail("invalid WAV file: truncated \"fmt \"");
  uint16_t tag = LoadLittleEndian16(raw);
  const uint16_t channels = LoadLittleEndian16(raw + 2);
  const uint32_t rate = LoadLittleEndian32(raw + 4);
  const uint16_t bits = LoadLittleEndian16(raw + 14);
  if (tag == platform::kWaveFormatExtensible) {
    const uint16_t extra = wanted >= 18 ? LoadLittleEndian16(raw + 16) : 0;
    if (wanted < kFmtExtensibleBytes || extra < 22) {
      return Fail("unsupported WAV format: incomplete extensible format record");
    }
    if (std::memcmp(raw + 26, kSubFormatTail, sizeof kSubFormatTail) != 0) {
      return Fail("unsupported WAV format: unknown extensible sub-format");
    }
    tag = LoadLittleEndian16(raw + 24);
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
  fileFormat_ = platform::MakePcmFormat(rate, channels, bits);
  widen8Bit_ = bits == 8;
  format_ = platform::MakePcmFormat(rate, channels, 16);
  avgBytesPerSec_ = static_cast<int>(format_.avgBytesPerSec);
  return true;
}

void WavDecoder::Close() {
  source_.reset();
  riffChunk_ = {};
  dataChunk_ = {};
  length_ = 0;
  dataStart_ = dataBytes_ = consumedBytes_ = 0;
  widen8Bit_ = false;
  lastReadAudioBytes_ = 0;
}

int WavDecoder::Read(uint8_t* buffer, uint32_t bytes) {
  std::memset(buffer, 0, bytes);  // the output is always 16-bit: silence is 0
  lastReadAudioBytes_ = 0;
  if (!source_) return kEndOfStream;
  const uint32_t outPerFileByte = widen8Bit_ ? 2 : 1;
  const uint64_t wanted = bytes / outPerFileByte;
  const uint64_t take = std::min(wanted, dataBytes_ - consumedBytes_);
  const size_t got = source_->Read(buffer, static_cast<size_t>(take));
  consumedBytes_ += got;
  if (widen8Bit_) WidenTo16Bit(buffer, got);
  lastReadAudioBytes_ = static_cast<uint32_t>(got * outPerFileByte);
  if (got < wanted) {
    consumedBytes_ = dataBytes_;  // a short read from the source also ends the stream
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
  if (!source_) return 0;
  return static_cast<int>(consumedBytes_ * 100 / fileFormat_.avgBytesPerSec);
}

void WavDecoder::Seek(int position) {
  if (!source_) return;
  const int clamped = std::max(position, 0);
  auto offset =
      static_cast<uint64_t>(static_cast<double>(fileFormat_.avgBytesPerSec) * clamped * 0.01);
  offset -= offset % fileFormat_.blockAlign;  // whole sample frames keep channels aligned
  offset = std::min(offset, dataBytes_);
  if (source_->Seek(dataStart_ + offset)) consumedBytes_ = offset;
}

}  // namespace veltro::engine
