// The 32-point cosine transform at the heart of the polyphase synthesis matrixing:
// X[n] = sum over k = 0..31 of in[k] * cos(n * (2k + 1) * pi / 64), for n = 0..31.
// The synthesis's 64 matrixing outputs V[i] = sum_k cos((16 + i)(2k + 1) pi / 64) S[k] are
// X[16 + i] with the symmetries X[64 - n] = -X[n] and X[n + 64] = -X[n], so these 32 values
// determine all 64. Both functions are pure: any thread, no state, no allocation.
#pragma once

namespace veltro::media {

// Direct evaluation: 32 x 32 products against a cosine table. The reference for Dct32Fast.
void Dct32Plain(const float* in32, float* out32);

// The same transform by recursive even/odd splitting (about 80 multiplications instead of
// 1024). With `shift` 1 or 2 only X[n] for n a multiple of 2 or 4 is computed and written
// (the other entries of out32 are left untouched); shift 0 writes all 32.
void Dct32Fast(const float* in32, float* out32, int shift);

// Dct32Fast of `count` blocks, several at a time side by side in vector lanes; each block's
// output equals Dct32Fast's bit for bit (same operations in the same order per lane).
void Dct32FastBlocks(const float (*in)[32], int count, float (*out)[32], int shift);

}  // namespace veltro::media
