// The decoder's hottest loops (the synthesis transform and window, the Layer III inverse
// transform) are built twice on x86-64: for the baseline instruction set and for AVX2, picked
// per call from what the processor offers. Both copies carry out the same float operations in
// the same order (AVX2 without fused multiply-add), so their output is bit for bit the same;
// only the speed differs. Elsewhere only the baseline copy exists.
#pragma once

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define VELTRO_MPEG_AVX2_COPY 1
#define VELTRO_TARGET_AVX2 [[gnu::target("avx2")]]
#else
#define VELTRO_MPEG_AVX2_COPY 0
#define VELTRO_TARGET_AVX2
#endif

namespace veltro::media {

// Any thread. True when the AVX2 copies run: the processor has AVX2 and the baseline copies
// are not forced.
bool MpegUsesAvx2();
// Any thread; for tests and benchmarks. Forces the baseline copies (true) or returns to the
// processor's choice (false).
void ForceMpegBaseline(bool baseline);
// Any thread. Whether the processor could run the AVX2 copies at all.
bool MpegAvx2Available();

}  // namespace veltro::media
