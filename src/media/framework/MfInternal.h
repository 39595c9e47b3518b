// Internals of the media framework shared by its source files: the decoder's private part, the
// state checks with their notifications, the fixed last filter nodes and small helpers.
// Same threading rule as the framework: one thread per decoder at a time.
#pragma once

#include <cstdint>

#include "media/framework/MediaFramework.h"

namespace veltro::media {

struct MfProperty {
  char* name;  // owned
  int kind;    // kMfPropertyValue or kMfPropertyText (text owned)
  MfPropertyValue value;
  MfProperty* previous;
  MfProperty* next;
};

struct MfPropertyWatcher {
  char* name;  // owned
  MfPropertyCallback callback;
  void* clientData;
  MfPropertyWatcher* next;
  MfPropertyWatcher* previous;
};

struct MfPropertyList {
  MfProperty* head;  // newest first
  MfPropertyWatcher* watchers;
  MfPropertyEntry* snapshot;  // owned, from mf_property_list_snapshot
  uint32_t snapshotCount;
};

struct MfDecoderPrivate {
  uint32_t sampleBufferBytes;
  int16_t* sampleBuffer;              // owned, made on first use
  MfCodecParameters codecParameters;  // equalizer: owned 64-byte block or null
  MfInputFilterNode* inputHead;
  MfInputFilterNode inputLast;  // fixed last node, forwards to the input module
  MfOutputFilterNode* outputHead;
  MfOutputFilterNode outputLast;
  MfInputModuleRecord* inputModules;  // newest first
  MfOutputModuleRecord* outputModules;
  MfCodecModuleRecord* codecModules;
  MfPropertyList* decoderProperties;
  uint32_t playSeconds;  // play-time accumulator
  uint32_t playMicroseconds;
};

inline constexpr int kMfClosed = 0;
inline constexpr int kMfOpen = 1;
inline constexpr char kMfInternalErrorText[] = "internal error";

// Notifies "internal error" with `reason` (module id 0) and returns kMfInternalError.
int MfInternalFailure(MfDecoder* decoder, const char* reason);
// Input or output must exist and be in `wantedState` (-1: any state); kMfInternalError with the
// reason otherwise.
int MfCheckInput(MfDecoder* decoder, int wantedState);
int MfCheckOutput(MfDecoder* decoder, int wantedState);

// Owned copy of a text (null counts as empty); null when out of memory.
char* MfCopyText(const char* text);
void MfFreeText(char* text);
bool MfSameText(const char* a, const char* b);  // null counts as empty

// Sets up both fixed last nodes of a new decoder.
void MfInitFilterChains(MfDecoder* decoder);
// Deletes every filter (calls their delete) and frees the nodes, for mf_decoder_delete.
void MfDeleteInputFilters(MfDecoder* decoder);
void MfDeleteOutputFilters(MfDecoder* decoder);

// The internal sample buffer with at least `bytes` bytes (made on first use); null when out of
// memory.
int16_t* MfInternalBuffer(MfDecoder* decoder, uint32_t bytes);

// After each decoded frame: recomputes the status position from the input position, and the
// timecode from the play-time accumulator.
void MfUpdatePosition(MfDecoder* decoder);
void MfUpdateTimecode(MfDecoder* decoder);

// The decoder services 1 to 3.
int MfServiceRead(MfDecoder* decoder, void* buffer, uint32_t size);
int MfServiceCodecReset(MfDecoder* decoder);
void MfFillServices(MfDecoderServices& services);

}  // namespace veltro::media
