// The MPEG file information scan over arbitrary file contents: the bytes are written to a file
// (in memory under /dev/shm when it exists) and scanned as the folder scan does (frame limit
// 50), over the whole file with every frame reported to a callback, with a search limit, and
// with a stop mask. Every result code, count, figure and text must be in range; a violation
// traps.
#include <fcntl.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "FuzzChecks.h"
#include "media/mp3info/Mp3InfoScanner.h"

namespace {

using fuzz_checks::Check;
using fuzz_checks::IsCodedRate;

namespace media = veltro::media;

constexpr int kKnownFlags = 0x1DF;
constexpr int kLongestFrameMs = 144;  // 1152 samples at 8000 Hz

// The file each input is written to while it is scanned.
const std::string& InputPath() {
  static const std::string path = [] {
    const char* folder = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
    return std::string(folder) + "/fuzz_mp3info_scan-" + std::to_string(getpid()) + ".mp3";
  }();
  return path;
}

void WriteInput(const uint8_t* data, size_t size) {
  const int fd = open(InputPath().c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  Check(fd >= 0);
  size_t done = 0;
  while (done < size) {
    const ssize_t wrote = write(fd, data + done, size - done);
    Check(wrote > 0);
    done += static_cast<size_t>(wrote);
  }
  close(fd);
}

// What the callback saw, checked frame by frame.
struct Walk {
  int calls = 0;
  int stopAtIndex = -1;  // -1: never stop
  int64_t lastPosition = 0;
};

int CheckFrame(void* clientData, const media::Mp3InfoFrame* frame) {
  auto* walk = static_cast<Walk*>(clientData);
  Check(frame->index == walk->calls);
  Check(frame->level >= 0 && frame->level <= 2);
  Check(frame->layer >= 1 && frame->layer <= 3);
  Check(frame->level != 0 || frame->layer == 3);  // MPEG 2.5 is Layer III only
  Check(frame->bitrate >= 8000 && frame->bitrate <= 448000);
  Check(IsCodedRate(frame->frequency));
  Check(frame->mode >= 0 && frame->mode <= 3);
  Check(frame->channels == (frame->mode == 3 ? 1 : 2));
  Check(frame->samples == 384 || frame->samples == 576 || frame->samples == 1152);
  Check(frame->position > walk->lastPosition);
  walk->lastPosition = frame->position;
  ++walk->calls;
  return frame->index == walk->stopAtIndex ? 1 : 0;
}

void CheckText(const char* text, const char* slot, size_t slotBytes) {
  if (text == nullptr) return;
  Check(text == slot);
  Check(std::memchr(text, 0, slotBytes) != nullptr);
}

void CheckInfo(const media::Mp3InfoScanner* scanner, const media::Mp3Info& info, int frameLimit) {
  Check(info.frames >= 0 && info.duration >= 0);
  if (frameLimit > 0) Check(info.frames <= frameLimit);
  if (frameLimit == 0) Check(info.duration <= int64_t{info.frames} * kLongestFrameMs);
  Check((info.flags & ~kKnownFlags) == 0);
  Check(info.level >= -1 && info.level <= 2);
  Check(info.layer == -1 || (info.layer >= 1 && info.layer <= 3));
  Check(info.mode >= -1 && info.mode <= 3);
  Check(info.channels == -1 || info.channels == 1 || info.channels == 2);
  Check(info.frequency == -1 || IsCodedRate(info.frequency));
  Check(info.bitrate >= -1);
  Check((info.frames == 0) == (info.channels == -1));
  const bool tagged = (info.flags & media::kMp3InfoId3v1Tag) != 0;
  Check(tagged == (info.title != nullptr));
  CheckText(info.title, scanner->title, media::kMp3InfoTextSlotBytes);
  CheckText(info.artist, scanner->artist, media::kMp3InfoTextSlotBytes);
  CheckText(info.album, scanner->album, media::kMp3InfoTextSlotBytes);
  CheckText(info.year, scanner->year, media::kMp3InfoYearSlotBytes);
  CheckText(info.comment, scanner->comment, media::kMp3InfoTextSlotBytes);
  Check(tagged || info.genre == 0);
}

// One scan with the given settings; returns its result after checking it.
int ScanAndCheck(media::Mp3InfoScanner* scanner, Walk* walk, int stopMask, int searchLimit,
                 int frameLimit) {
  media::Mp3Info info{};
  const int result =
      media::mp3info_scan(scanner, InputPath().c_str(), walk != nullptr ? CheckFrame : nullptr,
                          walk, &info, stopMask, searchLimit, frameLimit);
  Check(result == media::kMp3InfoOk || result == media::kMp3InfoStopMaskHit ||
        result == media::kMp3InfoNoHeaderInLimit);
  Check(stopMask != 0 || result != media::kMp3InfoStopMaskHit);
  Check(searchLimit != 0 || result != media::kMp3InfoNoHeaderInLimit);
  if (result == media::kMp3InfoOk) CheckInfo(scanner, info, frameLimit);
  if (result == media::kMp3InfoOk && walk != nullptr && walk->stopAtIndex < 0) {
    Check(walk->calls == info.frames);
  }
  return result;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static media::Mp3InfoScanner* scanner = [] {
    media::Mp3InfoScanner* created = nullptr;
    Check(media::mp3info_new(&created) == media::kMp3InfoOk);
    return created;
  }();
  WriteInput(data, size);
  ScanAndCheck(scanner, nullptr, 0, 0, 50);
  Walk whole;
  ScanAndCheck(scanner, &whole, 0, 0, 0);
  Walk limited;
  ScanAndCheck(scanner, &limited, 0, 256, 0);
  Walk stopped;
  stopped.stopAtIndex = 3;
  ScanAndCheck(scanner, &stopped, 0, 0, 0);
  Check(stopped.calls <= 4);
  Walk watched;
  if (ScanAndCheck(scanner, &watched, 0x1F, 0, 0) == media::kMp3InfoStopMaskHit) {
    Check(watched.calls >= 1);  // a change shows only from the second frame on
  }
  unlink(InputPath().c_str());
  return 0;
}
