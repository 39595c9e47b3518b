#include "library/MatchPattern.h"

#include "library/FoldedText.h"

namespace veltro::library {

bool MatchPattern(std::string_view text, std::string_view pattern) {
  return WildcardPattern(pattern, false).Matches(text);
}

WildcardPattern::WildcardPattern(std::string_view pattern, bool foldText) : foldText_(foldText) {
  std::string folded(pattern);
  if (foldText) FoldInto(pattern, folded.data());
  hasStar_ = folded.find('*') != std::string::npos;
  if (!hasStar_) {
    whole_ = std::move(folded);
    matchesAll_ = whole_.empty();
    return;
  }
  anchoredAtStart_ = folded.front() != '*';
  openAtEnd_ = folded.back() == '*';
  size_t start = 0;
  while (start <= folded.size()) {
    const size_t star = std::min(folded.find('*', start), folded.size());
    if (star > start) segments_.push_back(folded.substr(start, star - start));
    start = star + 1;
  }
  matchesAll_ = segments_.empty();
}

bool WildcardPattern::Matches(std::string_view text) const {
  if (matchesAll_) return true;
  char folded[kFoldedTextCapacity];
  if (foldText_) {
    if (text.size() > sizeof folded) return MatchFolded(FoldedCopy(text));
    text = FoldInto(text, folded);
  }
  return MatchFolded(text);
}

std::string WildcardPattern::FoldedCopy(std::string_view text) {
  std::string copy(text);
  FoldInto(text, copy.data());
  return copy;
}

bool WildcardPattern::MatchFolded(std::string_view text) const {
  if (!hasStar_) return text == whole_;
  size_t position = 0;
  for (size_t i = 0; i < segments_.size(); ++i) {
    if (i == 0 && anchoredAtStart_) {
      if (!text.starts_with(segments_[0])) return false;
    } else {
      position = text.find(segments_[i], position);
      if (position == std::string_view::npos) return false;
    }
    position += segments_[i].size();
  }
  return openAtEnd_ || position == text.size();
}

}  // namespace veltro::library
