// The input side of the decoder: input life cycle, codec selection at opening, decoding one
// frame with the play-time accumulator, and seeking by bytes, fraction, seconds and timecode.
#include <algorithm>
#include <cmath>

#include "media/framework/MediaFramework.h"
#include "media/framework/MfInternal.h"

namespace veltro::media {
namespace {

constexpr uint32_t kMicrosPerSecond = 1000000u;

MfInputModuleRecord* PickInputModule(MfDecoder* d, const char* name, int moduleId, int& failure) {
  for (MfInputModuleRecord* r = d->priv->inputModules; r != nullptr; r = r->next) {
    if (moduleId == -1 ? (r->descriptor.probe != nullptr && r->descriptor.probe(name) == 0)
                       : r->id == moduleId) {
      return r;
    }
  }
  failure = moduleId == -1 ? kMfNoInputModule : kMfUnknownModuleId;
  return nullptr;
}

MfCodecModuleRecord* PickCodecModule(MfDecoder* d, const char* type, const char* name) {
  for (MfCodecModuleRecord* r = d->priv->codecModules; r != nullptr; r = r->next) {
    if (r->descriptor.probe(type, name) == 0) return r;
  }
  return nullptr;
}

void ResetInputState(MfInputState* input) {
  input->caps = 0;
  input->size = 0;
  input->position = 0;
  input->type = "unknown";
}

void ResetStatus(MfDecoder* d) {
  MfStatus* status = d->status;
  MfPropertyList* properties = status->stream.properties;
  *status = MfStatus{};
  status->stream.properties = properties;
  mf_property_delete_all(properties);
  d->priv->playSeconds = 0;
  d->priv->playMicroseconds = 0;
}

// Creates or keeps the codec instance of `record` and passes it the stored parameters.
int CreateCodec(MfDecoder* d, MfCodecModuleRecord* record, const char* type) {
  MfCodecState* codec = d->codec;
  if (codec->instance != nullptr && codec->module == &record->descriptor) return kMfOk;
  if (codec->instance != nullptr) codec->module->deleteInstance(codec->instance);
  *codec = MfCodecState{};
  void* instance = nullptr;
  const int made = record->descriptor.newInstance(&instance, type, d->input->name, record, d);
  if (made != kMfOk || instance == nullptr) return made != kMfOk ? made : kMfFailed;
  codec->instance = instance;
  codec->module = &record->descriptor;
  MfModuleInfo info{};
  record->descriptor.query(&info, kMfQueryBufferSize | kMfQueryCaps);
  codec->bufferSize = info.bufferSize > 0 ? info.bufferSize : 0;
  codec->caps = info.flags;
  MfDecoderPrivate* p = d->priv;
  if (p->sampleBuffer != nullptr &&
      p->sampleBufferBytes < static_cast<uint32_t>(codec->bufferSize)) {
    delete[] p->sampleBuffer;
    p->sampleBuffer = nullptr;
    p->sampleBufferBytes = 0;
  }
  if (codec->module->setParameters != nullptr) {
    codec->module->setParameters(
        instance, &p->codecParameters,
        kMfCodecParamChannels | kMfCodecParamDownsampling | kMfCodecParamEqualizer);
  }
  return kMfOk;
}

// The last part of opening: select and prepare the codec for the freshly opened stream.
int PrepareCodec(MfDecoder* d) {
  const char* type = d->input->type != nullptr ? d->input->type : "audio/unknown";
  MfCodecModuleRecord* record = PickCodecModule(d, type, d->input->name);
  int result = record == nullptr ? kMfNoCodec : CreateCodec(d, record, type);
  const MfCodecModule* codec = d->codec->module;
  if (result == kMfOk && codec->streamOpened != nullptr) {
    result = codec->streamOpened(d->codec->instance, type, d->input->name);
  }
  if (result != kMfOk) return result;
  if ((d->input->caps & kMfInputSeekable) != 0 && codec->readStreamInfo != nullptr) {
    codec->readStreamInfo(d->codec->instance, &d->status->stream);
  }
  return kMfOk;
}

// Frame duration in microseconds, kept within 32 bits for counts of any size.
uint32_t FrameMicroseconds(uint32_t count, uint32_t rate) {
  if (rate == 0) return 0;
  if (count <= 2048) return count * kMicrosPerSecond / rate;
  return (2048000000u / rate) * (count / 2048) + (count % 2048) * kMicrosPerSecond / rate;
}

void AddPlayTime(MfDecoderPrivate* p, uint32_t micros) {
  p->playSeconds += micros / kMicrosPerSecond;
  p->playMicroseconds += micros % kMicrosPerSecond;
  if (p->playMicroseconds >= kMicrosPerSecond) {
    p->playMicroseconds -= kMicrosPerSecond;
    ++p->playSeconds;
  }
}

// The play time of byte `offset` whose stream position (0.0 to 1.0) is `position`.
void SetPlayTime(MfDecoder* d, float position, uint32_t offset) {
  const MfStreamInfo& stream = d->status->stream;
  double seconds = 0.0;
  if (stream.durationMs > 0) {
    seconds = stream.durationMs * static_cast<double>(position) * 0.001;
  } else if (stream.bitrateKbps > 0) {
    seconds = offset / (stream.bitrateKbps * 125.0);
  }
  if (!(seconds >= 0.0) || seconds >= 4294967295.0) seconds = 0.0;
  const double whole = std::floor(seconds);
  d->priv->playSeconds = static_cast<uint32_t>(whole);
  d->priv->playMicroseconds =
      std::min(static_cast<uint32_t>((seconds - whole) * kMicrosPerSecond), kMicrosPerSecond - 1);
}

void SetPlayTimeFromPosition(MfDecoder* d) {
  SetPlayTime(d, d->status->position, d->input->position);
}

void NoteFormatChanges(MfOutputBuffer* out, int bytesPerSample, int channels, int rate) {
  out->changes = 0;
  if (out->bytesPerSample != bytesPerSample) out->changes |= kMfOutputChangedBytesPerSample;
  if (out->channels != channels) {
    out->changes |= kMfOutputChangedChannels | kMfOutputChangedRateOrChannels;
  }
  if (out->sampleRateHz != rate) out->changes |= kMfOutputChangedRateOrChannels;
}

// The stream position (0.0 to 1.0) of a byte offset: the codec's mapping when it has one.
float PositionOfOffset(MfDecoder* d, uint32_t offset) {
  const MfCodecModule* codec = d->codec->module;
  float position = 0.0f;
  if (codec != nullptr && d->codec->instance != nullptr && codec->offsetToPosition != nullptr) {
    position = codec->offsetToPosition(d->codec->instance, offset);
  } else if (d->input->size != 0) {
    position = static_cast<float>(static_cast<double>(offset) / d->input->size);
  }
  if (!(position >= 0.0f)) position = 0.0f;  // also a codec's NaN
  return position > 1.0f ? 1.0f : position;
}

}  // namespace

void MfUpdatePosition(MfDecoder* d) {
  d->status->position = PositionOfOffset(d, d->input->position);
}

void MfResumePlayTimeAt(MfDecoder* d, uint32_t byteOffset) {
  SetPlayTime(d, PositionOfOffset(d, byteOffset), byteOffset);
  MfUpdateTimecode(d);
}

void MfUpdateTimecode(MfDecoder* d) {
  const uint32_t seconds = d->priv->playSeconds;
  MfTimecode& t = d->status->stream.timecode;
  t.hours = static_cast<int32_t>(seconds / 3600);
  t.minutes = static_cast<int32_t>(seconds % 3600 / 60);
  t.seconds = static_cast<int32_t>(seconds % 60);
  t.hundredths = static_cast<int32_t>(d->priv->playMicroseconds / 10000);
}

int mf_input_new(MfDecoder* d, const char* name, int moduleId) {
  if (d == nullptr) return kMfInvalidParameter;
  int failure = kMfOk;
  MfInputModuleRecord* record = PickInputModule(d, name == nullptr ? "" : name, moduleId, failure);
  if (record == nullptr) return failure;
  MfInputState* input = d->input;
  if (input->instance != nullptr && input->module == &record->descriptor &&
      MfSameText(input->name, name)) {
    return kMfOk;
  }
  const int deleted = mf_input_delete(d);
  if (deleted != kMfOk) return deleted;
  input->state = kMfClosed;
  input->name = MfCopyText(name);
  if (input->name == nullptr) return kMfOutOfMemory;
  input->module = &record->descriptor;
  void* instance = nullptr;
  const int made = record->descriptor.newInstance(&instance, input->name, record, d);
  if (made != kMfOk || instance == nullptr) {
    input->instance = nullptr;
    return made != kMfOk ? made : kMfFailed;
  }
  input->instance = instance;
  input->caps = 0;
  return kMfOk;
}

int mf_input_open(MfDecoder* d) {
  if (d == nullptr) return kMfInvalidParameter;
  const int check = MfCheckInput(d, kMfClosed);
  if (check != kMfOk) return check;
  ResetStatus(d);
  ResetInputState(d->input);
  MfInputFilterNode* head = d->priv->inputHead;
  const int opened = head->methods.open(head);
  if (opened != kMfOk) return opened;
  d->input->state = kMfOpen;
  if (d->input->size == 0) d->input->size = head->methods.getSize(head);
  d->input->caps = head->methods.getCaps(head);
  const int prepared = PrepareCodec(d);
  if (prepared != kMfOk) {
    mf_input_close(d);
    return prepared;
  }
  return kMfOk;
}

int mf_input_close(MfDecoder* d) {
  if (d == nullptr) return kMfInvalidParameter;
  const int check = MfCheckInput(d, kMfOpen);
  if (check != kMfOk) return check;
  ResetInputState(d->input);
  MfInputFilterNode* head = d->priv->inputHead;
  const int closed = head->methods.close(head);
  d->input->state = kMfClosed;
  const MfCodecModule* codec = d->codec->module;
  if (d->codec->instance != nullptr && codec->streamClosed != nullptr) {
    codec->streamClosed(d->codec->instance);
  }
  return closed;
}

int mf_input_delete(MfDecoder* d) {
  if (d == nullptr) return kMfInvalidParameter;
  MfInputState* input = d->input;
  MfFreeText(input->name);
  input->name = nullptr;
  if (input->instance == nullptr) return kMfOk;
  if (input->module == nullptr) return MfInternalFailure(d, "null input module");
  if (input->state == kMfOpen) mf_input_close(d);
  input->module->deleteInstance(input->instance);
  input->instance = nullptr;
  return kMfOk;
}

int mf_input_send_message(MfDecoder* d, intptr_t a, intptr_t b, intptr_t c) {
  if (d == nullptr) return kMfInvalidParameter;
  const int check = MfCheckInput(d, -1);
  if (check != kMfOk) return check;
  MfInputFilterNode* head = d->priv->inputHead;
  return head->methods.sendMessage(head, a, b, c);
}

int MfServiceRead(MfDecoder* d, void* buffer, uint32_t size) {
  if (d == nullptr || buffer == nullptr) return kMfInvalidParameter;
  MfInputFilterNode* head = d->priv->inputHead;
  const int result = head->methods.read(head, buffer, size);
  if (result == 0) return kMfEndOfStream;
  if (result < 0) return result;
  d->input->position += static_cast<uint32_t>(result);
  return kMfOk;
}

int MfServiceCodecReset(MfDecoder* d) {
  if (d == nullptr) return kMfInvalidParameter;
  const MfCodecModule* codec = d->codec->module;
  if (d->codec->instance == nullptr || codec->reset == nullptr) return kMfOk;
  return codec->reset(d->codec->instance);
}

int mf_decode(MfDecoder* d, int16_t* buffer) {
  if (d == nullptr) return kMfInvalidParameter;
  if (d->input->state != kMfOpen || d->codec->instance == nullptr) {
    return MfInternalFailure(d, "input not open");
  }
  MfOutputBuffer* out = d->outputBuffer;
  const int bytesPerSample = out->bytesPerSample;
  const int channels = out->channels;
  const int rate = out->sampleRateHz;
  if (buffer == nullptr) buffer = MfInternalBuffer(d, static_cast<uint32_t>(d->codec->bufferSize));
  if (buffer == nullptr) return kMfOutOfMemory;
  out->samples = buffer;
  out->bytesPerSample = 2;
  d->status->stream.changes = 0;
  const int decoded = d->codec->module->decode(d->codec->instance, out, &d->status->stream);
  if (decoded != kMfOk) return decoded;
  if (out->sampleCount > 0 && out->sampleRateHz > 0) {
    AddPlayTime(d->priv, FrameMicroseconds(static_cast<uint32_t>(out->sampleCount),
                                           static_cast<uint32_t>(out->sampleRateHz)));
  }
  MfUpdatePosition(d);
  MfUpdateTimecode(d);
  NoteFormatChanges(out, bytesPerSample, channels, rate);
  return kMfOk;
}

int mf_input_seek(MfDecoder* d, uint32_t byteOffset) {
  if (d == nullptr) return kMfInvalidParameter;
  if (d->input->instance == nullptr || d->input->state != kMfOpen) {
    return MfInternalFailure(d, "input not open");
  }
  if (byteOffset > d->input->size) byteOffset = d->input->size;
  MfInputFilterNode* head = d->priv->inputHead;
  const int sought = head->methods.seek(head, byteOffset);
  if (sought != kMfOk) return sought;
  d->input->position = byteOffset;
  const MfCodecModule* codec = d->codec->module;
  if (d->codec->instance != nullptr && codec->seekDone != nullptr) {
    codec->seekDone(d->codec->instance, byteOffset);
  }
  MfUpdatePosition(d);
  SetPlayTimeFromPosition(d);
  MfUpdateTimecode(d);
  return kMfOk;
}

int mf_input_seek_to_position(MfDecoder* d, float position) {
  if (d == nullptr) return kMfInvalidParameter;
  if (!(position >= 0.0f)) position = 0.0f;
  if (position > 1.0f) position = 1.0f;
  const MfCodecModule* codec = d->codec->module;
  if (d->codec->instance != nullptr && codec->positionToOffsetFraction != nullptr) {
    position = codec->positionToOffsetFraction(d->codec->instance, position);
    // A codec's answer outside 0..1 (or NaN) must not turn into an undefined conversion.
    if (!(position >= 0.0f)) position = 0.0f;
    if (position > 1.0f) position = 1.0f;
  }
  return mf_input_seek(d, static_cast<uint32_t>(static_cast<double>(d->input->size) * position));
}

int mf_input_seek_to_seconds(MfDecoder* d, float seconds) {
  if (d == nullptr) return kMfInvalidParameter;
  if (!(seconds >= 0.0f)) seconds = 0.0f;
  const int durationMs = d->status->stream.durationMs;
  if (durationMs <= 0) return mf_input_seek_to_position(d, 0.0f);
  return mf_input_seek_to_position(
      d, static_cast<float>(static_cast<double>(seconds) * 1000.0 / durationMs));
}

int mf_input_seek_to_timecode(MfDecoder* d, const MfTimecode* t) {
  if (d == nullptr || t == nullptr) return kMfInvalidParameter;
  const double seconds = t->hundredths * 0.01 + t->minutes * 60.0 + t->hours * 3600.0 + t->seconds;
  return mf_input_seek_to_seconds(d, static_cast<float>(seconds));
}

}  // namespace veltro::media
