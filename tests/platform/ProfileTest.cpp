#include <gtest/gtest.h>
#include <sys/stat.h>

#include <climits>
#include <filesystem>
#include <string>

#include "platform/Profile.h"
#include "support/TempDir.h"

namespace veltro::platform {
namespace {

using veltro::testing::ReadBytes;
using veltro::testing::TempDir;
using veltro::testing::WriteBytes;

std::string Value(const ProfileDocument& document, const char* section, const char* key) {
  return document.Find(section, key).value_or("<missing>");
}

TEST(ProfileDocument, ReadsWithPrivateProfileRules) {
  const auto document = ProfileDocument::Parse(
      "stray=before any section\n"
      "[MainWnd]\n"
      "Language = leng.dll  \n"
      "  LEFT=\t12\t\n"
      "Quoted=\"  padded  \"\n"
      "Single='x'\n"
      "Unbalanced=\"x'\n"
      "Inner=a \"b\" c\n"
      "Comment=value ; stays part of the value\n"
      "; Hidden=commented out\n"
      "no equals sign here\n"
      "Empty=\n"
      "Language=second occurrence\n"
      "=no name\n"
      "[ devices ]\n"
      "Card_0=First\n"
      "[MAINWND]\n"
      "Extra=in the second section of the same name\n");
  EXPECT_EQ(Value(document, "mainwnd", "language"), "leng.dll");
  EXPECT_EQ(Value(document, "MainWnd", "Left"), "12");
  EXPECT_EQ(Value(document, "MainWnd", "Quoted"), "  padded  ");
  EXPECT_EQ(Value(document, "MainWnd", "Single"), "x");
  EXPECT_EQ(Value(document, "MainWnd", "Unbalanced"), "\"x'");
  EXPECT_EQ(Value(document, "MainWnd", "Inner"), "a \"b\" c");
  EXPECT_EQ(Value(document, "MainWnd", "Comment"), "value ; stays part of the value");
  EXPECT_EQ(Value(document, "MainWnd", "Empty"), "");
  EXPECT_EQ(Value(document, "MainWnd", "Hidden"), "<missing>");
  EXPECT_EQ(Value(document, "MainWnd", "stray"), "<missing>");
  EXPECT_EQ(Value(document, "MainWnd", "Extra"), "<missing>") << "first section wins";
  EXPECT_EQ(Value(document, "Devices", "CARD_0"), "First");
  EXPECT_EQ(Value(document, " Devices ", " Card_0 "), "First");
  EXPECT_EQ(Value(document, "Nowhere", "Card_0"), "<missing>");
  const std::vector<std::string> keys = {"Language",   "LEFT",  "Quoted",  "Single",
                                         "Unbalanced", "Inner", "Comment", "Empty"};
  EXPECT_EQ(document.Keys("mainwnd"), keys);
}

TEST(ProfileDocument, ParsesIntegersLikeTheOriginals) {
  EXPECT_EQ(ParseProfileInt("42"), 42);
  EXPECT_EQ(ParseProfileInt("  \t-17"), -17);
  EXPECT_EQ(ParseProfileInt("+8"), 8);
  EXPECT_EQ(ParseProfileInt("12abc"), 12);
  EXPECT_EQ(ParseProfileInt("3.9"), 3);
  EXPECT_EQ(ParseProfileInt("abc"), 0);
  EXPECT_EQ(ParseProfileInt("-"), 0);
  EXPECT_EQ(ParseProfileInt("- 5"), 0);
  EXPECT_EQ(ParseProfileInt("-2147483648"), INT32_MIN);
  EXPECT_EQ(ParseProfileInt("2147483647"), INT32_MAX);
  EXPECT_EQ(ParseProfileInt("4294967295"), -1);
  EXPECT_EQ(ParseProfileInt("0x1F"), 31);
  EXPECT_EQ(ParseProfileInt("0XfFz"), 255);
  EXPECT_EQ(ParseProfileInt("-0x10"), -16);
  EXPECT_EQ(ParseProfileInt("0x"), 0);
  EXPECT_EQ(ParseProfileInt("0xg"), 0);
  EXPECT_EQ(ParseProfileInt("0x80000000"), INT32_MIN);
  EXPECT_EQ(ParseProfileInt("99999999999999999999"), static_cast<int32_t>(1661992959u));
}

TEST(ProfileDocument, UnmodifiedTextRoundTripsByteForByte) {
  const char* const kTexts[] = {
      "",
      "\n",
      "[a]\r\nk=v\r\n",
      "[a]\nk=v",
      "[a]\r\nk=v\nmixed=1\r\n\r\n",
      "\xEF\xBB\xBF[a]\nk=v\n",
      "lone\rcarriage return\n[\n]\n==\n;;\n   \n\t[x] trailing\n",
  };
  for (const char* text : kTexts) {
    EXPECT_EQ(ProfileDocument::Parse(text).Serialize(), text);
  }
  const std::string withNul("[a]\nk=v\0w\n", 10);
  EXPECT_EQ(ProfileDocument::Parse(withNul).Serialize(), withNul);
  EXPECT_EQ(Value(ProfileDocument::Parse("\xEF\xBB\xBF[a]\nk=v\n"), "a", "k"), "v");
}

TEST(ProfileDocument, WritesChangeOnlyWhatTheyMust) {
  auto document = ProfileDocument::Parse(
      "; settings\r\n"
      "[Player 00]\r\n"
      "left = 10 \r\n"
      "; about the top\r\n"
      "Top=0\r\n"
      "\r\n"
      "[Mixer]\r\n"
      "Fadetime=5\r\n");
  ASSERT_TRUE(document.Set("PLAYER 00", "LEFT", "250"));
  ASSERT_TRUE(document.Set("player 00", "Width", "250"));
  ASSERT_TRUE(document.Set("Playlist", "Left", "-2147483648"));
  EXPECT_EQ(document.Serialize(),
            "; settings\r\n"
            "[Player 00]\r\n"
            "left=250\r\n"
            "; about the top\r\n"
            "Top=0\r\n"
            "Width=250\r\n"
            "\r\n"
            "[Mixer]\r\n"
            "Fadetime=5\r\n"
            "\r\n"
            "[Playlist]\r\n"
            "Left=-2147483648\r\n");
  EXPECT_EQ(ParseProfileInt(Value(document, "Playlist", "Left")), INT32_MIN);
}

TEST(ProfileDocument, WritesIntoEmptyAndUnterminatedDocuments) {
  ProfileDocument empty;
  ASSERT_TRUE(empty.Set("MainWnd", "Language", "leng.dll"));
  EXPECT_EQ(empty.Serialize(), "[MainWnd]\nLanguage=leng.dll\n");

  auto unterminated = ProfileDocument::Parse("[a]\nk=v");
  ASSERT_TRUE(unterminated.Set("a", "k2", "w"));
  EXPECT_EQ(unterminated.Serialize(), "[a]\nk=v\nk2=w");
  auto loneCr = ProfileDocument::Parse("[a]\nk=v\r");
  ASSERT_TRUE(loneCr.Set("a", "k2", "w"));
  EXPECT_EQ(Value(ProfileDocument::Parse(loneCr.Serialize()), "a", "k"), "v\r");
  auto noKeys = ProfileDocument::Parse("[a]\n\n[b]\n");
  ASSERT_TRUE(noKeys.Set("a", "k", "v"));
  EXPECT_EQ(noKeys.Serialize(), "[a]\nk=v\n\n[b]\n");
  auto headerOnly = ProfileDocument::Parse("[a]");
  ASSERT_TRUE(headerOnly.Set("a", "k", "v"));
  ASSERT_TRUE(headerOnly.Set("b", "k", "v"));
  EXPECT_EQ(headerOnly.Serialize(), "[a]\nk=v\n\n[b]\nk=v");
}

TEST(ProfileDocument, WrittenValuesReadBackExactly) {
  ProfileDocument document;
  const char* const kValues[] = {"",   "plain", "  padded ",       "\"quoted\"",      "'single'",
                                 "\"", "a=b",   "; not a comment", "[not a section]", "\t"};
  for (const char* value : kValues) {
    ASSERT_TRUE(document.Set("s", "k", value)) << value;
    EXPECT_EQ(Value(ProfileDocument::Parse(document.Serialize()), "s", "k"), value);
  }
}

TEST(ProfileDocument, RefusesWhatWouldBreakTheFile) {
  auto document = ProfileDocument::Parse("[s]\nk=v\n");
  EXPECT_FALSE(document.Set("s", "k", "two\nlines"));
  EXPECT_FALSE(document.Set("s", "k", "cr\r"));
  EXPECT_FALSE(document.Set("s", "a=b", "v"));
  EXPECT_FALSE(document.Set("s", ";k", "v"));
  EXPECT_FALSE(document.Set("s", "[k", "v"));
  EXPECT_FALSE(document.Set("s", "", "v"));
  EXPECT_FALSE(document.Set("s", "   ", "v"));
  EXPECT_FALSE(document.Set("a]b", "k", "v"));
  EXPECT_FALSE(document.Set("", "k", "v"));
  EXPECT_FALSE(document.Set("s\n", "k", "v"));
  EXPECT_EQ(document.Serialize(), "[s]\nk=v\n");
}

TEST(ProfileDocument, RemovesKeysAndSections) {
  auto document = ProfileDocument::Parse("[a]\nk=1\nK=2\nother=3\n[b]\nk=4\n");
  EXPECT_TRUE(document.Remove("A", "k"));
  EXPECT_EQ(document.Serialize(), "[a]\nother=3\n[b]\nk=4\n");
  EXPECT_FALSE(document.Remove("a", "k"));
  EXPECT_FALSE(document.Remove("missing", "k"));
  EXPECT_TRUE(document.RemoveSection("a"));
  EXPECT_EQ(document.Serialize(), "[b]\nk=4\n");
  EXPECT_FALSE(document.RemoveSection("a"));
}

TEST(Profile, ReadsWritesThroughAndReloads) {
  TempDir dir;
  const std::string path = dir.File("veltro.ini");
  Profile profile(path);
  EXPECT_EQ(profile.GetString("MainWnd", "Language", "leng.dll"), "leng.dll");
  EXPECT_EQ(profile.GetInt("Playlist", "Left", INT32_MIN), INT32_MIN);
  EXPECT_FALSE(std::filesystem::exists(path)) << "reading creates nothing";

  std::string error;
  ASSERT_TRUE(profile.WriteString("MainWnd", "Language", "lger.dll", &error)) << error;
  ASSERT_TRUE(profile.WriteInt("Playlist", "Left", INT32_MIN, &error)) << error;
  ASSERT_TRUE(profile.WriteInt("Playlist", "Top", 300, &error)) << error;
  EXPECT_EQ(ReadBytes(path),
            "[MainWnd]\nLanguage=lger.dll\n\n[Playlist]\nLeft=-2147483648\nTop=300\n");
  EXPECT_EQ(Profile(path).GetInt("Playlist", "Left", 0), INT32_MIN);

  ASSERT_TRUE(profile.DeleteKey("playlist", "left", &error)) << error;
  EXPECT_TRUE(profile.DeleteKey("playlist", "left", &error)) << "deleting nothing succeeds";
  EXPECT_EQ(Profile(path).GetInt("Playlist", "Left", 7), 7);

  WriteBytes(path, "[Devices]\r\nMode=2\r\nEmpty=\r\n");
  EXPECT_EQ(profile.GetInt("Devices", "Mode", 0), 0) << "until reloaded";
  ASSERT_TRUE(profile.Reload(&error)) << error;
  EXPECT_EQ(profile.GetInt("Devices", "Mode", 0), 2);
  EXPECT_EQ(profile.GetInt("Devices", "Empty", 9), 9) << "an empty value gives the default";
  ASSERT_TRUE(profile.WriteInt("Devices", "Count", 3, &error)) << error;
  EXPECT_EQ(ReadBytes(path), "[Devices]\r\nMode=2\r\nEmpty=\r\nCount=3\r\n");
  ASSERT_TRUE(profile.DeleteSection("devices", &error)) << error;
  EXPECT_EQ(ReadBytes(path), "");
}

TEST(Profile, NeverOverwritesAFileItCouldNotRead) {
  TempDir dir;
  const std::string path = dir.File("veltro.ini");
  std::filesystem::create_directory(path);  // exists, but cannot be read as a file
  Profile profile(path);
  std::string error;
  EXPECT_FALSE(profile.Reload(&error));
  EXPECT_FALSE(error.empty());
  EXPECT_FALSE(profile.WriteString("MainWnd", "Language", "leng.dll", &error));
  EXPECT_TRUE(std::filesystem::is_directory(path));

  std::filesystem::remove(path);
  ASSERT_TRUE(profile.Reload(&error)) << error;
  EXPECT_TRUE(profile.WriteString("MainWnd", "Language", "leng.dll", &error)) << error;
}

TEST(Profile, FailedWriteKeepsDocumentAndFile) {
  TempDir dir;
  const std::string path = dir.File("sub/veltro.ini");  // its directory does not exist
  Profile profile(path);
  std::string error;
  EXPECT_FALSE(profile.WriteString("MainWnd", "Left", "1", &error));
  EXPECT_FALSE(error.empty());
  EXPECT_EQ(profile.GetString("MainWnd", "Left", "none"), "none");
  EXPECT_FALSE(profile.WriteString("MainWnd", "Left", "bad\nvalue", &error));
  EXPECT_FALSE(error.empty());
}

TEST(Profile, UpdateWritesSeveralKeysAtOnceOrNone) {
  TempDir dir;
  const std::string path = dir.File("veltro.ini");
  Profile profile(path);
  std::string error;
  ASSERT_TRUE(profile.Update(
      [](ProfileDocument& document) {
        return document.Set("Mixer", "Left", "5") && document.Set("Player", "Count", "3");
      },
      &error))
      << error;
  EXPECT_EQ(ReadBytes(path), "[Mixer]\nLeft=5\n\n[Player]\nCount=3\n");
  EXPECT_FALSE(profile.Update(
      [](ProfileDocument& document) {
        return document.Set("Mixer", "Top", "1") && document.Set("Bad", "", "x");
      },
      &error));
  EXPECT_EQ(profile.GetInt("Mixer", "Top", -1), -1) << "a refused update changes nothing";
  EXPECT_EQ(ReadBytes(path), "[Mixer]\nLeft=5\n\n[Player]\nCount=3\n");
}

TEST(Profile, ReadOnlySettingsFileIsNeverReplaced) {
  TempDir dir;
  const std::string path = dir.File("veltro.ini");
  Profile profile(path);
  EXPECT_FALSE(profile.Writable()) << "a missing file";
  WriteBytes(path, "[MainWnd]\nLanguage=lger.dll\n");
  EXPECT_TRUE(profile.Writable());
  ASSERT_EQ(chmod(path.c_str(), 0444), 0);
  EXPECT_FALSE(profile.Writable()) << "read-only for everybody, the superuser included";
  EXPECT_FALSE(profile.WriteString("MainWnd", "Language", "leng.dll"));
  EXPECT_EQ(ReadBytes(path), "[MainWnd]\nLanguage=lger.dll\n");
}

}  // namespace
}  // namespace veltro::platform
