#include "engine/DecoderBase.h"

#include <algorithm>
#include <cstring>

namespace veltro::engine {

uint32_t DecoderBase::FillFromBlocks(uint8_t* buffer, uint32_t bytes) {
  const auto fromCarry = std::min<uint32_t>(static_cast<uint32_t>(carryLength_), bytes);
  std::memcpy(buffer, carry_.data(), fromCarry);
  SetCarry(carry_.data() + fromCarry, carryLength_ - static_cast<int>(fromCarry));
  uint32_t filled = fromCarry;
  while (filled < bytes && !ended_) {
    const std::span<const uint8_t> block = NextBlock();
    if (block.empty()) {
      ended_ = true;
      break;
    }
    const size_t used = std::min<size_t>(block.size(), bytes - filled);
    std::memcpy(buffer + filled, block.data(), used);
    filled += static_cast<uint32_t>(used);
    SetCarry(block.data() + used, static_cast<int>(block.size() - used));
  }
  return filled;
}

void DecoderBase::SetCarry(const uint8_t* bytes, int count) {
  std::memmove(carry_.data(), bytes, static_cast<size_t>(count));
  carryLength_ = count;
  carryTime_ = count * 100 / avgBytesPerSec_;
}

}  // namespace veltro::engine
