// The canonical WAVE header, read back through the RIFF reader: every field where a reader
// looks for it, and the sizes of more than 4 GiB of samples stopped at a whole sample frame.
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <vector>

#include "platform/ByteOrder.h"
#include "platform/ByteSource.h"
#include "platform/RiffReader.h"
#include "platform/WaveHeader.h"

namespace veltro::platform {
namespace {

constexpr uint64_t kFourGiB = uint64_t{1} << 32;

struct ReadBack {
  RiffChunk riff;
  RiffChunk fmt;
  RiffChunk data;
  WaveFormat format;
};

// Descends the header (followed by `presentBytes` bytes of samples) the way a WAVE reader does.
ReadBack Parse(const WaveHeaderBytes& header, size_t presentBytes) {
  std::vector<uint8_t> file(header.begin(), header.end());
  file.resize(file.size() + presentBytes, 0x5A);
  MemoryByteSource source(file.data(), file.size());
  RiffReader reader(source);
  ReadBack out{};
  EXPECT_TRUE(reader.DescendRiff(FourCC('W', 'A', 'V', 'E'), out.riff));
  const uint64_t firstSubChunk = reader.Tell();
  EXPECT_TRUE(reader.Descend(out.riff, FourCC('f', 'm', 't', ' '), out.fmt));
  uint8_t raw[16] = {};
  EXPECT_EQ(reader.Read(raw, sizeof raw), sizeof raw);
  out.format.formatTag = LoadLittleEndian16(raw);
  out.format.channels = LoadLittleEndian16(raw + 2);
  out.format.samplesPerSec = LoadLittleEndian32(raw + 4);
  out.format.avgBytesPerSec = LoadLittleEndian32(raw + 8);
  out.format.blockAlign = LoadLittleEndian16(raw + 12);
  out.format.bitsPerSample = LoadLittleEndian16(raw + 14);
  EXPECT_TRUE(reader.Seek(firstSubChunk));
  EXPECT_TRUE(reader.Descend(out.riff, FourCC('d', 'a', 't', 'a'), out.data));
  return out;
}

TEST(WaveHeader, ReadsBackAsTheFormatAndTheSamplesThatFollow) {
  const struct {
    WaveFormat format;
    uint32_t dataBytes;
  } cases[] = {
      {MakePcmFormat(44100, 2, 16), 1000},
      {MakePcmFormat(22050, 1, 16), 0},
      {MakePcmFormat(8000, 1, 8), 7},
      {MakePcmFormat(48000, 2, 16), 4},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.format.samplesPerSec << " Hz " << c.format.channels
                                      << " channels, " << c.dataBytes << " bytes");
    const ReadBack back = Parse(MakeWaveHeader(c.format, c.dataBytes), c.dataBytes);
    EXPECT_EQ(back.riff.declaredSize, kWaveHeaderBytes - 8 + c.dataBytes);
    EXPECT_EQ(back.fmt.declaredSize, 16u);
    EXPECT_EQ(back.format.formatTag, kWaveFormatPcm);
    EXPECT_EQ(back.format.channels, c.format.channels);
    EXPECT_EQ(back.format.samplesPerSec, c.format.samplesPerSec);
    EXPECT_EQ(back.format.avgBytesPerSec, c.format.avgBytesPerSec);
    EXPECT_EQ(back.format.blockAlign, c.format.blockAlign);
    EXPECT_EQ(back.format.bitsPerSample, c.format.bitsPerSample);
    EXPECT_EQ(back.data.dataOffset, kWaveHeaderBytes);  // the samples follow at once
    EXPECT_EQ(back.data.declaredSize, c.dataBytes);
    EXPECT_EQ(back.data.size, c.dataBytes);
  }
}

TEST(WaveHeader, SizesBeyondFourGiBStopAtTheLastWholeFrame) {
  constexpr uint32_t kMax = std::numeric_limits<uint32_t>::max();
  const struct {
    uint16_t channels;
    uint16_t bits;
    uint64_t dataBytes;
    uint32_t expectedData;
  } cases[] = {
      // The largest size that keeps the RIFF size within 32 bits, rounded down to whole frames.
      {2, 16, 5 * kFourGiB, kMax - 36 - 3},
      {1, 16, kFourGiB, kMax - 36 - 1},
      {1, 8, kFourGiB, kMax - 36},
      {2, 16, kMax - 36 - 3, kMax - 36 - 3},  // exactly the largest: kept as it is
      {2, 16, kMax - 36 - 2, kMax - 36 - 3},  // one byte past it: saturated
      {0, 16, kFourGiB, kMax - 36},           // no frame size: saturates at whole bytes
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message()
                 << c.channels << " x " << c.bits << " bits, " << c.dataBytes << " bytes");
    const ReadBack back =
        Parse(MakeWaveHeader(MakePcmFormat(44100, c.channels, c.bits), c.dataBytes), 0);
    EXPECT_EQ(back.data.declaredSize, c.expectedData);
    EXPECT_EQ(back.riff.declaredSize, c.expectedData + 36);
    if (c.channels > 0) {
      EXPECT_EQ(back.data.declaredSize % (c.channels * c.bits / 8), 0u);
    }
  }
}

}  // namespace
}  // namespace veltro::platform
