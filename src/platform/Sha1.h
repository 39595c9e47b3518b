// SHA-1 message digest (FIPS 180-4), used for stable name-based GUIDs. Not for security.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace veltro::platform {

using Sha1Digest = std::array<uint8_t, 20>;

// Incremental SHA-1. Any thread; one object per thread.
class Sha1 {
 public:
  Sha1();
  // Adds `bytes` bytes starting at `data` to the message.
  void Update(const void* data, size_t bytes);
  void Update(std::string_view text) { Update(text.data(), text.size()); }
  // Pads the message and returns its digest; the object must not be updated afterwards.
  Sha1Digest Finish();

 private:
  void ProcessBlock(const uint8_t* block);

  std::array<uint32_t, 5> state_;
  std::array<uint8_t, 64> block_{};
  size_t blockFill_ = 0;
  uint64_t messageBytes_ = 0;
};

// The digest of `text` in one call. Any thread.
Sha1Digest Sha1Of(std::string_view text);

}  // namespace veltro::platform
