// The frame decoder on real streams: synchronisation through garbage and false syncs, cut
// streams, failed reads resumed, the Layer III reservoir, decode errors, channel selection,
// down-sampling and the equaliser.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "media/mpeg/MpegFrameDecoder.h"
#include "media/mpeg/MpegTestData.h"
#include "support/Fixtures.h"

namespace veltro::media {
namespace {

std::vector<uint8_t> Stream(const std::string& name) {
  std::vector<uint8_t> bytes = ReadFileBytes(MpegTestDataPath("conformance/" + name + ".bit"));
  EXPECT_FALSE(bytes.empty()) << name;
  return bytes;
}

uint32_t WordAt(const std::vector<uint8_t>& bytes, size_t position) {
  return uint32_t(bytes[position]) << 24 | uint32_t(bytes[position + 1]) << 16 |
         uint32_t(bytes[position + 2]) << 8 | uint32_t(bytes[position + 3]);
}

// Start offsets of the frames of a stream that begins with a frame, plus the end of the last.
std::vector<size_t> FrameStarts(const std::vector<uint8_t>& bytes) {
  std::vector<size_t> starts;
  size_t position = 0;
  while (position + 4 <= bytes.size() && HasSyncWord(WordAt(bytes, position)) &&
         IsValidHeader(UnpackHeader(WordAt(bytes, position)))) {
    starts.push_back(position);
    position += static_cast<size_t>(FrameLength(UnpackHeader(WordAt(bytes, position))));
  }
  starts.push_back(position);
  return starts;
}

// Bytes that can never start a sync word.
std::vector<uint8_t> Garbage(size_t count, uint32_t seed) {
  std::mt19937 random(seed);
  std::vector<uint8_t> bytes(count);
  for (uint8_t& byte : bytes) byte = static_cast<uint8_t>(random() % 255);
  return bytes;
}

std::vector<uint8_t> Concat(std::vector<uint8_t> a, const std::vector<uint8_t>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

std::vector<uint8_t> Prefix(const std::vector<uint8_t>& bytes, size_t count) {
  return {bytes.begin(),
          bytes.begin() + static_cast<std::ptrdiff_t>(std::min(count, bytes.size()))};
}

void ExpectSameDecoding(const DecodedStream& actual, const DecodedStream& expected) {
  EXPECT_EQ(actual.frames.size(), expected.frames.size());
  EXPECT_TRUE(actual.pcm == expected.pcm);
  EXPECT_EQ(actual.endCode, kMpegEndOfStream);
}

// -- Synchronisation ---------------------------------------------------------------------

TEST(MpegFrameDecoderTest, GarbageBeforeAndBetweenFramesIsSkipped) {
  for (const char* name : {"l1-fl8", "l2-fl10", "l3-hecommon"}) {
    SCOPED_TRACE(name);
    const std::vector<uint8_t> clean = Stream(name);
    const DecodedStream expected = DecodeBytes(clean);
    ASSERT_GT(expected.frames.size(), 4u);
    ExpectSameDecoding(DecodeBytes(Concat(Garbage(3000, 1), clean)), expected);
    // Garbage between frames 3 and 4 loses sync; frame 4 must then be confirmed.
    const std::vector<size_t> starts = FrameStarts(clean);
    const auto cut = clean.begin() + static_cast<std::ptrdiff_t>(starts[3]);
    std::vector<uint8_t> spliced(clean.begin(), cut);
    spliced = Concat(Concat(spliced, Garbage(37, 2)), {cut, clean.end()});
    ExpectSameDecoding(DecodeBytes(spliced), expected);
  }
}

TEST(MpegFrameDecoderTest, FalseSyncIsDroppedByItsConfirmation) {
  const std::vector<uint8_t> clean = Stream("l2-fl10");
  const DecodedStream expected = DecodeBytes(clean);
  // A valid Layer II header (48000 Hz, 192 kbit/s: 576 bytes) with no header behind its frame.
  std::vector<uint8_t> fake = {0xFF, 0xFD, 0xA4, 0x00};
  fake.resize(576 + 4, 0x00);  // the four bytes behind the fake frame fail the confirmation
  const DecodedStream decoded = DecodeBytes(Concat(fake, clean));
  ExpectSameDecoding(decoded, expected);
  // Garbage that merely contains sync bits is searched through as well.
  std::vector<uint8_t> syncs(200, 0xFF);
  ExpectSameDecoding(DecodeBytes(Concat(Concat(syncs, {0, 0, 0, 0}), clean)), expected);
}

TEST(MpegFrameDecoderTest, PendingHeaderOfTheConfirmationStartsTheNextFrame) {
  // Two fake frames in a row confirm each other; the real stream follows the second.
  const std::vector<uint8_t> clean = Stream("l2-fl10");
  const DecodedStream expected = DecodeBytes(clean);
  std::vector<uint8_t> fake = {0xFF, 0xFD, 0xA4, 0x00};
  fake.resize(576, 0x00);
  const DecodedStream decoded = DecodeBytes(Concat(Concat(fake, fake), clean));
  EXPECT_EQ(decoded.frames.size(), expected.frames.size() + 2);
  EXPECT_EQ(decoded.pcm.size(), expected.pcm.size() + 2 * 2 * 1152);
}

// -- Cut streams and failing reads -----------------------------------------------------------

TEST(MpegFrameDecoderTest, StreamCutAtEveryByteEndsCleanly) {
  for (const char* name : {"l1-fl8", "l2-fl12", "l3-hecommon", "M2L3_noise"}) {
    SCOPED_TRACE(name);
    const std::vector<uint8_t> clean = Stream(name);
    const std::vector<size_t> starts = FrameStarts(clean);
    ASSERT_GT(starts.size(), 5u);
    for (size_t cut = 0; cut <= starts[4] + 4; ++cut) {
      const DecodedStream decoded = DecodeBytes(Prefix(clean, cut));
      ASSERT_EQ(decoded.endCode, kMpegEndOfStream) << "cut at " << cut;
      // Every complete frame decodes, even the first, whose confirmation meets the end.
      const size_t complete = static_cast<size_t>(
          std::upper_bound(starts.begin() + 1, starts.end(), cut) - (starts.begin() + 1));
      ASSERT_EQ(decoded.frames.size(), complete) << "cut at " << cut;
      ASSERT_EQ(decoded.decodeErrors + decoded.sourceErrors, 0);
    }
  }
}

TEST(MpegFrameDecoderTest, FailedReadIsResumedByTheNextCall) {
  // 14 Layer III frames carry more than the 4096-byte ring, so the wrapped read is covered.
  for (const char* name : {"l3-hecommon", "l2-fl12", "l1-fl8"}) {
    SCOPED_TRACE(name);
    const std::vector<uint8_t> clean = Stream(name);
    const size_t frameCount = 14;
    const std::vector<size_t> starts = FrameStarts(clean);
    ASSERT_GT(starts.size(), frameCount);
    // Garbage in front and between frames 3 and 4 makes the search read byte by byte.
    const auto splice = clean.begin() + static_cast<std::ptrdiff_t>(starts[3]);
    std::vector<uint8_t> bytes = Concat(Garbage(50, 3), {clean.begin(), splice});
    bytes = Concat(Concat(bytes, Garbage(7, 4)),
                   {splice, clean.begin() + static_cast<std::ptrdiff_t>(starts[frameCount])});
    if (std::string(name) == "l3-hecommon") {
      ASSERT_GT(bytes.size(), 4096u + 1000u);
    }
    MemoryByteSource plainSource(bytes);
    MpegFrameDecoder plainDecoder;
    const DecodedStream expected = DecodeStream(plainDecoder, plainSource);
    ASSERT_EQ(expected.frames.size(), frameCount);
    for (size_t failing = 0; failing < plainSource.ReadCalls(); ++failing) {
      MemoryByteSource source(bytes);
      source.FailReadCall(failing, -5);
      MpegFrameDecoder decoder;
      const DecodedStream decoded = DecodeStream(decoder, source);
      ASSERT_EQ(decoded.sourceErrors, 1) << "failing read " << failing;
      ASSERT_EQ(decoded.frames.size(), frameCount) << "failing read " << failing;
      ASSERT_TRUE(decoded.pcm == expected.pcm) << "failing read " << failing;
    }
  }
}

// -- Layer III reservoir and decode errors ------------------------------------------------

TEST(MpegFrameDecoderTest, MissingReservoirGivesOneSilentFrameThenRecovers) {
  const std::vector<uint8_t> clean = Stream("l3-hecommon");
  const DecodedStream full = DecodeBytes(clean);
  const std::vector<size_t> starts = FrameStarts(clean);
  // The first frame from the 5th on whose main data begins in an earlier frame.
  size_t first = 4;
  while (first + 8 < starts.size() &&
         (clean[starts[first] + 4] << 1 | clean[starts[first] + 5] >> 7) == 0) {
    ++first;
  }
  ASSERT_LT(first + 8, starts.size());
  const std::vector<uint8_t> tail(clean.begin() + static_cast<std::ptrdiff_t>(starts[first]),
                                  clean.end());
  const DecodedStream decoded = DecodeBytes(tail);
  ASSERT_EQ(decoded.frames.size(), full.frames.size() - first);
  const size_t frameSamples = 1152 * 2;
  ASSERT_EQ(decoded.pcm.size(), decoded.frames.size() * frameSamples);
  EXPECT_TRUE(std::all_of(decoded.pcm.begin(), decoded.pcm.begin() + frameSamples,
                          [](int16_t s) { return s == 0; }));
  // Once the reservoir and the filters are refilled, the output is the full decoding's.
  const size_t settled = 4 * frameSamples;
  const std::vector<int16_t> tailOfFull(
      full.pcm.begin() + static_cast<std::ptrdiff_t>((first * frameSamples) + settled),
      full.pcm.end());
  const std::vector<int16_t> tailOfCut(decoded.pcm.begin() + static_cast<std::ptrdiff_t>(settled),
                                       decoded.pcm.end());
  EXPECT_LE(ComparePcm(tailOfCut, tailOfFull).maxDifference, 1);
  EXPECT_TRUE(std::any_of(tailOfCut.begin(), tailOfCut.end(), [](int16_t s) { return s != 0; }));
  // A false Layer III frame in front, rejected by its confirmation, leaves no main data behind.
  std::vector<uint8_t> fake = Concat({0xFF, 0xFB, 0x90, 0x00}, Garbage(417 - 4, 5));
  fake.insert(fake.end(), 4, 0x00);
  EXPECT_TRUE(DecodeBytes(Concat(fake, tail)).pcm == decoded.pcm);
}

TEST(MpegFrameDecoderTest, DecodeErrorLosesOneFrameAndDecodingGoesOn) {
  struct Damage {
    size_t offset;  // from the start of the damaged frame
    uint8_t orMask;
  };
  struct Case {
    const char* name;
    std::vector<Damage> damage;
  };
  // Layer I with CRC: the first allocation nibble becomes 15 (forbidden). Layer III mono
  // without CRC: big_values (side-information bits 30..38) becomes 511.
  const Case cases[] = {{"l1-fl1", {{6, 0xF0}}}, {"l3-compl", {{4 + 3, 0x03}, {4 + 4, 0xFE}}}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<uint8_t> bytes = Stream(c.name);
    const size_t total = DecodeBytes(bytes).frames.size();
    const size_t frameStart = FrameStarts(bytes)[5];
    for (const Damage& d : c.damage) bytes[frameStart + d.offset] |= d.orMask;
    const DecodedStream decoded = DecodeBytes(bytes);
    EXPECT_EQ(decoded.decodeErrors, 1);
    EXPECT_EQ(decoded.frames.size(), total - 1);
    EXPECT_EQ(decoded.endCode, kMpegEndOfStream);
  }
}

// -- Channel routing, down-sampling, equaliser -----------------------------------------------

TEST(MpegFrameDecoderTest, ChannelSelectionRoutesTheChannels) {
  const std::vector<uint8_t> bytes = Stream("l3-hecommon");  // stereo, 44100 Hz
  const DecodedStream both = DecodeBytes(bytes, 0);
  const DecodedStream left = DecodeBytes(bytes, 1);
  const DecodedStream right = DecodeBytes(bytes, 2);
  const DecodedStream mean = DecodeBytes(bytes, 3);
  ASSERT_EQ(both.frames.front().channels, 2);
  ASSERT_EQ(mean.frames.front().channels, 1);
  EXPECT_EQ(mean.frames.front().sampleRate, 44100);
  ASSERT_EQ(left.pcm.size() * 2, both.pcm.size());
  ASSERT_EQ(mean.pcm.size() * 2, both.pcm.size());
  int worstMean = 0;
  bool channelsDiffer = false;
  for (size_t i = 0; i < left.pcm.size(); ++i) {
    const int l = both.pcm[2 * i];
    const int r = both.pcm[2 * i + 1];
    ASSERT_EQ(left.pcm[i], l);
    ASSERT_EQ(right.pcm[i], r);
    channelsDiffer = channelsDiffer || l != r;
    worstMean = std::max(worstMean, std::abs(2 * mean.pcm[i] - (l + r)));
  }
  EXPECT_TRUE(channelsDiffer);
  EXPECT_LE(worstMean, 2);  // each side rounds once
  // Other values route as 0.
  EXPECT_TRUE(DecodeBytes(bytes, 7).pcm == both.pcm);
  // A mono stream gives its one channel whatever the selection.
  const std::vector<uint8_t> mono = Stream("l3-compl");
  EXPECT_TRUE(DecodeBytes(mono, 2).pcm == DecodeBytes(mono, 0).pcm);
  EXPECT_EQ(DecodeBytes(mono, 0, 0, 1).frames.front().channels, 1);
}

TEST(MpegFrameDecoderTest, DownsamplingDividesRateAndSampleCount) {
  struct Case {
    const char* name;
    int downsampling, rate, samples;
  };
  const Case cases[] = {{"l3-sin1k0db", 2, 11025, 288}, {"l3-sin1k0db", 1, 22050, 576},
                        {"l3-test45", 2, 11025, 288},   {"l3-test45", 1, 22050, 576},
                        {"l2-fl12", 2, 12000, 288},     {"l1-fl8", 1, 22050, 192}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.name) + " " + std::to_string(c.downsampling));
    const DecodedStream decoded = DecodeBytes(Stream(c.name), 0, c.downsampling, 40);
    ASSERT_EQ(decoded.frames.size(), 40u);
    EXPECT_EQ(decoded.frames.back().sampleRate, c.rate);
    EXPECT_EQ(decoded.frames.back().samples, c.samples);
    EXPECT_EQ(decoded.pcm.size(), 40u * static_cast<size_t>(c.samples * 2));
  }
  // The 1 kHz tone survives at a quarter of the rate.
  const DecodedStream quarter = DecodeBytes(Stream("l3-sin1k0db"), 1, 2);
  const auto tone = testing::AnalyzeTone(testing::Channel(quarter.pcm, 1, 0), 11025.0);
  EXPECT_NEAR(tone.peakHz, 1000.0, 5.0);
  EXPECT_LT(tone.worstOtherDb, -40.0);
}

TEST(MpegFrameDecoderTest, EqualizerBytesRoundTripThroughTheGains) {
  MpegFrameDecoder decoder;
  int8_t bytes[64];
  int8_t readBack[64];
  decoder.GetEqualizer(readBack);
  EXPECT_TRUE(std::all_of(readBack, readBack + 64, [](int8_t v) { return v == 0; }));
  for (int start = -128; start < 128; start += 64) {
    for (int i = 0; i < 64; ++i) bytes[i] = static_cast<int8_t>(start + i);
    decoder.SetEqualizer(bytes);
    decoder.GetEqualizer(readBack);
    for (int i = 0; i < 64; ++i) ASSERT_EQ(readBack[i], bytes[i]) << "byte " << int{bytes[i]};
  }
  decoder.SetEqualizer(nullptr);
  decoder.GetEqualizer(readBack);
  EXPECT_TRUE(std::all_of(readBack, readBack + 64, [](int8_t v) { return v == 0; }));
}

TEST(MpegFrameDecoderTest, EqualizerGainsScaleEachChannel) {
  const std::vector<uint8_t> bytes = Stream("l3-hecommon");  // peak 12356: doubling cannot clip
  const DecodedStream plain = DecodeBytes(bytes);
  int8_t equalizer[64];
  std::fill(equalizer, equalizer + 32, int8_t{32});        // left doubled
  std::fill(equalizer + 32, equalizer + 64, int8_t{-32});  // right halved
  MpegFrameDecoder decoder;
  decoder.SetEqualizer(equalizer);
  MemoryByteSource source(bytes);
  const DecodedStream shaped = DecodeStream(decoder, source);
  ASSERT_EQ(shaped.pcm.size(), plain.pcm.size());
  int worstLeft = 0;
  int worstRight = 0;
  for (size_t i = 0; i + 1 < plain.pcm.size(); i += 2) {
    worstLeft = std::max(worstLeft, std::abs(shaped.pcm[i] - 2 * plain.pcm[i]));
    worstRight = std::max(worstRight, std::abs(2 * shaped.pcm[i + 1] - plain.pcm[i + 1]));
  }
  EXPECT_LE(worstLeft, 2);
  EXPECT_LE(worstRight, 2);
  // The mean of both channels passes the left channel's synthesis and gains.
  MpegFrameDecoder meanDecoder;
  meanDecoder.SetEqualizer(equalizer);
  meanDecoder.SetChannelSelection(3);
  MemoryByteSource meanSource(bytes);
  const DecodedStream mean = DecodeStream(meanDecoder, meanSource);
  const DecodedStream plainMean = DecodeBytes(bytes, 3);
  ASSERT_EQ(mean.pcm.size(), plainMean.pcm.size());
  int worstMean = 0;
  for (size_t i = 0; i < mean.pcm.size(); ++i) {
    worstMean = std::max(worstMean, std::abs(mean.pcm[i] - 2 * plainMean.pcm[i]));
  }
  EXPECT_LE(worstMean, 2);
}

}  // namespace
}  // namespace veltro::media
