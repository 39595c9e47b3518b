// The marshalled property listing: a big-endian byte form of a property list, written from a
// list and read back into (name, kind, value) entries that point into the bytes.
#include <cstring>

#include "media/framework/MediaFramework.h"
#include "media/framework/MfInternal.h"

namespace veltro::media {
namespace {

constexpr size_t kMaxLength16 = 0xFFFF;

// Bytes one property takes, 0 when a length does not fit its 16-bit field.
size_t PropertyBytes(const MfProperty* p) {
  const size_t n = std::strlen(p->name);
  if (n > kMaxLength16) return 0;
  if (p->kind == kMfPropertyText) {
    const size_t m = std::strlen(p->value.text);
    return m > kMaxLength16 ? 0 : n + m + 7;
  }
  return p->kind == kMfPropertyValue ? n + 8 : n + 4;
}

// Total size, or 0 when a property cannot be written or the total passes 32 bits.
uint64_t ListingBytes(const MfPropertyList* list, uint32_t& count) {
  uint64_t total = 4;
  count = 0;
  for (const MfProperty* p = list->head; p != nullptr; p = p->next) {
    const size_t bytes = PropertyBytes(p);
    if (bytes == 0) return 0;
    total += bytes;
    ++count;
    if (total > UINT32_MAX) return 0;
  }
  return total;
}

uint8_t* Put16(uint8_t* out, size_t v) {
  out[0] = static_cast<uint8_t>(v >> 8);
  out[1] = static_cast<uint8_t>(v);
  return out + 2;
}

uint8_t* Put32(uint8_t* out, uint32_t v) {
  out[0] = static_cast<uint8_t>(v >> 24);
  out[1] = static_cast<uint8_t>(v >> 16);
  out[2] = static_cast<uint8_t>(v >> 8);
  out[3] = static_cast<uint8_t>(v);
  return out + 4;
}

// A string of `length` bytes with its NUL.
uint8_t* PutString(uint8_t* out, const char* text, size_t length) {
  out = Put16(out, length);
  std::memcpy(out, text, length + 1);
  return out + length + 1;
}

uint8_t* PutProperty(uint8_t* out, const MfProperty* p) {
  *out++ = static_cast<uint8_t>(p->kind);
  out = PutString(out, p->name, std::strlen(p->name));
  if (p->kind == kMfPropertyText) return PutString(out, p->value.text, std::strlen(p->value.text));
  if (p->kind == kMfPropertyValue) {
    // The listing holds 32 bits of the value word.
    return Put32(out, static_cast<uint32_t>(static_cast<uintptr_t>(p->value.number)));
  }
  return out;
}

// A cursor over the listing that never reads past its end.
struct ListingReader {
  const uint8_t* bytes;
  uint32_t size;
  uint32_t at;

  bool Has(uint32_t n) const { return n <= size - at; }
  uint32_t Get16() {
    const uint32_t v = (uint32_t{bytes[at]} << 8) | bytes[at + 1];
    at += 2;
    return v;
  }
  uint32_t Get32() {
    const uint32_t v = (uint32_t{bytes[at]} << 24) | (uint32_t{bytes[at + 1]} << 16) |
                       (uint32_t{bytes[at + 2]} << 8) | bytes[at + 3];
    at += 4;
    return v;
  }
  // A 16-bit length, the string and its NUL (the NUL must be there and be the first one).
  const char* GetString() {
    if (!Has(2)) return nullptr;
    const uint32_t length = Get16();
    if (!Has(length + 1)) return nullptr;
    const auto* text = reinterpret_cast<const char*>(bytes + at);
    if (bytes[at + length] != 0 || std::memchr(text, 0, length) != nullptr) return nullptr;
    at += length + 1;
    return text;
  }
};

bool ReadEntry(ListingReader& reader, MfPropertyEntry& entry) {
  if (!reader.Has(1)) return false;
  entry.kind = reader.bytes[reader.at++];
  entry.name = reader.GetString();
  if (entry.name == nullptr) return false;
  entry.value.number = 0;
  if (entry.kind == kMfPropertyText) {
    entry.value.text = reader.GetString();
    return entry.value.text != nullptr;
  }
  if (entry.kind == kMfPropertyValue) {
    if (!reader.Has(4)) return false;
    entry.value.number = static_cast<intptr_t>(reader.Get32());
  }
  return true;
}

}  // namespace

uint32_t mf_property_list_marshalled_size(MfPropertyList* list) {
  if (list == nullptr) return 0;
  uint32_t count = 0;
  return static_cast<uint32_t>(ListingBytes(list, count));
}

int mf_property_list_marshal(MfPropertyList* list, uint8_t* buffer, uint32_t bufferSize,
                             uint32_t* written) {
  if (list == nullptr || buffer == nullptr || written == nullptr) return kMfInvalidParameter;
  *written = 0;
  uint32_t count = 0;
  const uint64_t total = ListingBytes(list, count);
  if (total == 0 || total > bufferSize) return kMfInvalidParameter;
  uint8_t* out = Put32(buffer, count);
  for (const MfProperty* p = list->head; p != nullptr; p = p->next) out = PutProperty(out, p);
  *written = static_cast<uint32_t>(out - buffer);
  return kMfOk;
}

int mf_property_list_read(const uint8_t* bytes, uint32_t size, MfPropertyEntry* entries,
                          uint32_t capacity, uint32_t* count) {
  if (bytes == nullptr || count == nullptr) return kMfInvalidParameter;
  *count = 0;
  ListingReader reader{bytes, size, 0};
  if (!reader.Has(4)) return kMfInvalidParameter;
  const uint32_t declared = reader.Get32();
  // Every property takes at least 4 bytes, so a larger count cannot be genuine.
  if (declared > (size - 4) / 4) return kMfInvalidParameter;
  if (entries != nullptr && declared > capacity) return kMfInvalidParameter;
  for (uint32_t i = 0; i < declared; ++i) {
    MfPropertyEntry entry{};
    if (!ReadEntry(reader, entry)) return kMfInvalidParameter;
    if (entries != nullptr) entries[i] = entry;
  }
  if (reader.at != size) return kMfInvalidParameter;  // bytes after the last property
  *count = declared;
  return kMfOk;
}

}  // namespace veltro::media
