// The decoder object: creation and deletion, notifications and state checks, module
// registration and queries, and the codec parameters.
#include "media/framework/MediaFramework.h"

#include <cstring>
#include <new>

#include "media/framework/MfInternal.h"

namespace veltro::media {
namespace {

template <typename T>
bool AllocateZeroed(T*& out) {
  out = new (std::nothrow) T{};
  return out != nullptr;
}

bool AllocateSubRecords(MfDecoder* d) {
  return AllocateZeroed(d->input) && AllocateZeroed(d->output) && AllocateZeroed(d->codec) &&
         AllocateZeroed(d->counts) && AllocateZeroed(d->status) &&
         AllocateZeroed(d->outputBuffer) && AllocateZeroed(d->priv) &&
         mf_property_list_new(&d->status->stream.properties) == kMfOk &&
         mf_property_list_new(&d->priv->decoderProperties) == kMfOk;
}

template <typename Record>
void FreeRecords(Record* record) {
  while (record != nullptr) {
    Record* next = record->next;
    delete record;
    record = next;
  }
}

// Frees whatever the decoder owns apart from modules' instances (already deleted).
void FreeDecoderMemory(MfDecoder* d) {
  if (d->status != nullptr) mf_property_list_delete(d->status->stream.properties);
  if (d->priv != nullptr) {
    FreeRecords(d->priv->inputModules);
    FreeRecords(d->priv->outputModules);
    FreeRecords(d->priv->codecModules);
    mf_property_list_delete(d->priv->decoderProperties);
    delete[] d->priv->codecParameters.equalizer;
    delete[] d->priv->sampleBuffer;
  }
  if (d->input != nullptr) MfFreeText(d->input->name);
  if (d->output != nullptr) MfFreeText(d->output->name);
  delete d->input;
  delete d->output;
  delete d->codec;
  delete d->counts;
  delete d->status;
  delete d->outputBuffer;
  delete d->priv;
  delete d;
}

bool HasInterfaceVersion(uint32_t version) {
  return ((version >> 8) & 0xFFFFu) == kMfInterfaceVersionBits;
}

// Pushes a copy of the descriptor at the head of a module list; returns the new id.
template <typename Descriptor>
int PushRecord(MfModuleRecord<Descriptor>*& head, const Descriptor& descriptor, int32_t& count) {
  auto* record = new (std::nothrow) MfModuleRecord<Descriptor>{};
  if (record == nullptr) return kMfOutOfMemory;
  record->id = head == nullptr ? 0 : head->id + 1;
  record->descriptor = descriptor;
  record->next = head;
  head = record;
  ++count;
  return record->id;
}

template <typename Record>
Record* FindRecord(Record* head, int moduleId) {
  for (Record* record = head; record != nullptr; record = record->next) {
    if (record->id == moduleId) return record;
  }
  return nullptr;
}

// Input and output modules share the required methods; `streamMethod` is read or write.
template <typename Descriptor>
int CheckStreamModule(MfDecoder* d, const Descriptor* desc, bool hasStreamMethod,
                      const char* streamReason) {
  if (d == nullptr || desc == nullptr) return kMfInvalidParameter;
  if (!HasInterfaceVersion(desc->version)) return kMfWrongVersion;
  if (desc->newInstance == nullptr || desc->deleteInstance == nullptr) {
    return MfInternalFailure(d, "null 'new' method in module");
  }
  if (desc->open == nullptr) return MfInternalFailure(d, "null 'open' method in module");
  if (desc->close == nullptr) return MfInternalFailure(d, "null 'close' method in module");
  if (!hasStreamMethod) return MfInternalFailure(d, streamReason);
  return kMfOk;
}

// The answers of an input or output module without a query method.
int DefaultQuery(MfModuleInfo* info, int flags, bool isInput) {
  if ((flags & kMfQueryName) != 0) {
    std::strcpy(info->name, "unknown module name");
    info->description[0] = '\0';
  }
  if ((flags & kMfQueryDeviceCount) != 0) info->index = 1;
  if ((flags & kMfQueryName) != 0) {
    if (isInput) info->flags = 0;
    return kMfOk;
  }
  if ((flags & kMfQueryDevice) != 0) {
    if (info->index != 0) return kMfInvalidParameter;
    std::strcpy(info->name, "unknown device name");
    info->description[0] = '\0';
    info->flags = 1;
  }
  return kMfOk;
}

template <typename Record>
int QueryStreamModule(MfDecoder* d, Record* head, int moduleId, MfModuleInfo* info, int flags,
                      bool isInput) {
  if (d == nullptr || info == nullptr) return kMfInvalidParameter;
  Record* record = FindRecord(head, moduleId);
  if (record == nullptr) return kMfUnknownModuleId;
  if (record->descriptor.query == nullptr) return DefaultQuery(info, flags, isInput);
  info->flags = 0;
  info->name[0] = '\0';
  info->description[0] = '\0';
  return record->descriptor.query(info, flags);
}

// Stores a parameter change and hands it to the codec instance, if any.
int PassParameters(MfDecoder* d, int flag) {
  const MfCodecModule* codec = d->codec->module;
  if (d->codec->instance == nullptr || codec == nullptr || codec->setParameters == nullptr) {
    return kMfOk;
  }
  return codec->setParameters(d->codec->instance, &d->priv->codecParameters, flag);
}

void AskParameters(MfDecoder* d, int flag) {
  const MfCodecModule* codec = d->codec->module;
  if (d->codec->instance == nullptr || codec == nullptr || codec->getParameters == nullptr) {
    return;
  }
  codec->getParameters(d->codec->instance, &d->priv->codecParameters, flag);
}

}  // namespace

// --- Helpers shared by the framework's files -------------------------------------------------

void mf_notify(MfDecoder* decoder, int moduleId, const char* message, const char* reason) {
  if (decoder == nullptr || decoder->notify == nullptr) return;
  decoder->notify(decoder->clientData, moduleId, 0, message, reason);
}

int MfInternalFailure(MfDecoder* decoder, const char* reason) {
  mf_notify(decoder, 0, kMfInternalErrorText, reason);
  return kMfInternalError;
}

int MfCheckInput(MfDecoder* d, int wantedState) {
  if (d->input->module == nullptr) return MfInternalFailure(d, "null input module");
  if (d->input->instance == nullptr) return MfInternalFailure(d, "null input instance");
  if (wantedState < 0 || d->input->state == wantedState) return kMfOk;
  return MfInternalFailure(d, wantedState == kMfOpen ? "input not open" : "input not closed");
}

int MfCheckOutput(MfDecoder* d, int wantedState) {
  if (d->output->module == nullptr) return MfInternalFailure(d, "null output module");
  if (d->output->instance == nullptr) return MfInternalFailure(d, "null output instance");
  if (wantedState < 0 || d->output->state == wantedState) return kMfOk;
  return MfInternalFailure(d, wantedState == kMfOpen ? "output not open" : "output not closed");
}

char* MfCopyText(const char* text) {
  const char* source = text == nullptr ? "" : text;
  const size_t length = std::strlen(source);
  char* copy = new (std::nothrow) char[length + 1];
  if (copy != nullptr) std::memcpy(copy, source, length + 1);
  return copy;
}

void MfFreeText(char* text) {
  delete[] text;
}

bool MfSameText(const char* a, const char* b) {
  return std::strcmp(a == nullptr ? "" : a, b == nullptr ? "" : b) == 0;
}

int16_t* MfInternalBuffer(MfDecoder* d, uint32_t bytes) {
  MfDecoderPrivate* p = d->priv;
  if (p->sampleBuffer != nullptr && p->sampleBufferBytes >= bytes) return p->sampleBuffer;
  delete[] p->sampleBuffer;
  p->sampleBufferBytes = 0;
  // Whole samples, at least one, so a codec reporting an odd or zero size still gets memory.
  p->sampleBuffer = new (std::nothrow) int16_t[bytes / 2 + 1]{};
  if (p->sampleBuffer != nullptr) p->sampleBufferBytes = bytes;
  return p->sampleBuffer;
}

// --- Life cycle ------------------------------------------------------------------------------

int mf_decoder_new(MfDecoder** decoder) {
  if (decoder == nullptr) return kMfInvalidParameter;
  *decoder = nullptr;
  auto* d = new (std::nothrow) MfDecoder{};
  if (d == nullptr) return kMfOutOfMemory;
  if (!AllocateSubRecords(d)) {
    FreeDecoderMemory(d);
    return kMfOutOfMemory;
  }
  d->output->caps = kMfOutputDefaultCaps;
  d->input->type = "unknown";
  MfInitFilterChains(d);
  MfFillServices(d->services);
  *decoder = d;
  return kMfOk;
}

int mf_decoder_delete(MfDecoder* d) {
  if (d == nullptr) return kMfInvalidParameter;
  mf_input_delete(d);
  MfDeleteInputFilters(d);
  mf_output_delete(d);
  MfDeleteOutputFilters(d);
  if (d->codec->instance != nullptr && d->codec->module != nullptr) {
    d->codec->module->deleteInstance(d->codec->instance);
  }
  d->codec->instance = nullptr;
  FreeDecoderMemory(d);
  return kMfOk;
}

// --- Registration and queries ----------------------------------------------------------------

int mf_input_module_register(MfDecoder* d, const MfInputModule* desc) {
  const int check = CheckStreamModule(d, desc, desc != nullptr && desc->read != nullptr,
                                      "null 'read' method in module");
  if (check != kMfOk) return check;
  return PushRecord(d->priv->inputModules, *desc, d->counts->inputs);
}

int mf_output_module_register(MfDecoder* d, const MfOutputModule* desc) {
  const int check = CheckStreamModule(d, desc, desc != nullptr && desc->write != nullptr,
                                      "null 'write' method in module");
  if (check != kMfOk) return check;
  return PushRecord(d->priv->outputModules, *desc, d->counts->outputs);
}

int mf_codec_module_register(MfDecoder* d, const MfCodecModule* desc) {
  if (d == nullptr || desc == nullptr) return kMfInvalidParameter;
  if (!HasInterfaceVersion(desc->version)) return kMfWrongVersion;
  if (desc->query == nullptr) return MfInternalFailure(d, "null 'query' method");
  if (desc->probe == nullptr) return MfInternalFailure(d, "null 'probe' method in module");
  if (desc->newInstance == nullptr || desc->deleteInstance == nullptr) {
    return MfInternalFailure(d, "null 'new' method in module");
  }
  if (desc->decode == nullptr) return MfInternalFailure(d, "null 'decode' method in module");
  return PushRecord(d->priv->codecModules, *desc, d->counts->codecs);
}

int mf_input_module_query(MfDecoder* d, int moduleId, MfModuleInfo* info, int flags) {
  if (d == nullptr) return kMfInvalidParameter;
  return QueryStreamModule(d, d->priv->inputModules, moduleId, info, flags, true);
}

int mf_output_module_query(MfDecoder* d, int moduleId, MfModuleInfo* info, int flags) {
  if (d == nullptr) return kMfInvalidParameter;
  return QueryStreamModule(d, d->priv->outputModules, moduleId, info, flags, false);
}

int mf_codec_module_query(MfDecoder* d, int moduleId, MfModuleInfo* info, int flags) {
  if (d == nullptr || info == nullptr) return kMfInvalidParameter;
  MfCodecModuleRecord* record = FindRecord(d->priv->codecModules, moduleId);
  if (record == nullptr) return kMfUnknownModuleId;
  if (record->descriptor.query == nullptr) return kMfFailed;
  return record->descriptor.query(info, flags);
}

// --- Codec parameters ------------------------------------------------------------------------

int mf_codec_set_channels(MfDecoder* d, int channels) {
  if (d == nullptr) return kMfInvalidParameter;
  d->priv->codecParameters.channels = channels;
  return PassParameters(d, kMfCodecParamChannels);
}

int mf_codec_get_channels(MfDecoder* d) {
  if (d == nullptr) return kMfInvalidParameter;
  AskParameters(d, kMfCodecParamChannels);
  return d->priv->codecParameters.channels;
}

int mf_codec_set_downsampling(MfDecoder* d, int downsampling) {
  if (d == nullptr) return kMfInvalidParameter;
  d->priv->codecParameters.downsampling = downsampling;
  return PassParameters(d, kMfCodecParamDownsampling);
}

int mf_codec_get_downsampling(MfDecoder* d) {
  if (d == nullptr) return kMfInvalidParameter;
  AskParameters(d, kMfCodecParamDownsampling);
  return d->priv->codecParameters.downsampling;
}

int mf_codec_set_equalizer(MfDecoder* d, const int8_t* bytes64) {
  if (d == nullptr) return kMfInvalidParameter;
  MfCodecParameters& params = d->priv->codecParameters;
  if (bytes64 == nullptr) {
    delete[] params.equalizer;
    params.equalizer = nullptr;
  } else {
    if (params.equalizer == nullptr)
      params.equalizer = new (std::nothrow) int8_t[kMfEqualizerBytes];
    if (params.equalizer == nullptr) return kMfOutOfMemory;
    std::memcpy(params.equalizer, bytes64, kMfEqualizerBytes);
  }
  return PassParameters(d, kMfCodecParamEqualizer);
}

int mf_codec_get_equalizer(MfDecoder* d, int8_t* bytes64) {
  if (d == nullptr || bytes64 == nullptr) return kMfInvalidParameter;
  const int8_t* stored = d->priv->codecParameters.equalizer;
  if (stored == nullptr) {
    // The codec's getter writes into the parameters' block; give it none to write into.
    std::memset(bytes64, 0, kMfEqualizerBytes);
    return kMfOk;
  }
  AskParameters(d, kMfCodecParamEqualizer);
  std::memcpy(bytes64, stored, kMfEqualizerBytes);
  return kMfOk;
}

}  // namespace veltro::media
