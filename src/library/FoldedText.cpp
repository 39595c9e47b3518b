#include "library/FoldedText.h"

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

bool FoldedPrefixBefore(std::string_view entry, std::string_view text) {
  for (size_t i = 0; i < text.size(); ++i) {
    if (i == entry.size()) return true;  // the entry ended: its NUL is smaller than any byte
    if (entry[i] == text[i]) continue;
    const int difference = FoldedByteDifference(entry[i], text[i]);
    if (difference != 0) return difference < 0;
  }
  return false;
}

std::string_view FoldInto(std::string_view text, char* out) {
  for (size_t i = 0; i < text.size(); ++i) out[i] = FoldByte(text[i]);
  return std::string_view(out, text.size());
}

}  // namespace veltro::library
