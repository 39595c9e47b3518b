// The synthesis window shared by the polyphase synthesis and its tests.
#pragma once

#include <cstdint>

namespace veltro::media {

// The synthesis window D[i] of ISO/IEC 11172-3 Annex B, Table B.3 (512 coefficients), each
// multiplied by 65536: the standard's coefficients are exact multiples of 2^-16, so the integers
// hold them without loss. Read-only; any thread.
inline constexpr int kSynthesisWindowLength = 512;
inline constexpr double kSynthesisWindowUnit = 1.0 / 65536.0;
extern const int32_t kSynthesisWindow[kSynthesisWindowLength];

}  // namespace veltro::media
