// OggDecoder against files encoded in the test, compared with a plain libvorbisfile decode.
#include <dirent.h>
#include <gtest/gtest.h>
#include <vorbis/vorbisfile.h>

#include <cstring>

#include "engine/EngineHarness.h"
#include "engine/OggDecoder.h"
#include "support/Fixtures.h"
#include "support/TempDir.h"

namespace veltro::engine {
namespace {

// Everything libvorbisfile decodes from `path`, as 16-bit little-endian bytes.
std::vector<uint8_t> DecodeWhole(const std::string& path) {
  OggVorbis_File file;
  std::vector<uint8_t> out;
  if (ov_fopen(path.c_str(), &file) != 0) return out;
  char unit[4096];
  int section = 0;
  while (true) {
    const long got = ov_read(&file, unit, sizeof unit, 0, 2, 1, &section);
    if (got == 0) break;
    if (got > 0) out.insert(out.end(), unit, unit + got);
  }
  ov_clear(&file);
  return out;
}

int OpenDescriptors() {
  int count = 0;
  if (DIR* dir = opendir("/proc/self/fd")) {
    while (readdir(dir) != nullptr) ++count;
    closedir(dir);
  }
  return count;
}

class OggDecoderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    path = dir.File("song.ogg");
    ASSERT_TRUE(testing::WriteOgg(path, testing::MusicLike(44100, 10.5, 2), 2, 44100));
    reference = DecodeWhole(path);
    ASSERT_GT(reference.size(), 44100u * 4 * 10);
  }
  testing::TempDir dir;
  std::string path;
  std::vector<uint8_t> reference;
};

TEST_F(OggDecoderTest, ReadsExactSizesWithASmallCarryAndTheWholeStream) {
  OggDecoder decoder;
  ASSERT_TRUE(decoder.Open(path)) << decoder.LastError();
  EXPECT_EQ(decoder.Length(), 1000);
  EXPECT_EQ(decoder.Format().avgBytesPerSec, 176400u);
  EXPECT_EQ(decoder.Format().blockAlign, 4);
  std::vector<uint8_t> all;
  std::vector<uint8_t> block(16384);
  int status = DecoderBase::kOk;
  while (status == DecoderBase::kOk) {
    status = decoder.Read(block.data(), 16384);
    EXPECT_LT(decoder.CarryLength(), 4096u);
    all.insert(all.end(), block.begin(), block.end());
  }
  ASSERT_EQ(status, DecoderBase::kEndOfStream);
  ASSERT_GE(all.size(), reference.size());
  EXPECT_TRUE(std::equal(reference.begin(), reference.end(), all.begin()));
  const uint32_t audioInLast = decoder.LastReadAudioBytes();
  EXPECT_EQ(all.size() - 16384 + audioInLast, reference.size());
  EXPECT_TRUE(std::all_of(all.begin() + static_cast<long>(reference.size()), all.end(),
                          [](uint8_t b) { return b == 0; }));
  std::fill(block.begin(), block.end(), 0x55);
  EXPECT_EQ(decoder.Read(block.data(), 16384), DecoderBase::kEndOfStream);
  EXPECT_TRUE(std::all_of(block.begin(), block.end(), [](uint8_t b) { return b == 0; }));
}

TEST_F(OggDecoderTest, PositionCountsDeliveredBytes) {
  OggDecoder decoder;
  ASSERT_TRUE(decoder.Open(path));
  std::vector<uint8_t> block(17640);  // a tenth of a second
  for (int i = 1; i <= 30; ++i) {
    decoder.Read(block.data(), static_cast<uint32_t>(block.size()));
    EXPECT_NEAR(decoder.Position(), i * 10, 1);
  }
}

TEST_F(OggDecoderTest, SeekLandsWithinAHundredthOfASecond) {
  OggDecoder decoder;
  ASSERT_TRUE(decoder.Open(path));
  for (int target : {1, 3, 250, 777, 999}) {
    decoder.Seek(target);
    EXPECT_NEAR(decoder.Position(), target, 1) << target;
    std::vector<uint8_t> block(4096);
    decoder.Read(block.data(), 4096);
    // Where in the full decode these bytes come from.
    const auto expectedFrame = static_cast<long>(target) * 441;
    long found = -1;
    for (long frame = std::max(0L, expectedFrame - 441); frame <= expectedFrame + 441; ++frame) {
      if (std::memcmp(reference.data() + frame * 4, block.data(), block.size()) == 0) {
        found = frame;
        break;
      }
    }
    EXPECT_NE(found, -1) << "seek to " << target << " did not land within 1/100 s";
  }
  decoder.Seek(0);
  std::vector<uint8_t> start(8192);
  decoder.Read(start.data(), 8192);
  EXPECT_TRUE(std::equal(start.begin(), start.end(), reference.begin()));
  decoder.Seek(5000);  // past the end: silence
  EXPECT_EQ(decoder.Read(start.data(), 8192), DecoderBase::kEndOfStream);
}

TEST_F(OggDecoderTest, RefusesFilesThatAreNotOggVorbisAndClosesThem) {
  const std::string garbage = dir.File("garbage.ogg");
  testing::WriteBytes(garbage, std::string(5000, 'g'));
  OggDecoder decoder;
  const int before = OpenDescriptors();
  for (int i = 0; i < 5; ++i) {
    EXPECT_FALSE(decoder.Open(garbage));
    EXPECT_NE(decoder.LastError().find("not an Ogg Vorbis"), std::string::npos);
  }
  EXPECT_EQ(OpenDescriptors(), before);
  EXPECT_FALSE(decoder.Open(dir.File("missing.ogg")));
  EXPECT_NE(decoder.LastError().find("cannot open"), std::string::npos);
  uint8_t buffer[16];
  EXPECT_EQ(decoder.Read(buffer, 16), DecoderBase::kEndOfStream);
  // The decoder is reusable after a failure.
  EXPECT_TRUE(decoder.Open(path));
}

TEST(OggDecoder, RefusesMoreThanTwoChannels) {
  testing::TempDir dir;
  const std::string path = dir.File("three.ogg");
  ASSERT_TRUE(testing::WriteOgg(path, testing::MusicLike(44100, 0.5, 3), 3, 44100));
  OggDecoder decoder;
  const int before = OpenDescriptors();
  EXPECT_FALSE(decoder.Open(path));
  EXPECT_NE(decoder.LastError().find("3 channels"), std::string::npos) << decoder.LastError();
  EXPECT_EQ(OpenDescriptors(), before);
}

// The output format is fixed when a song opens: a later link in another channel count or
// rate ends the song where it starts, while a link in the same format plays on.
TEST(OggDecoder, ChainedFileEndsWhereALinkChangesFormat) {
  const struct {
    int channels;
    uint32_t rateHz;
    int lengthHundredths;
    bool playsSecondLink;
  } cases[] = {
      {2, 44100, 300, true},  // same format: one song of both links
      {1, 44100, 100, false},
      {2, 48000, 100, false},
      {2, 22050, 100, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.channels) + " channels, " + std::to_string(c.rateHz) + " Hz");
    testing::TempDir dir;
    const std::string chain = dir.File("chain.ogg");
    ASSERT_TRUE(testing::WriteChainedOgg(chain, 1.5, c.channels, c.rateHz, 2.0));
    std::vector<uint8_t> firstLink = DecodeWhole(chain + ".head");
    if (c.playsSecondLink) {
      const std::vector<uint8_t> secondLink = DecodeWhole(chain + ".tail");
      firstLink.insert(firstLink.end(), secondLink.begin(), secondLink.end());
    }
    const std::vector<uint8_t>& expected = firstLink;
    OggDecoder decoder;
    ASSERT_TRUE(decoder.Open(chain)) << decoder.LastError();
    EXPECT_EQ(decoder.Length(), c.lengthHundredths);
    EXPECT_EQ(decoder.Format().samplesPerSec, 44100u);
    std::vector<uint8_t> all;
    std::vector<uint8_t> block(16384);
    while (decoder.Read(block.data(), 16384) == DecoderBase::kOk) {
      all.insert(all.end(), block.begin(), block.end());
      ASSERT_LT(all.size(), 4 * expected.size());
    }
    all.insert(all.end(), block.begin(), block.begin() + decoder.LastReadAudioBytes());
    EXPECT_EQ(all.size(), expected.size());
    EXPECT_TRUE(std::equal(expected.begin(), expected.end(), all.begin(), all.end()));
    decoder.Seek(250);  // inside the second link
    EXPECT_EQ(decoder.Read(block.data(), 16384) == DecoderBase::kOk, c.playsSecondLink);
  }
}

}  // namespace
}  // namespace veltro::engine
