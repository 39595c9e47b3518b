// The MPEG file information scanner: reads an MPEG audio file directly (without decoding) and
// reports what a song library needs: the ID3v1 texts, MPEG level, layer, mode, channels,
// bitrate, sampling frequency, the number of frames seen and the duration. It skips an ID3v2
// tag, uses a Xing/Lame or VBRI header when there is one, and walks the frame headers by
// skipping from header to header, each new synchronisation confirmed by the header that follows.
//
// Threads: a scanner is used by one thread at a time; separate scanners may scan in parallel.
// Ownership: the caller owns the scanner (mp3info_new / mp3info_delete) and the Mp3Info it
// passes; the texts of an Mp3Info point into the scanner and stay valid until the scanner's
// next scan or its deletion.
#pragma once

#include <cstdint>

#include "media/mpeg/MpegHeader.h"

namespace veltro::platform {
class WindowedFileReader;
}

namespace veltro::media {

// Result codes of the scan.
inline constexpr int kMp3InfoOk = 0;
inline constexpr int kMp3InfoReadError = -1;
// A header with no valid layer; headers are validated before use, so a scan never gives it.
inline constexpr int kMp3InfoInvalidLayer = -2;
inline constexpr int kMp3InfoOutOfMemory = -3;
inline constexpr int kMp3InfoFileNotFound = -4;
inline constexpr int kMp3InfoCannotOpen = -5;
// Internal to the walk: a new synchronisation was not confirmed; the search goes on.
inline constexpr int kMp3InfoResyncNeeded = -6;
// Internal to the walk: end of the file, or the callback asked to stop; the scan succeeds.
inline constexpr int kMp3InfoWalkEnded = -7;
inline constexpr int kMp3InfoStopMaskHit = -8;
inline constexpr int kMp3InfoNoHeaderInLimit = -9;

// Flag bits (Mp3Info::flags, Mp3InfoScanner::flags). Bits 0-4: a later frame differs from the
// first one in that property.
inline constexpr int kMp3InfoLevelChanged = 0x01;
inline constexpr int kMp3InfoLayerChanged = 0x02;
inline constexpr int kMp3InfoBitrateChanged = 0x04;
inline constexpr int kMp3InfoFrequencyChanged = 0x08;
inline constexpr int kMp3InfoModeChanged = 0x10;
inline constexpr int kMp3InfoId3v1Tag = 0xC0;  // both bits are set together
inline constexpr int kMp3InfoId3v2Tag = 0x100;

// Sizes of the text slots, the terminating NUL included.
inline constexpr int kMp3InfoTextSlotBytes = 31;
inline constexpr int kMp3InfoYearSlotBytes = 5;

// What a scan reports. Numbers are -1 when unknown; texts are null without an ID3v1 tag.
struct Mp3Info {
  int level;      // 1 MPEG-1, 2 MPEG-2, 0 MPEG 2.5
  int layer;      // 1, 2 or 3
  int bitrate;    // bit/s
  int frequency;  // Hz
  int mode;       // 0 stereo, 1 joint stereo, 2 dual channel, 3 mono
  int channels;   // 1 or 2
  const char* title;
  const char* artist;
  const char* album;
  const char* year;
  const char* comment;
  uint8_t genre;  // the ID3v1 genre byte; 0 without a tag
  int frames;     // frames counted
  int duration;   // milliseconds
  int flags;      // kMp3Info* flag bits
};

// One frame as the walk met it, given to the scan's callback.
struct Mp3InfoFrame {
  int index;         // from 0
  int level;         // as in Mp3Info
  int layer;         // 1, 2 or 3
  int bitrate;       // bit/s
  int frequency;     // Hz
  int mode;          // as in Mp3Info
  int channels;      // 1 or 2
  int64_t position;  // file offset when reported: past the frame, or past the following
                     // header when the frame needed a confirmation
  int samples;       // per channel: 384, 576 or 1152
};

// Called once per frame on the scanning thread; returns non-zero to end the walk (the scan
// then succeeds, without counting that frame). `frame` is valid during the call only.
using Mp3InfoCallback = int (*)(void* clientData, const Mp3InfoFrame* frame);

// The scanner's state. Callers may read it between scans (not during one).
struct Mp3InfoScanner {
  platform::WindowedFileReader* file;  // owned; its file is open only during a scan
  int readState;                       // 0 header, 1 frame body, 4 confirmation
  int inSync;                          // the last header was found where the previous frame ended
  int hasPendingHeader;                // a confirmation header is kept for the next frame
  MpegFrameHeader pendingHeader;
  int64_t audioBytes;  // file size minus the ID3v1 and ID3v2 tags (never negative)
  MpegFrameHeader firstHeader;
  int firstHeaderSeen;
  int framesCounted;
  double totalSeconds;  // sum of samples / frequency over the counted frames
  int64_t totalTicks;   // the same sum, exact, in 1/14,112,000 s
  int flags;
  int vbrBitrate;         // bit/s from a Xing/VBRI header; 0 = none
  int64_t vbrDurationMs;  // from a Xing/VBRI frame count
  char title[kMp3InfoTextSlotBytes];
  char artist[kMp3InfoTextSlotBytes];
  char album[kMp3InfoTextSlotBytes];
  char year[kMp3InfoYearSlotBytes];
  char comment[kMp3InfoTextSlotBytes];
  uint8_t genre;
};

// Allocates a scanner with no file open into `*out`: kMp3InfoOk, or kMp3InfoOutOfMemory (and
// `*out` null). Any thread.
int mp3info_new(Mp3InfoScanner** out);

// Closes the scanner's file if one is open and frees it; null is ignored. The thread that used
// the scanner last.
void mp3info_delete(Mp3InfoScanner* scanner);

// Scans the file at `path` (a NUL-terminated file system path) into `info`:
//  - callback (may be null) is called for each frame with `clientData`;
//  - stopMask: flag bits that end the scan with kMp3InfoStopMaskHit as soon as one is set
//    (0: never);
//  - searchLimit: the most bytes examined while looking for one header, the first four always
//    allowed (0: no limit); running out gives kMp3InfoNoHeaderInLimit;
//  - frameLimit: frames to walk (0 or less: the whole file). Under a limit the duration comes
//    from a Xing/VBRI frame count, else from the file size when the bitrate stayed the same,
//    else it is 0; a whole walk adds up the frames' durations.
// Files that are not regular files (pipes, devices) scan as empty; a folder cannot be opened.
// Returns kMp3InfoOk or a negative kMp3Info* code (kMp3InfoCannotOpen too for a null scanner,
// path or info); on failure `info` keeps what was filled before it. The file is closed again
// before the call returns. Blocks on file reads; the scanner's thread only.
int mp3info_scan(Mp3InfoScanner* scanner, const char* path, Mp3InfoCallback callback,
                 void* clientData, Mp3Info* info, int stopMask, int searchLimit, int frameLimit);

}  // namespace veltro::media
