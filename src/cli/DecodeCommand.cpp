// `veltro-cli decode`: an MPEG audio file to PCM through the media framework, the way the decks
// decode it (one frame per mf_decode call), with the channel selection and down-sampling
// parameters of the codec exposed as options. Output names with a format prefix, or "-", go the
// framework's streaming way instead: file input, codec and file output joined by mf_play.
#include "cli/DecodeCommand.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <memory>
#include <optional>
#include <string>

#include "cli/CliSupport.h"
#include "media/FileInputModule.h"
#include "media/FileOutputModule.h"
#include "media/MediaFramework.h"
#include "media/MemoryInput.h"
#include "media/MpegAudioCodec.h"
#include "platform/SafeWrite.h"

namespace veltro::cli {
namespace {

using media::MfDecoder;

constexpr int kExitUsage = 2;
constexpr uint32_t kWavHeaderBytes = 44;
constexpr uint32_t kWavFmtChunkBytes = 16;
constexpr uint16_t kWavFormatPcm = 1;
constexpr uint16_t kBitsPerSample = 16;
constexpr char kStreamName[] = "mem:decode-input";
constexpr char kStandardStreamName[] = "-";
// Output names the file output module handles, by prefix; the file name follows the prefix.
constexpr std::string_view kFileOutputPrefixes[] = {"wav:", "raw:", "aiff:", "sun:"};

struct DecodeOptions {
  std::string inputPath;
  std::string outputPath;
  int channelSelection = 0;  // 0 both, 1 left, 2 right, 3 mean
  int downsampling = 0;      // 0 none, 1 half, 2 quarter
};

// The decoded PCM: raw keeps each frame's own channel count; WAV converts every frame to the
// first frame's count.
struct DecodedPcm {
  std::string bytes;  // 16-bit little-endian samples
  int channels = 0;   // of the first frame
  int sampleRateHz = 0;
  uint64_t frames = 0;
  uint64_t skippedFrames = 0;  // frames lost to decoding errors
  uint64_t samplesPerChannel = 0;
};

struct DecoderDeleter {
  void operator()(MfDecoder* decoder) const { media::mf_decoder_delete(decoder); }
};
using DecoderPointer = std::unique_ptr<MfDecoder, DecoderDeleter>;

int Usage() {
  std::fprintf(stderr,
               "usage: veltro-cli decode IN OUT [--channels N] [--downsample N]\n"
               "  (OUT wav:FILE, raw:FILE, aiff:FILE, sun:FILE or - streams; IN may then be -)\n");
  return kExitUsage;
}

// An error text on bad arguments.
std::optional<std::string> ParseOptions(const std::vector<std::string_view>& args,
                                        DecodeOptions& options) {
  std::vector<std::string> paths;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string_view arg = args[i];
    const bool hasValue = i + 1 < args.size();
    if ((arg == "--channels" || arg == "--downsample") && hasValue) {
      const auto value = ParseInt(args[++i]);
      if (!value || *value < 0 || *value > 3 || (arg == "--downsample" && *value > 2)) {
        return arg == "--channels" ? "--channels takes 0 (both), 1 (left), 2 (right) or 3 (mean)"
                                   : "--downsample takes 0 (none), 1 (half) or 2 (quarter)";
      }
      (arg == "--channels" ? options.channelSelection : options.downsampling) = *value;
    } else if (!arg.starts_with("--") && paths.size() < 2) {
      paths.emplace_back(arg);
    } else {
      return "unexpected argument '" + std::string(arg) + "'";
    }
  }
  if (paths.size() != 2) return "decode needs an input and an output file";
  options.inputPath = paths[0];
  options.outputPath = paths[1];
  return std::nullopt;
}

bool EndsWithWav(const std::string& path) {
  if (path.size() < 4) return false;
  std::string extension = path.substr(path.size() - 4);
  std::transform(extension.begin(), extension.end(), extension.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return extension == ".wav";
}

std::optional<std::string> ReadWholeFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  if (!file) return std::nullopt;
  std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  if (file.bad()) return std::nullopt;
  return bytes;
}

void AppendLittleEndian(std::string& out, uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<char>((value >> (8 * i)) & 0xFFu));
}

void AppendSample(std::string& out, int sample) {
  AppendLittleEndian(out, static_cast<uint16_t>(static_cast<int16_t>(sample)), 2);
}

// Appends one frame; for WAV output in the first frame's channel count (a mono frame is
// duplicated, a stereo frame averaged).
void AppendFrame(const media::MfOutputBuffer& frame, bool convert, DecodedPcm& pcm) {
  if (pcm.frames == 0) {
    pcm.channels = frame.channels;
    pcm.sampleRateHz = frame.sampleRateHz;
  }
  ++pcm.frames;
  pcm.samplesPerChannel += static_cast<uint64_t>(frame.sampleCount);
  const int16_t* samples = frame.samples;
  for (int i = 0; i < frame.sampleCount; ++i) {
    if (!convert || frame.channels == pcm.channels) {
      for (int c = 0; c < frame.channels; ++c)
        AppendSample(pcm.bytes, samples[i * frame.channels + c]);
    } else if (frame.channels == 1) {
      AppendSample(pcm.bytes, samples[i]);
      AppendSample(pcm.bytes, samples[i]);
    } else {
      AppendSample(pcm.bytes, (samples[2 * i] + samples[2 * i + 1]) / 2);
    }
  }
}

// Creates a decoder with the memory input over `bytes` and the MPEG codec, and opens the stream.
// Null with a message on failure.
DecoderPointer OpenDecoder(const std::string& bytes, const DecodeOptions& options,
                           std::string& error) {
  MfDecoder* raw = nullptr;
  if (media::mf_decoder_new(&raw) != media::kMfOk) {
    error = "out of memory";
    return nullptr;
  }
  DecoderPointer decoder(raw);
  media::MfCodecModule codec{};
  media::MpegAudioCodecDescriptor(&codec);
  media::MfInputModule input{};
  media::MemoryInputDescriptor(&input);
  if (media::mf_codec_module_register(raw, &codec) < 0 ||
      media::mf_input_module_register(raw, &input) < 0 ||
      media::MemoryInputAttach(raw, kStreamName, bytes.data(),
                               static_cast<uint32_t>(bytes.size())) != media::kMfOk) {
    error = "cannot set up the media framework";
    return nullptr;
  }
  media::mf_codec_set_channels(raw, options.channelSelection);
  media::mf_codec_set_downsampling(raw, options.downsampling);
  const int created = media::mf_input_new(raw, kStreamName, -1);
  const int opened = created == media::kMfOk ? media::mf_input_open(raw) : created;
  if (opened != media::kMfOk) {
    error = "cannot open the stream (code " + std::to_string(opened) + ")";
    return nullptr;
  }
  return decoder;
}

// Decodes frame by frame until the end of the stream; frames lost to decoding errors are
// skipped. False with a message when another failure stops the decoding.
bool DecodeAll(MfDecoder* decoder, bool convert, DecodedPcm& pcm, std::string& error) {
  for (;;) {
    const int result = media::mf_decode(decoder, nullptr);
    if (result == media::kMfEndOfStream) return true;
    if (result == media::kMfDecodeError) {
      ++pcm.skippedFrames;
      continue;
    }
    if (result != media::kMfOk) {
      error = "decoding failed (code " + std::to_string(result) + ")";
      return false;
    }
    AppendFrame(*decoder->outputBuffer, convert, pcm);
  }
}

std::string WavHeader(const DecodedPcm& pcm) {
  const auto channels = static_cast<uint32_t>(pcm.channels);
  const auto rate = static_cast<uint32_t>(pcm.sampleRateHz);
  const uint32_t blockAlign = channels * (kBitsPerSample / 8);
  const auto dataBytes = static_cast<uint32_t>(pcm.bytes.size());
  std::string header = "RIFF";
  AppendLittleEndian(header, kWavHeaderBytes - 8 + dataBytes, 4);
  header += "WAVEfmt ";
  AppendLittleEndian(header, kWavFmtChunkBytes, 4);
  AppendLittleEndian(header, kWavFormatPcm, 2);
  AppendLittleEndian(header, channels, 2);
  AppendLittleEndian(header, rate, 4);
  AppendLittleEndian(header, rate * blockAlign, 4);
  AppendLittleEndian(header, blockAlign, 2);
  AppendLittleEndian(header, kBitsPerSample, 2);
  header += "data";
  AppendLittleEndian(header, dataBytes, 4);
  return header;
}

const char* ModeName(intptr_t mode) {
  static const char* const kNames[] = {"stereo", "joint stereo", "dual channel", "mono"};
  return mode >= 0 && mode <= 3 ? kNames[mode] : "unknown mode";
}

void PrintStreamInfo(MfDecoder* decoder, const DecodedPcm& pcm) {
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
               info.bitrateKbps, info.durationMs, static_cast<unsigned long long>(pcm.frames),
               static_cast<unsigned long long>(pcm.samplesPerChannel), pcm.sampleRateHz,
               pcm.channels, static_cast<unsigned long long>(pcm.skippedFrames));
}

int Decode(const DecodeOptions& options) {
  const std::optional<std::string> bytes = ReadWholeFile(options.inputPath);
  if (!bytes) return Fail("cannot read " + options.inputPath);
  if (bytes->size() > std::numeric_limits<uint32_t>::max()) {
    return Fail(options.inputPath + " is too large (4 GiB at most)");
  }
  std::string error;
  const DecoderPointer decoder = OpenDecoder(*bytes, options, error);
  if (decoder == nullptr) return Fail(options.inputPath + ": " + error);
  const bool wav = EndsWithWav(options.outputPath);
  DecodedPcm pcm;
  const bool decoded = DecodeAll(decoder.get(), wav, pcm, error);
  if (pcm.frames > 0) PrintStreamInfo(decoder.get(), pcm);
  if (!decoded) return Fail(options.inputPath + ": " + error);
  if (pcm.frames == 0 && pcm.skippedFrames > 0) {
    return Fail(options.inputPath + " holds no MPEG audio that can be decoded (" +
                std::to_string(pcm.skippedFrames) + " damaged frames)");
  }
  if (pcm.frames == 0) return Fail(options.inputPath + " holds no MPEG audio");
  if (wav && pcm.bytes.size() > std::numeric_limits<uint32_t>::max() - kWavHeaderBytes) {
    return Fail("the decoded audio is too long for a WAVE file; write raw samples instead");
  }
  const std::string out = wav ? WavHeader(pcm) + pcm.bytes : pcm.bytes;
  if (!platform::WriteFileAtomically(options.outputPath, out, &error)) {
    return Fail("cannot write " + options.outputPath + ": " + error);
  }
  return 0;
}

// --- Streaming through the file modules --------------------------------------------------------

bool UsesFileOutputModule(const std::string& outputName) {
  if (outputName == kStandardStreamName) return true;
  return std::any_of(std::begin(kFileOutputPrefixes), std::end(kFileOutputPrefixes),
                     [&](std::string_view prefix) { return outputName.starts_with(prefix); });
}

// The file an output name writes to ("-" for standard output).
std::string OutputFileOf(const std::string& outputName) {
  for (const std::string_view prefix : kFileOutputPrefixes) {
    if (outputName.starts_with(prefix)) return outputName.substr(prefix.size());
  }
  return outputName;
}

// Keeps the newest notification ("message: reason") in the std::string at clientData.
void KeepNotification(void* clientData, int /*moduleId*/, int /*reserved*/, const char* message,
                      const char* reason) {
  *static_cast<std::string*>(clientData) =
      std::string(message != nullptr ? message : "") + ": " + (reason != nullptr ? reason : "");
}

std::string FailureText(const char* step, int code, const std::string& notification) {
  return std::string(step) + " (code " + std::to_string(code) + ")" +
         (notification.empty() ? "" : ": " + notification);
}

// A decoder with the file input, the MPEG codec and the file output, input and output open.
// Null with a message on failure; the output is created only once the input is open.
DecoderPointer OpenStreamingDecoder(const DecodeOptions& options, std::string& notification,
                                    std::string& error) {
  MfDecoder* raw = nullptr;
  if (media::mf_decoder_new(&raw) != media::kMfOk) {
    error = "out of memory";
    return nullptr;
  }
  DecoderPointer decoder(raw);
  raw->clientData = &notification;
  raw->notify = KeepNotification;
  media::MfCodecModule codec{};
  media::MpegAudioCodecDescriptor(&codec);
  media::MfInputModule input{};
  media::FileInputModuleDescriptor(&input);
  media::MfOutputModule output{};
  media::FileOutputModuleDescriptor(&output);
  if (media::mf_codec_module_register(raw, &codec) < 0 ||
      media::mf_input_module_register(raw, &input) < 0 ||
      media::mf_output_module_register(raw, &output) < 0) {
    error = "cannot set up the media framework";
    return nullptr;
  }
  media::mf_codec_set_channels(raw, options.channelSelection);
  media::mf_codec_set_downsampling(raw, options.downsampling);
  int result = media::mf_input_new(raw, options.inputPath.c_str(), -1);
  if (result == media::kMfOk) result = media::mf_input_open(raw);
  if (result != media::kMfOk) {
    error = options.inputPath + ": " + FailureText("cannot open the stream", result, notification);
    return nullptr;
  }
  result = media::mf_output_new(raw, options.outputPath.c_str(), -1);
  if (result == media::kMfOk) result = media::mf_output_open(raw);
  if (result != media::kMfOk) {
    error = options.outputPath + ": " + FailureText("cannot open the output", result, notification);
    return nullptr;
  }
  return decoder;
}

// Plays frame by frame until the end of the stream, counting what was written; frames lost to
// decoding errors are skipped. Returns 0 at the end of the stream, else the code that stopped
// the play (-1: the output could not be written).
int PlayAll(MfDecoder* decoder, DecodedPcm& counts) {
  for (;;) {
    const int result = media::mf_play(decoder);
    if (result == media::kMfEndOfStream) return media::kMfOk;
    if (result == media::kMfDecodeError) {
      ++counts.skippedFrames;
      continue;
    }
    if (result != media::kMfOk) return result;
    const media::MfOutputBuffer& frame = *decoder->outputBuffer;
    if (counts.frames++ == 0) {
      counts.channels = frame.channels;
      counts.sampleRateHz = frame.sampleRateHz;
    }
    counts.samplesPerChannel += static_cast<uint64_t>(frame.sampleCount);
  }
}

// The failure message of a finished streaming decode, or nothing when it succeeded.
std::optional<std::string> StreamingFailure(const DecodeOptions& options, const DecodedPcm& counts,
                                            int played, int closed,
                                            const std::string& notification) {
  if (played == media::kMfFailed || (played == media::kMfOk && closed != media::kMfOk)) {
    const int code = played != media::kMfOk ? played : closed;
    return "cannot write " + options.outputPath + ": " + FailureText("failed", code, notification);
  }
  if (played != media::kMfOk) {
    return options.inputPath + ": " + FailureText("decoding failed", played, notification);
  }
  if (counts.frames == 0 && counts.skippedFrames > 0) {
    return options.inputPath + " holds no MPEG audio that can be decoded (" +
           std::to_string(counts.skippedFrames) + " damaged frames)";
  }
  if (counts.frames == 0) return options.inputPath + " holds no MPEG audio";
  return std::nullopt;
}

// Decodes into the output as it goes (standard output included). A failed decode removes the
// named output file, so that, as on the other path, no output is left behind.
int DecodeStreaming(const DecodeOptions& options) {
  std::string notification;
  std::string error;
  DecoderPointer decoder = OpenStreamingDecoder(options, notification, error);
  if (decoder == nullptr) return Fail(error);
  DecodedPcm counts;
  const int played = PlayAll(decoder.get(), counts);
  if (counts.frames > 0) PrintStreamInfo(decoder.get(), counts);
  const int closed = media::mf_output_close(decoder.get());
  decoder.reset();
  const std::optional<std::string> failure =
      StreamingFailure(options, counts, played, closed, notification);
  if (!failure) return 0;
  const std::string file = OutputFileOf(options.outputPath);
  std::error_code ignored;
  if (file != kStandardStreamName) std::filesystem::remove(file, ignored);
  return Fail(*failure);
}

}  // namespace

int RunDecodeCommand(const std::vector<std::string_view>& args) {
  DecodeOptions options;
  if (args.empty()) return Usage();
  if (const auto error = ParseOptions(args, options)) {
    Fail(*error);
    return Usage();
  }
  return UsesFileOutputModule(options.outputPath) ? DecodeStreaming(options) : Decode(options);
}

}  // namespace veltro::cli
