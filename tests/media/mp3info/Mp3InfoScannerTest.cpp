// The MPEG file information scanner on files built here byte by byte: duration and bitrate with
// and without a frame limit, ID3v1 texts, the ID3v2 skip, Xing/Lame and VBRI headers, the
// change flags, the confirmation of a new synchronisation, the stop mask, the search limit, the
// callback and the open failures.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "media/mp3info/Mp3InfoScanner.h"
#include "support/TempDir.h"

namespace veltro::media {
namespace {

using testing::TempDir;

// Bits 20-19 of the header word for each level (0 MPEG-1, 1 MPEG-2, 2 MPEG 2.5).
constexpr uint32_t kVersionBits[3] = {3, 2, 0};

struct FrameShape {
  int level = 0;          // 0 MPEG-1, 1 MPEG-2, 2 MPEG 2.5
  int layer = 3;          // 1, 2 or 3
  int bitrateIndex = 9;   // MPEG-1 Layer III: 128 kbit/s
  int samplingIndex = 1;  // MPEG-1: 48000 Hz
  int mode = 0;           // stereo
  int padding = 0;
};

// MPEG-1 Layer III 128 kbit/s at 48000 Hz: 144000 * 128 / 48000 = 384 bytes, 24 ms.
constexpr FrameShape kCbr48k{};
constexpr int kCbr48kBytes = 384;
// 160 kbit/s at 48000 Hz: 480 bytes.
constexpr FrameShape kCbr48k160{0, 3, 10, 1, 0, 0};
constexpr int kCbr48k160Bytes = 480;
// MPEG-1 Layer III 128 kbit/s at 44100 Hz without padding: 417 bytes.
constexpr FrameShape kCbr44k{0, 3, 9, 0, 0, 0};
constexpr int kCbr44kBytes = 417;
// MPEG-2 Layer III 64 kbit/s at 22050 Hz: 72000 * 64 / 22050 = 208 bytes.
constexpr FrameShape kMpeg2At22k{1, 3, 8, 0, 0, 0};
constexpr int kMpeg2At22kBytes = 208;

void Append(std::vector<uint8_t>& bytes, const std::vector<uint8_t>& more) {
  bytes.insert(bytes.end(), more.begin(), more.end());
}

void PutBigEndian32(std::vector<uint8_t>& bytes, size_t at, uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes[at + static_cast<size_t>(i)] = uint8_t(value >> (24 - 8 * i));
}

// One frame of `length` bytes: the header word, then zeros.
std::vector<uint8_t> Frame(const FrameShape& f, int length) {
  std::vector<uint8_t> bytes(static_cast<size_t>(length), 0);
  const uint32_t word = 0xFFE00000u | (kVersionBits[f.level] << 19) |
                        (uint32_t(4 - f.layer) << 17) | (1u << 16) |
                        (uint32_t(f.bitrateIndex) << 12) | (uint32_t(f.samplingIndex) << 10) |
                        (uint32_t(f.padding) << 9) | (uint32_t(f.mode) << 6);
  PutBigEndian32(bytes, 0, word);
  return bytes;
}

std::vector<uint8_t> Frames(const FrameShape& f, int length, int count) {
  std::vector<uint8_t> bytes;
  for (int i = 0; i < count; ++i) Append(bytes, Frame(f, length));
  return bytes;
}

// A first frame carrying a VBR header: `tag` ("Xing", "Lame", "VBRI") at `offset`, with the
// flags word and frame count of a Xing header, or the frame count 14 bytes in for VBRI.
std::vector<uint8_t> VbrFrame(const FrameShape& f, int length, const char* tag, size_t offset,
                              uint32_t frames, uint32_t xingFlags = 0x0F) {
  std::vector<uint8_t> bytes = Frame(f, length);
  std::memcpy(bytes.data() + offset, tag, 4);
  if (std::strcmp(tag, "VBRI") == 0) {
    PutBigEndian32(bytes, offset + 14, frames);
  } else {
    PutBigEndian32(bytes, offset + 4, xingFlags);
    PutBigEndian32(bytes, offset + 8, frames);
  }
  return bytes;
}

// "ID3", version 3.0, no flags, the synchsafe size, then `size` bytes of tag body.
std::vector<uint8_t> Id3v2Tag(uint32_t size) {
  std::vector<uint8_t> bytes = {'I', 'D', '3', 3, 0, 0};
  for (int shift = 21; shift >= 0; shift -= 7) bytes.push_back(uint8_t((size >> shift) & 0x7F));
  bytes.resize(bytes.size() + size, 'x');
  return bytes;
}

struct Id3v1Fields {
  std::string title, artist, album, year, comment;
  uint8_t genre = 0;
};

// "TAG" and the fixed-width fields, each padded with NUL bytes.
std::vector<uint8_t> Id3v1Tag(const Id3v1Fields& f) {
  std::vector<uint8_t> bytes(128, 0);
  std::memcpy(bytes.data(), "TAG", 3);
  const auto put = [&](size_t at, const std::string& text) {
    std::memcpy(bytes.data() + at, text.data(), text.size());
  };
  put(3, f.title);
  put(33, f.artist);
  put(63, f.album);
  put(93, f.year);
  put(97, f.comment);
  bytes[127] = f.genre;
  return bytes;
}

int RecordFrame(void* clientData, const Mp3InfoFrame* frame) {
  auto* frames = static_cast<std::vector<Mp3InfoFrame>*>(clientData);
  frames->push_back(*frame);
  return 0;
}

struct StopAt {
  int index = 0;
  int calls = 0;
};

int StopAtIndex(void* clientData, const Mp3InfoFrame* frame) {
  auto* stop = static_cast<StopAt*>(clientData);
  ++stop->calls;
  return frame->index == stop->index ? 1 : 0;
}

class Mp3InfoScannerTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(mp3info_new(&scanner_), kMp3InfoOk); }
  void TearDown() override { mp3info_delete(scanner_); }

  std::string Write(const std::vector<uint8_t>& bytes, const std::string& name = "song.mp3") {
    const std::string path = dir_.File(name);
    testing::WriteBytes(
        path, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
    return path;
  }

  // Scans with a callback recording every frame into frames_.
  int Scan(const std::string& path, int frameLimit, int stopMask = 0, int searchLimit = 0) {
    frames_.clear();
    return mp3info_scan(scanner_, path.c_str(), RecordFrame, &frames_, &info_, stopMask,
                        searchLimit, frameLimit);
  }

  TempDir dir_;
  Mp3InfoScanner* scanner_ = nullptr;
  Mp3Info info_{};
  std::vector<Mp3InfoFrame> frames_;
};

// 13020 frames of 384 bytes and 320 bytes of zeros: 5,000,000 audio bytes.
std::vector<uint8_t> FiveMillionAudioBytes() {
  std::vector<uint8_t> bytes = Frames(kCbr48k, kCbr48kBytes, 13020);
  bytes.resize(5000000, 0);
  return bytes;
}

TEST_F(Mp3InfoScannerTest, ConstantBitrateDurationFollowsTheFileSizeUnderAFrameLimit) {
  const std::string path = Write(FiveMillionAudioBytes());
  ASSERT_EQ(Scan(path, 50), kMp3InfoOk);
  EXPECT_EQ(info_.frames, 50);
  EXPECT_EQ(info_.duration, 312500);
  EXPECT_EQ(info_.bitrate, 128000);
  EXPECT_EQ(info_.level, 1);
  EXPECT_EQ(info_.layer, 3);
  EXPECT_EQ(info_.frequency, 48000);
  EXPECT_EQ(info_.mode, 0);
  EXPECT_EQ(info_.channels, 2);
  EXPECT_EQ(info_.flags, 0);
  EXPECT_EQ(info_.title, nullptr);
  EXPECT_EQ(info_.genre, 0);
  EXPECT_EQ(scanner_->audioBytes, 5000000);
  ASSERT_EQ(frames_.size(), 50u);
  EXPECT_EQ(frames_.back().position, 50 * kCbr48kBytes);

  // The whole walk adds up the frames instead: 13020 x 24 ms.
  ASSERT_EQ(Scan(path, 0), kMp3InfoOk);
  EXPECT_EQ(info_.frames, 13020);
  EXPECT_EQ(info_.duration, 312480);
  EXPECT_EQ(info_.bitrate, 128000);
}

TEST_F(Mp3InfoScannerTest, TagsAreSkippedAndTakenOffTheAudioBytes) {
  std::vector<uint8_t> bytes = Id3v2Tag(1000);  // synchsafe 00 00 07 68
  ASSERT_EQ(bytes[8], 0x07);
  ASSERT_EQ(bytes[9], 0x68);
  Append(bytes, FiveMillionAudioBytes());
  Append(bytes, Id3v1Tag({"Title", "Artist", "Album", "1999", "Comment", 17}));
  const std::string path = Write(bytes);
  ASSERT_EQ(Scan(path, 50), kMp3InfoOk);
  EXPECT_EQ(scanner_->audioBytes, 5000000);
  EXPECT_EQ(info_.duration, 312500);
  EXPECT_EQ(info_.flags, kMp3InfoId3v1Tag | kMp3InfoId3v2Tag);
  EXPECT_EQ(info_.flags, 0x1C0);
  // The first frame starts at byte 1010; it is reported past the confirming header, the second
  // (read in sync) just past itself.
  ASSERT_EQ(frames_.size(), 50u);
  EXPECT_EQ(frames_[0].position, 1010 + kCbr48kBytes + 4);
  EXPECT_EQ(frames_[1].position, 1010 + 2 * kCbr48kBytes);
  EXPECT_EQ(frames_[49].position, 1010 + 50 * kCbr48kBytes);
}

TEST_F(Mp3InfoScannerTest, Id3v1TextsLoseTrailingSpacesAndNuls) {
  std::vector<uint8_t> bytes = Frames(kCbr48k, kCbr48kBytes, 3);
  Id3v1Fields fields{std::string(30, ' '),
                     "Some  Artist  ",
                     "An Album Title Of 30 Characters",
                     "2024",
                     "Nice",
                     255};
  fields.album.resize(30);
  fields.comment = std::string("Nice \0 \0", 8);
  Append(bytes, Id3v1Tag(fields));
  ASSERT_EQ(Scan(Write(bytes), 50), kMp3InfoOk);
  ASSERT_NE(info_.title, nullptr);
  EXPECT_STREQ(info_.title, "");
  EXPECT_STREQ(info_.artist, "Some  Artist");
  EXPECT_STREQ(info_.album, "An Album Title Of 30 Character");
  EXPECT_STREQ(info_.year, "2024");
  EXPECT_STREQ(info_.comment, "Nice");
  EXPECT_EQ(info_.genre, 255);
  EXPECT_EQ(info_.title, scanner_->title);
  EXPECT_EQ(scanner_->audioBytes, 3 * kCbr48kBytes);
  EXPECT_EQ(info_.frames, 3);

  // A file without a tag leaves the texts null again.
  ASSERT_EQ(Scan(Write(Frames(kCbr48k, kCbr48kBytes, 3), "plain.mp3"), 50), kMp3InfoOk);
  EXPECT_EQ(info_.title, nullptr);
  EXPECT_EQ(info_.comment, nullptr);
  EXPECT_EQ(info_.genre, 0);
  EXPECT_EQ(info_.flags, 0);
}

// 60 frames alternating 128 and 160 kbit/s: 25,920 bytes, 1.44 s.
std::vector<uint8_t> ChangingBitrate() {
  std::vector<uint8_t> bytes;
  for (int i = 0; i < 30; ++i) {
    Append(bytes, Frame(kCbr48k, kCbr48kBytes));
    Append(bytes, Frame(kCbr48k160, kCbr48k160Bytes));
  }
  return bytes;
}

TEST_F(Mp3InfoScannerTest, ChangingBitrateWithoutVbrHeaderHasNoDurationUnderAFrameLimit) {
  const std::string path = Write(ChangingBitrate());
  ASSERT_EQ(Scan(path, 50), kMp3InfoOk);
  EXPECT_EQ(info_.frames, 50);
  EXPECT_EQ(info_.flags, kMp3InfoBitrateChanged);
  EXPECT_EQ(info_.duration, 0);
  EXPECT_EQ(info_.bitrate, -1);
  EXPECT_EQ(info_.frequency, 48000);
  EXPECT_EQ(frames_[1].bitrate, 160000);

  // The whole walk measures both: 25,920 bytes x 8 / 1.44 s.
  ASSERT_EQ(Scan(path, 0), kMp3InfoOk);
  EXPECT_EQ(info_.frames, 60);
  EXPECT_EQ(info_.duration, 1440);
  EXPECT_EQ(info_.bitrate, 144000);
}

TEST_F(Mp3InfoScannerTest, XingFrameCountGivesDurationAndBitrateUnderAFrameLimit) {
  // 1000 frames of 1152 samples at 44100 Hz: 26,122 ms; 100 frames of 417 bytes in the file.
  std::vector<uint8_t> bytes = VbrFrame(kCbr44k, kCbr44kBytes, "Xing", 36, 1000);
  Append(bytes, Frames(kCbr44k, kCbr44kBytes, 99));
  const std::string path = Write(bytes);
  ASSERT_EQ(Scan(path, 50), kMp3InfoOk);
  EXPECT_EQ(scanner_->vbrDurationMs, 26122);
  EXPECT_EQ(info_.duration, 26122);
  EXPECT_EQ(info_.bitrate, 41700 / 26 * 8);
  EXPECT_EQ(info_.bitrate, 12824);
  EXPECT_EQ(info_.frames, 50);
  // Without a frame limit the frames walked decide: 100 x 1152 / 44100 s.
  ASSERT_EQ(Scan(path, 0), kMp3InfoOk);
  EXPECT_EQ(info_.duration, 2612);
  EXPECT_EQ(info_.bitrate, 128000);

  // MPEG-2 at 22050 Hz, 576 samples per frame, the tag 21 bytes in: also 26,122 ms. "Lame"
  // marks the same header.
  for (const char* tag : {"Xing", "Lame"}) {
    std::vector<uint8_t> low = VbrFrame(kMpeg2At22k, kMpeg2At22kBytes, tag, 21, 1000);
    Append(low, Frames(kMpeg2At22k, kMpeg2At22kBytes, 20));
    ASSERT_EQ(Scan(Write(low, "low.mp3"), 50), kMp3InfoOk);
    EXPECT_EQ(info_.duration, 26122) << tag;
    EXPECT_EQ(info_.bitrate, 21 * kMpeg2At22kBytes / 26 * 8) << tag;
    EXPECT_EQ(info_.level, 2);
    EXPECT_EQ(info_.frequency, 22050);
  }
}

TEST_F(Mp3InfoScannerTest, ShortOrIncompleteXingHeadersLeaveTheBitrateToTheFrames) {
  // 20 frames last 522 ms: under a second, so no VBR bitrate; the duration comes from the size.
  std::vector<uint8_t> bytes = VbrFrame(kCbr44k, kCbr44kBytes, "Xing", 36, 20);
  Append(bytes, Frames(kCbr44k, kCbr44kBytes, 29));
  ASSERT_EQ(Scan(Write(bytes), 50), kMp3InfoOk);
  EXPECT_EQ(scanner_->vbrDurationMs, 522);
  EXPECT_EQ(scanner_->vbrBitrate, 0);
  EXPECT_EQ(info_.bitrate, 128000);
  EXPECT_EQ(info_.duration, 30 * kCbr44kBytes * 1000 / 16000);

  // A Xing header without the frame count (flag bit 0 clear) is ignored.
  std::vector<uint8_t> noCount = VbrFrame(kCbr44k, kCbr44kBytes, "Xing", 36, 1000, 0x06);
  Append(noCount, Frames(kCbr44k, kCbr44kBytes, 29));
  ASSERT_EQ(Scan(Write(noCount, "nocount.mp3"), 50), kMp3InfoOk);
  EXPECT_EQ(scanner_->vbrDurationMs, 0);
  EXPECT_EQ(info_.duration, 781);

  // At the wrong offset (mono MPEG-1 keeps it 21 bytes in) it is not found either.
  FrameShape mono = kCbr44k;
  mono.mode = 3;
  std::vector<uint8_t> misplaced = VbrFrame(mono, kCbr44kBytes, "Xing", 36, 1000);
  Append(misplaced, Frames(mono, kCbr44kBytes, 29));
  ASSERT_EQ(Scan(Write(misplaced, "misplaced.mp3"), 50), kMp3InfoOk);
  EXPECT_EQ(info_.duration, 781);
  EXPECT_EQ(info_.channels, 1);
  EXPECT_EQ(info_.mode, 3);
}

TEST_F(Mp3InfoScannerTest, VbriFrameCountGivesTheDuration) {
  // 2000 x 1152 / 44100 s = 52,244 ms; 40 frames of 417 bytes over 52 s.
  std::vector<uint8_t> bytes = VbrFrame(kCbr44k, kCbr44kBytes, "VBRI", 36, 2000);
  Append(bytes, Frames(kCbr44k, kCbr44kBytes, 39));
  ASSERT_EQ(Scan(Write(bytes), 50), kMp3InfoOk);
  EXPECT_EQ(info_.duration, 52244);
  EXPECT_EQ(info_.bitrate, 40 * kCbr44kBytes / 52 * 8);
  EXPECT_EQ(info_.frames, 40);

  // Mono streams carry it 36 bytes in as well.
  FrameShape mono = kCbr44k;
  mono.mode = 3;
  std::vector<uint8_t> monoBytes = VbrFrame(mono, kCbr44kBytes, "VBRI", 36, 2000);
  Append(monoBytes, Frames(mono, kCbr44kBytes, 39));
  ASSERT_EQ(Scan(Write(monoBytes, "mono.mp3"), 50), kMp3InfoOk);
  EXPECT_EQ(info_.duration, 52244);
}

struct FlagCase {
  const char* name;
  FrameShape later;
  int laterBytes;
  int flags;
};

TEST_F(Mp3InfoScannerTest, EachPropertyThatChangesSetsItsFlagAndHidesItsValue) {
  FrameShape mono = kCbr48k;
  mono.mode = 3;
  FrameShape layer2 = kCbr48k;  // Layer II index 9 is 160 kbit/s: 480 bytes at 48000 Hz
  layer2.layer = 2;
  const FlagCase cases[] = {
      {"level", {1, 3, 9, 1, 0, 0}, 240, kMp3InfoLevelChanged},  // MPEG-2 80 kbit/s 24 kHz
      {"layer", layer2, 480, kMp3InfoLayerChanged},
      {"bitrate", kCbr48k160, kCbr48k160Bytes, kMp3InfoBitrateChanged},
      {"frequency", {0, 3, 9, 2, 0, 0}, 576, kMp3InfoFrequencyChanged},  // 32000 Hz
      {"mode", mono, 384, kMp3InfoModeChanged},
  };
  for (const FlagCase& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<uint8_t> bytes = Frames(kCbr48k, kCbr48kBytes, 3);
    Append(bytes, Frames(c.later, c.laterBytes, 3));
    ASSERT_EQ(Scan(Write(bytes), 50), kMp3InfoOk);
    EXPECT_EQ(info_.frames, 6);
    EXPECT_EQ(info_.flags, c.flags);
    EXPECT_EQ(info_.level, c.flags == kMp3InfoLevelChanged ? -1 : 1);
    EXPECT_EQ(info_.layer, c.flags == kMp3InfoLayerChanged ? -1 : 3);
    EXPECT_EQ(info_.frequency, c.flags == kMp3InfoFrequencyChanged ? -1 : 48000);
    EXPECT_EQ(info_.mode, c.flags == kMp3InfoModeChanged ? -1 : 0);
    EXPECT_EQ(info_.channels, 2);  // always the first frame's
    // Level, layer or bitrate changes leave the bitrate unknown under a frame limit.
    const bool rateKnown = (c.flags & 0x07) == 0;
    EXPECT_EQ(info_.bitrate, rateKnown ? 128000 : -1);
    EXPECT_EQ(info_.duration, rateKnown ? static_cast<int>(bytes.size()) * 1000 / 16000 : 0);
  }
}

TEST_F(Mp3InfoScannerTest, NewSynchronisationNeedsTheNextHeaderToConfirmIt) {
  // A lone header at 0 (a 417-byte frame) is followed by zeros, not by a header: the search
  // goes on and finds the real frames at 500.
  std::vector<uint8_t> bytes = Frame(kCbr44k, kCbr44kBytes);
  bytes.resize(500, 0);
  Append(bytes, Frames(kCbr48k, kCbr48kBytes, 4));
  // A last frame cut short is still counted: it was found in sync and its body is skipped.
  Append(bytes, std::vector<uint8_t>(Frame(kCbr48k, 100)));
  ASSERT_EQ(Scan(Write(bytes), 0), kMp3InfoOk);
  ASSERT_EQ(frames_.size(), 5u);
  EXPECT_EQ(frames_[0].frequency, 48000);
  EXPECT_EQ(frames_[0].position, 500 + kCbr48kBytes + 4);
  EXPECT_EQ(frames_[4].position, 500 + 5 * kCbr48kBytes);
  EXPECT_EQ(info_.flags, 0);
  EXPECT_EQ(info_.frequency, 48000);

  // A single frame at the end of the file needs no confirmation. MPEG 2.5 Layer III at 8000 Hz
  // and 8 kbit/s is 72 bytes long: a file shorter than an ID3v1 tag.
  const std::vector<uint8_t> tiny = Frame({2, 3, 1, 2, 3, 0}, 72);
  ASSERT_EQ(Scan(Write(tiny, "tiny.mp3"), 0), kMp3InfoOk);
  EXPECT_EQ(info_.frames, 1);
  EXPECT_EQ(info_.duration, 72);  // 576 / 8000 s
  EXPECT_EQ(info_.level, 0);
  EXPECT_EQ(info_.frequency, 8000);
  EXPECT_EQ(info_.bitrate, 8000);
  EXPECT_EQ(info_.channels, 1);
  EXPECT_EQ(frames_[0].position, 72);
  EXPECT_EQ(frames_[0].samples, 576);
}

TEST_F(Mp3InfoScannerTest, FilesShorterThanATagHaveNoId3v1) {
  std::vector<uint8_t> bytes(127, 'a');
  std::copy_n("TAG", 3, bytes.begin());
  ASSERT_EQ(Scan(Write(bytes), 50), kMp3InfoOk);
  EXPECT_EQ(info_.flags, 0);
  EXPECT_EQ(info_.title, nullptr);
  EXPECT_EQ(info_.frames, 0);
  EXPECT_EQ(info_.duration, 0);
  EXPECT_EQ(info_.bitrate, -1);
  EXPECT_EQ(info_.level, -1);
  EXPECT_EQ(info_.channels, -1);
  EXPECT_EQ(scanner_->audioBytes, 127);

  // One byte more and the same bytes are a tag (all of the file).
  bytes.push_back('a');
  ASSERT_EQ(Scan(Write(bytes), 50), kMp3InfoOk);
  EXPECT_EQ(info_.flags, kMp3InfoId3v1Tag);
  EXPECT_EQ(std::string(info_.title), std::string(30, 'a'));
  EXPECT_EQ(scanner_->audioBytes, 0);
  ASSERT_EQ(Scan(Write({}), 0), kMp3InfoOk);
  EXPECT_EQ(info_.frames, 0);
}

TEST_F(Mp3InfoScannerTest, CallbackSeesEveryFrameAndCanStopTheWalk) {
  const std::string path = Write(Frames(kCbr48k, kCbr48kBytes, 10));
  StopAt stop{2, 0};
  ASSERT_EQ(mp3info_scan(scanner_, path.c_str(), StopAtIndex, &stop, &info_, 0, 0, 0), kMp3InfoOk);
  EXPECT_EQ(stop.calls, 3);
  EXPECT_EQ(info_.frames, 2);  // the frame that stopped the walk is not counted
  EXPECT_EQ(info_.duration, 48);

  ASSERT_EQ(Scan(path, 4), kMp3InfoOk);
  ASSERT_EQ(frames_.size(), 4u);
  for (int i = 0; i < 4; ++i) {
    const Mp3InfoFrame& f = frames_[static_cast<size_t>(i)];
    EXPECT_EQ(f.index, i);
    EXPECT_EQ(f.level, 1);
    EXPECT_EQ(f.layer, 3);
    EXPECT_EQ(f.bitrate, 128000);
    EXPECT_EQ(f.frequency, 48000);
    EXPECT_EQ(f.mode, 0);
    EXPECT_EQ(f.channels, 2);
    EXPECT_EQ(f.samples, 1152);
  }
  EXPECT_EQ(info_.frames, 4);
}

TEST_F(Mp3InfoScannerTest, StopMaskEndsTheScanWhenOneOfItsFlagsIsSet) {
  const std::string path = Write(ChangingBitrate());
  EXPECT_EQ(Scan(path, 50, kMp3InfoBitrateChanged), kMp3InfoStopMaskHit);
  EXPECT_EQ(frames_.size(), 1u);  // the second frame sets the flag before its report
  EXPECT_EQ(info_.frames, 0);
  EXPECT_EQ(info_.bitrate, -1);
  EXPECT_EQ(Scan(path, 50, kMp3InfoModeChanged | kMp3InfoLevelChanged), kMp3InfoOk);

  // Tag flags count as well, from the first frame on.
  std::vector<uint8_t> tagged = Id3v2Tag(20);
  Append(tagged, Frames(kCbr48k, kCbr48kBytes, 3));
  EXPECT_EQ(Scan(Write(tagged, "tagged.mp3"), 50, kMp3InfoId3v2Tag), kMp3InfoStopMaskHit);
  EXPECT_TRUE(frames_.empty());
}

TEST_F(Mp3InfoScannerTest, SearchLimitBoundsTheBytesExaminedForOneHeader) {
  // The first header starts at byte 100: finding it examines 104 bytes.
  std::vector<uint8_t> bytes(100, 0);
  Append(bytes, Frames(kCbr48k, kCbr48kBytes, 5));
  const std::string path = Write(bytes);
  EXPECT_EQ(Scan(path, 0, 0, 103), kMp3InfoNoHeaderInLimit);
  EXPECT_TRUE(frames_.empty());
  EXPECT_EQ(info_.frames, 0);
  ASSERT_EQ(Scan(path, 0, 0, 104), kMp3InfoOk);
  EXPECT_EQ(info_.frames, 5);
  EXPECT_EQ(frames_[0].position, 100 + kCbr48kBytes + 4);

  // Garbage between frames: the search after the second frame runs out.
  std::vector<uint8_t> gap = Frames(kCbr48k, kCbr48kBytes, 2);
  gap.resize(gap.size() + 60, 0x11);
  Append(gap, Frames(kCbr48k, kCbr48kBytes, 2));
  const std::string gapPath = Write(gap, "gap.mp3");
  EXPECT_EQ(Scan(gapPath, 0, 0, 40), kMp3InfoNoHeaderInLimit);
  EXPECT_EQ(frames_.size(), 2u);
  ASSERT_EQ(Scan(gapPath, 0, 0, 64), kMp3InfoOk);
  EXPECT_EQ(info_.frames, 4);
  ASSERT_EQ(Scan(gapPath, 0), kMp3InfoOk);
  EXPECT_EQ(info_.frames, 4);
}

TEST_F(Mp3InfoScannerTest, OpenFailuresAreToldApart) {
  EXPECT_EQ(Scan(dir_.File("missing.mp3"), 50), kMp3InfoFileNotFound);
  EXPECT_EQ(info_.level, -1);
  EXPECT_EQ(info_.frames, 0);
  const std::string plain = Write(Frames(kCbr48k, kCbr48kBytes, 2), "plain.mp3");
  EXPECT_EQ(Scan(plain + "/below.mp3", 50), kMp3InfoFileNotFound);
  std::filesystem::create_symlink(dir_.File("nowhere.mp3"), dir_.File("dangling.mp3"));
  EXPECT_EQ(Scan(dir_.File("dangling.mp3"), 50), kMp3InfoFileNotFound);

  std::filesystem::create_directory(dir_.File("folder.mp3"));
  EXPECT_EQ(Scan(dir_.File("folder.mp3"), 50), kMp3InfoCannotOpen);
  std::filesystem::create_symlink(dir_.File("loop-b"), dir_.File("loop-a"));
  std::filesystem::create_symlink(dir_.File("loop-a"), dir_.File("loop-b"));
  EXPECT_EQ(Scan(dir_.File("loop-a"), 50), kMp3InfoCannotOpen);
  // Without read permission (root reads any file, so this only counts for other users).
  const std::string locked = Write(Frames(kCbr48k, kCbr48kBytes, 2), "locked.mp3");
  std::filesystem::permissions(locked, std::filesystem::perms::none);
  EXPECT_EQ(Scan(locked, 50), geteuid() == 0 ? kMp3InfoOk : kMp3InfoCannotOpen);
  EXPECT_EQ(mp3info_scan(scanner_, nullptr, nullptr, nullptr, &info_, 0, 0, 0), kMp3InfoCannotOpen);

  // The scanner is reusable after any failure.
  ASSERT_EQ(Scan(plain, 50), kMp3InfoOk);
  EXPECT_EQ(info_.frames, 2);
}

}  // namespace
}  // namespace veltro::media
