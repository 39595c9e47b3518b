#include "platform/Sha1.h"

#include <algorithm>
#include <bit>

#include "platform/ByteOrder.h"

namespace veltro::platform {

namespace {

// The round function and constant of FIPS 180-4 section 4.1.1 / 4.2.1 for round `t`.
uint32_t RoundMix(int t, uint32_t b, uint32_t c, uint32_t d) {
  if (t < 20) return ((b & c) | (~b & d)) + 0x5A827999u;
  if (t < 40) return (b ^ c ^ d) + 0x6ED9EBA1u;
  if (t < 60) return ((b & c) | (b & d) | (c & d)) + 0x8F1BBCDCu;
  return (b ^ c ^ d) + 0xCA62C1D6u;
}

}  // namespace

Sha1::Sha1() : state_{0x67452301u, 0xEFCDAB89u, 0x98BADCFEu, 0x10325476u, 0xC3D2E1F0u} {}

void Sha1::ProcessBlock(const uint8_t* block) {
  std::array<uint32_t, 80> schedule;
  for (int t = 0; t < 16; ++t) schedule[t] = LoadBigEndian32(block + 4 * t);
  for (int t = 16; t < 80; ++t) {
    schedule[t] =
        std::rotl(schedule[t - 3] ^ schedule[t - 8] ^ schedule[t - 14] ^ schedule[t - 16], 1);
  }
  uint32_t a = state_[0], b = state_[1], c = state_[2], d = state_[3], e = state_[4];
  for (int t = 0; t < 80; ++t) {
    const uint32_t next = std::rotl(a, 5) + RoundMix(t, b, c, d) + e + schedule[t];
    e = d;
    d = c;
    c = std::rotl(b, 30);
    b = a;
    a = next;
  }
  state_[0] += a;
  state_[1] += b;
  state_[2] += c;
  state_[3] += d;
  state_[4] += e;
}

void Sha1::Update(const void* data, size_t bytes) {
  const auto* input = static_cast<const uint8_t*>(data);
  messageBytes_ += bytes;
  while (bytes > 0) {
    const size_t take = std::min(bytes, block_.size() - blockFill_);
    std::copy_n(input, take, block_.begin() + static_cast<std::ptrdiff_t>(blockFill_));
    blockFill_ += take;
    input += take;
    bytes -= take;
    if (blockFill_ == block_.size()) {
      ProcessBlock(block_.data());
      blockFill_ = 0;
    }
  }
}

Sha1Digest Sha1::Finish() {
  const uint64_t messageBits = messageBytes_ * 8;
  // Padding: one 1 bit, zeros up to 56 bytes into a block, then the 64-bit message length.
  const uint8_t marker = 0x80;
  Update(&marker, 1);
  const uint8_t zero = 0;
  while (blockFill_ != 56) Update(&zero, 1);
  uint8_t length[8];
  for (int i = 0; i < 8; ++i) length[i] = static_cast<uint8_t>(messageBits >> (56 - 8 * i));
  Update(length, sizeof length);
  Sha1Digest digest;
  for (size_t i = 0; i < digest.size(); ++i) {
    digest[i] = static_cast<uint8_t>(state_[i / 4] >> (24 - 8 * (i % 4)));
  }
  return digest;
}

Sha1Digest Sha1Of(std::string_view text) {
  Sha1 sha;
  sha.Update(text);
  return sha.Finish();
}

}  // namespace veltro::platform
