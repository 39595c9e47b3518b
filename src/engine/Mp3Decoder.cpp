#include "engine/Mp3Decoder.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "media/modules/FileInputModule.h"
#include "media/modules/MpegAudioCodec.h"
#include "platform/PcmChannels.h"
#include "platform/RegularFile.h"

namespace veltro::engine {

namespace {

// Frames decoded ahead of a seek target, so that the frame holding the target decodes exactly
// as in playback: the bit reservoir (up to 511 bytes of main data, which low-rate frames
// spread over many frames) refills first, then the filters' history.
constexpr int kSeekLeadFrames = 10;
// Bound of the frames decoded to reach a seek target (a coarse seek table may land early).
constexpr int kMaxSeekFrames = 200;
// Failed decode calls in a row after which a stream is taken as ended: a lost frame repeats
// the previous one, but a stream that only fails must neither play forever nor keep Open
// searching for a first frame.
constexpr int kMaxFailuresInARow = 64;
constexpr int kSampleBytes = 2;  // the output is 16-bit
// Samples (all channels) of the codec's largest output for one frame: the buffers hold any frame,
// whatever the first frame's size.
constexpr int kCodecMaxSamples = media::kMpegCodecMaxOutputBytes / kSampleBytes;
constexpr int kMinRateHz = 1000;
constexpr int kMaxRateHz = 200000;

const char* OpenFailureText(int code) {
  switch (code) {
    case media::kMfFileNotFound:
      return "file not found";
    case media::kMfPermissionDenied:
      return "permission denied";
    case media::kMfOpenFailed:
      return "cannot be opened";
    case media::kMfNoInputModule:
      return "no input accepts the name";
    case media::kMfNoCodec:
      return "no codec accepts the stream";
    case media::kMfOutOfMemory:
      return "out of memory";
    default:
      return "open failed";
  }
}

}  // namespace

Mp3Decoder::~Mp3Decoder() {
  Close();
}

bool Mp3Decoder::Fail(const std::string& reason) {
  Close();
  lastError_ = reason;
  return false;
}

bool Mp3Decoder::Open(const std::string& path) {
  Close();
  lastError_.clear();
  if (!IsRegularFile(path)) return false;
  if (!StartFramework(path) || !DecodeFirstFrame(path)) return false;
  // Decoding restarts at the beginning: the frames decoded to learn the format are dropped.
  if (media::mf_input_seek(framework_, 0) != media::kMfOk) {
    return Fail("cannot rewind the MPEG audio stream: " + path);
  }
  carryLength_ = carryTime_ = 0;
  ended_ = false;
  failuresInARow_ = 0;
  lastReadAudioBytes_ = 0;
  return true;
}

// A FIFO or device named like a song is refused before the file input opens it, since that
// open could wait on it for ever.
bool Mp3Decoder::IsRegularFile(const std::string& path) {
  std::string reason;
  std::FILE* checked = platform::OpenRegularFileStream(path, platform::FileAccess::kRead, &reason);
  if (checked == nullptr) return Fail(reason);
  std::fclose(checked);
  return true;
}

bool Mp3Decoder::StartFramework(const std::string& path) {
  if (media::mf_decoder_new(&framework_) != media::kMfOk) {
    framework_ = nullptr;
    return Fail("out of memory opening " + path);
  }
  media::MpegAudioCodecDescriptor(&codecDescriptor_);
  media::FileInputModuleDescriptor(&inputDescriptor_);
  if (media::mf_codec_module_register(framework_, &codecDescriptor_) < 0 ||
      media::mf_input_module_register(framework_, &inputDescriptor_) < 0) {
    return Fail("cannot set up the MPEG audio decoder");
  }
  // The file input reads standard input for the name "-"; a song is always a file.
  const std::string name = path == "-" ? "./-" : path;
  int result = media::mf_input_new(framework_, name.c_str(), -1);
  if (result == media::kMfOk) result = media::mf_input_open(framework_);
  if (result != media::kMfOk) {
    return Fail("cannot open file: " + path + ": " + OpenFailureText(result));
  }
  return true;
}

bool Mp3Decoder::DecodeFirstFrame(const std::string& path) {
  const media::MfOutputBuffer& out = *framework_->outputBuffer;
  for (int failures = 0; failures < kMaxFailuresInARow; ++failures) {
    const int code = media::mf_decode(framework_, nullptr);
    if (code == media::kMfOk && out.sampleCount > 0) return TakeFormat(out, path);
    // A lost frame is skipped; the end of the stream or a read failure ends the search.
    if (code != media::kMfOk && code != media::kMfDecodeError) break;
  }
  return Fail("no MPEG audio found in " + path);
}

bool Mp3Decoder::TakeFormat(const media::MfOutputBuffer& first, const std::string& path) {
  if (first.bytesPerSample != kSampleBytes || first.channels < 1 || first.channels > 2 ||
      first.sampleRateHz < kMinRateHz || first.sampleRateHz > kMaxRateHz) {
    return Fail("unsupported MPEG audio format in " + path);
  }
  if (first.sampleCount * first.channels > kCodecMaxSamples) {
    return Fail("unsupported MPEG audio frame size in " + path);
  }
  channels_ = first.channels;
  format_ = platform::MakePcmFormat(static_cast<uint32_t>(first.sampleRateHz),
                                    static_cast<uint16_t>(channels_), kSampleBytes * 8);
  avgBytesPerSec_ = static_cast<int>(format_.avgBytesPerSec);
  frameBytes_ = first.bytesPerSample * first.sampleCount * channels_;
  frameMs_ = frameBytes_ * 1000 / avgBytesPerSec_;
  // Any frame converted to the output channel count fits: a mono frame of the codec's
  // largest size doubled for stereo output is the worst case.
  const auto frameCapacity =
      static_cast<size_t>(kCodecMaxSamples) * static_cast<size_t>(channels_) * kSampleBytes;
  decoded_.assign(static_cast<size_t>(kCodecMaxSamples), 0);
  frame_.assign(frameCapacity, 0);
  frameLength_ = frameBytes_;  // silence until the first frame is decoded
  carry_.assign(frameCapacity, 0);
  return true;
}

void Mp3Decoder::Close() {
  if (framework_ != nullptr) {
    media::mf_input_close(framework_);
    media::mf_input_delete(framework_);
    media::mf_decoder_delete(framework_);
    framework_ = nullptr;
  }
  channels_ = frameBytes_ = frameMs_ = 0;
  frameLength_ = carryLength_ = carryTime_ = 0;
  ended_ = false;
  failuresInARow_ = 0;
  lastReadAudioBytes_ = 0;
  decoded_.clear();
  decoded_.shrink_to_fit();
  frame_.clear();
  frame_.shrink_to_fit();
  carry_.clear();
  carry_.shrink_to_fit();
}

Mp3Decoder::FrameResult Mp3Decoder::DecodeNextFrame() {
  const int code = media::mf_decode(framework_, decoded_.data());
  if (code == media::kMfEndOfStream) return FrameResult::kEnded;
  if (code == media::kMfOk && ConvertFrame(*framework_->outputBuffer)) {
    failuresInARow_ = 0;
    return FrameResult::kDecoded;
  }
  // A lost or unreadable frame: the previous frame repeats, unless the stream only fails.
  return ++failuresInARow_ < kMaxFailuresInARow ? FrameResult::kRepeated : FrameResult::kEnded;
}

bool Mp3Decoder::ConvertFrame(const media::MfOutputBuffer& out) {
  const int from = out.channels;
  if (out.sampleCount <= 0 || from < 1 || from > 2 ||
      static_cast<size_t>(out.sampleCount) * static_cast<size_t>(from) > decoded_.size()) {
    return false;
  }
  frameLength_ = static_cast<int>(platform::StorePcm16Frames(
      decoded_.data(), static_cast<size_t>(out.sampleCount), from, channels_, frame_.data()));
  return true;
}

std::span<const uint8_t> Mp3Decoder::NextBlock() {
  if (DecodeNextFrame() == FrameResult::kEnded) return {};
  return {frame_.data(), static_cast<size_t>(frameLength_)};
}

int Mp3Decoder::Read(uint8_t* buffer, uint32_t bytes) {
  lastReadAudioBytes_ = 0;
  if (framework_ == nullptr) {
    std::memset(buffer, 0, bytes);
    return kEndOfStream;
  }
  const uint32_t filled = FillFromBlocks(buffer, bytes);
  std::memset(buffer + filled, 0, bytes - filled);  // 16-bit output: silence is 0
  lastReadAudioBytes_ = filled;
  return filled < bytes ? kEndOfStream : kOk;
}

int Mp3Decoder::TimecodeHundredths() const {
  const media::MfTimecode& t = framework_->status->stream.timecode;
  return ((t.hours * 60 + t.minutes) * 60 + t.seconds) * 100 + t.hundredths;
}

int Mp3Decoder::Position() {
  if (framework_ == nullptr) return 0;
  return TimecodeHundredths() - carryTime_;
}

int Mp3Decoder::Length() {
  if (framework_ == nullptr) return 0;
  const int durationMs = framework_->status->stream.durationMs;
  return durationMs > 0 ? durationMs / 10 : 0;
}

void Mp3Decoder::Seek(int position) {
  if (framework_ == nullptr) return;
  carryLength_ = carryTime_ = 0;
  ended_ = false;
  failuresInARow_ = 0;
  const int target = std::max(position, 0);
  // The framework resumes decoding at a frame boundary, and a Layer III frame needs the main
  // data and filter history of the frames before it. So the seek goes a few frames early and
  // decodes forward to the frame that holds `target`, keeping its part from `target` on.
  const double startMs = std::max(0.0, target * 10.0 - double{kSeekLeadFrames} * frameMs_);
  media::mf_input_seek_to_seconds(framework_, static_cast<float>(startMs * 0.001));
  FrameResult result = FrameResult::kRepeated;  // no frame of the new position yet
  for (int k = 0; k < kMaxSeekFrames && TimecodeHundredths() < target; ++k) {
    result = DecodeNextFrame();
    if (result == FrameResult::kEnded) {
      ended_ = true;  // beyond the end of the stream: every later Read is silence
      return;
    }
  }
  KeepSeekCarry(TimecodeHundredths() - target, result == FrameResult::kDecoded);
}

void Mp3Decoder::KeepSeekCarry(int hundredths, bool frameDecoded) {
  // The carry stands for the time from `target` to the play time, so Position() is `target`
  // until the next Read, whatever part of the frame could be kept.
  carryTime_ = hundredths;
  if (!frameDecoded) return;  // nothing of the new position decoded: the carry stays empty
  const int blockAlign = channels_ * kSampleBytes;
  // The play time is truncated to hundredths, so the frame really ends half a hundredth after
  // it on average: the carry takes that half in, which puts the first sample read within about
  // half a hundredth of the target instead of up to a whole one after it.
  int64_t bytes = (int64_t{hundredths} * 2 + 1) * avgBytesPerSec_ / 200;
  bytes = std::clamp<int64_t>(bytes, 0, frameLength_);
  bytes -= bytes % blockAlign;  // whole sample frames keep the channels aligned
  carryLength_ = static_cast<int>(bytes);
  std::memcpy(carry_.data(), frame_.data() + frameLength_ - carryLength_,
              static_cast<size_t>(carryLength_));
}

}  // namespace veltro::engine
