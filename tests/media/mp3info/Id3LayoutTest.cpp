// The ID3 layouts: the ID3v2 header's synchsafe size, and the ID3v1 fields found in the last 128
// bytes of whatever span is given, with the text rule readers apply to them.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "media/mp3info/Id3Layout.h"

namespace veltro::media {
namespace {

std::vector<uint8_t> Bytes(const std::string& text) {
  return {text.begin(), text.end()};
}

TEST(Id3LayoutTest, Id3v2SizeIsSynchsafeBehindTheTenByteHeader) {
  struct Case {
    const char* name;
    std::vector<uint8_t> head;
    bool found;
    uint32_t tagBytes;
    bool synchsafe;
  };
  const Case cases[] = {
      {"empty tag", {'I', 'D', '3', 4, 0, 0, 0, 0, 0, 0}, true, 10, true},
      {"one unit per byte", {'I', 'D', '3', 3, 0, 0, 0, 0, 1, 1}, true, 10 + 128 + 1, true},
      {"largest",
       {'I', 'D', '3', 4, 0, 0, 0x7F, 0x7F, 0x7F, 0x7F},
       true,
       (1u << 28) - 1 + 10,
       true},
      {"high bits are not size bits", {'I', 'D', '3', 4, 0, 0, 0x80, 0, 0, 0x81}, true, 11, false},
      {"more bytes than the header", {'I', 'D', '3', 4, 0, 0, 0, 0, 0, 5, 0xFF}, true, 15, true},
      {"one byte short", {'I', 'D', '3', 4, 0, 0, 0, 0, 0}, false, 0, false},
      {"lower case", {'i', 'd', '3', 4, 0, 0, 0, 0, 0, 5}, false, 0, false},
      {"empty", {}, false, 0, false},
  };
  for (const Case& c : cases) {
    const auto header = ParseId3v2Header(c.head);
    ASSERT_EQ(header.has_value(), c.found) << c.name;
    if (!header) continue;
    EXPECT_EQ(header->tagBytes, c.tagBytes) << c.name;
    EXPECT_EQ(header->synchsafe, c.synchsafe) << c.name;
  }
}

// A 128-byte tag: `title`, every other byte `pad`, and the genre byte.
std::vector<uint8_t> Id3v1(const std::string& title, char pad, uint8_t genre) {
  std::vector<uint8_t> tag(kId3v1TagBytes, static_cast<uint8_t>(pad));
  tag[0] = 'T';
  tag[1] = 'A';
  tag[2] = 'G';
  for (size_t i = 0; i < title.size(); ++i) tag[kId3v1TitleOffset + i] = uint8_t(title[i]);
  tag[kId3v1GenreOffset] = genre;
  return tag;
}

TEST(Id3LayoutTest, Id3v1FieldsAreTheLastHundredTwentyEightBytes) {
  std::vector<uint8_t> file = Bytes("audio bytes before the tag");
  std::vector<uint8_t> tag = Id3v1("Title", ' ', 17);
  for (size_t i = 0; i < kId3v1YearBytes; ++i) tag[kId3v1YearOffset + i] = uint8_t('1' + i);
  tag[kId3v1CommentOffset] = 'c';
  tag[kId3v1AlbumOffset + kId3v1AlbumBytes - 1] = 'z';
  file.insert(file.end(), tag.begin(), tag.end());
  const auto fields = ParseId3v1Tag(file);
  ASSERT_TRUE(fields.has_value());
  EXPECT_EQ(fields->title, "Title" + std::string(25, ' '));
  EXPECT_EQ(fields->artist, std::string(30, ' '));
  EXPECT_EQ(fields->album, std::string(29, ' ') + "z");
  EXPECT_EQ(fields->year, "1234");
  EXPECT_EQ(fields->comment, "c" + std::string(29, ' '));
  EXPECT_EQ(fields->genre, 17);

  struct Refusal {
    const char* name;
    std::vector<uint8_t> bytes;
  };
  std::vector<uint8_t> shortTag = Id3v1("", ' ', 0);
  shortTag.erase(shortTag.begin());
  std::vector<uint8_t> lowerCase = Id3v1("", ' ', 0);
  lowerCase[0] = 't';
  std::vector<uint8_t> tagNotAtTheEnd = Id3v1("", ' ', 0);
  tagNotAtTheEnd.push_back(0);
  const Refusal refusals[] = {{"127 bytes", shortTag},
                              {"lower-case identifier", lowerCase},
                              {"a byte after the tag", tagNotAtTheEnd},
                              {"empty", {}}};
  for (const Refusal& r : refusals) EXPECT_FALSE(ParseId3v1Tag(r.bytes).has_value()) << r.name;
}

TEST(Id3LayoutTest, TextEndsAtTheFirstNulWithoutTrailingSpaces) {
  struct Case {
    std::string field;
    std::string text;
  };
  const Case cases[] = {
      {"Title     ", "Title"},
      {std::string("Title\0\0\0", 8), "Title"},
      {std::string("Ti tle \0 rest", 13), "Ti tle"},
      {std::string(" \0x", 3), ""},
      {"   lead", "   lead"},
      {"", ""},
      {"    ", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(Id3v1Text(c.field), c.text) << c.field;
}

}  // namespace
}  // namespace veltro::media
