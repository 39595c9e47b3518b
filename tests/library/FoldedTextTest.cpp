#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <string>

#include "library/FoldedText.h"
#include "library/SongRecord.h"

namespace veltro::library {
namespace {

TEST(FoldedCompare, FoldsOnlyAsciiLettersAndComparesUnsignedBytes) {
  EXPECT_EQ(FoldedCompare("c:\\music\\a.mp3", "C:\\MUSIC\\A.MP3"), 0);
  EXPECT_TRUE(FoldedLess("c:\\music\\a.mp3", "C:\\MUSIC\\B.MP3"));
  EXPECT_FALSE(FoldedLess("C:\\MUSIC\\B.MP3", "c:\\music\\a.mp3"));
  // Raw bytes would put 'a' (0x61) after 'B' (0x42) and '_' (0x5F) before 'z' (0x7A).
  EXPECT_LT(FoldedCompare("a", "B"), 0);
  EXPECT_LT(FoldedCompare("z", "_"), 0);
  // The neighbours of the letter ranges do not fold: '`' is not '@', '{' is not '['.
  EXPECT_NE(FoldedCompare("`", "@"), 0);
  EXPECT_NE(FoldedCompare("{", "["), 0);
  // Bytes from 0x80 on sort after all ASCII and are never folded.
  EXPECT_GT(FoldedCompare("\xC3\x84", "Z"), 0);
  EXPECT_GT(FoldedCompare("\xC3\x84", "z"), 0);
  EXPECT_GT(FoldedCompare("\x80", "\x7F"), 0);
  EXPECT_NE(FoldedCompare("\xE4", "\xC4"), 0);
  EXPECT_TRUE(FoldedLess("C:\\Music\\Z.mp3", "C:\\Music\\\xC3\x84.mp3"));
}

TEST(FoldedCompare, PrefixSortsBeforeItsExtensions) {
  EXPECT_TRUE(FoldedLess("C:\\Music\\A.mp3", "C:\\Music\\A.mp3x"));
  EXPECT_FALSE(FoldedLess("C:\\Music\\A.mp3x", "C:\\Music\\A.mp3"));
  EXPECT_TRUE(FoldedLess("", "a"));
  EXPECT_EQ(FoldedCompare("", ""), 0);
}

TEST(FoldedPrefixBefore, ComparesOnlyTheLengthOfTheTypedText) {
  EXPECT_FALSE(FoldedPrefixBefore("Beatles", "b"));
  EXPECT_FALSE(FoldedPrefixBefore("beatles", "BEAT"));
  EXPECT_TRUE(FoldedPrefixBefore("Abba", "b"));
  EXPECT_FALSE(FoldedPrefixBefore("Cream", "b"));
  EXPECT_TRUE(FoldedPrefixBefore("Zappa", "zzz"));
  EXPECT_FALSE(FoldedPrefixBefore("\xC3\x84rger", "zzz"));
  // The end of a shorter entry counts as smaller than any byte of the text.
  EXPECT_TRUE(FoldedPrefixBefore("Beatles", "beatles and more"));
  EXPECT_TRUE(FoldedPrefixBefore("", "a"));
  EXPECT_FALSE(FoldedPrefixBefore("", ""));
  EXPECT_FALSE(FoldedPrefixBefore("anything", ""));
}

TEST(FoldInto, UpperCasesAsciiLettersOnly) {
  char out[8];
  EXPECT_EQ(FoldInto("aBz_{\xE4", out), "ABZ_{\xE4");
  // Every byte value at every place of a text long enough for the eight-byte steps and a tail.
  for (int value = 0; value < 256; ++value) {
    for (size_t place = 0; place < 19; ++place) {
      std::string text(19, 'q');
      text[place] = static_cast<char>(value);
      char folded[19];
      const std::string_view result = FoldInto(text, folded);
      std::string expected(19, 'Q');
      const bool lower = value >= 'a' && value <= 'z';
      expected[place] = static_cast<char>(lower ? value - 32 : value);
      ASSERT_EQ(result, expected) << "byte " << value << " at " << place;
    }
  }
}

TEST(FoldedCompareFields, AgreesWithTheTextComparisonUpToTheNul) {
  // Bytes after the NUL are ignored; a field without a NUL ends at its capacity.
  const char a[8] = {'a', 'b', 'c', '\0', 'x', 'x', 'x', 'x'};
  const char b[8] = {'A', 'B', 'C', '\0', 'y', 'y', 'y', 'y'};
  const char c[8] = {'A', 'B', 'C', 'D', 'E', 'F', 'G', 'H'};
  const char d[8] = {'a', 'b', 'c', 'd', 'e', 'f', 'g', 'i'};
  EXPECT_EQ(FoldedCompareFields(a, b, 8), 0);
  EXPECT_LT(FoldedCompareFields(a, c, 8), 0);
  EXPECT_GT(FoldedCompareFields(c, a, 8), 0);
  EXPECT_LT(FoldedCompareFields(c, d, 8), 0);
  EXPECT_EQ(FoldedCompareFields(c, d, 7), 0);
  const char accented[8] = {'a', '\xC3', '\x84', '\0'};
  const char zed[8] = {'a', 'z', '\0'};
  EXPECT_GT(FoldedCompareFields(accented, zed, 8), 0);
}

TEST(StoreField, CutsWithoutSplittingUtf8AndZeroFills) {
  char field[31];
  std::fill(std::begin(field), std::end(field), 'x');
  StoreField(field, std::string(29, 'a') + "\xC3\x84");  // 31 bytes: the A-umlaut does not fit
  EXPECT_EQ(FieldText(field), std::string(29, 'a'));
  EXPECT_EQ(field[29], '\0');
  EXPECT_EQ(field[30], '\0');
  StoreField(field, std::string(40, 'b'));
  EXPECT_EQ(FieldText(field), std::string(30, 'b'));
  EXPECT_EQ(field[30], '\0');
}

}  // namespace
}  // namespace veltro::library
