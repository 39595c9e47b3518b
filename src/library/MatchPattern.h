// The library search's wildcard match.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace veltro::library {

// True when `text` matches `pattern`. The star is the only wildcard; bytes are compared exactly
// (callers fold letter case beforehand). An empty pattern matches everything; a pattern without
// a star matches only an equal text. Otherwise the segments between stars are placed from the
// left: the first must stand at the start unless the pattern starts with a star, each later one
// is taken at its first occurrence from the current position (never a later one), and unless
// the pattern ends with a star the text must end right after the last segment.
bool MatchPattern(std::string_view text, std::string_view pattern);

// A pattern split into its segments once, for matching many texts. Any thread; immutable.
class WildcardPattern {
 public:
  // `foldText`: the pattern is folded here and every text is folded as it is compared, so
  // letter case of a-z is ignored without copying the texts.
  WildcardPattern(std::string_view pattern, bool foldText);

  // True when the pattern matches everything (it is empty or only stars).
  bool MatchesAll() const { return matchesAll_; }
  bool Matches(std::string_view text) const;

 private:
  // Texts up to this length are folded on the stack (every field of a record is shorter).
  static constexpr size_t kFoldedTextCapacity = 64;
  static std::string FoldedCopy(std::string_view text);
  bool MatchFolded(std::string_view text) const;

  std::vector<std::string> segments_;
  std::string whole_;  // the pattern itself when it has no star
  bool hasStar_ = false;
  bool anchoredAtStart_ = false;
  bool openAtEnd_ = false;
  bool matchesAll_ = false;
  bool foldText_ = false;
};

}  // namespace veltro::library
