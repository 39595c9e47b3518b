// ID3v1 tags on real files: the exact 128 bytes written, what reading them back gives a library
// record, the audio bytes before the tag left alone, permission bits restored, and the cases in
// which nothing may be written at all.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "media/mp3info/Id3Genre.h"
#include "support/Fixtures.h"
#include "support/Mp3Encoder.h"
#include "support/TempDir.h"
#include "support/Unprivileged.h"
#include "tags/Id3Tag.h"

namespace veltro::tags {
namespace {

using testing::ReadBytes;
using testing::TempDir;
using testing::WriteBytes;

// A short real MP3 stream without any tag.
std::string Mp3Audio() {
  testing::Mp3EncoderOptions options;
  options.mode = testing::Mp3Mode::kMono;
  const std::vector<uint8_t> bytes = testing::EncodeMp3(testing::Sine(440, 44100, 0.3, 1), options);
  return std::string(bytes.begin(), bytes.end());
}

// A stored tag assembled field by field; texts shorter than their field are padded with `pad`.
std::string TagImage(const std::string& title, const std::string& artist, const std::string& year,
                     const std::string& comment, uint8_t genre, char pad = ' ',
                     const std::string& identifier = "TAG") {
  const auto field = [pad](const std::string& text, size_t width) {
    return text.substr(0, width) + std::string(width - std::min(width, text.size()), pad);
  };
  return identifier + field(title, 30) + field(artist, 30) + std::string(30, '\0') +
         field(year, 4) + field(comment, 30) + std::string(1, static_cast<char>(genre));
}

std::optional<Id3v1Tag> Parse(const std::string& bytes) {
  return ParseId3Tag(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
}

std::string LastTagBytes(const std::string& path) {
  const std::string file = ReadBytes(path);
  return file.size() < kId3TagBytes ? "" : file.substr(file.size() - kId3TagBytes);
}

mode_t PermissionBits(const std::string& path) {
  struct stat status {};
  EXPECT_EQ(stat(path.c_str(), &status), 0);
  return status.st_mode & 07777;
}

SongTags Tags(const std::string& artist, const std::string& songName, const std::string& genre,
              const std::string& year) {
  SongTags tags;
  tags.artist = artist;
  tags.songName = songName;
  tags.genre = genre;
  tags.year = year;
  return tags;
}

TEST(Id3TagWrite, PadsTextsWithSpacesAndReadsThemBackTrimmed) {
  TempDir dir;
  const std::string path = dir.File("song.mp3");
  const std::string audio = Mp3Audio();
  ASSERT_GT(audio.size(), 1000u);
  WriteBytes(path, audio);
  std::string error;
  ASSERT_TRUE(WriteId3Tag(path, Tags("ABC", "", "Trance", ""), &error)) << error;

  const std::string file = ReadBytes(path);
  ASSERT_EQ(file.size(), audio.size() + 128);
  EXPECT_EQ(file.substr(0, audio.size()), audio) << "the audio bytes stay as they were";
  const std::string tag = file.substr(audio.size());
  EXPECT_EQ(tag.substr(0, 3), "TAG");
  EXPECT_EQ(tag.substr(3, 30), std::string(30, ' ')) << "an empty title is spaces only";
  EXPECT_EQ(tag.substr(33, 30), "ABC" + std::string(27, ' '));
  EXPECT_EQ(tag.substr(63, 30), std::string(30, '\0')) << "the album is zero bytes";
  EXPECT_EQ(tag.substr(93, 4), "    ");
  EXPECT_EQ(tag.substr(97, 30), "Trance" + std::string(24, ' '));
  EXPECT_EQ(tag[127], '\0');

  const auto read = ReadId3Tag(path);
  ASSERT_TRUE(read.has_value());
  EXPECT_EQ(read->artist, "ABC");
  EXPECT_EQ(read->year, "");
  EXPECT_EQ(read->title, "");
  EXPECT_EQ(read->album, "");
  EXPECT_EQ(SongTagsFromId3(*read), Tags("ABC", "", "Trance", ""));
}

TEST(Id3TagWrite, SecondWriteReplacesTheFirstTag) {
  TempDir dir;
  const std::string path = dir.File("song.mp3");
  const std::string audio = Mp3Audio();
  WriteBytes(path, audio);
  std::string error;
  ASSERT_TRUE(WriteId3Tag(path, Tags("First Artist", "First", "Pop", "1990"), &error)) << error;
  ASSERT_EQ(std::filesystem::file_size(path), audio.size() + 128);
  ASSERT_TRUE(WriteId3Tag(path, Tags("Second", "Another Title", "Jazz", "2001"), &error)) << error;
  const std::string file = ReadBytes(path);
  ASSERT_EQ(file.size(), audio.size() + 128) << "exactly one tag";
  EXPECT_EQ(file.substr(0, audio.size()), audio);
  const auto read = ReadId3Tag(path);
  ASSERT_TRUE(read.has_value());
  EXPECT_EQ(SongTagsFromId3(*read), Tags("Second", "Another Title", "Jazz", "2001"));
}

TEST(Id3TagWrite, ReadOnlyAndHiddenFilesAreTaggedAndKeepTheirExactPermissions) {
  TempDir dir;
  const std::string audio = Mp3Audio();
  const std::vector<std::pair<std::string, mode_t>> files = {
      {"song.mp3", 0444}, {"owner-only.mp3", 0400}, {"group.mp3", 0460}, {".hidden.mp3", 0640}};
  for (const auto& [name, mode] : files) {
    const std::string path = dir.File(name);
    WriteBytes(path, audio);
    ASSERT_EQ(chmod(path.c_str(), mode), 0);
    std::string error;
    ASSERT_TRUE(WriteId3Tag(path, Tags("Locked", "Song", "", "1984"), &error)) << name << error;
    EXPECT_EQ(PermissionBits(path), mode) << name;
    const auto read = ReadId3Tag(path);
    ASSERT_TRUE(read.has_value()) << name;
    EXPECT_EQ(read->artist, "Locked") << name;
    EXPECT_EQ(read->year, "1984") << name;
  }
}

// Runs as the file's unprivileged owner (root ignores permission bits), for whom the read-only
// file really cannot be opened for writing until its permission is changed.
TEST(Id3TagWrite, OwnerTagsItsReadOnlyFileWithoutPrivileges) {
  TempDir dir;
  ASSERT_EQ(chmod(dir.Path().c_str(), 0711), 0);
  const std::string path = dir.File("song.mp3");
  WriteBytes(path, Mp3Audio());
  ASSERT_EQ(chmod(path.c_str(), 0444), 0);
  if (geteuid() == 0) {
    ASSERT_EQ(chown(path.c_str(), testing::kNobodyId, testing::kNobodyId), 0);
  }
  const int result = testing::RunUnprivileged([&path] {
    const int probe = open(path.c_str(), O_RDWR);
    if (probe >= 0) return 4;  // writable without help: the case is not what it claims
    return WriteId3Tag(path, Tags("Owner", "", "", ""), nullptr) ? 0 : 1;
  });
  EXPECT_EQ(result, 0);
  EXPECT_EQ(PermissionBits(path), 0444u);
  const auto read = ReadId3Tag(path);
  ASSERT_TRUE(read.has_value());
  EXPECT_EQ(read->artist, "Owner");
}

TEST(Id3TagWrite, ShortAndEmptyFilesGetATagAppended) {
  TempDir dir;
  for (const std::string& content : {std::string(), std::string("ID3"), std::string(127, 'x')}) {
    const std::string path = dir.File("short.mp3");
    WriteBytes(path, content);
    EXPECT_FALSE(ReadId3Tag(path).has_value()) << "under 128 bytes there is no tag";
    std::string error;
    ASSERT_TRUE(WriteId3Tag(path, Tags("Short", "", "", ""), &error)) << error;
    const std::string file = ReadBytes(path);
    ASSERT_EQ(file.size(), content.size() + 128);
    EXPECT_EQ(file.substr(0, content.size()), content);
    EXPECT_EQ(file.substr(content.size()), TagImage("", "Short", "", "", 0));
  }
}

TEST(Id3TagWrite, FullWidthTitleHasNoTerminatorAndLongTextsAreCut) {
  TempDir dir;
  const std::string path = dir.File("song.mp3");
  WriteBytes(path, Mp3Audio());
  const std::string title30 = "A Title Of Exactly Thirty Char";
  ASSERT_EQ(title30.size(), 30u);
  std::string error;
  ASSERT_TRUE(WriteId3Tag(path, Tags("", title30, "", "19999"), &error)) << error;
  const std::string tag = LastTagBytes(path);
  EXPECT_EQ(tag.substr(3, 30), title30);
  EXPECT_EQ(tag.substr(33, 1), " ") << "the artist field follows directly";
  EXPECT_EQ(tag.substr(93, 4), "1999");
  const auto read = ReadId3Tag(path);
  ASSERT_TRUE(read.has_value());
  EXPECT_EQ(read->title, title30);
  EXPECT_EQ(read->year, "1999");
}

TEST(Id3TagWrite, Windows1252TextsRoundTripThroughSingleBytes) {
  TempDir dir;
  const std::string path = dir.File("song.mp3");
  WriteBytes(path, Mp3Audio());
  std::string error;
  ASSERT_TRUE(WriteId3Tag(path, Tags("Mötley Crüe", "Björk – Jóga €", "Café", "1997"), &error))
      << error;
  const std::string tag = LastTagBytes(path);
  EXPECT_EQ(tag.substr(33, 11),
            "M\xF6tley Cr\xFC"
            "e");
  EXPECT_EQ(tag.substr(3, 14), "Bj\xF6rk \x96 J\xF3ga \x80");
  EXPECT_EQ(tag.substr(97, 4), "Caf\xE9");
  const auto read = ReadId3Tag(path);
  ASSERT_TRUE(read.has_value());
  EXPECT_EQ(read->artist,
            "M\xF6tley Cr\xFC"
            "e")
      << "the tag holds single bytes";
  EXPECT_EQ(SongTagsFromId3(*read), Tags("Mötley Crüe", "Björk – Jóga €", "Café", "1997"));
}

// A full 30-character Windows-1252 title reads as more than 30 bytes of UTF-8 and is cut to
// the library's width; writing back what was read, or changing another field only, keeps the
// title's bytes, and the album and genre byte the library does not edit.
TEST(Id3TagWrite, FieldsWhoseTextIsUnchangedKeepTheirBytes) {
  TempDir dir;
  const std::string path = dir.File("song.mp3");
  const std::string title =
      "D\xE9j\xE0 vu \xE0 la fran\xE7"
      "aise (Remix)";
  ASSERT_EQ(title.size(), 30u);
  std::string tag = TagImage(title, "Artist", "1999", "House music", 35);
  tag.replace(63, 5, "Album");
  WriteBytes(path, Mp3Audio() + tag);
  const SongTags read = SongTagsFromId3(*ReadId3Tag(path));
  ASSERT_EQ(read.songName, "Déjà vu à la française (Re") << "cut to 30 bytes of UTF-8";
  std::string error;
  ASSERT_TRUE(WriteId3Tag(path, read, &error)) << error;
  EXPECT_EQ(LastTagBytes(path), tag) << "writing what was read changes nothing";
  SongTags newYear = read;
  newYear.year = "2001";
  ASSERT_TRUE(WriteId3Tag(path, newYear, &error)) << error;
  std::string expected = tag;
  expected.replace(93, 4, "2001");
  EXPECT_EQ(LastTagBytes(path), expected) << "only the year changes";
}

TEST(Id3TagWrite, TextsOutsideWindows1252AreStoredAsUtf8CutAtASequenceBoundary) {
  TempDir dir;
  const std::string path = dir.File("song.mp3");
  WriteBytes(path, Mp3Audio());
  // 1 + 10 * 3 bytes: the last character would end one byte past the 30-byte field.
  const std::string title = "Xあいうえおかきくけこ";
  const std::string storedTitle = "Xあいうえおかきくけ";
  ASSERT_EQ(storedTitle.size(), 28u);
  std::string error;
  ASSERT_TRUE(WriteId3Tag(path, Tags("Café 東京", title, "", ""), &error)) << error;
  const std::string tag = LastTagBytes(path);
  EXPECT_EQ(tag.substr(3, 30), storedTitle + "  ");
  EXPECT_EQ(tag.substr(33, 30), "Caf\xC3\xA9 \xE6\x9D\xB1\xE4\xBA\xAC" + std::string(18, ' '))
      << "one character outside the code page keeps the whole text in UTF-8";
  const auto read = ReadId3Tag(path);
  ASSERT_TRUE(read.has_value());
  EXPECT_EQ(SongTagsFromId3(*read), Tags("Café 東京", storedTitle, "", ""));
}

TEST(Id3TagWrite, NothingIsWrittenWhenTheFileCannotBeOpenedForWriting) {
  TempDir dir;
  std::string error;
  const std::string missing = dir.File("missing.mp3");
  EXPECT_FALSE(WriteId3Tag(missing, Tags("A", "", "", ""), &error));
  EXPECT_FALSE(error.empty());
  EXPECT_FALSE(std::filesystem::exists(missing)) << "a missing file is not created";

  const std::string plain = dir.File("plain.mp3");
  WriteBytes(plain, "not a folder");
  error.clear();
  EXPECT_FALSE(WriteId3Tag(plain + "/inside.mp3", Tags("A", "", "", ""), &error));
  EXPECT_FALSE(error.empty());
  EXPECT_EQ(ReadBytes(plain), "not a folder");

  // A read-only folder named like a song: made writable to try, restored after the failure.
  const std::string folder = dir.File("album.mp3");
  std::filesystem::create_directory(folder);
  ASSERT_EQ(chmod(folder.c_str(), 0555), 0);
  error.clear();
  EXPECT_FALSE(WriteId3Tag(folder, Tags("A", "", "", ""), &error));
  EXPECT_FALSE(error.empty());
  EXPECT_EQ(PermissionBits(folder), 0555u);
  EXPECT_TRUE(std::filesystem::is_empty(folder));
}

TEST(Id3TagWrite, FilesOfPseudoFileSystemsAreRefused) {
  // Writable, but writing to it would rename this process.
  const std::string path = "/proc/self/comm";
  const std::string before = ReadBytes(path);
  ASSERT_FALSE(before.empty());
  std::string error;
  EXPECT_FALSE(WriteId3Tag(path, Tags("Renamed", "", "", ""), &error));
  EXPECT_FALSE(error.empty());
  EXPECT_EQ(ReadBytes(path), before);
}

TEST(Id3TagWrite, AnAppendCutShortLeavesTheFileAsItWas) {
  TempDir dir;
  const std::string path = dir.File("song.mp3");
  const std::string audio = Mp3Audio();
  WriteBytes(path, audio);
  ASSERT_EQ(chmod(path.c_str(), 0444), 0);
  rlimit saved{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
  const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
  rlimit small = saved;
  small.rlim_cur = audio.size() + 64;  // room for half a tag
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  std::string error;
  const bool written = WriteId3Tag(path, Tags("Half", "", "", ""), &error);
  setrlimit(RLIMIT_FSIZE, &saved);
  std::signal(SIGXFSZ, previousHandler);
  EXPECT_FALSE(written);
  EXPECT_FALSE(error.empty());
  EXPECT_EQ(ReadBytes(path), audio) << "no half tag remains";
  EXPECT_EQ(PermissionBits(path), 0444u);
}

TEST(Id3TagRead, FieldsEndAtNulAndLoseTrailingSpacesOnly) {
  const auto tag = Parse(TagImage("  Intro", std::string(30, ' '), "99", "Trance", 17));
  ASSERT_TRUE(tag.has_value());
  EXPECT_EQ(tag->title, "  Intro") << "leading spaces stay";
  EXPECT_EQ(tag->artist, "") << "a field of spaces is empty";
  EXPECT_EQ(tag->year, "99");
  EXPECT_EQ(tag->comment, "Trance");
  EXPECT_EQ(tag->genre, 17);
  EXPECT_EQ(SongTagsFromId3(*tag).genre, "Trance") << "the genre comes from the comment";
  EXPECT_STREQ(media::Id3GenreName(tag->genre), "Rock");

  const auto nulPadded =
      Parse(TagImage(std::string("Title \0hidden", 13), "Art  ", "2k", "a b ", 0, '\0'));
  ASSERT_TRUE(nulPadded.has_value());
  EXPECT_EQ(nulPadded->title, "Title") << "a NUL ends the text; spaces before it go";
  EXPECT_EQ(nulPadded->artist, "Art");
  EXPECT_EQ(nulPadded->year, "2k");
  EXPECT_EQ(nulPadded->comment, "a b");
}

TEST(Id3TagRead, OnlyAnUpperCaseIdentifierInTheLast128BytesCounts) {
  EXPECT_FALSE(Parse(TagImage("T", "A", "", "", 0, ' ', "tag")).has_value());
  EXPECT_FALSE(Parse(TagImage("T", "A", "", "", 0, ' ', "TAg")).has_value());
  EXPECT_FALSE(Parse(TagImage("T", "A", "", "", 0, ' ', "XAG")).has_value());
  const std::string image = TagImage("T", "Artist", "", "", 0);
  EXPECT_FALSE(Parse(image.substr(1)).has_value()) << "127 bytes hold no tag";
  EXPECT_FALSE(Parse(image + "x").has_value()) << "the tag must end the file";
  const auto behindAudio = Parse("audio bytes" + image);
  ASSERT_TRUE(behindAudio.has_value());
  EXPECT_EQ(behindAudio->artist, "Artist");
  EXPECT_FALSE(ParseId3Tag(nullptr, 0).has_value());

  TempDir dir;
  const std::string path = dir.File("lower.mp3");
  WriteBytes(path, "audio" + TagImage("T", "A", "", "", 0, ' ', "tag"));
  EXPECT_FALSE(ReadId3Tag(path).has_value());
  std::string error;
  ASSERT_TRUE(WriteId3Tag(path, Tags("New", "", "", ""), &error)) << error;
  EXPECT_EQ(std::filesystem::file_size(path), 5u + 128 + 128) << "a lower-case tag is audio";
  EXPECT_FALSE(ReadId3Tag(dir.File("missing.mp3")).has_value());
  EXPECT_FALSE(ReadId3Tag(dir.Path().string()).has_value()) << "a folder has no tag";
}

TEST(Id3TagRead, LibraryTextsAreUtf8CutToTheirWidths) {
  const std::string e9x30(30, '\xE9');  // "é" thirty times in Windows-1252
  const auto tag = Parse(TagImage(e9x30, "\x80\x93Quote\x94", "999\xB4", "Progressive House", 0));
  ASSERT_TRUE(tag.has_value());
  const SongTags tags = SongTagsFromId3(*tag);
  std::string fifteenE;
  for (int i = 0; i < 15; ++i) fifteenE += "é";
  EXPECT_EQ(tags.songName, fifteenE) << "60 bytes of UTF-8 cut to 30";
  EXPECT_EQ(tags.artist, "€“Quote”");
  EXPECT_EQ(tags.year, "999") << "4 bytes, without the first half of the accent";
  EXPECT_EQ(tags.genre, "Progressiv");

  // UTF-8 already in the tag stays as it is and is cut between characters.
  const auto utf8 = Parse(TagImage("日本語のタイトル", "", "", "ジャズ・ロック", 0));
  ASSERT_TRUE(utf8.has_value());
  EXPECT_EQ(SongTagsFromId3(*utf8).songName, "日本語のタイトル");
  EXPECT_EQ(SongTagsFromId3(*utf8).genre, "ジャズ");
}

}  // namespace
}  // namespace veltro::tags
