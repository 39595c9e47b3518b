// The output side of the decoder: output life cycle, control pass-through and mf_play, which
// decodes one frame into a buffer of the output chain and writes it there.
#include "media/framework/MediaFramework.h"
#include "media/framework/MfInternal.h"

namespace veltro::media {
namespace {

MfOutputModuleRecord* PickOutputModule(MfDecoder* d, const char* name, int moduleId, int& failure) {
  for (MfOutputModuleRecord* r = d->priv->outputModules; r != nullptr; r = r->next) {
    if (moduleId == -1 ? (r->descriptor.probe != nullptr && r->descriptor.probe(name) == 0)
                       : r->id == moduleId) {
      return r;
    }
  }
  failure = moduleId == -1 ? kMfNoOutputModule : kMfUnknownModuleId;
  return nullptr;
}

// Tells the output chain about a new PCM format; -509 from the chain ends mf_play.
int PassFormatChange(MfDecoder* d, MfOutputFilterNode* head) {
  const MfOutputBuffer* out = d->outputBuffer;
  if (out->changes == 0) return kMfOk;
  MfOutputControl control{};
  control.words[kMfControlBytesPerSample] = out->bytesPerSample;
  control.words[kMfControlSampleRate] = out->sampleRateHz;
  control.words[kMfControlChannels] = out->channels;
  const int result = head->methods.setControl(head, &control, out->changes);
  return result == kMfNoOutputModule ? result : kMfOk;
}

}  // namespace

int mf_output_new(MfDecoder* d, const char* name, int moduleId) {
  if (d == nullptr) return kMfInvalidParameter;
  int failure = kMfOk;
  MfOutputModuleRecord* record =
      PickOutputModule(d, name == nullptr ? "" : name, moduleId, failure);
  if (record == nullptr) return failure;
  MfOutputState* output = d->output;
  if (output->instance != nullptr && output->module == &record->descriptor &&
      MfSameText(output->name, name)) {
    return kMfOk;
  }
  const int deleted = mf_output_delete(d);
  if (deleted != kMfOk) return deleted;
  output->state = kMfClosed;
  output->name = MfCopyText(name);
  if (output->name == nullptr) return kMfOutOfMemory;
  output->module = &record->descriptor;
  void* instance = nullptr;
  const int made = record->descriptor.newInstance(&instance, output->name, record, d);
  if (made != kMfOk || instance == nullptr) {
    output->instance = nullptr;
    return made != kMfOk ? made : kMfFailed;
  }
  output->instance = instance;
  return kMfOk;
}

int mf_output_open(MfDecoder* d) {
  if (d == nullptr) return kMfInvalidParameter;
  const int check = MfCheckOutput(d, kMfClosed);
  if (check != kMfOk) return check;
  MfOutputFilterNode* head = d->priv->outputHead;
  const int opened = head->methods.open(head);
  if (opened != kMfOk) return opened;
  d->outputBuffer->bytesPerSample = 0;
  d->outputBuffer->channels = 0;
  d->outputBuffer->sampleRateHz = 0;
  d->output->caps = head->methods.getCaps(head);
  d->output->state = kMfOpen;
  return kMfOk;
}

int mf_output_close(MfDecoder* d) {
  if (d == nullptr) return kMfInvalidParameter;
  const int check = MfCheckOutput(d, kMfOpen);
  if (check != kMfOk) return check;
  d->output->caps = 0;
  d->output->state = kMfClosed;
  MfOutputFilterNode* head = d->priv->outputHead;
  return head->methods.close(head);
}

int mf_output_delete(MfDecoder* d) {
  if (d == nullptr) return kMfInvalidParameter;
  MfOutputState* output = d->output;
  MfFreeText(output->name);
  output->name = nullptr;
  if (output->instance == nullptr) return kMfOk;
  if (output->module == nullptr) return MfInternalFailure(d, "null output module");
  if (output->state == kMfOpen) mf_output_close(d);
  output->module->deleteInstance(output->instance);
  output->instance = nullptr;
  return kMfOk;
}

int mf_output_set_control(MfDecoder* d, MfOutputControl* control, int flags) {
  if (d == nullptr) return kMfInvalidParameter;
  if (control == nullptr) return MfInternalFailure(d, "null control block");
  const int check = MfCheckOutput(d, -1);
  if (check != kMfOk) return check;
  MfOutputFilterNode* head = d->priv->outputHead;
  return head->methods.setControl(head, control, flags);
}

int mf_output_get_control(MfDecoder* d, MfOutputControl* control, int flags) {
  if (d == nullptr) return kMfInvalidParameter;
  if (control == nullptr) return MfInternalFailure(d, "null control block");
  const int check = MfCheckOutput(d, -1);
  if (check != kMfOk) return check;
  MfOutputFilterNode* head = d->priv->outputHead;
  return head->methods.getControl(head, control, flags);
}

int mf_output_send_message(MfDecoder* d, intptr_t a, intptr_t b, intptr_t c) {
  if (d == nullptr) return kMfInvalidParameter;
  const int check = MfCheckOutput(d, -1);
  if (check != kMfOk) return check;
  MfOutputFilterNode* head = d->priv->outputHead;
  return head->methods.sendMessage(head, a, b, c);
}

int mf_play(MfDecoder* d) {
  if (d == nullptr) return kMfInvalidParameter;
  if (d->output->instance == nullptr || d->output->state != kMfOpen) {
    return MfInternalFailure(d, "output not open");
  }
  MfOutputFilterNode* head = d->priv->outputHead;
  const auto bytes = static_cast<uint32_t>(d->codec->bufferSize);
  auto* buffer = static_cast<int16_t*>(head->methods.getBuffer(head, bytes));
  if (buffer == nullptr) return kMfOutOfMemory;
  const int decoded = mf_decode(d, buffer);
  if (decoded != kMfOk) return decoded;
  const int changed = PassFormatChange(d, head);
  if (changed != kMfOk) return changed;
  MfOutputBuffer* out = d->outputBuffer;
  if ((d->output->caps & kMfOutputCapsDelay) != 0) {
    if (head->methods.getStatus(head, &out->delay) != kMfOk) out->delay = 0;
  }
  if (out->sampleCount < 0 || out->channels < 0) return kMfDecodeError;  // a faulty codec
  const auto total = static_cast<uint32_t>(out->bytesPerSample) *
                     static_cast<uint32_t>(out->sampleCount) * static_cast<uint32_t>(out->channels);
  return head->methods.write(head, out->samples, total, out->bytesPerSample, out->channels,
                             out->sampleRateHz);
}

}  // namespace veltro::media
