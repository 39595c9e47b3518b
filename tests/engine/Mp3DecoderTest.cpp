// Mp3Decoder on MP3 files encoded in the test, compared with the same bytes decoded frame by
// frame through the media framework (each frame in its own layout).
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <set>

#include "engine/Mp3Decoder.h"
#include "media/modules/FrameworkDecoding.h"
#include "support/Fixtures.h"
#include "support/Mp3Encoder.h"
#include "support/TempDir.h"

namespace veltro::engine {
namespace {

using testing::Mp3EncoderOptions;
using testing::Mp3Mode;

constexpr uint32_t kBlock = 16384;

std::vector<uint8_t> Encode(const std::vector<int16_t>& samples, Mp3Mode mode, int rateHz = 44100,
                            int vbrQuality = -1) {
  Mp3EncoderOptions options;
  options.mode = mode;
  options.sampleRateHz = rateHz;
  options.vbrQuality = vbrQuality;
  options.cbrKbps = rateHz >= 32000 ? 128 : 64;
  return testing::EncodeMp3(samples, options);
}

void WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
  testing::WriteBytes(path,
                      std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

// What the decoder should deliver for a stream whose first frame has `channels` channels:
// every frame of the framework's decoding in that channel count (a mono frame copied to both
// sides, a stereo frame averaged), as little-endian bytes.
std::vector<uint8_t> ExpectedBytes(const media::FrameworkDecoding& decoding, int channels) {
  std::vector<uint8_t> out;
  size_t at = 0;
  auto put = [&out](int value) {
    const auto bits = static_cast<uint16_t>(static_cast<int16_t>(value));
    out.push_back(static_cast<uint8_t>(bits & 0xFF));
    out.push_back(static_cast<uint8_t>(bits >> 8));
  };
  for (const auto& frame : decoding.frames) {
    for (int i = 0; i < frame.samples; ++i) {
      const int16_t* s = decoding.pcm.data() + at + static_cast<size_t>(i * frame.channels);
      if (frame.channels == channels) {
        for (int c = 0; c < channels; ++c) put(s[c]);
      } else if (frame.channels == 1) {
        put(s[0]);
        put(s[0]);
      } else {
        put((s[0] + s[1]) / 2);
      }
    }
    at += static_cast<size_t>(frame.samples * frame.channels);
  }
  return out;
}

// Reads the whole song in blocks; `audioBytes` receives the bytes before the silence padding
// of the read that met the end.
std::vector<uint8_t> ReadToEnd(Mp3Decoder& decoder, size_t& audioBytes) {
  std::vector<uint8_t> all;
  std::vector<uint8_t> block(kBlock);
  int status = DecoderBase::kOk;
  for (int reads = 0; status == DecoderBase::kOk && reads < 10000; ++reads) {
    status = decoder.Read(block.data(), kBlock);
    all.insert(all.end(), block.begin(), block.end());
  }
  EXPECT_EQ(status, DecoderBase::kEndOfStream);
  audioBytes = all.size() - kBlock + decoder.LastReadAudioBytes();
  return all;
}

bool AllZero(const uint8_t* bytes, size_t count) {
  return std::all_of(bytes, bytes + count, [](uint8_t b) { return b == 0; });
}

// The index of the reference frame (of `frameBytes` bytes each) equal to `frameBytes` bytes at
// `at`, or -1.
long FindFrame(const std::vector<uint8_t>& reference, const uint8_t* at, size_t frameBytes) {
  for (size_t f = 0; (f + 1) * frameBytes <= reference.size(); ++f) {
    if (std::equal(at, at + frameBytes, reference.begin() + static_cast<long>(f * frameBytes))) {
      return static_cast<long>(f);
    }
  }
  return -1;
}

std::vector<uint8_t> Concatenated(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
  std::vector<uint8_t> out(a);
  out.insert(out.end(), b.begin(), b.end());
  return out;
}

class Mp3DecoderTest : public ::testing::Test {
 protected:
  // 20 s of a music-like signal (left and right differ), 44.1 kHz stereo, 128 kbit/s; encoded
  // once for the whole suite.
  static void SetUpTestSuite() {
    song =
        new std::vector<uint8_t>(Encode(testing::MusicLike(44100, 20.0, 2, 5), Mp3Mode::kStereo));
  }
  static void TearDownTestSuite() {
    delete song;
    song = nullptr;
  }
  void SetUp() override {
    fileBytes = *song;
    ASSERT_FALSE(fileBytes.empty());
    path = Write("song.mp3", fileBytes);
    reference = media::DecodeThroughFramework(fileBytes);
    ASSERT_EQ(reference.setupResult, 0);
    ASSERT_EQ(reference.endCode, media::kMfEndOfStream);
    referenceBytes = ExpectedBytes(reference, 2);
    ASSERT_GT(referenceBytes.size(), 44100u * 4 * 20);
  }
  std::string Write(const std::string& name, const std::vector<uint8_t>& bytes) {
    const std::string file = dir.File(name);
    WriteFile(file, bytes);
    return file;
  }
  static std::vector<uint8_t>* song;
  testing::TempDir dir;
  std::vector<uint8_t> fileBytes;
  std::string path;
  media::FrameworkDecoding reference;
  std::vector<uint8_t> referenceBytes;
};

std::vector<uint8_t>* Mp3DecoderTest::song = nullptr;

TEST_F(Mp3DecoderTest, OpenLearnsTheFormatAndTheFirstReadStartsAtTheBeginning) {
  Mp3Decoder decoder;
  ASSERT_TRUE(decoder.Open(path)) << decoder.LastError();
  const WaveFormat format = decoder.Format();
  EXPECT_EQ(format.formatTag, 1);
  EXPECT_EQ(format.channels, 2);
  EXPECT_EQ(format.samplesPerSec, 44100u);
  EXPECT_EQ(format.avgBytesPerSec, 176400u);
  EXPECT_EQ(format.blockAlign, 4);
  EXPECT_EQ(format.bitsPerSample, 16);
  EXPECT_EQ(format.extraSize, 0);
  EXPECT_EQ(decoder.FrameBytes(), 4608);  // 1152 samples, 2 channels, 2 bytes
  EXPECT_EQ(decoder.FrameMs(), 26);
  EXPECT_EQ(decoder.Position(), 0);
  // The frames decoded to learn the format are not lost: the first read starts at the first
  // sample of the stream.
  std::vector<uint8_t> block(kBlock, 0x55);
  ASSERT_EQ(decoder.Read(block.data(), kBlock), DecoderBase::kOk);
  EXPECT_TRUE(std::equal(block.begin(), block.end(), referenceBytes.begin()));
  EXPECT_EQ(decoder.LastReadAudioBytes(), kBlock);
  EXPECT_EQ(decoder.CarryLength(), 4u * 4608 - kBlock);  // four frames decoded, 2048 left
  // Play time of four frames (10.4 hundredths, truncated) minus the carry (1.16, truncated):
  // the 9.3 hundredths delivered.
  EXPECT_EQ(decoder.Position(), 9);
}

TEST_F(Mp3DecoderTest, ReadsTheWholeStreamThenSilenceWithTheEndResult) {
  Mp3Decoder decoder;
  ASSERT_TRUE(decoder.Open(path)) << decoder.LastError();
  size_t audioBytes = 0;
  const std::vector<uint8_t> all = ReadToEnd(decoder, audioBytes);
  ASSERT_EQ(audioBytes, referenceBytes.size());
  EXPECT_TRUE(std::equal(referenceBytes.begin(), referenceBytes.end(), all.begin()));
  EXPECT_TRUE(AllZero(all.data() + audioBytes, all.size() - audioBytes));
  EXPECT_GT(all.size() - audioBytes, 0u);  // the last read really met the end mid-way
  // Every later read is all silence with the end result.
  std::vector<uint8_t> block(kBlock, 0x55);
  EXPECT_EQ(decoder.Read(block.data(), kBlock), DecoderBase::kEndOfStream);
  EXPECT_TRUE(AllZero(block.data(), block.size()));
  EXPECT_EQ(decoder.LastReadAudioBytes(), 0u);
  EXPECT_EQ(decoder.CarryLength(), 0u);
}

TEST_F(Mp3DecoderTest, LengthIsTheStreamDuration) {
  Mp3Decoder decoder;
  ASSERT_TRUE(decoder.Open(path));
  // A constant-rate stream without a header frame: its bytes at 128 kbit/s.
  const int expected = static_cast<int>(fileBytes.size() * 8 / 128 / 10);
  EXPECT_EQ(decoder.Length(), expected);
  EXPECT_NEAR(decoder.Length(), 2000 + 5, 5);  // 20 s of signal and the encoder's delay
  size_t audioBytes = 0;
  ReadToEnd(decoder, audioBytes);
  EXPECT_EQ(decoder.Length(), expected);
  // A variable-rate stream: the frame count of its header frame.
  const auto vbr = Encode(testing::MusicLike(44100, 12.0, 2, 9), Mp3Mode::kJointStereo, 44100, 4);
  const std::string vbrPath = Write("vbr.mp3", vbr);
  const auto vbrFrames = media::DecodeThroughFramework(vbr).frames.size();
  ASSERT_TRUE(decoder.Open(vbrPath)) << decoder.LastError();
  // The header frame itself decodes as one frame of silence and is not counted.
  EXPECT_EQ(decoder.Length(), static_cast<int>((vbrFrames - 1) * 1152 * 1000 / 44100 / 10));
}

// The sample of `reference` (block-aligned bytes) where `bytes` begin, or -1.
long FindSample(const std::vector<uint8_t>& reference, const uint8_t* bytes, size_t count,
                size_t blockAlign) {
  for (size_t at = 0; at + count <= reference.size(); at += blockAlign) {
    if (std::equal(bytes, bytes + count, reference.begin() + static_cast<long>(at))) {
      return static_cast<long>(at / blockAlign);
    }
  }
  return -1;
}

// After Seek(t) the play time is t, the carry holds the rest of the frame that contains t (a
// whole number of sample frames), and reading continues with exactly the samples of
// continuous decoding from t on: no silence, no lost frame, no frame boundary rounding. The
// play time the carry is cut by has hundredths only, so the first sample read is within
// about half a hundredth of t.
TEST_F(Mp3DecoderTest, SeekStartsReadingAtTheRequestedTime) {
  Mp3Decoder decoder;
  ASSERT_TRUE(decoder.Open(path));
  std::vector<uint8_t> out(16 * 4608);
  for (const int t : {1234, 500, 777, 1500, 3, 250}) {
    SCOPED_TRACE(t);
    decoder.Seek(t);
    EXPECT_EQ(decoder.Position(), t);
    EXPECT_LE(decoder.CarryLength(), 4608u);
    EXPECT_EQ(decoder.CarryLength() % 4, 0u);
    ASSERT_EQ(decoder.Read(out.data(), static_cast<uint32_t>(out.size())), DecoderBase::kOk);
    const long firstSample = FindSample(referenceBytes, out.data(), out.size(), 4);
    ASSERT_GE(firstSample, 0) << "the bytes read after the seek are not continuous audio";
    const long wanted = std::lround(t * 441.0);
    std::printf("Seek(%d): carry %u bytes, first sample read %ld, %+ld samples from %ld\n", t,
                decoder.CarryLength(), firstSample, firstSample - wanted, wanted);
    EXPECT_LE(std::abs(firstSample - wanted), 441 * 3 / 4);
    // 16 frames read: 41.8 hundredths later.
    EXPECT_NEAR(decoder.Position(), t + 42, 1);
  }
}

// In an 11025 Hz stereo stream a hundredth of a second is 441 bytes, an odd number: the carry
// kept after a seek (1.5 and 2.5 hundredths: 661 and 1102 bytes) is rounded down to whole
// sample frames (660, 1100),
// never to a half frame that would swap left and right. In a variable-rate stream the seek
// table and the play time disagree by a few hundredths, which gives carries of that size.
TEST_F(Mp3DecoderTest, SeekCarryKeepsWholeSampleFrames) {
  const auto bytes = Encode(testing::MusicLike(11025, 12.0, 2, 3), Mp3Mode::kStereo, 11025, 2);
  ASSERT_FALSE(bytes.empty());
  const std::string file = Write("low.mp3", bytes);
  const auto expected = ExpectedBytes(media::DecodeThroughFramework(bytes), 2);
  Mp3Decoder decoder;
  ASSERT_TRUE(decoder.Open(file));
  ASSERT_EQ(decoder.FrameBytes(), 2304);  // 576 samples
  ASSERT_EQ(decoder.Format().avgBytesPerSec, 44100u);
  constexpr uint32_t kSettled = 4 * 2304;  // frames after the carry decoded without history
  std::set<uint32_t> carries;
  std::vector<uint8_t> out(10 * 2304);
  for (int t = 100; t < 1150; t += 3) {
    SCOPED_TRACE(t);
    decoder.Seek(t);
    EXPECT_EQ(decoder.Position(), t);
    const uint32_t carry = decoder.CarryLength();
    EXPECT_EQ(carry % 4, 0u);
    ASSERT_LE(carry, 2304u);
    carries.insert(carry);
    // The frames behind the carry follow it whole: from the fifth on they equal the reference.
    decoder.Read(out.data(), static_cast<uint32_t>(out.size()));
    const long f = FindFrame(expected, out.data() + carry + kSettled, 2304);
    ASSERT_GE(f, 0);
    const size_t compared = out.size() - carry - kSettled;
    EXPECT_TRUE(std::equal(out.begin() + carry + kSettled, out.end(), expected.begin() + f * 2304))
        << compared;
  }
  EXPECT_EQ(carries.count(660), 1u);
  EXPECT_EQ(carries.count(1100), 1u);
}

TEST_F(Mp3DecoderTest, SeekToTheStartAndBeyondTheEnd) {
  Mp3Decoder decoder;
  ASSERT_TRUE(decoder.Open(path));
  std::vector<uint8_t> block(kBlock, 0x55);
  decoder.Seek(decoder.Length() + 100);
  EXPECT_EQ(decoder.Read(block.data(), kBlock), DecoderBase::kEndOfStream);
  EXPECT_TRUE(AllZero(block.data(), kBlock));
  EXPECT_EQ(decoder.LastReadAudioBytes(), 0u);
  decoder.Seek(0);
  EXPECT_EQ(decoder.Position(), 0);
  EXPECT_EQ(decoder.CarryLength(), 0u);
  ASSERT_EQ(decoder.Read(block.data(), kBlock), DecoderBase::kOk);
  EXPECT_TRUE(std::equal(block.begin(), block.end(), referenceBytes.begin()));
}

// A stream made of a stereo file followed by a mono file (and the other way round) stays in
// the first frame's channel count: mono frames are copied to both sides, stereo frames are
// averaged; every frame contributes exactly its own samples.
TEST_F(Mp3DecoderTest, StreamsSwitchingBetweenMonoAndStereoKeepTheFirstFramesChannels) {
  const auto stereo = Encode(testing::MusicLike(44100, 4.0, 2, 11), Mp3Mode::kStereo);
  const auto mono = Encode(testing::MusicLike(44100, 4.0, 1, 12), Mp3Mode::kMono);
  ASSERT_FALSE(stereo.empty());
  ASSERT_FALSE(mono.empty());
  const struct {
    const char* name;
    std::vector<uint8_t> bytes;
    int channels;
  } cases[] = {{"stereo-mono.mp3", Concatenated(stereo, mono), 2},
               {"mono-stereo.mp3", Concatenated(mono, stereo), 1}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const auto decoding = media::DecodeThroughFramework(c.bytes);
    size_t monoFrames = 0;
    size_t samples = 0;
    for (const auto& frame : decoding.frames) {
      monoFrames += frame.channels == 1 ? 1 : 0;
      samples += static_cast<size_t>(frame.samples);
    }
    ASSERT_GT(monoFrames, 100u);  // both kinds are really in the stream
    ASSERT_GT(decoding.frames.size() - monoFrames, 100u);
    Mp3Decoder decoder;
    ASSERT_TRUE(decoder.Open(Write(c.name, c.bytes))) << decoder.LastError();
    EXPECT_EQ(decoder.Channels(), c.channels);
    EXPECT_EQ(decoder.Format().channels, c.channels);
    size_t audioBytes = 0;
    const auto all = ReadToEnd(decoder, audioBytes);
    ASSERT_EQ(audioBytes, samples * static_cast<size_t>(c.channels) * 2);
    const auto expected = ExpectedBytes(decoding, c.channels);
    EXPECT_TRUE(std::equal(expected.begin(), expected.end(), all.begin()));
  }
  // The mono half of the stereo-first stream is the same on both sides.
  Mp3Decoder decoder;
  ASSERT_TRUE(decoder.Open(dir.File("stereo-mono.mp3")));
  size_t audioBytes = 0;
  const auto all = ReadToEnd(decoder, audioBytes);
  const auto samples = testing::SamplesFromBytes(all.data(), audioBytes);
  const size_t monoStart = samples.size() / 2 + 44100;  // well inside the second file
  size_t differing = 0;
  for (size_t i = monoStart; i + 1 < samples.size(); i += 2)
    differing += samples[i] != samples[i + 1];
  EXPECT_EQ(differing, 0u);
}

// A stream whose sample rate and frame size change (MPEG-1 frames of 1152 samples next to
// MPEG-2 frames of 576) keeps the first frame's format and delivers each frame's own samples:
// a frame larger than the first one does not overrun, a smaller one adds no stale bytes.
TEST_F(Mp3DecoderTest, FramesOfAnotherSizeAddExactlyTheirOwnSamples) {
  const auto large = Encode(testing::MusicLike(44100, 3.0, 2, 21), Mp3Mode::kStereo);
  const auto small = Encode(testing::MusicLike(22050, 3.0, 2, 22), Mp3Mode::kStereo, 22050);
  ASSERT_FALSE(large.empty());
  ASSERT_FALSE(small.empty());
  const struct {
    const char* name;
    std::vector<uint8_t> bytes;
    uint32_t rateHz;
    int frameBytes;
  } cases[] = {{"large-small.mp3", Concatenated(large, small), 44100, 4608},
               {"small-large.mp3", Concatenated(small, large), 22050, 2304}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const auto decoding = media::DecodeThroughFramework(c.bytes);
    std::set<int> sizes;
    size_t samples = 0;
    for (const auto& frame : decoding.frames) {
      sizes.insert(frame.samples);
      samples += static_cast<size_t>(frame.samples);
    }
    ASSERT_EQ(sizes, (std::set<int>{576, 1152}));
    Mp3Decoder decoder;
    ASSERT_TRUE(decoder.Open(Write(c.name, c.bytes))) << decoder.LastError();
    EXPECT_EQ(decoder.Format().samplesPerSec, c.rateHz);
    EXPECT_EQ(decoder.FrameBytes(), c.frameBytes);
    size_t audioBytes = 0;
    const auto all = ReadToEnd(decoder, audioBytes);
    ASSERT_EQ(audioBytes, samples * 4);
    const auto expected = ExpectedBytes(decoding, 2);
    EXPECT_TRUE(std::equal(expected.begin(), expected.end(), all.begin()));
  }
}

TEST_F(Mp3DecoderTest, FilesWithoutMpegAudioFailToOpenWithAReason) {
  const std::string text = dir.File("notes.mp3");
  testing::WriteBytes(text, "These are the liner notes, not audio.\n" + std::string(5000, 'x'));
  const std::string empty = dir.File("empty.mp3");
  testing::WriteBytes(empty, "");
  const struct {
    std::string path, reason;
  } cases[] = {{dir.File("missing.mp3"), "cannot open"},
               {dir.Path().string(), "is a folder, not a regular file"},
               {text, "no MPEG audio"},
               {empty, "no MPEG audio"}};
  Mp3Decoder decoder;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path);
    EXPECT_FALSE(decoder.Open(c.path));
    const std::string& error = decoder.LastError();
    std::printf("%s\n", error.c_str());
    EXPECT_NE(error.find(c.reason), std::string::npos) << error;
    EXPECT_NE(error.find(c.path), std::string::npos) << error;
    EXPECT_EQ(error.find('\n'), std::string::npos);
    // Closed: nothing to read, no position, no length.
    std::vector<uint8_t> block(4096, 0x55);
    EXPECT_EQ(decoder.Read(block.data(), 4096), DecoderBase::kEndOfStream);
    EXPECT_TRUE(AllZero(block.data(), block.size()));
    EXPECT_EQ(decoder.Position(), 0);
    EXPECT_EQ(decoder.Length(), 0);
    decoder.Seek(100);
  }
  // The same object opens a good file afterwards.
  ASSERT_TRUE(decoder.Open(path)) << decoder.LastError();
  EXPECT_TRUE(decoder.LastError().empty());
  std::vector<uint8_t> block(kBlock);
  ASSERT_EQ(decoder.Read(block.data(), kBlock), DecoderBase::kOk);
  EXPECT_TRUE(std::equal(block.begin(), block.end(), referenceBytes.begin()));
}

TEST_F(Mp3DecoderTest, ReopeningReplacesTheSongAndCloseIsRepeatable) {
  const auto mono = Encode(testing::MusicLike(22050, 2.0, 1, 4), Mp3Mode::kMono, 22050);
  const std::string monoPath = Write("mono.mp3", mono);
  Mp3Decoder decoder;
  ASSERT_TRUE(decoder.Open(path));
  std::vector<uint8_t> block(kBlock);
  decoder.Read(block.data(), kBlock);
  ASSERT_TRUE(decoder.Open(monoPath)) << decoder.LastError();
  EXPECT_EQ(decoder.Format().channels, 1);
  EXPECT_EQ(decoder.Format().samplesPerSec, 22050u);
  EXPECT_EQ(decoder.FrameBytes(), 1152);  // 576 samples, one channel
  EXPECT_EQ(decoder.Position(), 0);
  EXPECT_EQ(decoder.CarryLength(), 0u);
  ASSERT_EQ(decoder.Read(block.data(), kBlock), DecoderBase::kOk);
  const auto expected = ExpectedBytes(media::DecodeThroughFramework(mono), 1);
  EXPECT_TRUE(std::equal(block.begin(), block.end(), expected.begin()));
  decoder.Close();
  decoder.Close();
  EXPECT_EQ(decoder.Read(block.data(), kBlock), DecoderBase::kEndOfStream);
  EXPECT_EQ(decoder.Length(), 0);
}

}  // namespace
}  // namespace veltro::engine
