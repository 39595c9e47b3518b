#include "engine/OggDecoder.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/RegularFile.h"

namespace veltro::engine {

namespace {
// Consecutive negative ov_read results after which a stream is taken as ended: holes are
// skipped, but a stream that only fails must not make Read loop forever.
constexpr int kMaxConsecutiveErrors = 64;
}  // namespace

OggDecoder::~OggDecoder() {
  Close();
}

bool OggDecoder::Fail(const std::string& reason) {
  Close();
  lastError = reason;
  return false;
}

bool OggDecoder::Open(const std::string& path) {
  Close();
  lastError.clear();
  std::string reason;
  file = platform::OpenRegularFileStream(path, platform::FileAccess::kRead, &reason);
  if (file == nullptr) return Fail(reason);
  if (ov_open(file, &vorbisFile, nullptr, 0) < 0) {
    std::fclose(file);  // ov_open takes the file only when it succeeds
    file = nullptr;
    return Fail("not an Ogg Vorbis file: " + path);
  }
  open = true;
  const vorbis_info* info = ov_info(&vorbisFile, -1);
  if (info == nullptr) return Fail("invalid Ogg Vorbis stream: " + path);
  if (info->channels < 1 || info->channels > 2) {
    return Fail("unsupported Ogg Vorbis stream: " + std::to_string(info->channels) + " channels");
  }
  if (info->rate < 1000 || info->rate > 200000) {
    return Fail("unsupported Ogg Vorbis stream: sample rate " + std::to_string(info->rate));
  }
  channels = info->channels;
  sampleRate = static_cast<int>(info->rate);
  bitsPerSample = 16;
  avgBytesPerSec = channels * sampleRate * 2;
  formatRecord = platform::MakePcmFormat(static_cast<uint32_t>(sampleRate),
                                         static_cast<uint16_t>(channels), 16);
  const double total = PlayableSeconds(*info);
  length = total > 0 ? static_cast<int>(total) * 100 : 0;
  blockSize = 4096;
  blockMs = 4096000 / avgBytesPerSec;
  carry.assign(static_cast<size_t>(blockSize), 0);
  carryLength = carryTime = 0;
  lastReadAudioBytes = 0;
  return true;
}

// A chained file is played as far as its links keep the first link's channels and rate: the
// output format is fixed once the song is loaded, so a later link in another format ends it.
double OggDecoder::PlayableSeconds(const vorbis_info& first) {
  const long links = ov_streams(&vorbisFile);
  double seconds = 0;
  playableLinks = 0;
  while (playableLinks < links) {
    const vorbis_info* link = ov_info(&vorbisFile, static_cast<int>(playableLinks));
    if (link == nullptr || link->channels != first.channels || link->rate != first.rate) break;
    seconds += ov_time_total(&vorbisFile, static_cast<int>(playableLinks));
    ++playableLinks;
  }
  return seconds;
}

void OggDecoder::Close() {
  if (open) ov_clear(&vorbisFile);  // also closes the file
  open = false;
  file = nullptr;
  vorbisFile = OggVorbis_File{};
  ended = false;
  carryLength = carryTime = 0;
  length = 0;
  playableLinks = 0;
  lastReadAudioBytes = 0;
}

long OggDecoder::DecodeUnit() {
  int errors = 0;
  while (true) {
    int section = 0;
    const long got =
        ov_read(&vorbisFile, reinterpret_cast<char*>(unit.data()), blockSize, 0, 2, 1, &section);
    if (got > 0 && section >= playableLinks) return 0;  // a link in another format
    if (got >= 0) return got;
    if (++errors >= kMaxConsecutiveErrors) return 0;
  }
}

void OggDecoder::SetCarry(const uint8_t* bytes, size_t count) {
  std::memmove(carry.data(), bytes, count);
  carryLength = static_cast<int>(count);
  carryTime = carryLength * 100 / avgBytesPerSec;
}

int OggDecoder::Read(uint8_t* buffer, uint32_t bytes) {
  std::memset(buffer, 0, bytes);
  lastReadAudioBytes = 0;
  if (!open) return kEndOfStream;
  const size_t fromCarry = std::min<size_t>(static_cast<size_t>(carryLength), bytes);
  std::memcpy(buffer, carry.data(), fromCarry);
  SetCarry(carry.data() + fromCarry, static_cast<size_t>(carryLength) - fromCarry);
  size_t filled = fromCarry;
  while (filled < bytes && !ended) {
    const long got = DecodeUnit();
    if (got == 0) {
      ended = true;
      break;
    }
    const size_t used = std::min(static_cast<size_t>(got), bytes - filled);
    std::memcpy(buffer + filled, unit.data(), used);
    filled += used;
    SetCarry(unit.data() + used, static_cast<size_t>(got) - used);
  }
  lastReadAudioBytes = static_cast<uint32_t>(filled);
  return filled < bytes ? kEndOfStream : kOk;
}

int OggDecoder::Position() {
  if (!open) return 0;
  return static_cast<int>(ov_time_tell(&vorbisFile) * 100) - carryTime;
}

void OggDecoder::Seek(int position) {
  if (!open) return;
  carryLength = carryTime = 0;
  ended = false;
  if (position * 10.0 > blockMs) {
    if (ov_time_seek(&vorbisFile, (position * 10.0 - blockMs) * 0.001) != 0) {
      ended = true;  // beyond the end of the stream: every later Read is silence
      return;
    }
    // Decode exactly blockSize bytes (one unit may come in several ov_read pieces) and drop
    // them; the surplus of the last piece stays as carry.
    size_t dropped = 0;
    while (dropped < static_cast<size_t>(blockSize)) {
      const long got = DecodeUnit();
      if (got == 0) {
        ended = true;
        return;
      }
      const size_t used = std::min(static_cast<size_t>(got), blockSize - dropped);
      dropped += used;
      SetCarry(unit.data() + used, static_cast<size_t>(got) - used);
    }
  } else {
    ov_time_seek(&vorbisFile, 0);
  }
}

}  // namespace veltro::engine
