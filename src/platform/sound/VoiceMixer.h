// Adds one voice's contribution to a mix chunk: 4-point, 3rd-order Hermite (Catmull-Rom)
// resampling from the voice's frequency to the output rate, gain, mono spread to both
// channels, and the advance of its play cursor. Audio thread only.
#pragma once

#include <cstddef>

#include "platform/sound/MixerCore.h"

namespace veltro::platform::sound {

// Adds `frames` output frames of `voice` into `mix` (interleaved float stereo, 2 * frames
// values, in int16 units) and commits the advanced cursor unless another thread moved it
// meanwhile. A stopped voice is left alone. A non-looping voice that runs past its end stops
// and its cursor returns to 0.
void MixVoice(BufferVoice& voice, float* mix, size_t frames);

// The interpolator itself: the value at fraction `t` (0 <= t < 1) between x0 and x1.
inline float HermiteInterpolate(float xm1, float x0, float x1, float x2, float t) {
  const float c1 = 0.5f * (x1 - xm1);
  const float c2 = xm1 - 2.5f * x0 + 2.0f * x1 - 0.5f * x2;
  const float c3 = 0.5f * (x2 - xm1) + 1.5f * (x0 - x1);
  return ((c3 * t + c2) * t + c1) * t + x0;
}

}  // namespace veltro::platform::sound
