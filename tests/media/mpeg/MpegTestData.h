// Helpers of the MPEG audio tests: the conformance streams and their reference PCM, a byte
// source over memory (with an optional failing read), whole-stream decoding by the frame decoder
// and the PSNR / largest-difference comparison used by decoders' conformance tests. Decoding
// through the media framework is in media/modules/FrameworkDecoding.h.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <limits>
#include <string>
#include <vector>

#include "media/mpeg/MpegFrameDecoder.h"

namespace veltro::media {

// Root of the shared test data (environment VELTRO_TESTDATA), with the MPEG folder below it.
inline std::string MpegTestDataPath(const std::string& relative) {
  const char* root = std::getenv("VELTRO_TESTDATA");
  return std::string(root != nullptr ? root : "../shared/testdata") + "/mpeg/" + relative;
}

// The whole file, or nothing when it cannot be read.
inline std::vector<uint8_t> ReadFileBytes(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  if (!file) return {};
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(file), {});
}

// 16-bit little-endian samples of a raw PCM file.
inline std::vector<int16_t> ReadPcmFile(const std::string& path) {
  const std::vector<uint8_t> bytes = ReadFileBytes(path);
  std::vector<int16_t> samples(bytes.size() / 2);
  for (size_t i = 0; i < samples.size(); ++i) {
    samples[i] = static_cast<int16_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8));
  }
  return samples;
}

// The conformance streams (names without extension); each has a .bit and a .pcm.
inline const std::vector<std::string>& ConformanceStreams() {
  static const std::vector<std::string> kStreams = {"l1-fl1",
                                                    "l1-fl2",
                                                    "l1-fl3",
                                                    "l1-fl4",
                                                    "l1-fl5",
                                                    "l1-fl7",
                                                    "l1-fl8",
                                                    "l2-fl10",
                                                    "l2-fl11",
                                                    "l2-fl12",
                                                    "l2-fl14",
                                                    "l2-fl15",
                                                    "l2-fl16",
                                                    "l2-test32",
                                                    "l3-compl",
                                                    "l3-he_32khz",
                                                    "l3-he_44khz",
                                                    "l3-he_48khz",
                                                    "l3-hecommon",
                                                    "l3-si",
                                                    "l3-si_block",
                                                    "l3-sin1k0db",
                                                    "l3-test45",
                                                    "M2L3_noise",
                                                    "M2L3_bitrate_16_all",
                                                    "M2L3_bitrate_22_all",
                                                    "M2L3_compl24"};
  return kStreams;
}

struct PcmComparison {
  size_t comparedSamples = 0;  // the common length
  double psnrDb = 0;           // infinity when identical
  int maxDifference = 0;
};

// PSNR = 10 log10(32767^2 / MSE) over the samples both have.
inline PcmComparison ComparePcm(const std::vector<int16_t>& decoded,
                                const std::vector<int16_t>& reference) {
  PcmComparison result;
  result.comparedSamples = std::min(decoded.size(), reference.size());
  double squares = 0;
  for (size_t i = 0; i < result.comparedSamples; ++i) {
    const int difference = std::abs(int{decoded[i]} - int{reference[i]});
    result.maxDifference = std::max(result.maxDifference, difference);
    squares += static_cast<double>(difference) * difference;
  }
  const double mse =
      result.comparedSamples > 0 ? squares / static_cast<double>(result.comparedSamples) : 0;
  result.psnrDb = mse > 0 ? 10.0 * std::log10(32767.0 * 32767.0 / mse)
                          : std::numeric_limits<double>::infinity();
  return result;
}

// Reads from memory, all or nothing; a read past the end consumes the rest and reports the end
// of the stream, as a file does. One chosen read call can be made to fail without consuming.
class MemoryByteSource : public MpegByteSource {
 public:
  explicit MemoryByteSource(std::vector<uint8_t> bytes) : bytes_(std::move(bytes)) {}

  // Makes read call number `callIndex` (0-based) fail with `code`.
  void FailReadCall(size_t callIndex, int code) {
    failCall_ = callIndex;
    failCode_ = code;
  }
  size_t ReadCalls() const { return readCalls_; }
  size_t Position() const { return position_; }

  int Read(uint8_t* buffer, size_t size) override {
    if (readCalls_++ == failCall_) return failCode_;
    if (size > bytes_.size() - position_) {
      position_ = bytes_.size();
      return kMpegEndOfStream;
    }
    std::memcpy(buffer, bytes_.data() + position_, size);
    position_ += size;
    return 0;
  }

 private:
  std::vector<uint8_t> bytes_;
  size_t position_ = 0;
  size_t readCalls_ = 0;
  size_t failCall_ = std::numeric_limits<size_t>::max();
  int failCode_ = 0;
};

struct DecodedStream {
  std::vector<int16_t> pcm;  // each frame in its own channel count, one after another
  std::vector<MpegDecodedFrame> frames;
  int decodeErrors = 0;      // kMpegDecodeError results
  int sourceErrors = 0;      // other negative results (the call after resumes)
  int endCode = 0;           // the code that ended the decoding
  bool madeProgress = true;  // false when a call neither produced a frame nor consumed a byte
};

// Decodes until the end of the stream (or `maxFrames` frames). Decode errors and source
// errors are counted and decoding goes on, as a player does.
inline DecodedStream DecodeStream(MpegFrameDecoder& decoder, MemoryByteSource& source,
                                  size_t maxFrames = std::numeric_limits<size_t>::max()) {
  DecodedStream result;
  std::vector<int16_t> pcm(kMpegMaxFrameSamples);
  int stalledCalls = 0;
  while (result.frames.size() < maxFrames) {
    const size_t before = source.Position();
    MpegDecodedFrame frame;
    const int rc = decoder.DecodeFrame(source, pcm.data(), frame);
    if (rc == 0) {
      result.frames.push_back(frame);
      result.pcm.insert(result.pcm.end(), pcm.begin(),
                        pcm.begin() + frame.samples * frame.channels);
      continue;
    }
    if (rc == kMpegEndOfStream) {
      result.endCode = rc;
      break;
    }
    rc == kMpegDecodeError ? ++result.decodeErrors : ++result.sourceErrors;
    stalledCalls = source.Position() == before ? stalledCalls + 1 : 0;
    if (stalledCalls > 16) {
      result.madeProgress = false;
      result.endCode = rc;
      break;
    }
  }
  return result;
}

inline DecodedStream DecodeBytes(const std::vector<uint8_t>& bytes, int channelSelection = 0,
                                 int downsampling = 0,
                                 size_t maxFrames = std::numeric_limits<size_t>::max()) {
  MpegFrameDecoder decoder;
  decoder.SetChannelSelection(channelSelection);
  decoder.SetDownsampling(downsampling);
  MemoryByteSource source(bytes);
  return DecodeStream(decoder, source, maxFrames);
}

}  // namespace veltro::media
