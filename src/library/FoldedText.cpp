#include "library/FoldedText.h"

#include <cstdint>
#include <cstring>

namespace veltro::library {

namespace {

int FoldedByteDifference(char a, char b) {
  return static_cast<int>(static_cast<unsigned char>(FoldByte(a))) -
         static_cast<int>(static_cast<unsigned char>(FoldByte(b)));
}

}  // namespace

int FoldedCompare(std::string_view a, std::string_view b) {
  const size_t common = a.size() < b.size() ? a.size() : b.size();
  for (size_t i = 0; i < common; ++i) {
    if (a[i] == b[i]) continue;
    const int difference = FoldedByteDifference(a[i], b[i]);
    if (difference != 0) return difference;
  }
  if (a.size() == b.size()) return 0;
  return a.size() < b.size() ? -1 : 1;
}

int FoldedCompareFields(const char* a, const char* b, size_t capacity) {
  for (size_t i = 0; i < capacity; ++i) {
    if (a[i] == b[i]) {
      if (a[i] == '\0') return 0;
      continue;
    }
    const int difference = FoldedByteDifference(a[i], b[i]);
    if (difference != 0) return difference;
  }
  return 0;
}

bool FoldedPrefixBefore(std::string_view entry, std::string_view text) {
  for (size_t i = 0; i < text.size(); ++i) {
    if (i == entry.size()) return true;  // the entry ended: its NUL is smaller than any byte
    if (entry[i] == text[i]) continue;
    const int difference = FoldedByteDifference(entry[i], text[i]);
    if (difference != 0) return difference < 0;
  }
  return false;
}

namespace {

// Folds eight bytes at once: each byte in 'a'..'z' loses its 0x20 bit, all others stay.
uint64_t FoldWord(uint64_t word) {
  constexpr uint64_t kOnes = 0x0101010101010101ULL;
  constexpr uint64_t kHighBits = 0x80 * kOnes;
  const uint64_t low7 = word & (0x7F * kOnes);
  const uint64_t atLeastA = low7 + (0x80 - 'a') * kOnes;    // high bit set when >= 'a'
  const uint64_t aboveZ = low7 + (0x80 - 'z' - 1) * kOnes;  // high bit set when > 'z'
  const uint64_t lower = atLeastA & ~aboveZ & ~word & kHighBits;
  return word ^ (lower >> 2);
}

}  // namespace

std::string_view FoldInto(std::string_view text, char* out) {
  size_t i = 0;
  for (; i + 8 <= text.size(); i += 8) {
    uint64_t word;
    std::memcpy(&word, text.data() + i, 8);
    word = FoldWord(word);
    std::memcpy(out + i, &word, 8);
  }
  for (; i < text.size(); ++i) out[i] = FoldByte(text[i]);
  return std::string_view(out, text.size());
}

}  // namespace veltro::library
