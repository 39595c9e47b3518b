// The media framework: a small decoding library with a plain function interface. One decoder
// object (MfDecoder) joins an input module (delivers the bytes of a stream), a codec module
// (turns them into 16-bit PCM) and an output module (consumes PCM). Modules are handed over as
// descriptors: records whose first member is the interface version word, followed by method
// pointers in a fixed slot order. Filters may be chained in front of the input module and behind
// the output module. Modules and clients exchange named properties.
//
// Threads: the framework has no locks and no threads. One decoder is used by one thread at a
// time; every function below may be called from whichever thread currently uses the decoder.
// Functions return 0 on success and a negative kMf... code on failure; no exception ever leaves
// the interface. Nothing is allocated on the decode path after the first frame.
#pragma once

#include <cstdint>

namespace veltro::media {

// --- Return codes --------------------------------------------------------------------------
inline constexpr int kMfOk = 0;
inline constexpr int kMfFailed = -1;  // method missing, item not found, plain module failure
inline constexpr int kMfOutOfMemory = -100;
inline constexpr int kMfInvalidParameter = -102;
inline constexpr int kMfInternalError = -103;  // always accompanied by a notification
inline constexpr int kMfWrongVersion = -106;
inline constexpr int kMfOpenFailed = -500;
inline constexpr int kMfPermissionDenied = -504;
inline constexpr int kMfUnknownModuleId = -507;
inline constexpr int kMfNoInputModule = -508;
inline constexpr int kMfNoOutputModule = -509;
inline constexpr int kMfFileNotFound = -513;
inline constexpr int kMfEndOfStream = -514;
inline constexpr int kMfNoCodec = -600;
inline constexpr int kMfDecodeError = -700;
inline constexpr int kMfPropertyNotFound = -900;
inline constexpr int kMfPropertyWrongKind = -901;

// The version word the modules of this program put into their descriptors. Registration accepts
// any word whose bits 8 to 23 equal kMfInterfaceVersionBits.
inline constexpr uint32_t kMfInterfaceVersion = 0x00040400u;
inline constexpr uint32_t kMfInterfaceVersionBits = 0x0404u;

// Query flags (may be combined).
inline constexpr int kMfQueryName = 1;         // module name and description
inline constexpr int kMfQueryDeviceCount = 2;  // number of devices into index
inline constexpr int kMfQueryDevice = 4;       // name and description of device `index`
inline constexpr int kMfQueryBufferSize = 8;   // bytes of PCM one decode call may produce
inline constexpr int kMfQueryCaps = 0x10;      // capability word into flags

inline constexpr int kMfInputSeekable = 1;               // input caps bit 0
inline constexpr int kMfOutputDefaultCaps = 0x7FBFFFFF;  // every bit but 22 and the sign bit
inline constexpr int kMfOutputCapsDelay = 1 << 22;       // output reports its delay
inline constexpr int kMfPropertyText = 0;                // property kinds
inline constexpr int kMfPropertyValue = 1;
inline constexpr int kMfCodecParamChannels = 1;  // codec parameter flags
inline constexpr int kMfCodecParamDownsampling = 2;
inline constexpr int kMfCodecParamEqualizer = 4;
inline constexpr int kMfEqualizerBytes = 64;  // 32 left bands, then 32 right bands

// Bits of MfStreamInfo::changes: what the codec (or a property change) altered since the client
// last looked.
inline constexpr int kMfStreamChangedProperties = 1;  // stream properties, layer, mode
inline constexpr int kMfStreamChangedFormat = 2;      // frequency, bitrate, channels, duration
inline constexpr int kMfStreamChangedType = 4;        // the codec's output type
// Bits of MfOutputBuffer::changes: what the output module must be told about.
inline constexpr int kMfOutputChangedBytesPerSample = 1;
inline constexpr int kMfOutputChangedChannels = 2;
inline constexpr int kMfOutputChangedRateOrChannels = 4;

struct MfDecoder;
struct MfPropertyList;
struct MfPropertyWatcher;
struct MfInputFilterNode;
struct MfOutputFilterNode;
template <typename Descriptor>
struct MfModuleRecord;
struct MfInputModule;
struct MfCodecModule;
struct MfOutputModule;
using MfInputModuleRecord = MfModuleRecord<MfInputModule>;
using MfCodecModuleRecord = MfModuleRecord<MfCodecModule>;
using MfOutputModuleRecord = MfModuleRecord<MfOutputModule>;

// Called as (client data, module id, 0, message, reason). The framework passes module id 0 and
// the message "internal error"; modules pass their own id and texts.
using MfNotifyCallback = void (*)(void* clientData, int moduleId, int reserved, const char* message,
                                  const char* reason);

// --- Plain records ---------------------------------------------------------------------------
struct MfModuleInfo {
  int32_t index;  // in: device asked for (flag 4); out: number of devices (flag 2)
  int32_t flags;  // out: module or device flags; with flag 0x10 the capability word
  char name[255];
  char description[255];
  int32_t bufferSize;  // out (flag 8): bytes of PCM one decode call may produce
};

struct MfTimecode {
  int32_t hours;
  int32_t minutes;
  int32_t seconds;
  int32_t hundredths;
};

// The part of the status a codec reads and fills ("stream info").
struct MfStreamInfo {
  int changes;     // kMfStreamChanged* bits
  int durationMs;  // 0 = unknown
  int frequencyHz;
  int bitrateKbps;
  int channels;
  const char* type;            // the codec's output type, e.g. "audio/mpeg"; not owned
  MfPropertyList* properties;  // the stream properties, owned by the decoder
  MfTimecode timecode;         // play position
};

struct MfStatus {
  float position;  // 0.0 to 1.0, fraction of the stream already played
  MfStreamInfo stream;
};

struct MfOutputBuffer {
  int changes;         // kMfOutputChanged* bits
  int16_t* samples;    // interleaved left, right when two channels; not owned
  int sampleCount;     // samples per channel in this frame
  int bytesPerSample;  // always 2
  int channels;
  int sampleRateHz;  // of the PCM, after any down-sampling
  int delay;         // reported by an output module
};

// The codec parameters. `equalizer` points to kMfEqualizerBytes signed bytes or is null.
struct MfCodecParameters {
  int channels;      // channel selection
  int downsampling;  // 0 none, 1 half, 2 quarter
  int8_t* equalizer;
};

// Output control block. Word 2 is bytes per sample; words 3 to 6 are output settings whose
// defaults are 100, 100, 50, 1; sample rate and channel count travel in words 7 and 8.
inline constexpr int kMfControlWords = 9;
inline constexpr int kMfControlBytesPerSample = 2;
inline constexpr int kMfControlSampleRate = 7;
inline constexpr int kMfControlChannels = 8;
struct MfOutputControl {
  int32_t words[kMfControlWords];
};

// --- Module descriptors (slot order fixed; `newInstance`/`deleteInstance` are new/delete) ----
// An instance is the module's own opaque object. Every method may be null unless registration
// requires it; the framework checks each pointer before a call.
struct MfInputModule {
  uint32_t version;
  int (*probe)(const char* name);  // 0 accepts
  int (*query)(MfModuleInfo* info, int flags);
  int (*newInstance)(void** instance, const char* name, MfInputModuleRecord* record,
                     MfDecoder* decoder);
  int (*deleteInstance)(void* instance);
  int (*open)(void* instance);
  int (*close)(void* instance);
  // Bytes read (all or nothing: size or 0 at the end), or a negative code.
  int (*read)(void* instance, void* buffer, uint32_t size);
  int (*seek)(void* instance, uint32_t byteOffset);
  int (*getCaps)(void* instance);
  uint32_t (*getSize)(void* instance);  // bytes, 0 = unknown
  int (*sendMessage)(void* instance, intptr_t a, intptr_t b, intptr_t c);
};

struct MfCodecModule {
  uint32_t version;
  int (*probe)(const char* type, const char* name);
  int (*query)(MfModuleInfo* info, int flags);
  int (*newInstance)(void** instance, const char* type, const char* name,
                     MfCodecModuleRecord* record, MfDecoder* decoder);
  int (*deleteInstance)(void* instance);
  // Decodes one frame into output->samples (room for the codec's buffer size); sets sample
  // count, channels and rate; returns 0, kMfEndOfStream or another negative code.
  int (*decode)(void* instance, MfOutputBuffer* output, MfStreamInfo* info);
  int (*readStreamInfo)(void* instance, MfStreamInfo* info);
  float (*offsetToPosition)(void* instance, uint32_t byteOffset);
  float (*positionToOffsetFraction)(void* instance, float position);
  int (*streamOpened)(void* instance, const char* type, const char* name);
  int (*streamClosed)(void* instance);
  int (*seekDone)(void* instance, uint32_t byteOffset);
  int (*reset)(void* instance);
  int (*setParameters)(void* instance, MfCodecParameters* parameters, int flags);
  int (*getParameters)(void* instance, MfCodecParameters* parameters, int flags);
  void* reserved;  // 0
};

struct MfOutputModule {
  uint32_t version;
  int (*probe)(const char* name);
  int (*query)(MfModuleInfo* info, int flags);
  int (*newInstance)(void** instance, const char* name, MfOutputModuleRecord* record,
                     MfDecoder* decoder);
  int (*deleteInstance)(void* instance);
  int (*open)(void* instance);
  int (*close)(void* instance);
  int (*write)(void* instance, const void* samples, uint32_t bytes, int bytesPerSample,
               int channels, int sampleRateHz);
  void* (*getBuffer)(void* instance, uint32_t bytes);
  int (*setControl)(void* instance, MfOutputControl* control, int flags);
  int (*getControl)(void* instance, MfOutputControl* control, int flags);
  int (*getStatus)(void* instance, int* delay);
  int (*getCaps)(void* instance);
  int (*sendMessage)(void* instance, intptr_t a, intptr_t b, intptr_t c);
};

// What registration stores per module: `id` first, so a module can use the record's first word
// as its id in notifications. Owned by the decoder.
template <typename Descriptor>
struct MfModuleRecord {
  int id;
  int reserved;  // always 0
  Descriptor descriptor;
  MfModuleRecord* next;
};

// --- Filters ---------------------------------------------------------------------------------
// A filter's stream methods receive their chain node; a filter forwards a call downstream with
// node->next->methods.<method>(node->next, ...). Empty stream methods pass the call through.
struct MfInputFilter {
  uint32_t version;
  int (*query)(MfModuleInfo* info, int flags);
  int (*newInstance)(void** instance, int filterId, MfDecoder* decoder);
  int (*deleteInstance)(void* instance);
  int (*open)(MfInputFilterNode* node);
  int (*close)(MfInputFilterNode* node);
  int (*read)(MfInputFilterNode* node, void* buffer, uint32_t size);
  int (*seek)(MfInputFilterNode* node, uint32_t byteOffset);
  int (*getCaps)(MfInputFilterNode* node);
  uint32_t (*getSize)(MfInputFilterNode* node);
  int (*sendMessage)(MfInputFilterNode* node, intptr_t a, intptr_t b, intptr_t c);
};

struct MfOutputFilter {
  uint32_t version;
  int (*query)(MfModuleInfo* info, int flags);
  int (*newInstance)(void** instance, int filterId, MfDecoder* decoder);
  int (*deleteInstance)(void* instance);
  int (*open)(MfOutputFilterNode* node);
  int (*close)(MfOutputFilterNode* node);
  int (*write)(MfOutputFilterNode* node, const void* samples, uint32_t bytes, int bytesPerSample,
               int channels, int sampleRateHz);
  void* (*getBuffer)(MfOutputFilterNode* node, uint32_t bytes);
  int (*setControl)(MfOutputFilterNode* node, MfOutputControl* control, int flags);
  int (*getControl)(MfOutputFilterNode* node, MfOutputControl* control, int flags);
  int (*getStatus)(MfOutputFilterNode* node, int* delay);
  int (*getCaps)(MfOutputFilterNode* node);
  int (*sendMessage)(MfOutputFilterNode* node, intptr_t a, intptr_t b, intptr_t c);
};

// A chain node. The chain ends in a fixed last node (id 0, no instance) that forwards to the
// module in use and supplies the defaults for methods the module lacks.
struct MfInputFilterNode {
  MfInputFilter methods;  // every stream method set (pass-through when the filter had none)
  int id;
  void* instance;
  MfDecoder* decoder;
  MfInputFilterNode* next;  // null for the fixed last node
};

struct MfOutputFilterNode {
  MfOutputFilter methods;
  int id;
  void* instance;
  MfDecoder* decoder;
  MfOutputFilterNode* next;
};

using MfInputFilterCallback = void (*)(void* clientData, MfInputFilterNode* node);
using MfOutputFilterCallback = void (*)(void* clientData, MfOutputFilterNode* node);

// --- Properties ------------------------------------------------------------------------------
union MfPropertyValue {
  intptr_t number;   // kind 1: stored unchanged, never freed
  const char* text;  // kind 0: an owned copy
};

// Called after every change of the watched name with the property's value word, or with null
// when the property is deleted. A callback must not change the list it watches.
using MfPropertyCallback = void (*)(void* clientData, const char* name,
                                    const MfPropertyValue* value);

// One entry of a snapshot or of a read listing; strings are borrowed.
struct MfPropertyEntry {
  const char* name;
  int kind;
  MfPropertyValue value;
};

// --- The decoder -----------------------------------------------------------------------------
struct MfInputState {
  int state;          // 0 closed, 1 open
  int caps;           // bit 0: seekable
  uint32_t position;  // bytes consumed
  uint32_t size;      // bytes, 0 = unknown
  void* instance;
  const MfInputModule* module;  // descriptor copy in use
  char* name;                   // owned copy of the stream name
  const char* type;             // stream type text, "unknown" until a module sets it
};

struct MfOutputState {
  int state;
  int caps;
  void* instance;
  const MfOutputModule* module;
  char* name;
};

struct MfCodecState {
  void* instance;
  const MfCodecModule* module;
  int bufferSize;  // bytes (query flag 8)
  int caps;        // query flag 0x10
};

struct MfModuleCounts {
  int32_t inputs;
  int32_t outputs;
  int32_t codecs;
};

// The services modules call back; each takes the decoder first.
struct MfDecoderServices {
  int (*read)(MfDecoder* decoder, void* buffer, uint32_t size);
  int (*seek)(MfDecoder* decoder, uint32_t byteOffset);
  int (*codecReset)(MfDecoder* decoder);
  int (*setStreamValue)(MfDecoder* decoder, const char* name, intptr_t value);
  int (*getStreamValue)(MfDecoder* decoder, const char* name, intptr_t* value);
  int (*setStreamText)(MfDecoder* decoder, const char* name, const char* text);
  int (*getStreamText)(MfDecoder* decoder, const char* name, char* buffer, uint32_t bufferSize);
  int (*deleteStreamProperty)(MfDecoder* decoder, const char* name);
  int (*setDecoderValue)(MfDecoder* decoder, const char* name, intptr_t value);
  int (*getDecoderValue)(MfDecoder* decoder, const char* name, intptr_t* value);
  int (*setDecoderText)(MfDecoder* decoder, const char* name, const char* text);
  int (*getDecoderText)(MfDecoder* decoder, const char* name, char* buffer, uint32_t bufferSize);
  int (*deleteDecoderProperty)(MfDecoder* decoder, const char* name);
  int (*addWatcher)(MfDecoder* decoder, const char* name, void* clientData,
                    MfPropertyCallback callback, MfPropertyWatcher** watcher);
  int (*removeWatcher)(MfDecoder* decoder, MfPropertyWatcher* watcher);
};

struct MfDecoderPrivate;  // not for clients

// Every sub-record is a separate zero-filled allocation owned by the decoder.
struct MfDecoder {
  MfInputState* input;
  MfOutputState* output;
  MfCodecState* codec;
  MfModuleCounts* counts;
  MfStatus* status;
  MfOutputBuffer* outputBuffer;
  void* clientData;  // for the notification callback
  intptr_t reserved0;
  MfNotifyCallback notify;  // optional
  intptr_t reserved1[3];
  MfDecoderServices services;
  MfDecoderPrivate* priv;
};

// --- Decoder life cycle and modules ----------------------------------------------------------
// Allocates and initialises a decoder into *decoder (owned by the caller until
// mf_decoder_delete). -100 when an allocation fails, -102 for a null out-pointer.
int mf_decoder_new(MfDecoder** decoder);
// Closes and deletes the input, output, codec, filters, module records and everything else the
// decoder owns, then the decoder itself. Null is accepted (-102).
int mf_decoder_delete(MfDecoder* decoder);
// Calls the notification callback, if any, with (client data, moduleId, 0, message, reason).
void mf_notify(MfDecoder* decoder, int moduleId, const char* message, const char* reason);

// Check the version word and the required methods, copy the descriptor; return the new module
// id (0, 1, 2, ... per kind) or a negative code. The descriptor is copied, not kept.
int mf_input_module_register(MfDecoder* decoder, const MfInputModule* descriptor);
int mf_codec_module_register(MfDecoder* decoder, const MfCodecModule* descriptor);
int mf_output_module_register(MfDecoder* decoder, const MfOutputModule* descriptor);
// Query of a registered module by id into *info; -507 for an unknown id.
int mf_input_module_query(MfDecoder* decoder, int moduleId, MfModuleInfo* info, int flags);
int mf_codec_module_query(MfDecoder* decoder, int moduleId, MfModuleInfo* info, int flags);
int mf_output_module_query(MfDecoder* decoder, int moduleId, MfModuleInfo* info, int flags);

// --- Input side ------------------------------------------------------------------------------
// Creates the input instance for a stream name (copied); module id -1 picks the newest module
// whose probe accepts the name. The same module and name again keeps the instance.
int mf_input_new(MfDecoder* decoder, const char* name, int moduleId);
int mf_input_open(MfDecoder* decoder);
int mf_input_close(MfDecoder* decoder);
int mf_input_delete(MfDecoder* decoder);
// Absolute seek in bytes; offsets beyond the size go to the size (to 0 when it is unknown).
int mf_input_seek(MfDecoder* decoder, uint32_t byteOffset);
int mf_input_seek_to_position(MfDecoder* decoder, float position);  // 0.0 to 1.0
int mf_input_seek_to_seconds(MfDecoder* decoder, float seconds);
int mf_input_seek_to_timecode(MfDecoder* decoder, const MfTimecode* timecode);
int mf_input_send_message(MfDecoder* decoder, intptr_t a, intptr_t b, intptr_t c);
// Decodes one frame into `buffer` (room for codec->bufferSize bytes, not owned) or, when it is
// null, into the decoder's internal buffer. The PCM and its format are in *outputBuffer.
int mf_decode(MfDecoder* decoder, int16_t* buffer);

// For codec modules: after a seek the codec may have to search past the seek offset for the next
// frame. It then tells the framework where that frame begins, and the play time becomes the time
// of that offset (as a seek to it would have set it), so the timecode follows the audio actually
// decoded rather than the byte the seek landed on.
void MfResumePlayTimeAt(MfDecoder* decoder, uint32_t byteOffset);

// --- Output side -----------------------------------------------------------------------------
int mf_output_new(MfDecoder* decoder, const char* name, int moduleId);
int mf_output_open(MfDecoder* decoder);
int mf_output_close(MfDecoder* decoder);
int mf_output_delete(MfDecoder* decoder);
int mf_output_set_control(MfDecoder* decoder, MfOutputControl* control, int flags);
int mf_output_get_control(MfDecoder* decoder, MfOutputControl* control, int flags);
int mf_output_send_message(MfDecoder* decoder, intptr_t a, intptr_t b, intptr_t c);
// Decodes one frame into a buffer from the output chain and writes it to the output.
int mf_play(MfDecoder* decoder);

// --- Filters ---------------------------------------------------------------------------------
// Adds a filter (descriptor copied) upstream of the node with id `position` (-1: at the head;
// 0 or 1: in front of the module). Returns the new filter id (1, 2, ...) or a negative code.
int mf_input_filter_add(MfDecoder* decoder, const MfInputFilter* descriptor, int position);
int mf_output_filter_add(MfDecoder* decoder, const MfOutputFilter* descriptor, int position);
// Removes a filter: id -2 by name (query flag 1), -1 the head, 0 the filter nearest the module,
// otherwise by id. Returns the id of the new head (0 when only the fixed node is left), or -1.
int mf_input_filter_remove(MfDecoder* decoder, const char* name, int id);
int mf_output_filter_remove(MfDecoder* decoder, const char* name, int id);
// Calls callback(clientData, node) for every filter, head first, the fixed last node excluded.
int mf_input_filter_enumerate(MfDecoder* decoder, void* clientData, MfInputFilterCallback callback);
int mf_output_filter_enumerate(MfDecoder* decoder, void* clientData,
                               MfOutputFilterCallback callback);

// --- Codec parameters ------------------------------------------------------------------------
// Setters store the value and return the codec's set-parameters result (0 without a codec).
int mf_codec_set_channels(MfDecoder* decoder, int channels);
int mf_codec_get_channels(MfDecoder* decoder);  // the stored value
int mf_codec_set_downsampling(MfDecoder* decoder, int downsampling);
int mf_codec_get_downsampling(MfDecoder* decoder);
// Copies 64 signed bytes (null removes the equaliser).
int mf_codec_set_equalizer(MfDecoder* decoder, const int8_t* bytes64);
// Writes 64 bytes (zeros when no equaliser is set).
int mf_codec_get_equalizer(MfDecoder* decoder, int8_t* bytes64);

// --- Properties ------------------------------------------------------------------------------
// A list owns its names and texts. Values are never freed. Names compare exactly.
int mf_property_list_new(MfPropertyList** list);
int mf_property_list_delete(MfPropertyList* list);  // frees properties, watchers, snapshot
int mf_property_set_value(MfPropertyList* list, const char* name, intptr_t value);
int mf_property_get_value(MfPropertyList* list, const char* name, intptr_t* value);
int mf_property_set_text(MfPropertyList* list, const char* name, const char* text);
// Copies the text with its NUL into buffer; -102 when bufferSize is too small (nothing copied).
int mf_property_get_text(MfPropertyList* list, const char* name, char* buffer, uint32_t bufferSize);
int mf_property_delete(MfPropertyList* list, const char* name);
int mf_property_delete_all(MfPropertyList* list);
int mf_property_watcher_add(MfPropertyList* list, const char* name, void* clientData,
                            MfPropertyCallback callback, MfPropertyWatcher** watcher);
int mf_property_watcher_remove(MfPropertyList* list, MfPropertyWatcher* watcher);
// Builds the (name, kind, value) array of the list (newest first) and frees the previous one.
// The array and its strings stay valid until the next snapshot or change of the list.
int mf_property_list_snapshot(MfPropertyList* list, const MfPropertyEntry** entries,
                              uint32_t* count);

// Stream properties (the status' list; setters and delete add 1 to the status changes) and
// decoder properties. Watchers are added to the stream property list.
int mf_stream_property_set_value(MfDecoder* decoder, const char* name, intptr_t value);
int mf_stream_property_get_value(MfDecoder* decoder, const char* name, intptr_t* value);
int mf_stream_property_set_text(MfDecoder* decoder, const char* name, const char* text);
int mf_stream_property_get_text(MfDecoder* decoder, const char* name, char* buffer,
                                uint32_t bufferSize);
int mf_stream_property_delete(MfDecoder* decoder, const char* name);
int mf_decoder_property_set_value(MfDecoder* decoder, const char* name, intptr_t value);
int mf_decoder_property_get_value(MfDecoder* decoder, const char* name, intptr_t* value);
int mf_decoder_property_set_text(MfDecoder* decoder, const char* name, const char* text);
int mf_decoder_property_get_text(MfDecoder* decoder, const char* name, char* buffer,
                                 uint32_t bufferSize);
int mf_decoder_property_delete(MfDecoder* decoder, const char* name);
int mf_property_watch(MfDecoder* decoder, const char* name, void* clientData,
                      MfPropertyCallback callback, MfPropertyWatcher** watcher);
int mf_property_unwatch(MfDecoder* decoder, MfPropertyWatcher* watcher);
MfPropertyList* mf_decoder_properties(MfDecoder* decoder);  // the decoder property list

// --- Marshalled property listing (big-endian) ------------------------------------------------
// count (u32), then per property: kind (u8), name length n (u16), name, NUL; text: length m
// (u16), text, NUL; value: u32; other kinds nothing. Size: 4 + n+m+7 | n+8 | n+4 per property.
// Bytes the listing of `list` needs; 0 when a name or text is longer than 65535 bytes.
uint32_t mf_property_list_marshalled_size(MfPropertyList* list);
// Writes the listing into buffer (bufferSize bytes); *written gets its size. -102 when the
// buffer is too small or a name or text does not fit its 16-bit length.
int mf_property_list_marshal(MfPropertyList* list, uint8_t* buffer, uint32_t bufferSize,
                             uint32_t* written);
// Reads a listing: checks every length against `size` and that every name and text ends in its
// NUL, and that no bytes follow the last property (-102 otherwise). Fills up to `capacity`
// entries whose strings point into `bytes` (which must outlive them); *count gets the number of
// properties. entries may be null to count only; more properties than capacity gives -102.
int mf_property_list_read(const uint8_t* bytes, uint32_t size, MfPropertyEntry* entries,
                          uint32_t capacity, uint32_t* count);

}  // namespace veltro::media
