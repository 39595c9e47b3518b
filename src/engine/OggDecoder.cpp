#include "engine/OggDecoder.h"

#ifndef OV_EXCLUDE_STATIC_CALLBACKS
#define OV_EXCLUDE_STATIC_CALLBACKS
#endif
#include <vorbis/vorbisfile.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "platform/RegularFile.h"

namespace veltro::engine {

struct OggDecoder::Vorbis {
  OggVorbis_File file{};
};

namespace {

// Consecutive negative ov_read results after which a stream is taken as ended: holes are
// skipped, but a stream that only fails must not make Read loop forever.
constexpr int kMaxConsecutiveErrors = 64;
constexpr long kMinRateHz = 1000;
constexpr long kMaxRateHz = 200000;
constexpr int kSampleBytes = 2;  // the output is 16-bit
// ov_read's output layout: little-endian, 16-bit words, signed.
constexpr int kLittleEndian = 0;
constexpr int kWordBytes = kSampleBytes;
constexpr int kSigned = 1;

// The links a chained file plays: those from the first on that keep the first link's channels
// and rate (the output format is fixed once the song is loaded, so a later link in another
// format ends it). Their count, and their seconds in `seconds`.
long PlayableLinks(OggVorbis_File& file, const vorbis_info& first, double& seconds) {
  const long links = ov_streams(&file);
  seconds = 0;
  long playable = 0;
  while (playable < links) {
    const vorbis_info* link = ov_info(&file, static_cast<int>(playable));
    if (link == nullptr || link->channels != first.channels || link->rate != first.rate) break;
    seconds += ov_time_total(&file, static_cast<int>(playable));
    ++playable;
  }
  return playable;
}

}  // namespace

OggDecoder::OggDecoder() : vorbis_(std::make_unique<Vorbis>()) {}

OggDecoder::~OggDecoder() {
  Close();
}

bool OggDecoder::Fail(const std::string& reason) {
  Close();
  lastError_ = reason;
  return false;
}

bool OggDecoder::Open(const std::string& path) {
  Close();
  lastError_.clear();
  std::string reason;
  std::FILE* file = platform::OpenRegularFileStream(path, platform::FileAccess::kRead, &reason);
  if (file == nullptr) return Fail(reason);
  if (ov_open(file, &vorbis_->file, nullptr, 0) < 0) {
    std::fclose(file);  // ov_open takes the file only when it succeeds
    return Fail("not an Ogg Vorbis file: " + path);
  }
  open_ = true;
  const vorbis_info* info = ov_info(&vorbis_->file, -1);
  if (info == nullptr) return Fail("invalid Ogg Vorbis stream: " + path);
  if (info->channels < 1 || info->channels > 2) {
    return Fail("unsupported Ogg Vorbis stream: " + std::to_string(info->channels) + " channels");
  }
  if (info->rate < kMinRateHz || info->rate > kMaxRateHz) {
    return Fail("unsupported Ogg Vorbis stream: sample rate " + std::to_string(info->rate));
  }
  format_ = platform::MakePcmFormat(static_cast<uint32_t>(info->rate),
                                    static_cast<uint16_t>(info->channels), kSampleBytes * 8);
  avgBytesPerSec_ = static_cast<int>(format_.avgBytesPerSec);
  double seconds = 0;
  playableLinks_ = PlayableLinks(vorbis_->file, *info, seconds);
  length_ = seconds > 0 ? static_cast<int>(seconds) * 100 : 0;
  unitMs_ = kUnitBytes * 1000 / avgBytesPerSec_;
  carry_.assign(static_cast<size_t>(kUnitBytes), 0);
  carryLength_ = carryTime_ = 0;
  lastReadAudioBytes_ = 0;
  return true;
}

void OggDecoder::Close() {
  if (open_) ov_clear(&vorbis_->file);  // also closes the file
  open_ = false;
  vorbis_->file = OggVorbis_File{};
  ended_ = false;
  carryLength_ = carryTime_ = 0;
  length_ = 0;
  playableLinks_ = 0;
  lastReadAudioBytes_ = 0;
}

long OggDecoder::DecodeUnit() {
  int errors = 0;
  while (true) {
    int section = 0;
    const long got = ov_read(&vorbis_->file, reinterpret_cast<char*>(unit_.data()), kUnitBytes,
                             kLittleEndian, kWordBytes, kSigned, &section);
    if (got > 0 && section >= playableLinks_) return 0;  // a link in another format
    if (got >= 0) return got;
    if (++errors >= kMaxConsecutiveErrors) return 0;
  }
}

std::span<const uint8_t> OggDecoder::NextBlock() {
  return {unit_.data(), static_cast<size_t>(DecodeUnit())};
}

int OggDecoder::Read(uint8_t* buffer, uint32_t bytes) {
  std::memset(buffer, 0, bytes);
  lastReadAudioBytes_ = 0;
  if (!open_) return kEndOfStream;
  const uint32_t filled = FillFromBlocks(buffer, bytes);
  lastReadAudioBytes_ = filled;
  return filled < bytes ? kEndOfStream : kOk;
}

int OggDecoder::Position() {
  if (!open_) return 0;
  return static_cast<int>(ov_time_tell(&vorbis_->file) * 100) - carryTime_;
}

void OggDecoder::Seek(int position) {
  if (!open_) return;
  carryLength_ = carryTime_ = 0;
  ended_ = false;
  if (position * 10.0 <= unitMs_) {
    ov_time_seek(&vorbis_->file, 0);
    return;
  }
  if (ov_time_seek(&vorbis_->file, (position * 10.0 - unitMs_) * 0.001) != 0 || !DropOneUnit()) {
    ended_ = true;  // beyond the end of the stream: every later Read is silence
  }
}

// Decodes exactly kUnitBytes bytes (one unit may come in several ov_read pieces) and drops them;
// the surplus of the last piece stays as the carry. False when the stream ended first.
bool OggDecoder::DropOneUnit() {
  size_t dropped = 0;
  while (dropped < static_cast<size_t>(kUnitBytes)) {
    const long got = DecodeUnit();
    if (got == 0) return false;
    const size_t used = std::min(static_cast<size_t>(got), kUnitBytes - dropped);
    dropped += used;
    SetCarry(unit_.data() + used, static_cast<int>(static_cast<size_t>(got) - used));
  }
  return true;
}

}  // namespace veltro::engine
