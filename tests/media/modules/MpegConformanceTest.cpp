// Conformance: every compliance bitstream, decoded through the media framework (MPEG codec
// module, memory input, mf_decode) as the decks decode it, matches its reference decoding
// (PSNR >= 96 dB and no sample off by more than 1 over the common length) and gives exactly the
// samples of MpegFrameDecoder alone; every damaged or non-standard stream decodes to its end
// without a fault.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "media/framework/MediaFramework.h"
#include "media/modules/FrameworkDecoding.h"
#include "media/mpeg/MpegFrameDecoder.h"
#include "media/mpeg/MpegTestData.h"

namespace veltro::media {
namespace {

class MpegConformanceTest : public ::testing::TestWithParam<std::string> {};

// Samples (all channels) of the first `frames` frames of a decoding.
size_t LeadingSamples(const FrameworkDecoding& decoded, size_t frames) {
  size_t samples = 0;
  for (size_t f = 0; f < frames; ++f) {
    samples += static_cast<size_t>(decoded.frames[f].samples * decoded.frames[f].channels);
  }
  return samples;
}

// A stream cut out of a longer one starts with frames whose main data is missing: they decode
// as silence here, while a reference decoder may have dropped them. Up to two such leading
// silent frames are lined up with the reference in the way that matches it best.
struct Alignment {
  size_t droppedFrames = 0;
  std::vector<int16_t> pcm;
  PcmComparison comparison;
};

Alignment AlignWithReference(const FrameworkDecoding& decoded,
                             const std::vector<int16_t>& reference) {
  Alignment best;
  best.pcm = decoded.pcm;
  best.comparison = ComparePcm(decoded.pcm, reference);
  for (size_t dropped = 1; dropped <= 2 && dropped < decoded.frames.size(); ++dropped) {
    const size_t skip = LeadingSamples(decoded, dropped);
    const auto first = decoded.pcm.begin();
    if (!std::all_of(first, first + static_cast<std::ptrdiff_t>(skip),
                     [](int16_t s) { return s == 0; })) {
      break;
    }
    std::vector<int16_t> pcm(first + static_cast<std::ptrdiff_t>(skip), decoded.pcm.end());
    const PcmComparison comparison = ComparePcm(pcm, reference);
    if (comparison.psnrDb > best.comparison.psnrDb) best = {dropped, std::move(pcm), comparison};
  }
  return best;
}

// The framework adds nothing and loses nothing: the same frames and samples as the frame decoder
// working on the bytes by itself.
void ExpectSameAsFrameDecoder(const FrameworkDecoding& framework,
                              const std::vector<uint8_t>& bytes) {
  const DecodedStream direct = DecodeBytes(bytes);
  ASSERT_EQ(framework.frames.size(), direct.frames.size());
  for (size_t f = 0; f < direct.frames.size(); ++f) {
    ASSERT_EQ(framework.frames[f].samples, direct.frames[f].samples) << "frame " << f;
    ASSERT_EQ(framework.frames[f].channels, direct.frames[f].channels) << "frame " << f;
    ASSERT_EQ(framework.frames[f].sampleRateHz, direct.frames[f].sampleRate) << "frame " << f;
  }
  EXPECT_TRUE(framework.pcm == direct.pcm);
}

TEST_P(MpegConformanceTest, MatchesReferenceDecoding) {
  const std::string& name = GetParam();
  const std::vector<uint8_t> bytes =
      ReadFileBytes(MpegTestDataPath("conformance/" + name + ".bit"));
  const std::vector<int16_t> reference =
      ReadPcmFile(MpegTestDataPath("conformance/" + name + ".pcm"));
  ASSERT_FALSE(bytes.empty());
  ASSERT_FALSE(reference.empty());
  const FrameworkDecoding decoded = DecodeThroughFramework(bytes);
  ASSERT_EQ(decoded.setupResult, kMfOk);
  EXPECT_EQ(decoded.endCode, kMfEndOfStream);
  EXPECT_EQ(decoded.decodeErrors, 0);
  ASSERT_FALSE(decoded.frames.empty());
  const Alignment aligned = AlignWithReference(decoded, reference);
  const PcmComparison& comparison = aligned.comparison;
  std::printf("%-20s frames %4zu (-%zu)  samples %7zu / %7zu  PSNR %7.2f dB  max diff %d\n",
              name.c_str(), decoded.frames.size(), aligned.droppedFrames, aligned.pcm.size(),
              reference.size(), comparison.psnrDb, comparison.maxDifference);
  // The reference covers the whole decoding, or stops at most two frames short of it (the
  // Layer I and II references run on past the end of their streams).
  const size_t frameSamples = static_cast<size_t>(decoded.frames[0].samples * 2);
  EXPECT_GE(comparison.comparedSamples + 2 * frameSamples, aligned.pcm.size());
  EXPECT_GE(comparison.psnrDb, 96.0);
  EXPECT_LE(comparison.maxDifference, 1);
  ExpectSameAsFrameDecoder(decoded, bytes);
}

INSTANTIATE_TEST_SUITE_P(Streams, MpegConformanceTest, ::testing::ValuesIn(ConformanceStreams()),
                         [](const ::testing::TestParamInfo<std::string>& stream) {
                           std::string name = stream.param;
                           for (char& c : name) {
                             if (c == '-') c = '_';
                           }
                           return name;
                         });

// Illegal values, multichannel extensions, broken VBR headers, tags without audio, truncation:
// each file is decoded to its end, every call moving forward, every channel setting.
TEST(MpegRobustnessTest, EveryDamagedStreamDecodesToItsEnd) {
  const std::filesystem::path folder = MpegTestDataPath("robustness");
  size_t files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    const std::vector<uint8_t> bytes = ReadFileBytes(entry.path().string());
    SCOPED_TRACE(entry.path().filename().string());
    for (int setting = 0; setting < 3; ++setting) {
      const DecodedStream decoded = DecodeBytes(bytes, setting, setting);
      EXPECT_TRUE(decoded.madeProgress);
      EXPECT_EQ(decoded.endCode, kMpegEndOfStream);
      for (const MpegDecodedFrame& frame : decoded.frames) {
        ASSERT_LE(frame.samples * frame.channels, kMpegMaxFrameSamples);
      }
    }
    ++files;
  }
  EXPECT_GT(files, 40u);
}

}  // namespace
}  // namespace veltro::media
