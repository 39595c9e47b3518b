// The folder scan's three adders: what a new MP3, Ogg Vorbis or WAV file gives its record.
#include <algorithm>
#include <cstddef>
#include <memory>

#include "library/FolderScan.h"
#include "media/mp3info/Mp3InfoScanner.h"
#include "platform/ByteOrder.h"
#include "platform/ByteSource.h"
#include "platform/RiffReader.h"
#include "platform/WaveFormat.h"
#include "tags/Id3Tag.h"
#include "tags/OggComments.h"

namespace veltro::library {
namespace {

constexpr uint32_t kMillisecondsPerSecond = 1000;
// The "fmt " fields a WAV record needs: format tag, channels, samples per second, average bytes
// per second, block align, bits per sample (the record without its extra-size field).
constexpr size_t kFormatFieldBytes = sizeof(platform::WaveFormat) - sizeof(uint16_t);
constexpr size_t kFormatTagOffset = offsetof(platform::WaveFormat, formatTag);
constexpr size_t kAvgBytesPerSecOffset = offsetof(platform::WaveFormat, avgBytesPerSec);

std::string_view FileName(std::string_view path) {
  const size_t slash = path.find_last_of('/');
  return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

// A record with the file name as artist and no other texts.
SongRecord NamedRecord(const std::string& path, uint32_t lengthMs) {
  return MakeRecord(FileName(path), "", "", "", path, lengthMs);
}

const char* TextOrEmpty(const char* text) {
  return text != nullptr ? text : "";
}

using ScannerPointer = std::unique_ptr<media::Mp3InfoScanner, void (*)(media::Mp3InfoScanner*)>;

ScannerPointer NewScanner() {
  media::Mp3InfoScanner* created = nullptr;
  if (media::mp3info_new(&created) != media::kMp3InfoOk) created = nullptr;
  return ScannerPointer(created, media::mp3info_delete);
}

std::optional<SongRecord> Skip(SkipReason why, SkipReason* reason) {
  if (reason != nullptr) *reason = why;
  return std::nullopt;
}

// Scanning stops after this many frames: enough for the length of a constant-bitrate file.
constexpr int kMp3FrameLimit = 50;

}  // namespace

std::optional<SongRecord> ReadMp3Song(const std::string& path) {
  const ScannerPointer scanner = NewScanner();
  if (!scanner) return NamedRecord(path, 0);
  media::Mp3Info info{};
  // The result code is not looked at: a file that cannot be examined gives duration 0.
  media::mp3info_scan(scanner.get(), path.c_str(), nullptr, nullptr, &info, 0, 0, kMp3FrameLimit);
  const auto lengthMs = static_cast<uint32_t>(std::max(info.duration, 0));
  if ((info.flags & media::kMp3InfoId3v1Tag) == 0 || info.artist == nullptr) {
    return NamedRecord(path, lengthMs);
  }
  tags::Id3v1Tag tag;
  tag.title = TextOrEmpty(info.title);
  tag.artist = TextOrEmpty(info.artist);
  tag.year = TextOrEmpty(info.year);
  tag.comment = TextOrEmpty(info.comment);
  const tags::SongTags texts = tags::SongTagsFromId3(tag);
  return MakeRecord(texts.artist, texts.songName, texts.genre, texts.year, path, lengthMs);
}

std::optional<SongRecord> ReadOggSong(const std::string& path, SkipReason* reason) {
  const std::optional<tags::OggSongInfo> song = tags::ReadOggComments(path);
  if (!song) return Skip(SkipReason::kUnreadable, reason);
  const tags::SongTags& texts = song->tags;
  return MakeRecord(texts.artist, texts.songName, texts.genre, texts.year, path,
                    static_cast<uint32_t>(std::max(song->lengthMs, 0)));
}

// Only the format fields are read, however long the "fmt " chunk says it is; the length counts
// the data bytes really present, in whole seconds.
std::optional<SongRecord> ReadWavSong(const std::string& path, SkipReason* reason) {
  using platform::FourCC;
  const std::unique_ptr<platform::FileByteSource> file = platform::FileByteSource::Open(path);
  if (!file) return Skip(SkipReason::kUnreadable, reason);
  platform::RiffReader riff(*file);
  platform::RiffChunk wave, format, data;
  uint8_t fields[kFormatFieldBytes];
  const bool found = riff.DescendRiff(FourCC('W', 'A', 'V', 'E'), wave) &&
                     riff.Descend(wave, FourCC('f', 'm', 't', ' '), format) &&
                     format.size >= kFormatFieldBytes &&
                     riff.Read(fields, kFormatFieldBytes) == kFormatFieldBytes &&
                     riff.Ascend(format) && riff.Descend(wave, FourCC('d', 'a', 't', 'a'), data);
  if (!found) return Skip(SkipReason::kUnreadable, reason);
  const uint32_t bytesPerSecond = platform::LoadLittleEndian32(fields + kAvgBytesPerSecOffset);
  if (platform::LoadLittleEndian16(fields + kFormatTagOffset) != platform::kWaveFormatPcm) {
    return Skip(SkipReason::kNotPcm, reason);
  }
  if (bytesPerSecond == 0) return Skip(SkipReason::kUnreadable, reason);
  return NamedRecord(path, data.size / bytesPerSecond * kMillisecondsPerSecond);
}

}  // namespace veltro::library
