// UTF-8 validation, the Windows-1252 conversions in both directions (held against the C
// library's own code-page converter), and cutting UTF-8 text to a byte width.
#include <gtest/gtest.h>
#include <iconv.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/TextEncoding.h"

namespace veltro::platform {
namespace {

// The C library's conversion of one Windows-1252 byte to UTF-8; nullopt for bytes the
// converter leaves undefined.
std::optional<std::string> IconvWindows1252ToUtf8(uint8_t byte) {
  iconv_t converter = iconv_open("UTF-8", "WINDOWS-1252");
  EXPECT_NE(converter, reinterpret_cast<iconv_t>(-1));
  char in = static_cast<char>(byte);
  char out[8] = {};
  char* inPointer = &in;
  char* outPointer = out;
  size_t inLeft = 1;
  size_t outLeft = sizeof out;
  const size_t result = iconv(converter, &inPointer, &inLeft, &outPointer, &outLeft);
  iconv_close(converter);
  if (result == static_cast<size_t>(-1)) return std::nullopt;
  return std::string(out, sizeof out - outLeft);
}

std::string Bytes(std::initializer_list<int> values) {
  std::string text;
  for (int value : values) text.push_back(static_cast<char>(value));
  return text;
}

TEST(TextEncoding, EveryDefinedWindows1252ByteMatchesTheCLibraryConverter) {
  int undefined = 0;
  for (int byte = 0; byte < 256; ++byte) {
    const std::string ours = Windows1252ToUtf8(std::string(1, static_cast<char>(byte)));
    const auto oracle = IconvWindows1252ToUtf8(static_cast<uint8_t>(byte));
    if (oracle) {
      EXPECT_EQ(ours, *oracle) << "byte 0x" << std::hex << byte;
    } else {
      ++undefined;
      // The five holes of the code page become the C1 control of the same number.
      EXPECT_EQ(ours, Bytes({0xC2, byte})) << "byte 0x" << std::hex << byte;
    }
  }
  EXPECT_EQ(undefined, 5);
}

TEST(TextEncoding, HighControlRangeSpotChecks) {
  EXPECT_EQ(Windows1252ToUtf8("\x80"), "€");
  EXPECT_EQ(Windows1252ToUtf8("\x85"), "…");
  EXPECT_EQ(Windows1252ToUtf8("\x8A\x8C\x8E"), "ŠŒŽ");
  EXPECT_EQ(Windows1252ToUtf8("\x91\x92\x93\x94"), "‘’“”");
  EXPECT_EQ(Windows1252ToUtf8("\x96\x97\x99"), "–—™");
  EXPECT_EQ(Windows1252ToUtf8("\x9A\x9C\x9E\x9F"), "šœžŸ");
  EXPECT_EQ(Windows1252ToUtf8("\x81\x8D\x8F\x90\x9D"),
            Bytes({0xC2, 0x81, 0xC2, 0x8D, 0xC2, 0x8F, 0xC2, 0x90, 0xC2, 0x9D}));
  EXPECT_EQ(Windows1252ToUtf8("\xA0\xE9\xFF"), "\u00A0éÿ");
  EXPECT_EQ(Windows1252ToUtf8(std::string("a\0b", 3)), std::string("a\0b", 3));
}

TEST(TextEncoding, Windows1252RoundTripsThroughUtf8ForAllBytes) {
  std::string all;
  for (int byte = 0; byte < 256; ++byte) all.push_back(static_cast<char>(byte));
  const std::string utf8 = Windows1252ToUtf8(all);
  EXPECT_TRUE(IsValidUtf8(utf8));
  EXPECT_EQ(Utf8ToWindows1252(utf8), all);
  EXPECT_EQ(ToUtf8FromTagText(utf8), utf8) << "valid UTF-8 is taken as it is";
}

TEST(TextEncoding, Utf8ToWindows1252RefusesWhatTheCodePageLacks) {
  EXPECT_EQ(Utf8ToWindows1252("Mötley Crüe €5"),
            "M\xF6tley Cr\xFC"
            "e \x80"
            "5");
  EXPECT_EQ(Utf8ToWindows1252(""), "");
  EXPECT_EQ(Utf8ToWindows1252("東京"), std::nullopt);
  EXPECT_EQ(Utf8ToWindows1252("Straße Ω"), std::nullopt) << "Greek omega";
  EXPECT_EQ(Utf8ToWindows1252("😀"), std::nullopt);
  EXPECT_EQ(Utf8ToWindows1252("Bj\xF6rk"), std::nullopt) << "not UTF-8 at all";
  EXPECT_EQ(Utf8ToWindows1252(Bytes({0xC0, 0xA9})), std::nullopt) << "overlong ©";
}

TEST(TextEncoding, ValidUtf8IsAccepted) {
  for (const std::string& text :
       {std::string(), std::string("plain ASCII"), std::string("a\0b", 3), std::string("é€😀"),
        Bytes({0xC2, 0x80}), Bytes({0xDF, 0xBF}), Bytes({0xE0, 0xA0, 0x80}),
        Bytes({0xED, 0x9F, 0xBF}), Bytes({0xEE, 0x80, 0x80}), Bytes({0xEF, 0xBF, 0xBF}),
        Bytes({0xF0, 0x90, 0x80, 0x80}), Bytes({0xF4, 0x8F, 0xBF, 0xBF})}) {
    EXPECT_TRUE(IsValidUtf8(text)) << text;
  }
}

TEST(TextEncoding, MalformedUtf8IsRejectedAndTakenAsWindows1252) {
  const std::vector<std::string> malformed = {
      Bytes({0xC0, 0x80}),              // overlong NUL
      Bytes({0xC1, 0xBF}),              // overlong 0x7F
      Bytes({0xE0, 0x9F, 0xBF}),        // overlong U+07FF
      Bytes({0xF0, 0x8F, 0xBF, 0xBF}),  // overlong U+FFFF
      Bytes({0xED, 0xA0, 0x80}),        // surrogate U+D800
      Bytes({0xED, 0xBF, 0xBF}),        // surrogate U+DFFF
      Bytes({0xF4, 0x90, 0x80, 0x80}),  // U+110000
      Bytes({0xF5, 0x80, 0x80, 0x80}),  // lead byte beyond U+10FFFF
      Bytes({0xF8, 0x88, 0x80, 0x80, 0x80}),
      Bytes({0xFE}),
      Bytes({0xFF}),
      Bytes({0x80}),                    // continuation without a lead
      Bytes({'a', 0xC3}),               // truncated two-byte sequence
      Bytes({0xE2, 0x82}),              // truncated three-byte sequence
      Bytes({0xF0, 0x9F, 0x98}),        // truncated four-byte sequence
      Bytes({0xC3, 0x28}),              // lead followed by ASCII
      Bytes({0xE2, 0x82, 0xAC, 0xAC}),  // a valid € and a stray continuation
  };
  for (const std::string& text : malformed) {
    EXPECT_FALSE(IsValidUtf8(text)) << ::testing::PrintToString(text);
    EXPECT_EQ(ToUtf8FromTagText(text), Windows1252ToUtf8(text));
    EXPECT_TRUE(IsValidUtf8(ToUtf8FromTagText(text)));
  }
  EXPECT_EQ(ToUtf8FromTagText("Bj\xF6rk"), "Björk");
  EXPECT_EQ(ToUtf8FromTagText(Bytes({0xC3, 0xA9, 0xE9})), "Ã©é")
      << "one bad byte makes the whole text Windows-1252";
}

TEST(TextEncoding, TruncationNeverSplitsASequence) {
  const std::string text = "aé€😀";  // sequences of 1, 2, 3 and 4 bytes
  ASSERT_EQ(text.size(), 10u);
  const std::vector<std::string> expected = {"",    "a",   "a",   "aé",  "aé",   "aé",
                                             "aé€", "aé€", "aé€", "aé€", "aé€😀", "aé€😀"};
  for (size_t width = 0; width < expected.size(); ++width) {
    EXPECT_EQ(TruncateUtf8(text, width), expected[width]) << "width " << width;
  }
  EXPECT_EQ(TruncateUtf8("", 0), "");
  EXPECT_EQ(TruncateUtf8("abc", 100), "abc");
}

TEST(TextEncoding, TruncationCountsBytesThatAreNotUtf8Singly) {
  EXPECT_EQ(TruncateUtf8(Bytes({0xFF, 0xFE, 0xFD}), 2), Bytes({0xFF, 0xFE}));
  EXPECT_EQ(TruncateUtf8("Bj\xF6rk Gu\xF0mundsd\xF3ttir", 3), "Bj\xF6");
  EXPECT_EQ(TruncateUtf8(Bytes({'a', 'b', 0xE2, 0x82}), 3), Bytes({'a', 'b', 0xE2}))
      << "an unfinished sequence is no sequence";
  EXPECT_EQ(TruncateUtf8(Bytes({0xED, 0xA0, 0x80, 'x'}), 2), Bytes({0xED, 0xA0}))
      << "a surrogate's bytes are single bytes";
}

}  // namespace
}  // namespace veltro::platform
