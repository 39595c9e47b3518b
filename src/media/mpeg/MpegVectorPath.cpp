#include "media/mpeg/MpegVectorPath.h"

#include <atomic>

namespace veltro::media {
namespace {

std::atomic<bool> forcedBaseline{false};

bool ProcessorHasAvx2() {
#if VELTRO_MPEG_AVX2_COPY
  __builtin_cpu_init();
  return __builtin_cpu_supports("avx2") != 0;
#else
  return false;
#endif
}

}  // namespace

bool MpegAvx2Available() {
  static const bool available = ProcessorHasAvx2();
  return available;
}

bool MpegUsesAvx2() {
  return MpegAvx2Available() && !forcedBaseline.load(std::memory_order_relaxed);
}

void ForceMpegBaseline(bool baseline) {
  forcedBaseline.store(baseline, std::memory_order_relaxed);
}

}  // namespace veltro::media
