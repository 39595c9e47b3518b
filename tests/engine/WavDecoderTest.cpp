// WavDecoder against WAV images built byte by byte: data placement, length, seeking, end of
// stream, and the handling of unusual or hostile layouts.
#include <gtest/gtest.h>

#include <cstring>

#include "engine/WavDecoder.h"
#include "platform/ByteSource.h"
#include "support/Fixtures.h"
#include "support/TempDir.h"

// Layouts are written with designated initializers that name only the fields a case changes;
// the other fields keep their defaults on purpose.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

namespace veltro::engine {
namespace {

using testing::MakeWav;
using testing::Pcm16Bytes;
using testing::WavLayout;

// Opens an in-memory image; the image must outlive the decoder's use of it.
bool OpenImage(WavDecoder& decoder, const std::string& image) {
  return decoder.OpenSource(std::make_unique<platform::MemoryByteSource>(
      reinterpret_cast<const uint8_t*>(image.data()), image.size()));
}

std::string Ramp(size_t bytes) {
  std::string out(bytes, '\0');
  for (size_t i = 0; i < bytes; ++i) out[i] = static_cast<char>(1 + i * 7 % 251);
  return out;
}

std::string ReadString(WavDecoder& decoder, uint32_t bytes, int* status = nullptr) {
  std::string out(bytes, '\x55');
  const int result = decoder.Read(reinterpret_cast<uint8_t*>(out.data()), bytes);
  if (status != nullptr) *status = result;
  return out;
}

TEST(WavDecoder, OpensFileAndReadsDataFromTheFirstSample) {
  testing::TempDir dir;
  const std::string data = Ramp(4000);
  const std::string path = dir.File("a.wav");
  testing::WriteBytes(path, MakeWav({}, data));
  WavDecoder decoder;
  ASSERT_TRUE(decoder.Open(path)) << decoder.LastError();
  const WaveFormat format = decoder.Format();
  EXPECT_EQ(format.formatTag, 1);
  EXPECT_EQ(format.channels, 2);
  EXPECT_EQ(format.samplesPerSec, 44100u);
  EXPECT_EQ(format.bitsPerSample, 16);
  EXPECT_EQ(ReadString(decoder, 1000), data.substr(0, 1000));
  decoder.Seek(0);  // back to the first sample, not to the RIFF header
  EXPECT_EQ(decoder.Position(), 0);
  EXPECT_EQ(ReadString(decoder, 4000), data);
}

TEST(WavDecoder, LengthIsWholeSecondsOfTheDataChunk) {
  WavDecoder decoder;
  const std::string image = MakeWav({.channels = 1, .rateHz = 8000}, std::string(168000, '\0'));
  ASSERT_TRUE(OpenImage(decoder, image));  // 10.5 s of 16-bit mono at 8 kHz
  EXPECT_EQ(decoder.Length(), 1000);
}

TEST(WavDecoder, EndOfStreamPadsWithSilenceThenStaysSilent) {
  WavDecoder decoder;
  const std::string data = Ramp(1000);
  const std::string image = MakeWav({}, data);
  ASSERT_TRUE(OpenImage(decoder, image));
  int status = -1;
  const std::string first = ReadString(decoder, 1600, &status);
  EXPECT_EQ(status, DecoderBase::kEndOfStream);
  EXPECT_EQ(first.substr(0, 1000), data);
  EXPECT_EQ(first.substr(1000), std::string(600, '\0'));
  EXPECT_EQ(decoder.LastReadAudioBytes(), 1000u);
  EXPECT_EQ(ReadString(decoder, 800, &status), std::string(800, '\0'));
  EXPECT_EQ(status, DecoderBase::kEndOfStream);
  EXPECT_EQ(decoder.LastReadAudioBytes(), 0u);
}

TEST(WavDecoder, ReadsStopAtTheEndOfTheDataChunk) {
  WavDecoder decoder;
  const std::string data = Ramp(800);
  const std::string image = MakeWav({.trailingChunk = testing::LoudListChunk(2000)}, data);
  ASSERT_TRUE(OpenImage(decoder, image));
  int status = -1;
  const std::string got = ReadString(decoder, 4000, &status);
  EXPECT_EQ(status, DecoderBase::kEndOfStream);
  EXPECT_EQ(got.substr(0, 800), data);
  EXPECT_EQ(got.substr(800), std::string(3200, '\0'));  // the LIST chunk is not played
}

TEST(WavDecoder, TruncatedDataChunkIsClampedToTheBytesPresent) {
  WavDecoder decoder;
  const std::string data = Ramp(1002);  // also ends inside a stereo frame
  const std::string image = MakeWav({.declaredDataBytes = 10000000}, data);
  ASSERT_TRUE(OpenImage(decoder, image));
  EXPECT_EQ(decoder.DataBytes(), 1000u);
  int status = -1;
  const std::string got = ReadString(decoder, 2000, &status);
  EXPECT_EQ(status, DecoderBase::kEndOfStream);
  EXPECT_EQ(got.substr(0, 1000), data.substr(0, 1000));
  EXPECT_EQ(got.substr(1000), std::string(1000, '\0'));
}

TEST(WavDecoder, SeekRoundsDownToAWholeFrameAndClampsToTheData) {
  WavDecoder decoder;
  const std::string data = Ramp(88200);
  // 11025 Hz stereo 16-bit: 1/100 s is 441 bytes, which lies inside a 4-byte frame.
  const std::string image = MakeWav({.rateHz = 11025}, data);
  ASSERT_TRUE(OpenImage(decoder, image));
  decoder.Seek(1);
  EXPECT_EQ(ReadString(decoder, 8), data.substr(440, 8));
  decoder.Seek(3);
  EXPECT_EQ(ReadString(decoder, 8), data.substr(1320, 8));
  decoder.Seek(100);
  EXPECT_EQ(decoder.Position(), 100);
  EXPECT_EQ(ReadString(decoder, 8), data.substr(44100, 8));
  decoder.Seek(100000);
  int status = -1;
  EXPECT_EQ(ReadString(decoder, 16, &status), std::string(16, '\0'));
  EXPECT_EQ(status, DecoderBase::kEndOfStream);
  decoder.Seek(-5);
  EXPECT_EQ(ReadString(decoder, 8), data.substr(0, 8));
}

TEST(WavDecoder, AcceptsLongFmtChunksAndExtensiblePcm) {
  const std::string data = Ramp(400);
  for (const WavLayout& layout :
       {WavLayout{.fmtExtraBytes = 9}, WavLayout{.extensible = true},
        WavLayout{.channels = 1, .extensible = true, .fmtExtraBytes = 4}}) {
    WavDecoder decoder;
    const std::string image = MakeWav(layout, data);
    ASSERT_TRUE(OpenImage(decoder, image)) << decoder.LastError();
    EXPECT_EQ(decoder.Format().formatTag, 1);
    EXPECT_EQ(decoder.Format().channels, layout.channels);
    EXPECT_EQ(ReadString(decoder, 400), data);
  }
}

TEST(WavDecoder, RefusesUnsupportedFormatsWithAReason) {
  const struct {
    WavLayout layout;
    const char* reason;
  } cases[] = {
      {{.bits = 24}, "24-bit samples"},
      {{.bits = 32}, "32-bit samples"},
      {{.formatTag = 3, .bits = 32}, "IEEE float"},
      {{.bits = 32, .extensible = true, .subFormatTag = 3}, "IEEE float"},
      {{.formatTag = 0x55}, "compressed"},
      {{.channels = 6}, "6 channels"},
      {{.channels = 0}, "0 channels"},
      {{.rateHz = 0}, "sample rate 0"},
      {{.fmtChunkSize = 14}, "\"fmt \" chunk of 14 bytes"},
  };
  for (const auto& c : cases) {
    WavDecoder decoder;
    const std::string image = MakeWav(c.layout, Ramp(600));
    EXPECT_FALSE(OpenImage(decoder, image)) << c.reason;
    EXPECT_NE(decoder.LastError().find(c.reason), std::string::npos)
        << decoder.LastError() << " / expected " << c.reason;
    uint8_t buffer[4];
    EXPECT_EQ(decoder.Read(buffer, 4), DecoderBase::kEndOfStream);  // closed: silence only
  }
}

TEST(WavDecoder, RefusesFilesThatAreNotWav) {
  WavDecoder decoder;
  EXPECT_FALSE(decoder.Open("/nonexistent/dir/song.wav"));
  EXPECT_NE(decoder.LastError().find("cannot open"), std::string::npos);
  const std::string garbage(1000, 'x');
  EXPECT_FALSE(OpenImage(decoder, garbage));
  EXPECT_NE(decoder.LastError().find("not a WAV"), std::string::npos);
  std::string noData = MakeWav({}, "");
  noData.replace(noData.find("data"), 4, "junk");
  EXPECT_FALSE(OpenImage(decoder, noData));
  EXPECT_NE(decoder.LastError().find("no \"data\""), std::string::npos);
}

TEST(WavDecoder, CorrectsInconsistentBlockAlignAndByteRate) {
  WavDecoder decoder;
  const std::string image =
      MakeWav({.rateHz = 8000, .blockAlign = 3, .avgBytesPerSec = 5}, std::string(64000, '\0'));
  ASSERT_TRUE(OpenImage(decoder, image)) << decoder.LastError();
  EXPECT_EQ(decoder.Format().blockAlign, 4);
  EXPECT_EQ(decoder.Format().avgBytesPerSec, 32000u);
  EXPECT_EQ(decoder.Length(), 200);
}

TEST(WavDecoder, WidensEightBitSamplesToSixteen) {
  WavDecoder decoder;
  const std::string data = {'\x00', '\x80', '\xFF', '\x7F', '\x01', '\x90'};
  const std::string image = MakeWav({.rateHz = 8000, .bits = 8}, data);
  ASSERT_TRUE(OpenImage(decoder, image));
  const WaveFormat format = decoder.Format();
  EXPECT_EQ(format.bitsPerSample, 16);
  EXPECT_EQ(format.blockAlign, 4);
  EXPECT_EQ(format.avgBytesPerSec, 32000u);
  uint8_t out[16];
  std::memset(out, 0x55, sizeof out);
  EXPECT_EQ(decoder.Read(out, 16), DecoderBase::kEndOfStream);
  const auto samples = testing::SamplesFromBytes(out, 16);
  const std::vector<int16_t> expected = {-32768, 0, 32512, -256, -32512, 4096, 0, 0};
  EXPECT_EQ(samples, expected);
  EXPECT_EQ(decoder.LastReadAudioBytes(), 12u);
  decoder.Seek(0);
  uint8_t two[8];
  EXPECT_EQ(decoder.Read(two, 8), DecoderBase::kOk);
  EXPECT_EQ(samples[0], static_cast<int16_t>(two[0] | two[1] << 8));
}

}  // namespace
}  // namespace veltro::engine
