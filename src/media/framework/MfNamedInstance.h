// What every input or output module on a named stream does alike: creating its instance (the
// checks, the notification, the owned copy of the name) and filling its query answers.
#pragma once

#include <cstdio>
#include <cstring>
#include <new>

#include "media/framework/MediaFramework.h"

namespace veltro::media {

// Allocates an `Instance` (a struct with the members name, record and decoder) into
// *instance, with an owned copy of `name` (free it with delete[]). A null out-pointer or a
// null or empty name notifies (record id, "internal error", `reason`) and returns -102;
// -100 when out of memory. No exception leaves it.
template <typename Instance, typename Record>
int MfNewNamedInstance(void** instance, const char* name, Record* record, MfDecoder* decoder,
                       const char* reason) {
  if (instance == nullptr || name == nullptr || name[0] == '\0') {
    mf_notify(decoder, record != nullptr ? record->id : 0, "internal error", reason);
    return kMfInvalidParameter;
  }
  *instance = nullptr;
  const size_t length = std::strlen(name);
  auto* created = new (std::nothrow) Instance{};
  char* copy = new (std::nothrow) char[length + 1];
  if (created == nullptr || copy == nullptr) {
    delete created;
    delete[] copy;
    return kMfOutOfMemory;
  }
  std::memcpy(copy, name, length + 1);
  created->name = copy;
  created->record = record;
  created->decoder = decoder;
  *instance = created;
  return kMfOk;
}

// Fills the name, description and flags of a query answer (texts cut to the fields).
inline void MfSetModuleInfo(MfModuleInfo* info, const char* name, const char* description,
                            int flags) {
  std::snprintf(info->name, sizeof info->name, "%s", name);
  std::snprintf(info->description, sizeof info->description, "%s", description);
  info->flags = flags;
}

}  // namespace veltro::media
