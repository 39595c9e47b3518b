// The comment editor on streams in memory: the comment header layout, every error text of
// opening, failures of reading and writing, and the page layout of the headers it writes.
#include <gtest/gtest.h>
#include <ogg/ogg.h>

#include <string>
#include <vector>

#include "tags/OggCommentEditor.h"
#include "tags/OggTestFiles.h"

namespace veltro::tags {
namespace {

using testing::MemoryReader;
using testing::OggStreamOfPackets;
using testing::ReadWithVorbisfile;
using testing::SmallSong;
using testing::SplitOggStreams;

std::string AsString(const std::vector<unsigned char>& bytes) {
  return std::string(bytes.begin(), bytes.end());
}

// For each page of the first logical stream: its size, and the packets it completes.
struct PageSummary {
  size_t bytes = 0;
  int packets = 0;
};
std::vector<PageSummary> SummarizePages(const std::string& bytes) {
  ogg_sync_state sync;
  ogg_sync_init(&sync);
  char* buffer = ogg_sync_buffer(&sync, static_cast<long>(bytes.size()));
  std::copy(bytes.begin(), bytes.end(), buffer);
  ogg_sync_wrote(&sync, static_cast<long>(bytes.size()));
  ogg_stream_state stream{};
  std::vector<PageSummary> pages;
  ogg_page page;
  while (ogg_sync_pageout(&sync, &page) == 1) {
    if (pages.empty()) ogg_stream_init(&stream, ogg_page_serialno(&page));
    if (ogg_page_serialno(&page) != stream.serialno) break;
    ogg_stream_pagein(&stream, &page);
    ogg_packet packet;
    PageSummary summary{static_cast<size_t>(page.header_len + page.body_len), 0};
    while (ogg_stream_packetout(&stream, &packet) == 1) ++summary.packets;
    pages.push_back(summary);
  }
  ogg_stream_clear(&stream);
  ogg_sync_clear(&sync);
  return pages;
}

TEST(OggCommentPacket, BuildsTheCommentHeaderLayout) {
  const VorbisCommentList list{"V1", {"A=b", ""}};
  const std::string expected(
      "\x03vorbis\x02\x00\x00\x00V1\x02\x00\x00\x00\x03\x00\x00\x00"
      "A=b"
      "\x00\x00\x00\x00\x01",
      29);
  const auto packet = BuildVorbisCommentPacket(list);
  ASSERT_TRUE(packet.has_value());
  EXPECT_EQ(AsString(*packet), expected);
  EXPECT_EQ(ParseVorbisCommentPacket(expected), list);

  const VorbisCommentList withNul{std::string("ven\0dor", 7), {std::string("K=\0v", 4)}};
  EXPECT_EQ(ParseVorbisCommentPacket(AsString(*BuildVorbisCommentPacket(withNul))), withNul);
}

TEST(OggCommentPacket, ParsesTheEncodersHeaderLikeVorbisfile) {
  const std::string song = SmallSong({"ARTIST=Someone", "TITLE=X=Y", "EMPTY="});
  const auto parsed = ParseVorbisCommentPacket(SplitOggStreams(song)[0].packets[1]);
  ASSERT_TRUE(parsed.has_value());
  EXPECT_EQ(*parsed, ReadWithVorbisfile(song).comments[0]);
  EXPECT_EQ(parsed->comments.size(), 3u);
}

TEST(OggCommentPacket, RejectsLengthsReachingPastThePacket) {
  const std::string good = AsString(*BuildVorbisCommentPacket({"V1", {"A=b"}}));
  ASSERT_TRUE(ParseVorbisCommentPacket(good).has_value());
  auto with = [&good](size_t at, char value) {
    std::string bytes = good;
    bytes[at] = value;
    return bytes;
  };
  const std::vector<std::pair<const char*, std::string>> cases = {
      {"wrong type", with(0, 1)},
      {"wrong magic", with(3, 'X')},
      {"vendor past the end", with(7, 100)},
      {"vendor length high byte", with(10, 1)},
      {"count past the end", with(13, 2)},
      {"count beyond any packet", with(16, '\x7F')},
      {"comment past the end", with(17, 4)},
      {"framing bit clear", with(24, 0)},
      {"no framing byte", good.substr(0, 24)},
      {"cut in a length", good.substr(0, 15)},
      {"only the type", good.substr(0, 1)},
      {"empty", ""},
  };
  for (const auto& [what, bytes] : cases) {
    EXPECT_FALSE(ParseVorbisCommentPacket(bytes).has_value()) << what;
  }
}

// Opens `bytes` in `editor`; the result of Open.
int OpenBytes(OggCommentEditor& editor, std::string bytes) {
  return editor.Open(MemoryReader(std::move(bytes)));
}

// Bytes of the pages of `bytes` up to the one that completes its third packet.
size_t HeaderPageBytes(const std::string& bytes) {
  const std::vector<PageSummary> pages = SummarizePages(bytes);
  size_t total = 0;
  int packets = 0;
  for (size_t i = 0; i < pages.size() && packets < 3; ++i) {
    total += pages[i].bytes;
    packets += pages[i].packets;
  }
  return total;
}

TEST(OggCommentEditor, OpenReadsTheHeadersInChunksOf4096Bytes) {
  // A long comment spreads the headers over about three chunks.
  const std::string song = SmallSong({"ARTIST=A", "TITLE=T", "LONG=" + std::string(6000, 'l')});
  std::vector<size_t> requested;
  auto reader = MemoryReader(song);
  OggCommentEditor editor;
  ASSERT_EQ(editor.Open([&](char* buffer, size_t size) {
    requested.push_back(size);
    return reader(buffer, size);
  }),
            0)
      << editor.LastError();
  EXPECT_EQ(editor.Comments(),
            (std::vector<std::string>{"ARTIST=A", "TITLE=T", "LONG=" + std::string(6000, 'l')}));
  EXPECT_EQ(editor.Vendor(), ReadWithVorbisfile(song).comments[0].vendor);
  const size_t chunks = (HeaderPageBytes(song) + 4095) / 4096;
  EXPECT_EQ(chunks, 3u);
  EXPECT_EQ(requested, std::vector<size_t>(chunks, 4096)) << "no read beyond the headers";
}

// One beginning-of-stream page holding only the first 255 bytes of a longer packet.
std::string FirstPageWithoutACompletePacket() {
  std::string bytes("OggS\0\x02", 6);
  bytes += std::string(8, '\xFF');                // no granule position: no packet ends here
  bytes += std::string("\x04\0\0\0\0\0\0\0", 8);  // serial 4, page 0
  bytes += std::string(4, '\0');                  // checksum, set below
  bytes += std::string("\x01\xFF", 2);            // one full lacing value: the packet goes on
  bytes += std::string(255, 'p');
  ogg_page page{};
  page.header = reinterpret_cast<unsigned char*>(bytes.data());
  page.header_len = 28;
  page.body = page.header + 28;
  page.body_len = 255;
  ogg_page_checksum_set(&page);
  return bytes;
}

// A valid song whose first page claims a stream structure version the stream layer refuses.
std::string FirstPageOfUnknownVersion() {
  std::string bytes = SmallSong({});
  ogg_page page{};
  page.header = reinterpret_cast<unsigned char*>(bytes.data());
  page.header_len = 27 + static_cast<unsigned char>(bytes[26]);
  page.body = page.header + page.header_len;
  page.body_len = 30;  // the identification header
  bytes[4] = 1;
  ogg_page_checksum_set(&page);
  return bytes;
}

TEST(OggCommentEditor, OpenFailsWithTheReasonAndHoldsNothing) {
  std::vector<std::string> packets = SplitOggStreams(SmallSong({})).at(0).packets;
  std::vector<std::string> commentMissing = packets;
  commentMissing.erase(commentMissing.begin() + 1);
  std::vector<std::string> badComment = packets;
  badComment[1] = std::string("\x03vorbis\x01\x00\x00\x00V\x05\x00\x00\x00\x01", 17);
  const std::vector<std::pair<std::string, const char*>> cases = {
      {"", OggCommentEditor::kTruncatedOrEmpty},
      {std::string(4095, 'x'), OggCommentEditor::kTruncatedOrEmpty},
      {std::string(4096, 'x'), OggCommentEditor::kNotOgg},
      {FirstPageOfUnknownVersion(), OggCommentEditor::kFirstPageError},
      {FirstPageWithoutACompletePacket(), OggCommentEditor::kInitialHeaderError},
      {OggStreamOfPackets({"\x80theora", "x", "y"}, 1), OggCommentEditor::kNotVorbis},
      {OggStreamOfPackets(commentMissing, 2), OggCommentEditor::kCorruptSecondaryHeader},
      {OggStreamOfPackets(badComment, 2), OggCommentEditor::kCorruptSecondaryHeader},
      {OggStreamOfPackets({packets[0], packets[1]}, 3), OggCommentEditor::kEofInHeaders},
      {SmallSong({}).substr(0, 3000), OggCommentEditor::kEofInHeaders},
  };
  for (const auto& [bytes, reason] : cases) {
    OggCommentEditor editor;
    EXPECT_EQ(OpenBytes(editor, bytes), -1) << reason;
    EXPECT_STREQ(editor.LastError().c_str(), reason);
    EXPECT_TRUE(editor.Comments().empty());
    EXPECT_TRUE(editor.Vendor().empty());
    EXPECT_EQ(editor.Write([](const unsigned char*, size_t) { return true; }), -1);
    EXPECT_STREQ(editor.LastError().c_str(), OggCommentEditor::kNothingOpen);
  }
}

// Writes the stream open in `editor` to a string; the result of Write goes to `result`.
std::string WriteToString(OggCommentEditor& editor, int* result) {
  std::string out;
  *result = editor.Write([&out](const unsigned char* bytes, size_t count) {
    out.append(reinterpret_cast<const char*>(bytes), count);
    return true;
  });
  return out;
}

TEST(OggCommentEditor, WritesTheEditedListAndUsesTheInputUp) {
  const std::string song = SmallSong({"ARTIST=A", "ALBUM=B"});
  OggCommentEditor editor;
  ASSERT_EQ(OpenBytes(editor, song), 0);
  editor.ClearComments();
  editor.AddTag("TITLE", "a=b");
  editor.AddComment(std::string("RAW\0BYTES", 9));
  int result = 0;
  const std::string out = WriteToString(editor, &result);
  ASSERT_EQ(result, 0) << editor.LastError();
  const auto view = ReadWithVorbisfile(out);
  ASSERT_TRUE(view.opened);
  EXPECT_EQ(view.comments[0].comments,
            (std::vector<std::string>{"TITLE=a=b", std::string("RAW\0BYTES", 9)}));
  EXPECT_EQ(view.comments[0].vendor, ReadWithVorbisfile(song).comments[0].vendor);
  EXPECT_EQ(WriteToString(editor, &result), "");
  EXPECT_EQ(result, -1) << "a second write has no input left";
  EXPECT_STREQ(editor.LastError().c_str(), OggCommentEditor::kNothingOpen);
}

TEST(OggCommentEditor, HeadersStandOnPagesOfTheirOwn) {
  // A large comment makes the comment header span pages.
  for (const std::string& comment : {std::string("A=b"), "BIG=" + std::string(9000, 'x')}) {
    OggCommentEditor editor;
    ASSERT_EQ(OpenBytes(editor, SmallSong({comment})), 0);
    int result = 0;
    const std::string out = WriteToString(editor, &result);
    ASSERT_EQ(result, 0);
    const std::vector<PageSummary> pages = SummarizePages(out);
    ASSERT_GT(pages.size(), 3u);
    EXPECT_EQ(pages[0].packets, 1) << "the identification header alone on the first page";
    int headers = 0;
    size_t page = 0;
    while (headers < 3) headers += pages.at(page++).packets;
    EXPECT_EQ(headers, 3) << "no audio packet ends on a header page";
    EXPECT_EQ(SplitOggStreams(out)[0].pageGranules.at(page - 1), 0);
  }
}

TEST(OggCommentEditor, FailedWritesAndReadsAreReported) {
  const std::string song = SmallSong({"ARTIST=A"}, 1) + SmallSong({"ARTIST=B"}, 2);
  // Give up after a header page, during the audio, and during the second chained stream.
  for (const size_t limit : {size_t{0}, size_t{100}, size_t{9000}, song.size() - 500}) {
    OggCommentEditor editor;
    ASSERT_EQ(OpenBytes(editor, song), 0);
    size_t written = 0;
    EXPECT_EQ(editor.Write([&](const unsigned char*, size_t count) {
      written += count;
      return written <= limit;
    }),
              -1)
        << limit;
    EXPECT_STREQ(editor.LastError().c_str(), OggCommentEditor::kWriteFailed);
  }
  // A read error after the headers must not pass for the end of the input.
  for (const size_t failAfter : {size_t{8192}, song.size() - 4000}) {
    auto reader = MemoryReader(song);
    size_t delivered = 0;
    OggCommentEditor editor;
    ASSERT_EQ(editor.Open([&](char* buffer, size_t size) -> long {
      if (delivered >= failAfter) return -1;
      const long count = reader(buffer, size);
      delivered += static_cast<size_t>(count);
      return count;
    }),
              0);
    int result = 0;
    WriteToString(editor, &result);
    EXPECT_EQ(result, -1) << failAfter;
    EXPECT_STREQ(editor.LastError().c_str(), OggCommentEditor::kWriteFailed);
  }
}

// Where the page `index` of the first logical stream of `bytes` begins.
size_t PageOffset(const std::string& bytes, size_t index) {
  const auto pages = SummarizePages(bytes);
  size_t offset = 0;
  for (size_t i = 0; i < index; ++i) offset += pages.at(i).bytes;
  return offset;
}

// `bytes` with one bit of the byte at `offset` flipped.
std::string Flipped(std::string bytes, size_t offset) {
  bytes.at(offset) = static_cast<char>(bytes[offset] ^ 0x40);
  return bytes;
}

TEST(OggCommentEditor, InputThatWouldLoseBytesIsRefused) {
  const std::string first = SmallSong({"ARTIST=A"}, 1);
  const std::string second = SmallSong({"ARTIST=B"}, 2);
  ASSERT_GT(SummarizePages(first).size(), 4u);
  const size_t audioPage = PageOffset(first, 3);
  std::string lostPage = first;
  lostPage.erase(audioPage, PageOffset(first, 4) - audioPage);
  const std::vector<std::pair<const char*, std::string>> cases = {
      {"checksum mismatch in an audio page", Flipped(first, audioPage + 100)},
      {"an audio page missing", lostPage},
      {"last page cut short", first.substr(0, first.size() - 100)},
      {"bytes between chained streams", first + "junk between streams" + second},
      {"checksum mismatch in the second stream", first + Flipped(second, second.size() / 2)},
  };
  for (const auto& [what, input] : cases) {
    OggCommentEditor editor;
    ASSERT_EQ(editor.Open(MemoryReader(input)), 0) << what;
    EXPECT_EQ(editor.Write([](const unsigned char*, size_t) { return true; }), -1) << what;
    EXPECT_STREQ(editor.LastError().c_str(), OggCommentEditor::kDamagedPage) << what;
  }
}

}  // namespace
}  // namespace veltro::tags
