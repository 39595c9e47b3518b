// Reading the library's fields from Vorbis comments, and rewriting them: which comments are
// read, kept and written, and that the audio and any later chained stream are untouched.
// libvorbisfile is the independent reader that checks the rewritten files.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/Fixtures.h"
#include "support/TempDir.h"
#include "tags/OggComments.h"
#include "tags/OggTestFiles.h"

namespace veltro::tags {
namespace {

using testing::ReadBytes;
using testing::ReadWithVorbisfile;
using testing::SmallSong;
using testing::SplitOggStreams;
using testing::TempDir;
using testing::WriteBytes;

// The tags ReadOggComments gives for a song file named `name` holding `comments`.
SongTags TagsOf(const std::vector<std::string>& comments, const std::string& name = "x.ogg") {
  TempDir dir;
  const std::string path = dir.File(name);
  WriteBytes(path, SmallSong(comments));
  const auto info = ReadOggComments(path);
  EXPECT_TRUE(info.has_value());
  return info ? info->tags : SongTags{};
}

TEST(OggCommentsRead, LaterArtistLikeCommentWins) {
  EXPECT_EQ(TagsOf({"ARTIST=A", "PERFORMER=B"}).artist, "B");
  EXPECT_EQ(TagsOf({"PERFORMER=B", "ARTIST=A"}).artist, "A");
  EXPECT_EQ(TagsOf({"ARTIST=A", "ENSEMBLE=E", "TITLE=T"}).artist, "E");
  EXPECT_EQ(TagsOf({"DATE=2001", "YEAR=1999"}).year, "1999");
  EXPECT_EQ(TagsOf({"YEAR=1999", "DATE=2001-05-03"}).year, "2001");
}

TEST(OggCommentsRead, ValueIsTheTextAfterTheLastEqualsSign) {
  const SongTags tags = TagsOf({"TITLE=X=Y", "GENRE==Rock", "ARTIST=a=b=c"});
  EXPECT_EQ(tags.songName, "Y");
  EXPECT_EQ(tags.genre, "Rock");
  EXPECT_EQ(tags.artist, "c");
}

TEST(OggCommentsRead, NamesAreMatchedIgnoringAsciiCase) {
  EXPECT_EQ(TagsOf({"artist=Foo", "Title=Bar", "genre=Pop", "Date=1990", "ALBUM=Z"}),
            (SongTags{"Foo", "Bar", "Pop", "1990"}));
  EXPECT_EQ(TagsOf({"yEaR=1991", "Performer=P", "ARTİST=dotted"}, "My Song.ogg"),
            (SongTags{"P", "", "", "1991"}))
      << "only ASCII letters fold";
}

TEST(OggCommentsRead, FieldsAreCutInBytesWithoutSplittingUtf8) {
  const std::string a29(29, 'a');
  const SongTags tags = TagsOf({"ARTIST=" + a29 + "\xC3\xA9", "TITLE=" + std::string(35, 't'),
                                "GENRE=Elektronisch", "DATE=\xEF\xBC\x92\xEF\xBC\x90"});
  EXPECT_EQ(tags.artist, a29) << "a two-byte character at bytes 30-31 is left out whole";
  EXPECT_EQ(tags.songName, std::string(30, 't'));
  EXPECT_EQ(tags.genre, "Elektronis");
  EXPECT_EQ(tags.year, "\xEF\xBC\x92") << "a second three-byte digit does not fit in 4 bytes";
  const SongTags exact = TagsOf({"ARTIST=" + std::string(28, 'b') + "\xC3\xA9",
                                 "TITLE=Gr\xC3\xBC\xC3\x9F"
                                 "e"});
  EXPECT_EQ(exact.artist, std::string(28, 'b') + "\xC3\xA9") << "30 bytes fit exactly";
  EXPECT_EQ(exact.songName,
            "Gr\xC3\xBC\xC3\x9F"
            "e")
      << "UTF-8 is kept as it is";
}

TEST(OggCommentsRead, DefaultArtistIsTheFileNameCutTo30Bytes) {
  EXPECT_EQ(TagsOf({}, "A rather long name for one song.ogg").artist,
            "A rather long name for one son");
  EXPECT_EQ(
      TagsOf({}, std::string(14, 'x') + "\xC3\x84\xC3\x84\xC3\x84\xC3\x84\xC3\x84\xC3\x84"
                                        "\xC3\x84\xC3\x84\xC3\x84.ogg")
          .artist,
      std::string(14, 'x') + "\xC3\x84\xC3\x84\xC3\x84\xC3\x84\xC3\x84\xC3\x84\xC3\x84\xC3\x84");
}

TEST(OggCommentsRead, LengthIsWholeSecondsInMilliseconds) {
  TempDir dir;
  const std::string path = dir.File("length.ogg");
  for (const auto& [seconds, expectedMs] : {std::pair{3.7, 3000}, std::pair{1.2, 1000}}) {
    WriteBytes(path, testing::EncodeOggVorbis(testing::Sine(440, 22050, seconds, 2), 2, 22050, {}));
    const auto info = ReadOggComments(path);
    ASSERT_TRUE(info.has_value());
    EXPECT_EQ(info->lengthMs, expectedMs) << seconds;
  }
}

TEST(OggCommentsRead, AnythingButOggVorbisGivesNothing) {
  TempDir dir;
  const std::string path = dir.File("song.ogg");
  EXPECT_FALSE(ReadOggComments(path).has_value()) << "missing file";
  WriteBytes(path, "");
  EXPECT_FALSE(ReadOggComments(path).has_value()) << "empty file";
  WriteBytes(path, std::string(5000, 'Z'));
  EXPECT_FALSE(ReadOggComments(path).has_value()) << "garbage";
  WriteBytes(path, testing::OggStreamOfPackets({"OpusHead\x01\x02", "OpusTags", "audio"}, 7));
  EXPECT_FALSE(ReadOggComments(path).has_value()) << "Ogg, but not Vorbis";
  WriteBytes(path, SmallSong({"ARTIST=A"}).substr(0, 1500));
  EXPECT_FALSE(ReadOggComments(path).has_value()) << "headers cut short";
}

// Rewrites `input` (written to a file) with `tags`; returns the new file's bytes.
std::string Rewritten(const std::string& input, const SongTags& tags) {
  TempDir dir;
  const std::string path = dir.File("song.ogg");
  WriteBytes(path, input);
  std::string error;
  EXPECT_TRUE(WriteOggComments(path, tags, &error)) << error;
  return ReadBytes(path);
}

TEST(OggCommentsWrite, KeepsOtherCommentsInOrderBeforeTheFourItWrites) {
  const std::string input = SmallSong({"ARTIST=Old", "artist=Foo", "TITLE=Old title", "ALBUM=Disc",
                                       "GENRE=Pop", "Year=1980", "DATE=1990", "COMMENT=a=b",
                                       "PERFORMER=P", "ARTISTS=two", "TITLE=Second old"});
  const SongTags tags{"New Artist", "New Title", "Rock", "2024"};
  const std::string output = Rewritten(input, tags);
  const auto before = ReadWithVorbisfile(input);
  const auto after = ReadWithVorbisfile(output);
  ASSERT_TRUE(after.opened);
  ASSERT_EQ(after.comments.size(), 1u);
  EXPECT_EQ(after.comments[0].vendor, before.comments[0].vendor);
  EXPECT_FALSE(after.comments[0].vendor.empty());
  const std::vector<std::string> expected = {"ALBUM=Disc",      "Year=1980",   "COMMENT=a=b",
                                             "PERFORMER=P",     "ARTISTS=two", "ARTIST=New Artist",
                                             "TITLE=New Title", "GENRE=Rock",  "DATE=2024"};
  EXPECT_EQ(after.comments[0].comments, expected);

  TempDir dir;
  WriteBytes(dir.File("again.ogg"), output);
  const auto info = ReadOggComments(dir.File("again.ogg"));
  ASSERT_TRUE(info.has_value());
  EXPECT_EQ(info->tags, tags);
}

TEST(OggCommentsWrite, OnlyChangedFieldsAreWrittenAndClearedOnesAreEmpty) {
  const std::string title40 = "TITLE=" + std::string(40, 't');
  const std::vector<std::string> comments = {"ARTIST=A", title40, "Genre=Pop", "YEAR=1999"};
  const std::string input = SmallSong(comments);
  const std::vector<std::pair<SongTags, std::vector<std::string>>> cases = {
      {SongTags{"", std::string(30, 't'), "Pop", "1999"},
       {title40, "Genre=Pop", "YEAR=1999", "ARTIST="}},
      {SongTags{"A", std::string(30, 't'), "Pop", "2001"},
       {"ARTIST=A", title40, "Genre=Pop", "YEAR=1999", "DATE=2001"}},
  };
  for (const auto& [tags, expected] : cases) {
    const auto after = ReadWithVorbisfile(Rewritten(input, tags));
    ASSERT_TRUE(after.opened);
    EXPECT_EQ(after.comments[0].comments, expected);
  }
  EXPECT_TRUE(Rewritten(input, SongTags{"A", std::string(30, 't'), "Pop", "1999"}) == input)
      << "a song that already reads as the tags is not rewritten";
}

TEST(OggCommentsWrite, ArtistOfAnyLetterCaseIsReplacedNotDoubled) {
  const auto after = ReadWithVorbisfile(
      Rewritten(SmallSong({"artist=Foo", "X=1", "Artist=Foo2"}), SongTags{"Bar", "", "", ""}));
  ASSERT_TRUE(after.opened);
  EXPECT_EQ(after.comments[0].comments, (std::vector<std::string>{"X=1", "ARTIST=Bar"}));
}

// The packets after the three headers of the first logical stream.
std::vector<std::string> AudioPackets(const std::string& bytes) {
  const auto streams = SplitOggStreams(bytes);
  if (streams.empty() || streams[0].packets.size() < 3) return {};
  return {streams[0].packets.begin() + 3, streams[0].packets.end()};
}

// The audio packets of `output` are those of `input`, and it decodes to the samples of
// `reference` (the input itself unless told otherwise).
void ExpectSameAudio(const std::string& input, const std::string& output,
                     const std::string* reference = nullptr) {
  const auto inputPackets = AudioPackets(input);
  const auto outputPackets = AudioPackets(output);
  ASSERT_GT(inputPackets.size(), 10u);
  ASSERT_EQ(outputPackets.size(), inputPackets.size());
  for (size_t i = 0; i < inputPackets.size(); ++i) {
    ASSERT_EQ(outputPackets[i], inputPackets[i]) << "audio packet " << i;
  }
  const auto before = ReadWithVorbisfile(reference != nullptr ? *reference : input);
  const auto after = ReadWithVorbisfile(output);
  ASSERT_TRUE(after.opened);
  EXPECT_EQ(after.frames, before.frames);
  EXPECT_DOUBLE_EQ(after.seconds, before.seconds);
  ASSERT_EQ(after.samples.size(), before.samples.size());
  EXPECT_TRUE(after.samples == before.samples) << "decoded samples differ";
  const auto inputStreams = SplitOggStreams(input);
  const auto outputStreams = SplitOggStreams(output);
  EXPECT_EQ(outputStreams[0].pageGranules.back(), inputStreams[0].pageGranules.back());
  EXPECT_EQ(outputStreams[0].packets[0], inputStreams[0].packets[0]) << "identification header";
  EXPECT_EQ(outputStreams[0].packets[2], inputStreams[0].packets[2]) << "setup header";
}

TEST(OggCommentsWrite, AudioPacketsAndDecodedSamplesAreUnchanged) {
  const SongTags tags{"Artist", "Title", "Genre", "1999"};
  const std::string stereo = testing::EncodeOggVorbis(testing::MusicLike(44100, 4.0, 2, 5), 2,
                                                      44100, {"ARTIST=x", "TRACKNUMBER=3"});
  ExpectSameAudio(stereo, Rewritten(stereo, tags));
  // An odd length ends in a shortened last block; a low quality gives short packets.
  const std::string mono =
      testing::EncodeOggVorbis(testing::MusicLike(11025, 3.1234, 1, 9), 1, 11025, {}, 77, 0.0f);
  ExpectSameAudio(mono, Rewritten(mono, tags));
  // A comment far larger than a page: the header packets span several pages.
  const std::string large = SmallSong({"DESCRIPTION=" + std::string(70000, 'd')});
  const std::string output = Rewritten(large, tags);
  ExpectSameAudio(large, output);
  EXPECT_EQ(ReadWithVorbisfile(output).comments[0].comments[0],
            "DESCRIPTION=" + std::string(70000, 'd'));
}

TEST(OggCommentsWrite, ChainedStreamsAfterTheFirstAreCopiedByteForByte) {
  const std::string second = SmallSong({"ARTIST=Two"}, 22);
  const std::string third = SmallSong({"ARTIST=Three"}, 33);
  const std::string first = SmallSong({"ARTIST=One", "ALBUM=Chain"}, 11);
  const std::string complete = first + second + third;
  // The first stream either ends with an end-of-stream page or just stops (cut short). The
  // rewrite ends it properly, so its last block is trimmed to the stream's length and the
  // result decodes like the complete file.
  for (const bool ended : {true, false}) {
    const std::string input =
        (ended ? first : testing::WithoutEndOfStreamFlags(first)) + second + third;
    const std::string output = Rewritten(input, SongTags{"New", "", "", ""});
    const auto streams = SplitOggStreams(output);
    ASSERT_EQ(streams.size(), 3u) << ended;
    EXPECT_EQ(streams[1].serial, 22);
    const std::string tail = output.substr(streams[1].firstPageOffset);
    EXPECT_TRUE(tail == second + third)
        << "tail differs; sizes " << tail.size() << " " << second.size() + third.size();
    ExpectSameAudio(input, output, &complete);
    const auto after = ReadWithVorbisfile(output);
    ASSERT_EQ(after.links, 3);
    EXPECT_EQ(after.comments[0].comments, (std::vector<std::string>{"ALBUM=Chain", "ARTIST=New"}));
    EXPECT_EQ(after.comments[1].comments, std::vector<std::string>{"ARTIST=Two"});
    EXPECT_EQ(after.comments[2].comments, std::vector<std::string>{"ARTIST=Three"});
  }
}

}  // namespace
}  // namespace veltro::tags
