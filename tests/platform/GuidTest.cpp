#include <gtest/gtest.h>

#include <string>

#include "platform/Guid.h"
#include "platform/Sha1.h"

namespace veltro::platform {
namespace {

std::string Hex(const Sha1Digest& digest) {
  static const char kDigits[] = "0123456789abcdef";
  std::string text;
  for (uint8_t byte : digest) {
    text += kDigits[byte >> 4];
    text += kDigits[byte & 0xF];
  }
  return text;
}

TEST(Sha1, MatchesFips180Vectors) {
  EXPECT_EQ(Hex(Sha1Of("abc")), "a9993e364706816aba3e25717850c26c9cd0d89d");
  EXPECT_EQ(Hex(Sha1Of("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq")),
            "84983e441c3bd26ebaae4aa1f95129e5e54670f1");
  EXPECT_EQ(Hex(Sha1Of("")), "da39a3ee5e6b4b0d3255bfef95601890afd80709");
  // One million 'a', fed in uneven pieces so the block buffering is exercised across calls.
  Sha1 sha;
  const std::string piece(997, 'a');
  size_t fed = 0;
  while (fed < 1000000) {
    const size_t take = std::min(piece.size(), 1000000 - fed);
    sha.Update(piece.data(), take);
    fed += take;
  }
  EXPECT_EQ(Hex(sha.Finish()), "34aa973cd4c4daa4f61eeb2bdbad27316534016f");
}

TEST(Guid, FormatsFieldsAsUpperCaseBraceText) {
  Guid guid;
  guid.data1 = 0x0123ABCDu;
  guid.data2 = 0x4567;
  guid.data3 = 0x89EF;
  guid.data4 = {0x00, 0x01, 0xFE, 0xDC, 0xBA, 0x98, 0x76, 0x54};
  EXPECT_EQ(guid.Format(), "{0123ABCD-4567-89EF-0001-FEDCBA987654}");
  EXPECT_EQ(Guid{}.Format(), "{00000000-0000-0000-0000-000000000000}");
  EXPECT_TRUE(Guid{}.IsNil());
  EXPECT_FALSE(guid.IsNil());
}

TEST(Guid, ParsesEitherCaseAndRoundTrips) {
  const auto lower = Guid::Parse("{0123abcd-4567-89ef-0001-fedcba987654}");
  ASSERT_TRUE(lower.has_value());
  EXPECT_EQ(lower->data1, 0x0123ABCDu);
  EXPECT_EQ(lower->data2, 0x4567);
  EXPECT_EQ(lower->data3, 0x89EF);
  EXPECT_EQ(lower->data4[1], 0x01);
  EXPECT_EQ(lower->data4[7], 0x54);
  EXPECT_EQ(lower->Format(), "{0123ABCD-4567-89EF-0001-FEDCBA987654}");
  EXPECT_EQ(Guid::Parse(lower->Format()), lower);
}

TEST(Guid, RefusesAnythingButTheBraceForm) {
  const char* const kBad[] = {
      "",
      "0123ABCD-4567-89EF-0001-FEDCBA987654",      // no braces
      "{0123ABCD-4567-89EF-0001-FEDCBA98765}",     // one digit short
      "{0123ABCD-4567-89EF-0001-FEDCBA9876543}",   // one digit long
      "{0123ABCD-4567-89EF-0001-FEDCBA98765G}",    // not hex
      "{0123ABCD-4567-89EF-0001+FEDCBA987654}",    // wrong separator
      "{0123ABCD4-567-89EF-0001-FEDCBA987654}",    // hyphen misplaced
      "(0123ABCD-4567-89EF-0001-FEDCBA987654)",    // wrong brackets
      "{0123ABCD-4567-89EF-0001-FEDCBA987654}\n",  // trailing character
      "{ 123ABCD-4567-89EF-0001-FEDCBA987654}",    // blank instead of a digit
  };
  for (const char* text : kBad) EXPECT_FALSE(Guid::Parse(text).has_value()) << text;
  EXPECT_FALSE(Guid::Parse(std::string_view("{0123ABCD-4567-89EF-0001-FEDCBA98765\0}", 38)));
}

TEST(Guid, NameBasedFollowsRfc4122Version5) {
  const auto dns = Guid::Parse("{6ba7b810-9dad-11d1-80b4-00c04fd430c8}");
  ASSERT_TRUE(dns.has_value());
  EXPECT_EQ(Guid::NameBased(*dns, "www.example.com").Format(),
            "{2ED6657D-E927-568B-95E1-2665A8AEA6A2}");
  // Stable, and different names or namespaces give different GUIDs.
  const Guid a = Guid::NameBased(*dns, "ALSA: HDA Intel PCH");
  EXPECT_EQ(a, Guid::NameBased(*dns, "ALSA: HDA Intel PCH"));
  EXPECT_NE(a, Guid::NameBased(*dns, "ALSA: HDA Intel PCH "));
  EXPECT_NE(a, Guid::NameBased(Guid{}, "ALSA: HDA Intel PCH"));
  EXPECT_EQ(a.data3 >> 12, 5) << "version nibble";
  EXPECT_EQ(a.data4[0] >> 6, 2) << "variant bits";
}

}  // namespace
}  // namespace veltro::platform
