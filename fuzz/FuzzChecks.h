// Invariant checks shared by the media fuzz targets: a broken one traps, which the fuzzer reports.
#pragma once

#include <cstdint>

#include "media/framework/MediaFramework.h"

namespace fuzz_checks {

inline void Check(bool condition) {
  if (!condition) __builtin_trap();
}

// The coded sampling frequencies of MPEG-1, MPEG-2 and MPEG 2.5.
inline bool IsCodedRate(int hz) {
  static const int kRates[] = {48000, 44100, 32000, 24000, 22050, 16000, 12000, 11025, 8000};
  for (int rate : kRates) {
    if (rate == hz) return true;
  }
  return false;
}

// Hundredths of a second on the timecode; traps when a field is out of its range.
inline int64_t CheckedTimecode(const veltro::media::MfTimecode& t) {
  Check(t.hours >= 0);
  Check(t.minutes >= 0 && t.minutes < 60);
  Check(t.seconds >= 0 && t.seconds < 60);
  Check(t.hundredths >= 0 && t.hundredths < 100);
  return ((int64_t{t.hours} * 60 + t.minutes) * 60 + t.seconds) * 100 + t.hundredths;
}

}  // namespace fuzz_checks
