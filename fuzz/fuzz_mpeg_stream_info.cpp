// The scan of the stream start from arbitrary bytes: opening a memory input (seekable, so the
// codec reads the stream information: ID3v2 tag, first header, Xing/Lame or VBRI header and seek
// table), the published status and properties, seeks by position through the seek table, and
// decoding after them. Every published figure must be in range; a violation traps.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <initializer_list>

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

// A stream property as a number; -1 when it is absent (never a published value).
intptr_t Property(media::MfDecoder* decoder, const char* name) {
  intptr_t value = -1;
  const int found = media::mf_stream_property_get_value(decoder, name, &value);
  Check(found == media::kMfOk || found == media::kMfPropertyNotFound);
  return found == media::kMfOk ? value : -1;
}

// What the scan published: either a first header was found (frequency, channels and the three
// properties, all consistent) or nothing about the format was.
void CheckStreamStart(media::MfDecoder* decoder) {
  const media::MfStreamInfo& stream = decoder->status->stream;
  Check(stream.type != nullptr && std::strcmp(stream.type, media::kMpegOutputType) == 0);
  Check(stream.durationMs >= 0 && stream.bitrateKbps >= 0);
  const intptr_t level = Property(decoder, "mpeg/level");
  const intptr_t layer = Property(decoder, "mpeg/layer");
  const intptr_t mode = Property(decoder, "mpeg/mode");
  if (stream.frequencyHz == 0) {
    Check(level == -1 && layer == -1 && mode == -1);
    return;
  }
  Check(IsCodedRate(stream.frequencyHz));
  Check(level >= 0 && level <= 2);
  Check(layer >= 1 && layer <= 3);
  Check(level != 0 || layer == 3);  // MPEG 2.5 is Layer III only
  Check(mode >= 0 && mode <= 3);
  Check(stream.channels == (mode == 3 ? 1 : 2));
  CheckedTimecode(stream.timecode);
}

void CheckAfterSeek(const media::MfDecoder* decoder) {
  const media::MfStatus& status = *decoder->status;
  Check(status.position >= 0.0f && status.position <= 1.0f);  // false for NaN too
  Check(decoder->input->position <= decoder->input->size);
  Check(status.stream.durationMs >= 0);
  CheckedTimecode(status.stream.timecode);
}

void CheckDecodeResult(const media::MfDecoder* decoder, int result) {
  Check(result == media::kMfOk || result == media::kMfEndOfStream ||
        result == media::kMfDecodeError);
  if (result != media::kMfOk) return;
  const media::MfOutputBuffer& out = *decoder->outputBuffer;
  Check(out.channels == 1 || out.channels == 2);
  Check(out.sampleCount > 0 &&
        out.sampleCount * out.channels * out.bytesPerSample <= media::kMpegCodecBufferBytes);
  Check(IsCodedRate(out.sampleRateHz));
  CheckAfterSeek(decoder);
}

// Seeks through the seek table (when the scan found one) at the start, the middle, just before
// and at the end; decoding from the middle must work and at the end must find nothing.
void SeekAndDecode(media::MfDecoder* decoder) {
  for (float position : {0.0f, 0.5f}) {
    Check(media::mf_input_seek_to_position(decoder, position) == media::kMfOk);
    CheckAfterSeek(decoder);
  }
  CheckDecodeResult(decoder, media::mf_decode(decoder, nullptr));
  Check(media::mf_input_seek_to_position(decoder, 0.995f) == media::kMfOk);
  CheckAfterSeek(decoder);
  Check(media::mf_input_seek_to_position(decoder, 1.0f) == media::kMfOk);
  CheckAfterSeek(decoder);
  Check(decoder->input->position == decoder->input->size);
  Check(media::mf_decode(decoder, nullptr) == media::kMfEndOfStream);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const uint8_t kNoBytes = 0;
  media::MfDecoder* decoder = nullptr;
  if (media::mf_decoder_new(&decoder) != media::kMfOk) __builtin_trap();
  media::MfCodecModule codec{};
  media::MpegAudioCodecDescriptor(&codec);
  media::MfInputModule input{};
  media::MemoryInputDescriptor(&input);
  Check(media::mf_codec_module_register(decoder, &codec) == 0);
  Check(media::mf_input_module_register(decoder, &input) == 0);
  const uint8_t* bytes = size == 0 ? &kNoBytes : data;
  Check(media::MemoryInputAttach(decoder, kStreamName, bytes, static_cast<uint32_t>(size)) ==
        media::kMfOk);
  Check(media::mf_input_new(decoder, kStreamName, -1) == media::kMfOk);
  Check(media::mf_input_open(decoder) == media::kMfOk);
  CheckStreamStart(decoder);
  SeekAndDecode(decoder);
  media::mf_decoder_delete(decoder);
  return 0;
}
