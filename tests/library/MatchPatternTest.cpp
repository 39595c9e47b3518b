#include <gtest/gtest.h>

#include <string>

#include "library/MatchPattern.h"

namespace veltro::library {
namespace {

TEST(MatchPattern, EmptyPatternAndPatternWithoutStar) {
  EXPECT_TRUE(MatchPattern("ANYTHING", ""));
  EXPECT_TRUE(MatchPattern("", ""));
  EXPECT_TRUE(MatchPattern("BEATLES", "BEATLES"));
  EXPECT_FALSE(MatchPattern("THE BEATLES", "BEATLES"));
  EXPECT_FALSE(MatchPattern("BEATLES", "BEAT"));
  EXPECT_FALSE(MatchPattern("BEAT", "BEATLES"));
  EXPECT_FALSE(MatchPattern("beatles", "BEATLES"));  // byte-exact: callers fold
  EXPECT_FALSE(MatchPattern("", "A"));
}

TEST(MatchPattern, LeadingTrailingAndInnerStars) {
  EXPECT_TRUE(MatchPattern("BEAT IT", "BEAT*"));
  EXPECT_TRUE(MatchPattern("BEAT", "BEAT*"));
  EXPECT_FALSE(MatchPattern("THE BEAT", "BEAT*"));
  EXPECT_TRUE(MatchPattern("THE BEAT GOES ON", "*BEAT*"));
  EXPECT_TRUE(MatchPattern("BEAT", "*BEAT*"));
  EXPECT_FALSE(MatchPattern("BEA T", "*BEAT*"));
  EXPECT_TRUE(MatchPattern("AXBYC", "A*B*C"));
  EXPECT_TRUE(MatchPattern("ABC", "A*B*C"));
  EXPECT_FALSE(MatchPattern("AXBYCD", "A*B*C"));
  EXPECT_FALSE(MatchPattern("XAXBYC", "A*B*C"));
  EXPECT_FALSE(MatchPattern("ACB", "A*B*C"));
  EXPECT_TRUE(MatchPattern("1995", "199*"));
  EXPECT_FALSE(MatchPattern("1899", "199*"));
}

TEST(MatchPattern, EachSegmentTakesItsFirstOccurrenceWithoutBacktracking) {
  EXPECT_TRUE(MatchPattern("ALL YOU NEED IS LOVE", "*LOVE"));
  EXPECT_FALSE(MatchPattern("LOVE LOVE", "*LOVE"));
  EXPECT_FALSE(MatchPattern("ABCBC", "A*BC"));
  EXPECT_TRUE(MatchPattern("ABCBC", "A*BC*"));
}

TEST(MatchPattern, StarsAloneAndPatternsLongerThanTheText) {
  EXPECT_TRUE(MatchPattern("", "*"));
  EXPECT_TRUE(MatchPattern("X", "**"));
  EXPECT_TRUE(MatchPattern("", "**"));
  EXPECT_TRUE(MatchPattern("AB", "A**B"));
  EXPECT_FALSE(MatchPattern("AB", "*ABC"));
  EXPECT_FALSE(MatchPattern("AB", "ABC*"));
  EXPECT_FALSE(MatchPattern("AB", "A*BB"));
  EXPECT_FALSE(MatchPattern("", "*A*"));
}

TEST(WildcardPattern, FoldingPatternIgnoresLetterCaseOfShortAndLongTexts) {
  const WildcardPattern love("*love*", true);
  EXPECT_TRUE(love.Matches("Lovely Day"));
  EXPECT_TRUE(love.Matches("i LOVE you"));
  EXPECT_FALSE(love.Matches("L0VE"));
  EXPECT_FALSE(love.MatchesAll());
  // Longer than any record field: folded in a copy instead of on the stack.
  EXPECT_TRUE(love.Matches(std::string(100, 'x') + "LoVe"));
  EXPECT_FALSE(WildcardPattern("*LOVE", true).Matches(std::string(70, 'x') + "love love"));
  EXPECT_TRUE(WildcardPattern("", true).MatchesAll());
  EXPECT_TRUE(WildcardPattern("***", false).MatchesAll());
  // Without folding the pattern is byte-exact, as the year is matched.
  EXPECT_FALSE(WildcardPattern("abc*", false).Matches("ABC"));
  EXPECT_TRUE(WildcardPattern("ab\xC3\x84*", true).Matches("AB\xC3\x84X"));
  EXPECT_FALSE(WildcardPattern("ab\xC3\xA4*", true).Matches("AB\xC3\x84X"));
}

}  // namespace
}  // namespace veltro::library
