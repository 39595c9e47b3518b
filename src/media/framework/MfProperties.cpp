// Named properties: a doubly linked list of value or text properties with watchers, the stream
// and decoder property functions built on it, their snapshot, and the decoder services table.
#include <cstring>
#include <new>

#include "media/framework/MediaFramework.h"
#include "media/framework/MfInternal.h"

namespace veltro::media {
namespace {

MfProperty* FindProperty(MfPropertyList* list, const char* name) {
  for (MfProperty* p = list->head; p != nullptr; p = p->next) {
    if (std::strcmp(p->name, name) == 0) return p;
  }
  return nullptr;
}

void TellWatchers(MfPropertyList* list, const char* name, const MfPropertyValue* value) {
  MfPropertyWatcher* w = list->watchers;
  while (w != nullptr) {
    MfPropertyWatcher* next = w->next;
    if (std::strcmp(w->name, name) == 0) w->callback(w->clientData, name, value);
    w = next;
  }
}

// A new property at the head of the list; owns `name` from here on.
MfProperty* PushProperty(MfPropertyList* list, char* name, int kind, MfPropertyValue value) {
  auto* p = new (std::nothrow) MfProperty{};
  if (p == nullptr) return nullptr;
  p->name = name;
  p->kind = kind;
  p->value = value;
  p->next = list->head;
  if (list->head != nullptr) list->head->previous = p;
  list->head = p;
  return p;
}

void FreeProperty(MfProperty* p) {
  MfFreeText(p->name);
  if (p->kind == kMfPropertyText) delete[] p->value.text;
  delete p;
}

void Unlink(MfPropertyList* list, MfProperty* p) {
  if (p->previous != nullptr) p->previous->next = p->next;
  if (p->next != nullptr) p->next->previous = p->previous;
  if (list->head == p) list->head = p->next;
}

void FreeSnapshot(MfPropertyList* list) {
  delete[] list->snapshot;
  list->snapshot = nullptr;
  list->snapshotCount = 0;
}

MfPropertyList* StreamList(MfDecoder* d) {
  return d->status->stream.properties;
}

// Marks "stream properties changed" after a successful change of a stream property.
int NoteStreamChange(MfDecoder* d, int result) {
  if (result == kMfOk) d->status->stream.changes |= kMfStreamChangedProperties;
  return result;
}

}  // namespace

int mf_property_list_new(MfPropertyList** list) {
  if (list == nullptr) return kMfInvalidParameter;
  *list = new (std::nothrow) MfPropertyList{};
  return *list == nullptr ? kMfOutOfMemory : kMfOk;
}

int mf_property_list_delete(MfPropertyList* list) {
  if (list == nullptr) return kMfInvalidParameter;
  while (list->head != nullptr) {
    MfProperty* p = list->head;
    list->head = p->next;
    FreeProperty(p);
  }
  while (list->watchers != nullptr) {
    MfPropertyWatcher* w = list->watchers;
    list->watchers = w->next;
    MfFreeText(w->name);
    delete w;
  }
  FreeSnapshot(list);
  delete list;
  return kMfOk;
}

int mf_property_set_value(MfPropertyList* list, const char* name, intptr_t value) {
  if (list == nullptr || name == nullptr) return kMfInvalidParameter;
  MfProperty* p = FindProperty(list, name);
  if (p != nullptr && p->kind != kMfPropertyValue) return kMfPropertyWrongKind;
  if (p != nullptr) {
    p->value.number = value;
  } else {
    char* copy = MfCopyText(name);
    MfPropertyValue v{};
    v.number = value;
    p = copy == nullptr ? nullptr : PushProperty(list, copy, kMfPropertyValue, v);
    if (p == nullptr) {
      MfFreeText(copy);
      return kMfOutOfMemory;
    }
  }
  TellWatchers(list, name, &p->value);
  return kMfOk;
}

int mf_property_set_text(MfPropertyList* list, const char* name, const char* text) {
  if (list == nullptr || name == nullptr) return kMfInvalidParameter;
  MfProperty* p = FindProperty(list, name);
  if (p != nullptr && p->kind != kMfPropertyText) return kMfPropertyWrongKind;
  char* textCopy = MfCopyText(text);
  if (textCopy == nullptr) return kMfOutOfMemory;
  if (p != nullptr) {
    delete[] p->value.text;
    p->value.text = textCopy;
  } else {
    char* nameCopy = MfCopyText(name);
    MfPropertyValue v{};
    v.text = textCopy;
    p = nameCopy == nullptr ? nullptr : PushProperty(list, nameCopy, kMfPropertyText, v);
    if (p == nullptr) {
      MfFreeText(nameCopy);
      MfFreeText(textCopy);
      return kMfOutOfMemory;
    }
  }
  TellWatchers(list, name, &p->value);
  return kMfOk;
}

int mf_property_get_value(MfPropertyList* list, const char* name, intptr_t* value) {
  if (list == nullptr || name == nullptr || value == nullptr) return kMfInvalidParameter;
  const MfProperty* p = FindProperty(list, name);
  if (p == nullptr) return kMfPropertyNotFound;
  if (p->kind != kMfPropertyValue) return kMfPropertyWrongKind;
  *value = p->value.number;
  return kMfOk;
}

int mf_property_get_text(MfPropertyList* list, const char* name, char* buffer,
                         uint32_t bufferSize) {
  if (list == nullptr || name == nullptr || buffer == nullptr) return kMfInvalidParameter;
  const MfProperty* p = FindProperty(list, name);
  if (p == nullptr) return kMfPropertyNotFound;
  if (p->kind != kMfPropertyText) return kMfPropertyWrongKind;
  const size_t bytes = std::strlen(p->value.text) + 1;
  if (bytes > bufferSize) return kMfInvalidParameter;
  std::memcpy(buffer, p->value.text, bytes);
  return kMfOk;
}

int mf_property_delete(MfPropertyList* list, const char* name) {
  if (list == nullptr || name == nullptr) return kMfInvalidParameter;
  MfProperty* p = FindProperty(list, name);
  if (p == nullptr) return kMfPropertyNotFound;
  TellWatchers(list, p->name, nullptr);
  Unlink(list, p);
  FreeProperty(p);
  return kMfOk;
}

int mf_property_delete_all(MfPropertyList* list) {
  if (list == nullptr) return kMfInvalidParameter;
  while (list->head != nullptr) {
    MfProperty* p = list->head;
    TellWatchers(list, p->name, nullptr);
    Unlink(list, p);
    FreeProperty(p);
  }
  return kMfOk;
}

int mf_property_watcher_add(MfPropertyList* list, const char* name, void* clientData,
                            MfPropertyCallback callback, MfPropertyWatcher** watcher) {
  if (list == nullptr || name == nullptr || callback == nullptr || watcher == nullptr) {
    return kMfInvalidParameter;
  }
  auto* w = new (std::nothrow) MfPropertyWatcher{};
  char* copy = MfCopyText(name);
  if (w == nullptr || copy == nullptr) {
    delete w;
    MfFreeText(copy);
    return kMfOutOfMemory;
  }
  w->name = copy;
  w->callback = callback;
  w->clientData = clientData;
  w->next = list->watchers;
  if (list->watchers != nullptr) list->watchers->previous = w;
  list->watchers = w;
  *watcher = w;
  return kMfOk;
}

int mf_property_watcher_remove(MfPropertyList* list, MfPropertyWatcher* watcher) {
  if (list == nullptr || watcher == nullptr) return kMfInvalidParameter;
  MfPropertyWatcher* w = list->watchers;
  while (w != nullptr && w != watcher) w = w->next;
  if (w == nullptr) return kMfFailed;
  if (w->previous != nullptr) w->previous->next = w->next;
  if (w->next != nullptr) w->next->previous = w->previous;
  if (list->watchers == w) list->watchers = w->next;
  MfFreeText(w->name);
  delete w;
  return kMfOk;
}

int mf_property_list_snapshot(MfPropertyList* list, const MfPropertyEntry** entries,
                              uint32_t* count) {
  if (list == nullptr || entries == nullptr || count == nullptr) return kMfInvalidParameter;
  FreeSnapshot(list);
  *entries = nullptr;
  *count = 0;
  uint32_t n = 0;
  for (const MfProperty* p = list->head; p != nullptr; p = p->next) ++n;
  if (n == 0) return kMfOk;
  list->snapshot = new (std::nothrow) MfPropertyEntry[n];
  if (list->snapshot == nullptr) return kMfOutOfMemory;
  uint32_t i = 0;
  for (const MfProperty* p = list->head; p != nullptr; p = p->next, ++i) {
    list->snapshot[i] = MfPropertyEntry{p->name, p->kind, p->value};
  }
  list->snapshotCount = n;
  *entries = list->snapshot;
  *count = n;
  return kMfOk;
}

// --- Stream and decoder properties -----------------------------------------------------------

int mf_stream_property_set_value(MfDecoder* d, const char* name, intptr_t value) {
  if (d == nullptr) return kMfInvalidParameter;
  return NoteStreamChange(d, mf_property_set_value(StreamList(d), name, value));
}
int mf_stream_property_get_value(MfDecoder* d, const char* name, intptr_t* value) {
  if (d == nullptr) return kMfInvalidParameter;
  return mf_property_get_value(StreamList(d), name, value);
}
int mf_stream_property_set_text(MfDecoder* d, const char* name, const char* text) {
  if (d == nullptr) return kMfInvalidParameter;
  return NoteStreamChange(d, mf_property_set_text(StreamList(d), name, text));
}
int mf_stream_property_get_text(MfDecoder* d, const char* name, char* buffer, uint32_t bufferSize) {
  if (d == nullptr) return kMfInvalidParameter;
  return mf_property_get_text(StreamList(d), name, buffer, bufferSize);
}
int mf_stream_property_delete(MfDecoder* d, const char* name) {
  if (d == nullptr) return kMfInvalidParameter;
  return NoteStreamChange(d, mf_property_delete(StreamList(d), name));
}

MfPropertyList* mf_decoder_properties(MfDecoder* d) {
  return d == nullptr ? nullptr : d->priv->decoderProperties;
}
int mf_decoder_property_set_value(MfDecoder* d, const char* name, intptr_t value) {
  return mf_property_set_value(mf_decoder_properties(d), name, value);
}
int mf_decoder_property_get_value(MfDecoder* d, const char* name, intptr_t* value) {
  return mf_property_get_value(mf_decoder_properties(d), name, value);
}
int mf_decoder_property_set_text(MfDecoder* d, const char* name, const char* text) {
  return mf_property_set_text(mf_decoder_properties(d), name, text);
}
int mf_decoder_property_get_text(MfDecoder* d, const char* name, char* buffer,
                                 uint32_t bufferSize) {
  return mf_property_get_text(mf_decoder_properties(d), name, buffer, bufferSize);
}
int mf_decoder_property_delete(MfDecoder* d, const char* name) {
  return mf_property_delete(mf_decoder_properties(d), name);
}

int mf_property_watch(MfDecoder* d, const char* name, void* clientData, MfPropertyCallback callback,
                      MfPropertyWatcher** watcher) {
  if (d == nullptr) return kMfInvalidParameter;
  return mf_property_watcher_add(StreamList(d), name, clientData, callback, watcher);
}
int mf_property_unwatch(MfDecoder* d, MfPropertyWatcher* watcher) {
  if (d == nullptr) return kMfInvalidParameter;
  return mf_property_watcher_remove(StreamList(d), watcher);
}

void MfFillServices(MfDecoderServices& s) {
  s = MfDecoderServices{MfServiceRead,
                        mf_input_seek,
                        MfServiceCodecReset,
                        mf_stream_property_set_value,
                        mf_stream_property_get_value,
                        mf_stream_property_set_text,
                        mf_stream_property_get_text,
                        mf_stream_property_delete,
                        mf_decoder_property_set_value,
                        mf_decoder_property_get_value,
                        mf_decoder_property_set_text,
                        mf_decoder_property_get_text,
                        mf_decoder_property_delete,
                        mf_property_watch,
                        mf_property_unwatch};
}

}  // namespace veltro::media
