// `veltro-cli decode`: an MPEG audio stream to PCM through the media framework, the way the decks
// decode it (one frame per mf_decode call), with the channel selection and down-sampling
// parameters of the codec exposed as options. The input is read as a stream; each decoded frame
// goes straight to the output, so memory stays bounded whatever the input's size.
#include "cli/DecodeCommand.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <memory>
#include <optional>
#include <string>

#include "cli/CliArguments.h"
#include "cli/CliSupport.h"
#include "cli/CommandTable.h"
#include "media/framework/MediaFramework.h"
#include "media/modules/FileInputModule.h"
#include "media/modules/MpegAudioCodec.h"
#include "platform/Interrupt.h"
#include "platform/OutputFile.h"
#include "platform/PcmChannels.h"
#include "platform/SongFileType.h"
#include "platform/WaveHeader.h"

namespace veltro::cli {
namespace {

using media::MfDecoder;

constexpr uint16_t kBitsPerSample = 16;
constexpr char kStandardStreamName[] = "-";
constexpr size_t kWriteChunkBytes = 64 * 1024;
// How much input may pass without a decodable frame before the search for audio gives up:
// far more than any leading junk or damaged stretch of a real file (ID3v2 tags are skipped, not
// searched), and little enough that endless non-audio input ends within a second.
constexpr uint64_t kNoAudioSearchBytes = 8 * 1024 * 1024;
// Codes the input guard returns in place of a read; mf_decode passes them on.
constexpr int kReadStoppedByUser = -1001;
constexpr int kReadFoundNoAudio = -1002;

enum class PcmFormat {
  kRaw,                    // the samples, each frame in its own channel count
  kWav,                    // header in the first frame's format, frames in their own count
  kWavFirstFrameChannels,  // header and every frame in the first frame's channel count
};

struct OutputTarget {
  std::string file;  // "-" for standard output
  PcmFormat format = PcmFormat::kRaw;
};

// What the command keeps while decoding: the newest notification of a module and the input
// guard's count. The decoder's client data points at it.
struct Session {
  std::string reason;  // the reason of the last notification
  uint64_t bytesSinceFrame = 0;
};

struct PcmCounts {
  int channels = 0;  // of the first frame
  int sampleRateHz = 0;
  uint64_t frames = 0;
  uint64_t skippedFrames = 0;  // frames lost to decoding errors
  uint64_t samplesPerChannel = 0;
  uint64_t dataBytes = 0;
};

struct DecoderDeleter {
  void operator()(MfDecoder* decoder) const { media::mf_decoder_delete(decoder); }
};
using DecoderPointer = std::unique_ptr<MfDecoder, DecoderDeleter>;

int Usage() {
  return PrintUsage("decode");
}

OutputTarget TargetOf(const std::string& outputName) {
  static const std::string_view kRawPrefixes[] = {"raw:", "aiff:", "sun:"};
  if (outputName.starts_with("wav:")) return {outputName.substr(4), PcmFormat::kWav};
  for (const std::string_view prefix : kRawPrefixes) {
    if (outputName.starts_with(prefix)) return {outputName.substr(prefix.size()), PcmFormat::kRaw};
  }
  if (outputName != kStandardStreamName && platform::UpperExtension(outputName) == ".WAV") {
    return {outputName, PcmFormat::kWavFirstFrameChannels};
  }
  return {outputName, PcmFormat::kRaw};
}

// The header for `dataBytes` of PCM in the first frame's format.
std::string WavHeader(int channelCount, int sampleRateHz, uint64_t dataBytes) {
  const platform::WaveHeaderBytes header = platform::MakeWaveHeader(
      platform::MakePcmFormat(static_cast<uint32_t>(sampleRateHz),
                              static_cast<uint16_t>(channelCount), kBitsPerSample),
      dataBytes);
  return std::string(reinterpret_cast<const char*>(header.data()), header.size());
}

// Turns decoded frames into the output's bytes and writes them in large pieces. The output is
// opened at the first frame, so input without audio never touches OUT.
class PcmWriter {
 public:
  explicit PcmWriter(OutputTarget target) : target_(std::move(target)) {}

  bool WriteFrame(const media::MfOutputBuffer& frame, PcmCounts& counts, std::string& error) {
    if (counts.frames++ == 0) {
      counts.channels = frame.channels;
      counts.sampleRateHz = frame.sampleRateHz;
      if (!OpenOutput(counts, error)) return false;
    }
    counts.samplesPerChannel += static_cast<uint64_t>(frame.sampleCount);
    const size_t before = pending_.size();
    AppendFrame(frame, counts.channels);
    counts.dataBytes += pending_.size() - before;
    return pending_.size() < kWriteChunkBytes || Flush(error);
  }

  bool Finish(const PcmCounts& counts, std::string& error) {
    if (!output_) return true;
    if (target_.format == PcmFormat::kWavFirstFrameChannels &&
        counts.dataBytes > std::numeric_limits<uint32_t>::max() - platform::kWaveHeaderBytes) {
      error = "the decoded audio is too long for a WAVE file; write raw samples instead";
      return false;
    }
    if (!Flush(error)) return false;
    if (target_.format != PcmFormat::kRaw) {
      const std::string header = WavHeader(counts.channels, counts.sampleRateHz, counts.dataBytes);
      if (!output_->Overwrite(0, header.data(), header.size(), &error)) return false;
    }
    return output_->Finish(&error);
  }

 private:
  bool OpenOutput(const PcmCounts& counts, std::string& error) {
    std::optional<platform::OutputFile> opened = platform::OutputFile::Open(target_.file, &error);
    if (!opened) return false;
    output_.emplace(std::move(*opened));
    // The sizes of an empty file until the end, where they are completed if the output can go
    // back (a pipe keeps these).
    if (target_.format != PcmFormat::kRaw) {
      pending_ = WavHeader(counts.channels, counts.sampleRateHz, 0);
    }
    return true;
  }

  // A frame in its own channel count, or for kWavFirstFrameChannels in `channels` (a mono frame
  // duplicated, a stereo frame averaged).
  void AppendFrame(const media::MfOutputBuffer& frame, int channels) {
    const bool convert = target_.format == PcmFormat::kWavFirstFrameChannels;
    const int toChannels = convert ? channels : frame.channels;
    const auto frames = static_cast<size_t>(std::max(frame.sampleCount, 0));
    const size_t before = pending_.size();
    pending_.resize(before + frames * static_cast<size_t>(std::max(toChannels, 0)) * 2);
    auto* out = reinterpret_cast<uint8_t*>(pending_.data() + before);
    const size_t written =
        platform::StorePcm16Frames(frame.samples, frames, frame.channels, toChannels, out);
    pending_.resize(before + written);
  }

  bool Flush(std::string& error) {
    if (!output_->Write(pending_.data(), pending_.size(), &error)) return false;
    pending_.clear();
    return true;
  }

  OutputTarget target_;
  std::optional<platform::OutputFile> output_;
  std::string pending_;  // bytes not yet written
};

// --- The input guard: an input filter in front of the file input --------------------------------
// It refuses further reads once the user asked to stop, or once kNoAudioSearchBytes have passed
// without a decoded frame: the codec's search for a frame header then ends instead of reading an
// endless input byte by byte.

Session* SessionOf(MfDecoder* decoder) {
  return static_cast<Session*>(decoder->clientData);
}

int GuardQuery(media::MfModuleInfo* /*info*/, int /*flags*/) {
  return media::kMfOk;
}

int GuardNew(void** instance, int /*filterId*/, MfDecoder* decoder) {
  *instance = SessionOf(decoder);
  return media::kMfOk;
}

int GuardDelete(void* /*instance*/) {
  return media::kMfOk;
}

int GuardRead(media::MfInputFilterNode* node, void* buffer, uint32_t size) {
  auto* session = static_cast<Session*>(node->instance);
  if (platform::InterruptRequested()) return kReadStoppedByUser;
  session->bytesSinceFrame += size;
  if (session->bytesSinceFrame > kNoAudioSearchBytes) return kReadFoundNoAudio;
  return node->next->methods.read(node->next, buffer, size);
}

void KeepReason(void* clientData, int /*moduleId*/, int /*reserved*/, const char* /*message*/,
                const char* reason) {
  static_cast<Session*>(clientData)->reason = reason != nullptr ? reason : "";
}

// The message for an input that could not be opened. A refused kind of file has a reason that
// names the path itself ("x.mp3 is a FIFO, not a regular file").
std::string OpenFailureText(const std::string& path, int code, const std::string& reason) {
  if (reason.starts_with(path + " ")) return reason;
  return "cannot read " + path + ": " + (reason.empty() ? "code " + std::to_string(code) : reason);
}

// A decoder with the input guard, the file input and the MPEG codec, the input open. Null with
// a message on failure.
DecoderPointer OpenDecoder(const DecodeOptions& options, Session& session, std::string& error) {
  MfDecoder* raw = nullptr;
  if (media::mf_decoder_new(&raw) != media::kMfOk) {
    error = "out of memory";
    return nullptr;
  }
  DecoderPointer decoder(raw);
  raw->clientData = &session;
  raw->notify = KeepReason;
  media::MfCodecModule codec{};
  media::MpegAudioCodecDescriptor(&codec);
  media::MfInputModule input{};
  media::FileInputModuleDescriptor(&input);
  media::MfInputFilter guard{};
  guard.version = media::kMfInterfaceVersion;
  guard.query = GuardQuery;
  guard.newInstance = GuardNew;
  guard.deleteInstance = GuardDelete;
  guard.read = GuardRead;
  if (media::mf_codec_module_register(raw, &codec) < 0 ||
      media::mf_input_module_register(raw, &input) < 0 ||
      media::mf_input_filter_add(raw, &guard, -1) < 0) {
    error = "cannot set up the media framework";
    return nullptr;
  }
  media::mf_codec_set_channels(raw, options.channelSelection);
  media::mf_codec_set_downsampling(raw, options.downsampling);
  int result = media::mf_input_new(raw, options.inputPath.c_str(), -1);
  if (result == media::kMfOk) result = media::mf_input_open(raw);
  if (result != media::kMfOk) {
    error = OpenFailureText(options.inputPath, result, session.reason);
    return nullptr;
  }
  return decoder;
}

const char* ModeName(intptr_t mode) {
  static const char* const kNames[] = {"stereo", "joint stereo", "dual channel", "mono"};
  return mode >= 0 && mode <= 3 ? kNames[mode] : "unknown mode";
}

void PrintStreamInfo(MfDecoder* decoder, const PcmCounts& counts) {
  intptr_t level = -1;
  intptr_t layer = -1;
  intptr_t mode = -1;
  media::mf_stream_property_get_value(decoder, "mpeg/level", &level);
  media::mf_stream_property_get_value(decoder, "mpeg/layer", &layer);
  media::mf_stream_property_get_value(decoder, "mpeg/mode", &mode);
  const media::MfStreamInfo& info = decoder->status->stream;
  const std::string levelText = level == 0 ? "MPEG 2.5" : "MPEG-" + std::to_string(level);
  std::fprintf(stderr,
               "%s Layer %d, %s, %d Hz, %d kbit/s, duration %d ms\n"
               "%llu frames, %llu samples per channel at %d Hz, %d channel(s), %llu skipped\n",
               levelText.c_str(), static_cast<int>(layer), ModeName(mode), info.frequencyHz,
               info.bitrateKbps, info.durationMs, static_cast<unsigned long long>(counts.frames),
               static_cast<unsigned long long>(counts.samplesPerChannel), counts.sampleRateHz,
               counts.channels, static_cast<unsigned long long>(counts.skippedFrames));
}

enum class DecodeEnd { kComplete, kFailed, kInterrupted };

// Decodes frame by frame into `writer` until the end of the stream; frames lost to decoding
// errors are skipped (and count as input without audio).
DecodeEnd DecodeAll(MfDecoder* decoder, const DecodeOptions& options, Session& session,
                    PcmWriter& writer, PcmCounts& counts, std::string& error) {
  for (;;) {
    const int result = media::mf_decode(decoder, nullptr);
    if (platform::InterruptRequested()) return DecodeEnd::kInterrupted;
    if (result == media::kMfEndOfStream) return DecodeEnd::kComplete;
    if (result == media::kMfDecodeError) {
      ++counts.skippedFrames;
      continue;
    }
    if (result == kReadFoundNoAudio) {
      error = options.inputPath + " holds no MPEG audio in " +
              std::to_string(kNoAudioSearchBytes / (1024 * 1024)) + " MiB" +
              (counts.frames > 0 ? " after frame " + std::to_string(counts.frames) : "");
      return DecodeEnd::kFailed;
    }
    if (result != media::kMfOk) {
      error = options.inputPath + ": decoding failed (code " + std::to_string(result) + ")";
      return DecodeEnd::kFailed;
    }
    session.bytesSinceFrame = 0;
    if (!writer.WriteFrame(*decoder->outputBuffer, counts, error)) return DecodeEnd::kFailed;
  }
}

int Decode(const DecodeOptions& options) {
  const OutputTarget target = TargetOf(options.outputName);
  if (options.inputPath != kStandardStreamName && target.file != kStandardStreamName &&
      platform::SameFile(options.inputPath, target.file)) {
    return Fail("cannot write " + target.file + ": it is the input itself");
  }
  Session session;
  std::string error;
  const DecoderPointer decoder = OpenDecoder(options, session, error);
  if (decoder == nullptr) return Fail(error);
  PcmWriter writer(target);
  PcmCounts counts;
  const DecodeEnd end = DecodeAll(decoder.get(), options, session, writer, counts, error);
  if (counts.frames > 0) PrintStreamInfo(decoder.get(), counts);
  // An interruption also ends a wait for a FIFO's reader or a write, which then fail.
  if (end == DecodeEnd::kInterrupted || platform::InterruptRequested()) return Interrupted();
  if (end == DecodeEnd::kFailed) return Fail(error);
  if (counts.frames == 0 && counts.skippedFrames > 0) {
    return Fail(options.inputPath + " holds no MPEG audio that can be decoded (" +
                std::to_string(counts.skippedFrames) + " damaged frames)");
  }
  if (counts.frames == 0) return Fail(options.inputPath + " holds no MPEG audio");
  if (!writer.Finish(counts, error)) return Fail(error);
  return 0;
}

}  // namespace

int RunDecodeCommand(const std::vector<std::string_view>& args) {
  DecodeOptions options;
  if (args.empty()) return Usage();
  if (const auto error = ParseDecodeArguments(args, options)) {
    Fail(*error);
    return Usage();
  }
  return Decode(options);
}

}  // namespace veltro::cli
