#include "engine/Mp3Decoder.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "media/modules/FileInputModule.h"
#include "media/modules/MpegAudioCodec.h"
#include "media/mpeg/MpegFrameDecoder.h"
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

void PutSample(uint8_t* out, int value) {
  const auto bits = static_cast<uint16_t>(static_cast<int16_t>(value));
  out[0] = static_cast<uint8_t>(bits & 0xFF);
  out[1] = static_cast<uint8_t>(bits >> 8);
}

}  // namespace

Mp3Decoder::~Mp3Decoder() {
  Close();
}

bool Mp3Decoder::Fail(const std::string& reason) {
  Close();
  lastError = reason;
  return false;
}

bool Mp3Decoder::Open(const std::string& path) {
  Close();
  lastError.clear();
  if (!IsRegularFile(path)) return false;
  if (!StartFramework(path) || !DecodeFirstFrame(path)) return false;
  // Decoding restarts at the beginning: the frames decoded to learn the format are dropped.
  if (media::mf_input_seek(framework, 0) != media::kMfOk) {
    return Fail("cannot rewind the MPEG audio stream: " + path);
  }
  carryLength = carryTime = 0;
  ended = false;
  failuresInARow = 0;
  lastReadAudioBytes = 0;
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
  if (media::mf_decoder_new(&framework) != media::kMfOk) {
    framework = nullptr;
    return Fail("out of memory opening " + path);
  }
  media::MpegAudioCodecDescriptor(&codecDescriptor);
  media::FileInputModuleDescriptor(&inputDescriptor);
  if (media::mf_codec_module_register(framework, &codecDescriptor) < 0 ||
      media::mf_input_module_register(framework, &inputDescriptor) < 0) {
    return Fail("cannot set up the MPEG audio decoder");
  }
  // The file input reads standard input for the name "-"; a song is always a file.
  const std::string name = path == "-" ? "./-" : path;
  int result = media::mf_input_new(framework, name.c_str(), -1);
  if (result == media::kMfOk) result = media::mf_input_open(framework);
  if (result != media::kMfOk) {
    return Fail("cannot open file: " + path + ": " + OpenFailureText(result));
  }
  return true;
}

bool Mp3Decoder::DecodeFirstFrame(const std::string& path) {
  const media::MfOutputBuffer& out = *framework->outputBuffer;
  for (int failures = 0; failures < kMaxFailuresInARow; ++failures) {
    const int code = media::mf_decode(framework, nullptr);
    if (code == media::kMfOk && out.sampleCount > 0) return TakeFormat(out, path);
    // A lost frame is skipped; the end of the stream or a read failure ends the search.
    if (code != media::kMfOk && code != media::kMfDecodeError) break;
  }
  return Fail("no MPEG audio found in " + path);
}

bool Mp3Decoder::TakeFormat(const media::MfOutputBuffer& first, const std::string& path) {
  if (first.bytesPerSample != 2 || first.channels < 1 || first.channels > 2 ||
      first.sampleRateHz < kMinRateHz || first.sampleRateHz > kMaxRateHz) {
    return Fail("unsupported MPEG audio format in " + path);
  }
  // Room for the codec's largest frame, whatever the first frame's size.
  const int codecSamples = std::max(framework->codec->bufferSize / 2, media::kMpegMaxFrameSamples);
  if (first.sampleCount * first.channels > codecSamples) {
    return Fail("unsupported MPEG audio frame size in " + path);
  }
  channels = first.channels;
  bitsPerSample = first.bytesPerSample * 8;
  sampleRate = first.sampleRateHz;
  avgBytesPerSec = bitsPerSample * channels * sampleRate / 8;
  frameBytes = first.bytesPerSample * first.sampleCount * channels;
  frameMs = frameBytes * 1000 / avgBytesPerSec;
  formatRecord = platform::MakePcmFormat(static_cast<uint32_t>(sampleRate),
                                         static_cast<uint16_t>(channels), 16);
  // Any frame converted to the output channel count fits: a mono frame of the codec's
  // largest size doubled for stereo output is the worst case.
  const auto frameCapacity = static_cast<size_t>(codecSamples) * static_cast<size_t>(channels) * 2;
  decoded.assign(static_cast<size_t>(codecSamples), 0);
  frame.assign(frameCapacity, 0);
  frameLength = frameBytes;  // silence until the first frame is decoded
  carry.assign(frameCapacity, 0);
  return true;
}

void Mp3Decoder::Close() {
  if (framework != nullptr) {
    media::mf_input_close(framework);
    media::mf_input_delete(framework);
    media::mf_decoder_delete(framework);
    framework = nullptr;
  }
  channels = frameBytes = frameMs = 0;
  frameLength = carryLength = carryTime = 0;
  ended = false;
  failuresInARow = 0;
  lastReadAudioBytes = 0;
  decoded.clear();
  decoded.shrink_to_fit();
  frame.clear();
  frame.shrink_to_fit();
  carry.clear();
  carry.shrink_to_fit();
}

Mp3Decoder::FrameResult Mp3Decoder::DecodeNextFrame() {
  const int code = media::mf_decode(framework, decoded.data());
  if (code == media::kMfEndOfStream) return FrameResult::kEnded;
  if (code == media::kMfOk && ConvertFrame(*framework->outputBuffer)) {
    failuresInARow = 0;
    return FrameResult::kDecoded;
  }
  // A lost or unreadable frame: the previous frame repeats, unless the stream only fails.
  return ++failuresInARow < kMaxFailuresInARow ? FrameResult::kRepeated : FrameResult::kEnded;
}

bool Mp3Decoder::ConvertFrame(const media::MfOutputBuffer& out) {
  const int from = out.channels;
  if (out.sampleCount <= 0 || from < 1 || from > 2 ||
      static_cast<size_t>(out.sampleCount) * static_cast<size_t>(from) > decoded.size()) {
    return false;
  }
  const auto count = static_cast<size_t>(out.sampleCount);
  const int16_t* in = decoded.data();
  uint8_t* dst = frame.data();
  if (from == channels) {
    for (size_t i = 0; i < count * static_cast<size_t>(from); ++i) PutSample(dst + 2 * i, in[i]);
  } else if (from == 1) {  // mono frame in a stereo stream: the same sample on both sides
    for (size_t i = 0; i < count; ++i) {
      PutSample(dst + 4 * i, in[i]);
      PutSample(dst + 4 * i + 2, in[i]);
    }
  } else {  // stereo frame in a mono stream: the mean of both sides
    for (size_t i = 0; i < count; ++i) PutSample(dst + 2 * i, (in[2 * i] + in[2 * i + 1]) / 2);
  }
  frameLength = static_cast<int>(count) * channels * 2;
  return true;
}

void Mp3Decoder::SetCarry(const uint8_t* bytes, int count) {
  std::memmove(carry.data(), bytes, static_cast<size_t>(count));
  carryLength = count;
  carryTime = count * 100 / avgBytesPerSec;
}

int Mp3Decoder::Read(uint8_t* buffer, uint32_t bytes) {
  lastReadAudioBytes = 0;
  if (framework == nullptr) {
    std::memset(buffer, 0, bytes);
    return kEndOfStream;
  }
  const auto fromCarry =
      static_cast<int>(std::min<uint32_t>(static_cast<uint32_t>(carryLength), bytes));
  std::memcpy(buffer, carry.data(), static_cast<size_t>(fromCarry));
  SetCarry(carry.data() + fromCarry, carryLength - fromCarry);
  uint32_t filled = static_cast<uint32_t>(fromCarry);
  while (filled < bytes && !ended) {
    if (DecodeNextFrame() == FrameResult::kEnded) {
      ended = true;
      break;
    }
    const auto used =
        static_cast<int>(std::min<uint32_t>(static_cast<uint32_t>(frameLength), bytes - filled));
    std::memcpy(buffer + filled, frame.data(), static_cast<size_t>(used));
    filled += static_cast<uint32_t>(used);
    SetCarry(frame.data() + used, frameLength - used);
  }
  std::memset(buffer + filled, 0, bytes - filled);  // 16-bit output: silence is 0
  lastReadAudioBytes = filled;
  return filled < bytes ? kEndOfStream : kOk;
}

int Mp3Decoder::TimecodeHundredths() const {
  const media::MfTimecode& t = framework->status->stream.timecode;
  return ((t.hours * 60 + t.minutes) * 60 + t.seconds) * 100 + t.hundredths;
}

int Mp3Decoder::Position() {
  if (framework == nullptr) return 0;
  return TimecodeHundredths() - carryTime;
}

int Mp3Decoder::Length() {
  if (framework == nullptr) return 0;
  const int durationMs = framework->status->stream.durationMs;
  return durationMs > 0 ? durationMs / 10 : 0;
}

void Mp3Decoder::Seek(int position) {
  if (framework == nullptr) return;
  carryLength = carryTime = 0;
  ended = false;
  failuresInARow = 0;
  const int target = std::max(position, 0);
  // The framework resumes decoding at a frame boundary, and a Layer III frame needs the main
  // data and filter history of the frames before it. So the seek goes a few frames early and
  // decodes forward to the frame that holds `target`, keeping its part from `target` on.
  const double startMs = std::max(0.0, target * 10.0 - double{kSeekLeadFrames} * frameMs);
  media::mf_input_seek_to_seconds(framework, static_cast<float>(startMs * 0.001));
  FrameResult result = FrameResult::kRepeated;  // no frame of the new position yet
  for (int k = 0; k < kMaxSeekFrames && TimecodeHundredths() < target; ++k) {
    result = DecodeNextFrame();
    if (result == FrameResult::kEnded) {
      ended = true;  // beyond the end of the stream: every later Read is silence
      return;
    }
  }
  KeepSeekCarry(TimecodeHundredths() - target, result == FrameResult::kDecoded);
}

void Mp3Decoder::KeepSeekCarry(int hundredths, bool frameDecoded) {
  // The carry stands for the time from `target` to the play time, so Position() is `target`
  // until the next Read, whatever part of the frame could be kept.
  carryTime = hundredths;
  if (!frameDecoded) return;  // nothing of the new position decoded: the carry stays empty
  const int blockAlign = channels * 2;
  // The play time is truncated to hundredths, so the frame really ends half a hundredth after
  // it on average: the carry takes that half in, which puts the first sample read within about
  // half a hundredth of the target instead of up to a whole one after it.
  int64_t bytes = (int64_t{hundredths} * 2 + 1) * avgBytesPerSec / 200;
  bytes = std::clamp<int64_t>(bytes, 0, frameLength);
  bytes -= bytes % blockAlign;  // whole sample frames keep the channels aligned
  carryLength = static_cast<int>(bytes);
  std::memcpy(carry.data(), frame.data() + frameLength - carryLength,
              static_cast<size_t>(carryLength));
}

}  // namespace veltro::engine
