// The MPEG audio codec module: the framework's method table around MpegFrameDecoder, the scan of
// the stream start (ID3v2 tag, first header, Xing/Lame or VBRI header), the stream information
// kept up to date while decoding, and the mapping between byte offsets and play positions.
#include "media/modules/MpegAudioCodec.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>

#include "media/mp3info/Id3Layout.h"
#include "media/mp3info/VbrHeader.h"
#include "media/mpeg/MpegFrameDecoder.h"
#include "media/mpeg/MpegHeader.h"
#include "platform/ByteOrder.h"

namespace veltro::media {

// The frame decoder's results and its byte source's read results pass through to the framework
// unchanged, so the codes they share are the framework's.
static_assert(kMpegEndOfStream == kMfEndOfStream);
static_assert(kMpegDecodeError == kMfDecodeError);
static_assert(kMfOk == 0, "the frame decoder and its byte source report success as 0");

static_assert(kMpegCodecMaxOutputBytes == kMpegMaxFrameSamples * static_cast<int>(sizeof(int16_t)),
              "the codec's public output size is the frame decoder's largest frame");

namespace {

// Bytes read at the stream start: the longest Xing header with all its fields behind the
// MPEG-1 stereo side information (36 bytes in: tag, flags, two counts, the seek table).
constexpr int kScanBytes = 152;
constexpr int kSeekTableEntries = kVbrSeekTableEntries;
constexpr int kSeekTableScale = kVbrSeekTableScale;
constexpr int kAverageWeight = 32;     // the bitrate average moves by 1/32 of a frame's bitrate
constexpr int64_t kAverageOne = 1024;  // the average is kept in kbit/s times 1024
constexpr double kEarlierPartWeight = 0.8;  // weight of the time before the last seek point
constexpr int kNotPublished = -1;

constexpr char kLevelProperty[] = "mpeg/level";
constexpr char kLayerProperty[] = "mpeg/layer";
constexpr char kModeProperty[] = "mpeg/mode";

// What was last published into the stream info, so only changes are published again.
struct InfoCache {
  int level = kNotPublished;  // 1 MPEG-1, 2 MPEG-2, 0 MPEG 2.5
  int layer = kNotPublished;
  int frequencyHz = kNotPublished;
  int bitrateKbps = kNotPublished;  // the previous frame's own bitrate
  int mode = kNotPublished;
};

struct CodecInstance {
  MfDecoder* decoder = nullptr;
  int channelSelection = 0;
  int downsampling = 0;
  MpegFrameDecoder frames;
  const char* outputType = kMpegOutputType;
  InfoCache cache;
  bool vbrHeader = false;      // a Xing/Lame or VBRI header fixed duration and bitrate
  int64_t bitrateAverage = 0;  // kbit/s times kAverageOne; 0 = not started
  bool hasSeekTable = false;
  std::array<uint8_t, kSeekTableEntries> seekTable{};
  uint32_t audioBytes = 0;      // stream size minus the ID3v2 tag; 0 = unknown
  uint32_t tagBytes = 0;        // ID3v2 tag size; 0 = none
  uint64_t samplesDecoded = 0;  // per channel, at the PCM rate, since the last reset or seek
  uint32_t lastSeekOffset = 0;
  bool resumingAfterSeek = false;  // the first frame after a seek is still to come
};

CodecInstance* Instance(void* instance) {
  return static_cast<CodecInstance*>(instance);
}

// The decoder's read service as the frame decoder's byte source (all or nothing).
class ServiceByteSource : public MpegByteSource {
 public:
  explicit ServiceByteSource(MfDecoder* decoder) : decoder_(decoder) {}
  int Read(uint8_t* buffer, size_t size) override {
    if (size > std::numeric_limits<uint32_t>::max()) return kMfInvalidParameter;
    return decoder_->services.read(decoder_, buffer, static_cast<uint32_t>(size));
  }

 private:
  MfDecoder* decoder_;
};

int ClampToInt(int64_t value) {
  return static_cast<int>(std::clamp<int64_t>(value, 0, std::numeric_limits<int>::max()));
}

// The published level: 1 MPEG-1, 2 MPEG-2, 0 MPEG 2.5 (the header holds 0, 1, 2).
int PublishedLevel(const MpegFrameHeader& header) {
  static const int kPublished[3] = {1, 2, 0};
  return header.level >= 0 && header.level <= 2 ? kPublished[header.level] : -1;
}

void SetProperty(MfDecoder* decoder, const char* name, int value) {
  decoder->services.setStreamValue(decoder, name, static_cast<intptr_t>(value));
}

// --- Module identity -------------------------------------------------------------------------

int Probe(const char* /*type*/, const char* /*name*/) {
  return kMfOk;  // any stream the input delivers, whatever its type
}

int Query(MfModuleInfo* info, int flags) {
  if (info == nullptr) return kMfInvalidParameter;
  if ((flags & kMfQueryName) != 0) {
    std::strcpy(info->name, "MPEG Audio Codec");
    std::strcpy(info->description, "Version 1.2");
    info->flags = 0;
    return kMfOk;
  }
  // The device asked for is read before the count may overwrite the index.
  if ((flags & kMfQueryDevice) != 0) {
    if (info->index != 0) return kMfInvalidParameter;
    std::strcpy(info->name, "MP1, MP2, MP3");
    std::strcpy(info->description, "MPEG 1 or 2 audio");
  }
  if ((flags & kMfQueryDeviceCount) != 0) info->index = 1;
  if ((flags & kMfQueryBufferSize) != 0) info->bufferSize = kMpegCodecBufferBytes;
  if ((flags & kMfQueryCaps) != 0) info->flags = kMpegCodecCaps;
  return kMfOk;
}

// --- Life cycle ------------------------------------------------------------------------------

int New(void** instance, const char* /*type*/, const char* /*name*/,
        MfCodecModuleRecord* /*record*/, MfDecoder* decoder) {
  if (instance == nullptr || decoder == nullptr) return kMfInvalidParameter;
  *instance = nullptr;
  try {
    auto* codec = new CodecInstance();
    codec->decoder = decoder;
    *instance = codec;
    return kMfOk;
  } catch (const std::bad_alloc&) {
    return kMfOutOfMemory;
  }
}

int Delete(void* instance) {
  if (instance == nullptr) return kMfInvalidParameter;
  delete Instance(instance);
  return kMfOk;
}

int Reset(void* instance) {
  CodecInstance* codec = Instance(instance);
  if (codec == nullptr) return kMfInvalidParameter;
  codec->frames.Reset();
  codec->samplesDecoded = 0;
  codec->lastSeekOffset = 0;
  codec->resumingAfterSeek = false;
  return kMfOk;
}

int StreamOpened(void* instance, const char* /*type*/, const char* /*name*/) {
  CodecInstance* codec = Instance(instance);
  if (codec == nullptr) return kMfInvalidParameter;
  codec->cache = InfoCache{};
  codec->vbrHeader = false;
  codec->bitrateAverage = 0;
  codec->hasSeekTable = false;
  codec->tagBytes = 0;
  codec->audioBytes = codec->decoder->input != nullptr ? codec->decoder->input->size : 0;
  return Reset(instance);
}

int SeekDone(void* instance, uint32_t byteOffset) {
  const int reset = Reset(instance);
  if (reset == kMfOk) {
    Instance(instance)->lastSeekOffset = byteOffset;
    Instance(instance)->resumingAfterSeek = byteOffset > 0;
  }
  return reset;
}

// --- Stream information while decoding -------------------------------------------------------

void PublishLevelLayerMode(CodecInstance& codec, const MpegFrameHeader& header,
                           MfStreamInfo& info) {
  InfoCache& cache = codec.cache;
  if (PublishedLevel(header) != cache.level) {
    cache.level = PublishedLevel(header);
    SetProperty(codec.decoder, kLevelProperty, cache.level);
    info.changes |= kMfStreamChangedProperties;
  }
  if (LayerNumber(header) != cache.layer) {
    cache.layer = LayerNumber(header);
    SetProperty(codec.decoder, kLayerProperty, cache.layer);
    info.changes |= kMfStreamChangedProperties;
  }
  if (header.mode != cache.mode) {
    const bool wasKnown = cache.mode != kNotPublished;
    const bool wasMono = cache.mode == kModeMono;
    cache.mode = header.mode;
    SetProperty(codec.decoder, kModeProperty, cache.mode);
    info.channels = ChannelCount(header);
    info.changes |= kMfStreamChangedProperties;
    if (!wasKnown || wasMono != (header.mode == kModeMono)) info.changes |= kMfStreamChangedFormat;
  }
}

// The published bitrate: the frame's own when it changed, else an exponential average with
// weight 1/kAverageWeight that is published only when it drifts by more than 1/kAverageWeight
// of the published one.
void UpdateBitrate(CodecInstance& codec, int frameKbps, MfStreamInfo& info) {
  if (frameKbps != codec.cache.bitrateKbps) {
    codec.cache.bitrateKbps = frameKbps;
    info.bitrateKbps = frameKbps;
    info.changes |= kMfStreamChangedFormat;
  }
  const int published = info.bitrateKbps;
  if (published == 0) {
    info.bitrateKbps = frameKbps;
    codec.bitrateAverage = frameKbps * kAverageOne;
    return;
  }
  if (codec.bitrateAverage == 0) codec.bitrateAverage = published * kAverageOne;
  codec.bitrateAverage =
      (codec.bitrateAverage * (kAverageWeight - 1) + frameKbps * kAverageOne) / kAverageWeight;
  const int64_t average = (codec.bitrateAverage + kAverageOne / 2) / kAverageOne;
  if (std::llabs(average - published) > published / kAverageWeight) {
    info.bitrateKbps = static_cast<int>(average);
    info.changes |= kMfStreamChangedFormat;
  }
}

// Duration = time decoded since the last seek + the (weighted) time of the bytes before the
// seek point at the rate measured since then + the rest of the stream at the published bitrate.
void EstimateDuration(CodecInstance& codec, int pcmRateHz, MfStreamInfo& info) {
  const int bitrate = info.bitrateKbps;
  if (bitrate <= 0 || (info.changes & kMfStreamChangedFormat) == 0 || codec.audioBytes == 0) return;
  if (pcmRateHz <= 0) return;
  const double decodedMs = static_cast<double>(codec.samplesDecoded) * 1000.0 / pcmRateHz;
  const double position = codec.decoder->input->position;
  const double seekOffset = codec.lastSeekOffset;
  const double tag = codec.tagBytes;
  const double size = tag + codec.audioBytes;
  const double bytesPerMs =
      position > seekOffset && decodedMs > 0 ? (position - seekOffset) / decodedMs : bitrate / 8.0;
  double durationMs = decodedMs;
  if (seekOffset > tag) durationMs += kEarlierPartWeight * (seekOffset - tag) / bytesPerMs;
  if (size > position) durationMs += (size - position) * 8.0 / bitrate;
  info.durationMs = ClampToInt(static_cast<int64_t>(durationMs));
  info.changes |= kMfStreamChangedFormat;
}

void UpdateStreamInfo(CodecInstance& codec, const MpegDecodedFrame& frame, MfStreamInfo& info) {
  PublishLevelLayerMode(codec, frame.header, info);
  const int frequency = FrequencyHz(frame.header);
  if (frequency != codec.cache.frequencyHz) {
    codec.cache.frequencyHz = frequency;
    info.frequencyHz = frequency;
    info.changes |= kMfStreamChangedFormat;
  }
  UpdateBitrate(codec, BitrateKbps(frame.header), info);
  EstimateDuration(codec, frame.sampleRate, info);
}

// A seek lands on any byte; decoding resumes at the next frame header. The play time is moved
// to where that frame begins, so that the timecode describes the samples actually delivered.
void NoteResumeOffset(CodecInstance& codec) {
  codec.resumingAfterSeek = false;
  const uint64_t skipped = codec.frames.LastFrameStartBytes();
  const uint64_t frameStart = uint64_t{codec.lastSeekOffset} + skipped;
  if (skipped == 0 || frameStart > std::numeric_limits<uint32_t>::max()) return;
  MfResumePlayTimeAt(codec.decoder, static_cast<uint32_t>(frameStart));
}

int Decode(void* instance, MfOutputBuffer* output, MfStreamInfo* info) {
  CodecInstance* codec = Instance(instance);
  if (codec == nullptr || output == nullptr || output->samples == nullptr || info == nullptr) {
    return kMfInvalidParameter;
  }
  ServiceByteSource source(codec->decoder);
  MpegDecodedFrame frame;
  const int decoded = codec->frames.DecodeFrame(source, output->samples, frame);
  if (decoded != 0) return decoded;
  if (codec->resumingAfterSeek) NoteResumeOffset(*codec);
  output->sampleCount = frame.samples;
  output->channels = frame.channels;
  output->sampleRateHz = frame.sampleRate;
  output->bytesPerSample = static_cast<int>(sizeof(int16_t));
  if (info->type == nullptr || std::strcmp(info->type, codec->outputType) != 0) {
    info->type = codec->outputType;
    info->changes |= kMfStreamChangedType;
  }
  codec->samplesDecoded += static_cast<uint64_t>(frame.samples);
  if (!codec->vbrHeader) UpdateStreamInfo(*codec, frame, *info);
  return kMfOk;
}

// --- Stream information at the stream start --------------------------------------------------

// The ID3v2 tag size when the scanned bytes begin with a tag header; 0 without one.
uint32_t Id3v2TagBytes(const uint8_t* bytes) {
  const auto header = ParseId3v2Header({bytes, kId3v2HeaderBytes});
  return header ? header->tagBytes : 0;
}

// Reads the scan bytes at the stream start (behind an ID3v2 tag) and leaves the input at the
// first audio byte. kMfOk, or the read's failure code.
int ReadStreamStart(CodecInstance& codec, uint8_t* bytes) {
  MfDecoder* d = codec.decoder;
  int result = d->services.read(d, bytes, kScanBytes);
  const uint32_t tag = result == kMfOk ? Id3v2TagBytes(bytes) : 0;
  if (tag != 0) {
    const uint32_t size = d->input->size;
    codec.tagBytes = std::min(tag, size);
    codec.audioBytes = size - codec.tagBytes;
    d->services.seek(d, codec.tagBytes);
    result = d->services.read(d, bytes, kScanBytes);
  }
  d->services.seek(d, codec.tagBytes);
  return result;
}

// Duration and bitrate from a VBR header's frame count; false when it has none.
bool ApplyVbrHeader(CodecInstance& codec, const VbrHeader& vbr, const MpegFrameHeader& header,
                    MfStreamInfo& info) {
  codec.hasSeekTable = vbr.hasSeekTable;
  codec.seekTable = vbr.seekTable;
  if (vbr.frameCount == 0) return false;  // a header without a frame count tells nothing
  const int64_t samples = int64_t{vbr.frameCount} * VbrFrameSamples(header);
  const int64_t durationMs = samples * 1000 / FrequencyHz(header);
  info.durationMs = ClampToInt(durationMs);
  info.bitrateKbps = durationMs > 0 ? ClampToInt(int64_t{codec.audioBytes} * 8 / durationMs) : 0;
  codec.vbrHeader = true;
  return true;
}

void PublishStreamStart(CodecInstance& codec, const MpegFrameHeader& header, MfStreamInfo& info) {
  InfoCache& cache = codec.cache;
  cache.level = PublishedLevel(header);
  cache.layer = LayerNumber(header);
  cache.mode = header.mode;
  cache.frequencyHz = FrequencyHz(header);
  cache.bitrateKbps = BitrateKbps(header);
  info.frequencyHz = cache.frequencyHz;
  info.channels = ChannelCount(header);
  SetProperty(codec.decoder, kLevelProperty, cache.level);
  SetProperty(codec.decoder, kLayerProperty, cache.layer);
  SetProperty(codec.decoder, kModeProperty, cache.mode);
  info.changes |= kMfStreamChangedProperties | kMfStreamChangedFormat;
}

int ReadStreamInfo(void* instance, MfStreamInfo* info) {
  CodecInstance* codec = Instance(instance);
  if (codec == nullptr || info == nullptr) return kMfInvalidParameter;
  info->type = codec->outputType;
  info->changes |= kMfStreamChangedType;
  codec->audioBytes = codec->decoder->input->size;
  codec->tagBytes = 0;
  codec->hasSeekTable = false;
  uint8_t bytes[kScanBytes];
  if (ReadStreamStart(*codec, bytes) != kMfOk) return kMfFailed;
  const uint32_t word = platform::LoadBigEndian32(bytes);
  const MpegFrameHeader header = UnpackHeader(word);
  if (!HasSyncWord(word) || !IsValidHeader(header)) return kMfFailed;
  const int bitrate = BitrateKbps(header);
  info->bitrateKbps = bitrate;
  info->durationMs = ClampToInt(int64_t{codec->audioBytes} * 8 / bitrate);
  ApplyVbrHeader(*codec, ParseVbrHeader(bytes, header), header, *info);
  PublishStreamStart(*codec, header, *info);
  return kMfOk;
}

// --- Positions -------------------------------------------------------------------------------

float OffsetToPosition(void* instance, uint32_t byteOffset) {
  const CodecInstance* codec = Instance(instance);
  if (codec == nullptr || codec->audioBytes == 0 || byteOffset < codec->tagBytes) return 0.0f;
  return static_cast<float>(static_cast<double>(byteOffset - codec->tagBytes) / codec->audioBytes);
}

// Interpolates the seek table: entry i of x * kSeekTableEntries, toward entry i + 1
// (kSeekTableScale past the last).
double SeekTableFraction(const CodecInstance& codec, double x) {
  int entry = static_cast<int>(x * kSeekTableEntries);
  if (x >= 1.0 || entry > kSeekTableEntries - 1) entry = kSeekTableEntries - 1;
  entry = std::max(entry, 0);
  const double lower = codec.seekTable[static_cast<size_t>(entry)];
  const double upper = entry < kSeekTableEntries - 1
                           ? codec.seekTable[static_cast<size_t>(entry) + 1]
                           : static_cast<double>(kSeekTableScale);
  return (lower + (x * kSeekTableEntries - entry) * (upper - lower)) / kSeekTableScale;
}

float PositionToOffsetFraction(void* instance, float position) {
  const CodecInstance* codec = Instance(instance);
  if (codec == nullptr) return position;
  const double x = std::clamp(static_cast<double>(position), 0.0, 1.0);
  double fraction = codec->hasSeekTable ? SeekTableFraction(*codec, x) : x;
  if (codec->audioBytes > 0) {
    const double tag = codec->tagBytes;
    fraction = (fraction * codec->audioBytes + tag) / (tag + codec->audioBytes);
  }
  return static_cast<float>(fraction);
}

// --- Parameters ------------------------------------------------------------------------------

int SetParameters(void* instance, MfCodecParameters* parameters, int flags) {
  CodecInstance* codec = Instance(instance);
  if (codec == nullptr || parameters == nullptr) return kMfInvalidParameter;
  if ((flags & kMfCodecParamChannels) != 0) {
    codec->channelSelection = parameters->channels;
    codec->frames.SetChannelSelection(parameters->channels);
  }
  if ((flags & kMfCodecParamDownsampling) != 0) {
    codec->downsampling = parameters->downsampling;
    codec->frames.SetDownsampling(parameters->downsampling);
  }
  if ((flags & kMfCodecParamEqualizer) != 0) {
    try {
      codec->frames.SetEqualizer(parameters->equalizer);
    } catch (const std::bad_alloc&) {
      return kMfOutOfMemory;
    }
  }
  return kMfOk;
}

int GetParameters(void* instance, MfCodecParameters* parameters, int flags) {
  const CodecInstance* codec = Instance(instance);
  if (codec == nullptr || parameters == nullptr) return kMfInvalidParameter;
  if ((flags & kMfCodecParamChannels) != 0) parameters->channels = codec->channelSelection;
  if ((flags & kMfCodecParamDownsampling) != 0) {
    parameters->downsampling = codec->downsampling;
  }
  if ((flags & kMfCodecParamEqualizer) != 0 && parameters->equalizer != nullptr) {
    codec->frames.GetEqualizer(parameters->equalizer);
  }
  return kMfOk;
}

}  // namespace

void MpegAudioCodecDescriptor(MfCodecModule* out) {
  if (out == nullptr) return;
  *out = MfCodecModule{kMfInterfaceVersion,
                       Probe,
                       Query,
                       New,
                       Delete,
                       Decode,
                       ReadStreamInfo,
                       OffsetToPosition,
                       PositionToOffsetFraction,
                       StreamOpened,
                       nullptr,  // stream closed: nothing to do
                       SeekDone,
                       Reset,
                       SetParameters,
                       GetParameters,
                       nullptr};
}

}  // namespace veltro::media
