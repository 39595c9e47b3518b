// Arbitrary bytes decoded through the media framework: the memory input and the MPEG audio codec,
// mf_decode until the end of the stream (at most kMaxCalls calls), with seeks in between.
//
// Input layout: byte 0 chooses the settings, bytes 1 to 4 are the arguments of up to four seeks,
// the rest is the stream.
//   bits 0-1 channel selection (0 both, 1 left, 2 right, 3 mean)
//   bits 2-3 down-sampling (3 is out of range on purpose)
//   bits 4-6 seek kind: 0 none, 1 byte offset, 2 position, 3 seconds, 4 timecode, 5-7 a kind per
//            seek taken from its argument
//   bit 7    decode into a buffer of exactly the codec's size instead of the internal one
// Seeks happen before the calls in kSeekCalls, and at the end of the stream while seeks remain.
// Every result is checked against what the framework promises; a violation traps.
#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <vector>

#include "FuzzChecks.h"
#include "media/framework/MediaFramework.h"
#include "media/modules/MemoryInput.h"
#include "media/modules/MpegAudioCodec.h"

namespace {

using fuzz_checks::Check;
using fuzz_checks::CheckedTimecode;
using fuzz_checks::IsCodedRate;

namespace media = veltro::media;

constexpr char kStreamName[] = "mem:fuzz";
constexpr size_t kSeekCount = 4;
constexpr size_t kPrefixBytes = 1 + kSeekCount;
constexpr int kMaxCalls = 2000;
constexpr int kMaxStalledCalls = 64;
constexpr std::array<int, kSeekCount> kSeekCalls = {2, 7, 20, 60};

enum SeekKind { kNoSeek, kSeekBytes, kSeekPosition, kSeekSeconds, kSeekTimecode, kSeekKinds };

struct Settings {
  int channelSelection;
  int downsampling;
  int seekKind;
  bool ownBuffer;
  std::array<uint8_t, kSeekCount> seekArguments;
};

Settings ReadSettings(const uint8_t* data) {
  Settings settings{};
  settings.channelSelection = data[0] & 3;
  settings.downsampling = (data[0] >> 2) & 3;
  settings.seekKind = (data[0] >> 4) & 7;
  settings.ownBuffer = (data[0] & 0x80) != 0;
  for (size_t i = 0; i < kSeekCount; ++i) settings.seekArguments[i] = data[1 + i];
  return settings;
}

// The status and the input state after any call; returns the timecode in hundredths.
int64_t CheckStatus(const media::MfDecoder* decoder) {
  const media::MfStatus& status = *decoder->status;
  Check(status.position >= 0.0f && status.position <= 1.0f);  // false for NaN too
  const media::MfStreamInfo& stream = status.stream;
  Check(stream.durationMs >= 0 && stream.bitrateKbps >= 0);
  Check(stream.channels >= 0 && stream.channels <= 2);
  Check(stream.frequencyHz == 0 || IsCodedRate(stream.frequencyHz));
  Check(decoder->input->position <= decoder->input->size);
  return CheckedTimecode(stream.timecode);
}

// One decoded frame: its size within the codec's buffer and a format the settings explain.
void CheckFrame(const media::MfDecoder* decoder, const Settings& settings) {
  const media::MfOutputBuffer& out = *decoder->outputBuffer;
  Check(out.channels == 1 || out.channels == 2);
  Check(out.bytesPerSample == 2);
  Check(out.sampleCount > 0);
  Check(out.sampleCount * out.channels * out.bytesPerSample <= media::kMpegCodecBufferBytes);
  if (settings.channelSelection != 0) Check(out.channels == 1);
  const int maxShift = settings.downsampling == 1 ? 1 : settings.downsampling == 2 ? 2 : 0;
  bool explained = false;
  for (int shift = 0; shift <= maxShift; ++shift) {
    const int frameSamples = out.sampleCount << shift;
    const bool knownLength = frameSamples == 384 || frameSamples == 576 || frameSamples == 1152;
    explained = explained || (knownLength && IsCodedRate(out.sampleRateHz << shift));
  }
  Check(explained);
}

float PositionArgument(uint8_t argument) {
  if (argument == 255) return std::numeric_limits<float>::quiet_NaN();
  if (argument == 254) return -0.5f;
  return static_cast<float>(argument) / 250.0f;  // up to 1.012: beyond the end
}

float SecondsArgument(uint8_t argument, const media::MfDecoder* decoder) {
  if (argument == 255) return std::numeric_limits<float>::quiet_NaN();
  if (argument == 254) return -1.0f;
  if (argument == 253) return 1e30f;
  const float seconds = static_cast<float>(decoder->status->stream.durationMs) * 0.001f + 1.0f;
  return seconds * static_cast<float>(argument) / 200.0f;
}

media::MfTimecode TimecodeArgument(uint8_t argument) {
  if (argument >= 250)
    return {argument == 255 ? std::numeric_limits<int32_t>::max() : -1, 75, 99, argument};
  return {argument >> 7, (argument >> 1) & 63, argument % 61, argument % 100};
}

int Seek(media::MfDecoder* decoder, int kind, uint8_t argument) {
  if (kind >= kSeekKinds) kind = kSeekBytes + argument % 4;
  switch (kind) {
    case kSeekBytes: {
      const uint32_t size = decoder->input->size;
      const uint32_t offset =
          argument == 255 ? std::numeric_limits<uint32_t>::max() : (size + 64u) / 254u * argument;
      return media::mf_input_seek(decoder, offset);
    }
    case kSeekPosition:
      return media::mf_input_seek_to_position(decoder, PositionArgument(argument));
    case kSeekSeconds:
      return media::mf_input_seek_to_seconds(decoder, SecondsArgument(argument, decoder));
    default: {
      const media::MfTimecode timecode = TimecodeArgument(argument);
      return media::mf_input_seek_to_timecode(decoder, &timecode);
    }
  }
}

// The decoder with the codec and the memory input registered and the stream opened.
struct Stream {
  media::MfDecoder* decoder = nullptr;

  Stream(const uint8_t* bytes, size_t size, const Settings& settings) {
    if (media::mf_decoder_new(&decoder) != media::kMfOk) __builtin_trap();
    media::MfCodecModule codec{};
    media::MpegAudioCodecDescriptor(&codec);
    media::MfInputModule input{};
    media::MemoryInputDescriptor(&input);
    Check(media::mf_codec_module_register(decoder, &codec) == 0);
    Check(media::mf_input_module_register(decoder, &input) == 0);
    media::mf_codec_set_channels(decoder, settings.channelSelection);
    media::mf_codec_set_downsampling(decoder, settings.downsampling);
    Check(media::MemoryInputAttach(decoder, kStreamName, bytes, static_cast<uint32_t>(size)) ==
          media::kMfOk);
    Check(media::mf_input_new(decoder, kStreamName, -1) == media::kMfOk);
  }
  ~Stream() { media::mf_decoder_delete(decoder); }
  Stream(const Stream&) = delete;
  Stream& operator=(const Stream&) = delete;
};

// Between seeks the play position and the timecode only move forward.
struct Progress {
  float position = 0.0f;
  int64_t timecode = 0;
  int stalledCalls = 0;

  void Restart(const media::MfDecoder* decoder) {
    timecode = CheckStatus(decoder);
    position = decoder->status->position;
    stalledCalls = 0;
  }
  void Advance(const media::MfDecoder* decoder, bool movedOn) {
    const int64_t now = CheckStatus(decoder);
    Check(now >= timecode && decoder->status->position >= position);
    timecode = now;
    position = decoder->status->position;
    stalledCalls = movedOn ? 0 : stalledCalls + 1;
    Check(stalledCalls <= kMaxStalledCalls);  // neither output nor input
  }
};

void DecodeStream(media::MfDecoder* decoder, const Settings& settings) {
  std::vector<int16_t> ownBuffer(media::kMpegCodecBufferBytes / 2);  // exact: overruns show
  int16_t* buffer = settings.ownBuffer ? ownBuffer.data() : nullptr;
  Progress progress;
  progress.Restart(decoder);
  size_t seeksDone = 0;
  for (int call = 0; call < kMaxCalls; ++call) {
    const bool seekDue = seeksDone < kSeekCount && call == kSeekCalls[seeksDone];
    if (settings.seekKind != kNoSeek && seekDue) {
      Check(Seek(decoder, settings.seekKind, settings.seekArguments[seeksDone++]) == media::kMfOk);
      progress.Restart(decoder);
    }
    const uint32_t before = decoder->input->position;
    const int result = media::mf_decode(decoder, buffer);
    if (result == media::kMfEndOfStream) {
      if (settings.seekKind == kNoSeek || seeksDone == kSeekCount) return;
      Check(Seek(decoder, settings.seekKind, settings.seekArguments[seeksDone++]) == media::kMfOk);
      progress.Restart(decoder);
      continue;
    }
    Check(result == media::kMfOk || result == media::kMfDecodeError);
    if (result == media::kMfOk) CheckFrame(decoder, settings);
    progress.Advance(decoder, result == media::kMfOk || decoder->input->position != before);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < kPrefixBytes) return 0;
  const Settings settings = ReadSettings(data);
  Stream stream(data + kPrefixBytes, size - kPrefixBytes, settings);
  if (media::mf_input_open(stream.decoder) != media::kMfOk) return 0;
  CheckStatus(stream.decoder);
  DecodeStream(stream.decoder, settings);
  Check(media::mf_input_close(stream.decoder) == media::kMfOk);
  return 0;
}
