// Reads arbitrary bytes as a marshalled property listing. An accepted listing must describe
// strings inside the input, and when its names are distinct and its kinds known, building a
// property list from it and writing that list again must give back the input byte for byte.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "media/framework/MediaFramework.h"

namespace {

using namespace veltro::media;

void Check(bool condition) {
  if (!condition) __builtin_trap();
}

bool Inside(const char* text, const uint8_t* data, size_t size) {
  const auto* p = reinterpret_cast<const uint8_t*>(text);
  return p >= data && p < data + size && std::memchr(p, 0, size - (p - data)) != nullptr;
}

// True when every name is distinct and every kind is value or text.
bool Rebuildable(const std::vector<MfPropertyEntry>& entries) {
  std::set<std::string> names;
  for (const MfPropertyEntry& e : entries) {
    if (e.kind != kMfPropertyText && e.kind != kMfPropertyValue) return false;
    if (!names.insert(e.name).second) return false;
  }
  return true;
}

void CheckRoundTrip(const std::vector<MfPropertyEntry>& entries, const uint8_t* data,
                    uint32_t size) {
  MfPropertyList* list = nullptr;
  Check(mf_property_list_new(&list) == kMfOk);
  // The list keeps the newest first, so the last entry goes in first.
  for (auto e = entries.rbegin(); e != entries.rend(); ++e) {
    const int set = e->kind == kMfPropertyText
                        ? mf_property_set_text(list, e->name, e->value.text)
                        : mf_property_set_value(list, e->name, e->value.number);
    Check(set == kMfOk);
  }
  Check(mf_property_list_marshalled_size(list) == size);
  std::vector<uint8_t> written(size);
  uint32_t writtenBytes = 0;
  Check(mf_property_list_marshal(list, written.data(), size, &writtenBytes) == kMfOk);
  Check(writtenBytes == size && std::memcmp(written.data(), data, size) == 0);
  mf_property_list_delete(list);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > UINT32_MAX) return 0;
  const auto bytes = static_cast<uint32_t>(size);
  uint32_t count = 0;
  if (mf_property_list_read(data, bytes, nullptr, 0, &count) != kMfOk) return 0;
  std::vector<MfPropertyEntry> entries(count);
  uint32_t again = 0;
  Check(mf_property_list_read(data, bytes, entries.data(), count, &again) == kMfOk);
  Check(again == count);
  for (const MfPropertyEntry& e : entries) {
    Check(Inside(e.name, data, size));
    if (e.kind == kMfPropertyText) Check(Inside(e.value.text, data, size));
  }
  if (Rebuildable(entries)) CheckRoundTrip(entries, data, bytes);
  return 0;
}
