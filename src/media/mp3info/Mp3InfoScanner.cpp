// The MPEG file information scan: ID3v1 and ID3v2 tags, the Xing/Lame or VBRI header, then a
// walk over the frame headers that skips each frame body by moving the file position.
#include "media/mp3info/Mp3InfoScanner.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <memory>
#include <new>
#include <string_view>

#include "media/mp3info/Id3Layout.h"
#include "media/mp3info/VbrHeader.h"
#include "platform/ByteOrder.h"
#include "platform/WindowedFileReader.h"

namespace veltro::media {
namespace {

using platform::WindowedFileReader;

// How much of the first frame is read for its VBR header (enough for the frame count).
constexpr int kVbrProbeBytes = 128;
constexpr int kMsPerSecond = 1000;
// A tick divides a second evenly for every MPEG sampling frequency (the least common multiple
// of 44100, 48000 and 32000 Hz, which the lower frequencies divide as well), so frame durations
// add up exactly.
constexpr int64_t kTicksPerSecond = 14112000;
constexpr int64_t kTicksPerMs = kTicksPerSecond / kMsPerSecond;

int ClampToInt(int64_t value) {
  return static_cast<int>(std::clamp<int64_t>(value, INT_MIN, INT_MAX));
}

// A header word that has the sync bits and passes every validity rule.
bool ReadValidHeader(const uint8_t* bytes, MpegFrameHeader& header) {
  const uint32_t word = platform::LoadBigEndian32(bytes);
  if (!HasSyncWord(word)) return false;
  header = UnpackHeader(word);
  return IsValidHeader(header);
}

// The reported level: 1 MPEG-1, 2 MPEG-2, 0 MPEG 2.5 (the unpacked header holds 0, 1, 2).
int ReportedLevel(const MpegFrameHeader& header) {
  static const int kReported[3] = {1, 2, 0};
  return header.level >= 0 && header.level <= 2 ? kReported[header.level] : -1;
}

// Closes the scanner's file and passes `code` on.
int Finish(Mp3InfoScanner& scanner, int code) {
  scanner.file->Close();
  return code;
}

void ResetScanner(Mp3InfoScanner& s) {
  s.readState = 0;
  s.inSync = 0;
  s.hasPendingHeader = 0;
  s.pendingHeader = {};
  s.audioBytes = 0;
  s.firstHeader = {};
  s.firstHeaderSeen = 0;
  s.framesCounted = 0;
  s.totalSeconds = 0;
  s.totalTicks = 0;
  s.flags = 0;
  s.vbrBitrate = 0;
  s.vbrDurationMs = 0;
  std::memset(s.title, 0, sizeof s.title);
  std::memset(s.artist, 0, sizeof s.artist);
  std::memset(s.album, 0, sizeof s.album);
  std::memset(s.year, 0, sizeof s.year);
  std::memset(s.comment, 0, sizeof s.comment);
  s.genre = 0;
}

void ResetInfo(Mp3Info& info) {
  info = Mp3Info{-1, -1, -1, -1, -1, -1, nullptr, nullptr, nullptr, nullptr, nullptr, 0, 0, 0, 0};
}

// Copies a whole ID3v1 field into its slot (one byte wider) and removes trailing spaces and NUL
// bytes; a NUL inside the field stays and ends the slot's text there.
template <size_t kSlotBytes>
void CopyId3v1Field(char (&slot)[kSlotBytes], std::string_view field) {
  static_assert(kSlotBytes > 0);
  const size_t length = std::min(field.size(), kSlotBytes - 1);
  std::memcpy(slot, field.data(), length);
  size_t end = length;
  while (end > 0 && (slot[end - 1] == ' ' || slot[end - 1] == '\0')) --end;
  std::memset(slot + end, 0, kSlotBytes - end);
}

// The 128-byte ID3v1 tag at the end of the file.
int ReadId3v1(Mp3InfoScanner& s, Mp3Info& info, int64_t& size) {
  constexpr auto kTagBytes = static_cast<int>(kId3v1TagBytes);
  if (size < kTagBytes) return kMp3InfoOk;
  uint8_t tag[kId3v1TagBytes];
  const int got = s.file->ReadAt(size - kTagBytes, tag, kTagBytes);
  if (got == WindowedFileReader::kReadFailed) return kMp3InfoReadError;
  const auto fields = ParseId3v1Tag({tag, static_cast<size_t>(std::max(got, 0))});
  if (!fields) return kMp3InfoOk;
  CopyId3v1Field(s.title, fields->title);
  CopyId3v1Field(s.artist, fields->artist);
  CopyId3v1Field(s.album, fields->album);
  CopyId3v1Field(s.year, fields->year);
  CopyId3v1Field(s.comment, fields->comment);
  s.genre = fields->genre;
  info.title = s.title;
  info.artist = s.artist;
  info.album = s.album;
  info.year = s.year;
  info.comment = s.comment;
  info.genre = s.genre;
  s.flags |= kMp3InfoId3v1Tag;
  size -= kTagBytes;
  return kMp3InfoOk;
}

// An ID3v2 tag at the file start: the walk starts behind it.
int SkipId3v2(Mp3InfoScanner& s, int64_t& size) {
  uint8_t header[kId3v2HeaderBytes];
  const int got = s.file->Read(header, static_cast<int>(kId3v2HeaderBytes));
  s.file->SeekTo(0);
  if (got == WindowedFileReader::kReadFailed) return kMp3InfoReadError;
  const auto id3v2 = ParseId3v2Header({header, static_cast<size_t>(std::max(got, 0))});
  if (!id3v2) return kMp3InfoOk;
  const int64_t tagBytes = id3v2->tagBytes;
  s.file->SeekTo(tagBytes);
  size -= tagBytes;
  s.flags |= kMp3InfoId3v2Tag;
  return kMp3InfoOk;
}

// The VBR duration and bitrate from the header frame at the position; the position stays.
int ReadVbrHeader(Mp3InfoScanner& s) {
  const int64_t start = s.file->Position();
  uint8_t bytes[kVbrProbeBytes] = {};
  const int got = s.file->Read(bytes, kVbrProbeBytes);
  s.file->SeekTo(start);
  if (got == WindowedFileReader::kReadFailed) return kMp3InfoReadError;
  MpegFrameHeader header;
  if (got < 4 || !ReadValidHeader(bytes, header)) return kMp3InfoOk;
  const VbrHeader vbr = ParseVbrHeader({bytes, static_cast<size_t>(got)}, header);
  if (!vbr.hasFrameCount) return kMp3InfoOk;
  s.vbrDurationMs =
      int64_t{vbr.frameCount} * VbrFrameSamples(header) * kMsPerSecond / FrequencyHz(header);
  if (s.vbrDurationMs >= kMsPerSecond) {
    s.vbrBitrate = ClampToInt(s.audioBytes / (s.vbrDurationMs / kMsPerSecond) * 8);
  }
  return kMp3InfoOk;
}

// Shifts in one byte after another until the last four form a valid header.
int SearchHeader(Mp3InfoScanner& s, int searchLimit, MpegFrameHeader& header) {
  uint8_t bytes[4];
  const int got = s.file->Read(bytes, 4);
  if (got == WindowedFileReader::kReadFailed) return kMp3InfoReadError;
  if (got < 4) return kMp3InfoWalkEnded;
  uint32_t word = platform::LoadBigEndian32(bytes);
  int64_t examined = 4;
  for (;;) {
    if (HasSyncWord(word)) {
      header = UnpackHeader(word);
      if (IsValidHeader(header)) return kMp3InfoOk;
    }
    s.inSync = 0;
    if (searchLimit > 0 && examined >= searchLimit) return kMp3InfoNoHeaderInLimit;
    const int byte = s.file->ReadByte();
    if (byte == WindowedFileReader::kReadFailed) return kMp3InfoReadError;
    if (byte == WindowedFileReader::kEndOfFile) return kMp3InfoWalkEnded;
    word = (word << 8) | static_cast<uint32_t>(byte);
    ++examined;
  }
}

// The four bytes after a frame found out of sync: a valid header confirms the frame and is kept
// for the next one; the end of the file accepts it too.
int ConfirmFrame(Mp3InfoScanner& s) {
  uint8_t bytes[4];
  const int got = s.file->Read(bytes, 4);
  if (got == WindowedFileReader::kReadFailed) return kMp3InfoReadError;
  s.readState = 0;
  if (got < 4) return kMp3InfoOk;
  MpegFrameHeader header;
  if (!ReadValidHeader(bytes, header)) return kMp3InfoResyncNeeded;
  s.pendingHeader = header;
  s.hasPendingHeader = 1;
  s.inSync = 1;
  return kMp3InfoOk;
}

// One pass of the frame-reading states: header (state 0), body skipped (1), confirmation (4).
int ReadFrame(Mp3InfoScanner& s, int searchLimit, MpegFrameHeader& header) {
  if (s.hasPendingHeader != 0) {
    header = s.pendingHeader;
    s.hasPendingHeader = 0;
  } else {
    const int found = SearchHeader(s, searchLimit, header);
    if (found != kMp3InfoOk) return found;
  }
  s.readState = 1;
  s.file->Skip(FrameLength(header) - 4);
  if (s.inSync != 0) {
    s.readState = 0;
    return kMp3InfoOk;
  }
  s.readState = 4;
  return ConfirmFrame(s);
}

// The next frame, searching on after every unconfirmed synchronisation.
int FindFrame(Mp3InfoScanner& s, int searchLimit, MpegFrameHeader& header) {
  int result = kMp3InfoResyncNeeded;
  while (result == kMp3InfoResyncNeeded) result = ReadFrame(s, searchLimit, header);
  return result;
}

int ChangedProperties(const MpegFrameHeader& first, const MpegFrameHeader& header) {
  int flags = 0;
  if (header.level != first.level) flags |= kMp3InfoLevelChanged;
  if (header.layerCode != first.layerCode) flags |= kMp3InfoLayerChanged;
  if (header.bitrateIndex != first.bitrateIndex) flags |= kMp3InfoBitrateChanged;
  if (header.samplingIndex != first.samplingIndex) flags |= kMp3InfoFrequencyChanged;
  if (header.mode != first.mode) flags |= kMp3InfoModeChanged;
  return flags;
}

struct WalkRequest {
  Mp3InfoCallback callback;
  void* clientData;
  int stopMask;
  int searchLimit;
  int frameLimit;
};

int ProcessFrame(Mp3InfoScanner& s, const MpegFrameHeader& header, const WalkRequest& request) {
  if (s.firstHeaderSeen == 0) {
    s.firstHeader = header;
    s.firstHeaderSeen = 1;
  } else {
    s.flags |= ChangedProperties(s.firstHeader, header);
  }
  if ((request.stopMask & s.flags) != 0) return kMp3InfoStopMaskHit;
  const int samples = SamplesPerFrame(header);
  if (request.callback != nullptr) {
    const Mp3InfoFrame record{s.framesCounted,
                              ReportedLevel(header),
                              LayerNumber(header),
                              BitrateKbps(header) * 1000,
                              FrequencyHz(header),
                              header.mode,
                              ChannelCount(header),
                              s.file->Position(),
                              samples};
    if (request.callback(request.clientData, &record) != 0) return kMp3InfoWalkEnded;
  }
  ++s.framesCounted;
  s.totalTicks += samples * (kTicksPerSecond / FrequencyHz(header));
  s.totalSeconds = static_cast<double>(s.totalTicks) / kTicksPerSecond;
  return kMp3InfoOk;
}

int Walk(Mp3InfoScanner& s, const WalkRequest& request) {
  for (;;) {
    if (request.frameLimit > 0 && s.framesCounted >= request.frameLimit) return kMp3InfoOk;
    MpegFrameHeader header;
    int result = FindFrame(s, request.searchLimit, header);
    if (result == kMp3InfoOk) result = ProcessFrame(s, header, request);
    if (result == kMp3InfoWalkEnded) return kMp3InfoOk;
    if (result != kMp3InfoOk) return result;
  }
}

void FillInfo(const Mp3InfoScanner& s, Mp3Info& info, int frameLimit) {
  info.flags = s.flags;
  info.frames = s.framesCounted;
  info.duration = ClampToInt(s.totalTicks / kTicksPerMs);
  if (s.framesCounted == 0) return;
  const MpegFrameHeader& first = s.firstHeader;
  if ((s.flags & kMp3InfoLevelChanged) == 0) info.level = ReportedLevel(first);
  if ((s.flags & kMp3InfoLayerChanged) == 0) info.layer = LayerNumber(first);
  if ((s.flags & kMp3InfoModeChanged) == 0) info.mode = first.mode;
  if ((s.flags & kMp3InfoFrequencyChanged) == 0) info.frequency = FrequencyHz(first);
  info.channels = ChannelCount(first);
  const int rateChanges = kMp3InfoLevelChanged | kMp3InfoLayerChanged | kMp3InfoBitrateChanged;
  const bool steadyBitrate = (s.flags & rateChanges) == 0;
  const bool wholeFile = frameLimit <= 0;
  if (steadyBitrate) {
    info.bitrate = BitrateKbps(first) * 1000;
  } else if (wholeFile && s.totalSeconds > 0) {
    info.bitrate = ClampToInt(static_cast<int64_t>(
        std::min(static_cast<double>(s.audioBytes) * 8 / s.totalSeconds, double{INT_MAX})));
  }
  if (wholeFile) return;
  if (s.vbrBitrate != 0) {
    info.bitrate = s.vbrBitrate;
    info.duration = ClampToInt(s.vbrDurationMs);
  } else if (steadyBitrate) {
    info.duration = ClampToInt(s.audioBytes * kMsPerSecond / (info.bitrate / 8));
  } else {
    info.duration = 0;
  }
}

}  // namespace

int mp3info_new(Mp3InfoScanner** out) {
  if (out == nullptr) return kMp3InfoOutOfMemory;
  *out = nullptr;
  std::unique_ptr<WindowedFileReader> file = WindowedFileReader::Create();
  auto* scanner = new (std::nothrow) Mp3InfoScanner{};
  if (file == nullptr || scanner == nullptr) {
    delete scanner;
    return kMp3InfoOutOfMemory;
  }
  scanner->file = file.release();
  *out = scanner;
  return kMp3InfoOk;
}

void mp3info_delete(Mp3InfoScanner* scanner) {
  if (scanner == nullptr) return;
  delete scanner->file;  // closes the file if a scan left it open
  delete scanner;
}

int mp3info_scan(Mp3InfoScanner* scanner, const char* path, Mp3InfoCallback callback,
                 void* clientData, Mp3Info* info, int stopMask, int searchLimit, int frameLimit) {
  if (scanner == nullptr || scanner->file == nullptr || path == nullptr || info == nullptr) {
    return kMp3InfoCannotOpen;
  }
  Mp3InfoScanner& s = *scanner;
  ResetScanner(s);
  ResetInfo(*info);
  const int opened = s.file->Open(path);
  if (opened == WindowedFileReader::kNotFound) return kMp3InfoFileNotFound;
  if (opened != WindowedFileReader::kOpened) return kMp3InfoCannotOpen;
  int64_t size = s.file->Size();
  int result = ReadId3v1(s, *info, size);
  if (result == kMp3InfoOk) result = SkipId3v2(s, size);
  s.audioBytes = std::max<int64_t>(size, 0);
  if (result == kMp3InfoOk) result = ReadVbrHeader(s);
  if (result == kMp3InfoOk) {
    result = Walk(s, {callback, clientData, stopMask, searchLimit, frameLimit});
  }
  if (result == kMp3InfoOk) FillInfo(s, *info, frameLimit);
  return Finish(s, result);
}

}  // namespace veltro::media
