// The memory input module: a cursor over a caller's buffer found through decoder properties.
#include "media/modules/MemoryInput.h"

#include <cstring>
#include <memory>
#include <new>

#include "media/framework/MfNamedInstance.h"

namespace veltro::media {
namespace {

constexpr char kBytesKey[] = "memory-input/bytes:";
constexpr char kSizeKey[] = "memory-input/size:";

struct MemoryInput {
  char* name;  // owned copy
  MfInputModuleRecord* record;
  MfDecoder* decoder;
  const uint8_t* bytes;  // null until opened
  uint32_t size;
  uint32_t position;
};

// "<prefix><name>", or null when out of memory (no exception may leave a module method).
std::unique_ptr<char[]> MakeKey(const char* prefix, const char* name) {
  const size_t prefixLength = std::strlen(prefix);
  const size_t nameLength = std::strlen(name);
  std::unique_ptr<char[]> key(new (std::nothrow) char[prefixLength + nameLength + 1]);
  if (key == nullptr) return key;
  std::memcpy(key.get(), prefix, prefixLength);
  std::memcpy(key.get() + prefixLength, name, nameLength + 1);
  return key;
}

int ModuleId(const MemoryInput* input) {
  return input->record != nullptr ? input->record->id : 0;
}

int Probe(const char* name) {
  const size_t prefix = sizeof kMemoryInputPrefix - 1;
  return name != nullptr && std::strncmp(name, kMemoryInputPrefix, prefix) == 0 ? 0 : -1;
}

int Query(MfModuleInfo* info, int flags) {
  if (info == nullptr) return kMfInvalidParameter;
  if ((flags & kMfQueryName) != 0) {
    std::strcpy(info->name, "Input From Memory");
    std::strcpy(info->description, "Version 1.2");
    info->flags = 0;
    return kMfOk;
  }
  if ((flags & kMfQueryDeviceCount) != 0) info->index = 1;
  if ((flags & kMfQueryDevice) != 0) {
    if (info->index != 0) return kMfInvalidParameter;
    std::strcpy(info->name, "mem:*");
    std::strcpy(info->description, "memory buffer");
    info->flags = 1;
  }
  return kMfOk;
}

int New(void** instance, const char* name, MfInputModuleRecord* record, MfDecoder* decoder) {
  return MfNewNamedInstance<MemoryInput>(instance, name, record, decoder,
                                         "null params or null/empty input name");
}

int Delete(void* instance) {
  auto* input = static_cast<MemoryInput*>(instance);
  if (input == nullptr) return kMfInvalidParameter;
  delete[] input->name;
  delete input;
  return kMfOk;
}

int Open(void* instance) {
  auto* input = static_cast<MemoryInput*>(instance);
  intptr_t bytes = 0;
  intptr_t size = 0;
  const auto bytesKey = MakeKey(kBytesKey, input->name);
  const auto sizeKey = MakeKey(kSizeKey, input->name);
  if (bytesKey == nullptr || sizeKey == nullptr) return kMfOutOfMemory;
  if (mf_decoder_property_get_value(input->decoder, bytesKey.get(), &bytes) != 0 ||
      mf_decoder_property_get_value(input->decoder, sizeKey.get(), &size) != 0 || bytes == 0 ||
      size < 0 || static_cast<uint64_t>(size) > UINT32_MAX) {
    mf_notify(input->decoder, ModuleId(input), "cannot open input", "no buffer for that name");
    return kMfFileNotFound;
  }
  input->bytes = reinterpret_cast<const uint8_t*>(bytes);
  input->size = static_cast<uint32_t>(size);
  input->position = 0;
  return kMfOk;
}

int Close(void* instance) {
  auto* input = static_cast<MemoryInput*>(instance);
  input->bytes = nullptr;
  input->size = 0;
  input->position = 0;
  return kMfOk;
}

// All or nothing: a block that does not fit before the end is not delivered.
int Read(void* instance, void* buffer, uint32_t size) {
  auto* input = static_cast<MemoryInput*>(instance);
  if (input->bytes == nullptr || buffer == nullptr) return kMfFailed;
  if (size > static_cast<uint32_t>(INT32_MAX) || size > input->size - input->position) return 0;
  std::memcpy(buffer, input->bytes + input->position, size);
  input->position += size;
  return static_cast<int>(size);
}

int Seek(void* instance, uint32_t offset) {
  auto* input = static_cast<MemoryInput*>(instance);
  if (input->bytes == nullptr || offset > input->size) return kMfFailed;
  input->position = offset;
  return kMfOk;
}

int GetCaps(void* /*instance*/) {
  return kMfInputSeekable;
}

uint32_t GetSize(void* instance) {
  return static_cast<MemoryInput*>(instance)->size;
}

}  // namespace

void MemoryInputDescriptor(MfInputModule* descriptor) {
  if (descriptor == nullptr) return;
  *descriptor = MfInputModule{kMfInterfaceVersion,
                              Probe,
                              Query,
                              New,
                              Delete,
                              Open,
                              Close,
                              Read,
                              Seek,
                              GetCaps,
                              GetSize,
                              nullptr};
}

int MemoryInputAttach(MfDecoder* decoder, const char* name, const void* bytes, uint32_t size) {
  if (decoder == nullptr || name == nullptr || bytes == nullptr) return kMfInvalidParameter;
  const auto bytesKey = MakeKey(kBytesKey, name);
  const auto sizeKey = MakeKey(kSizeKey, name);
  if (bytesKey == nullptr || sizeKey == nullptr) return kMfOutOfMemory;
  const int stored =
      mf_decoder_property_set_value(decoder, bytesKey.get(), reinterpret_cast<intptr_t>(bytes));
  if (stored != kMfOk) return stored;
  return mf_decoder_property_set_value(decoder, sizeKey.get(), static_cast<intptr_t>(size));
}

}  // namespace veltro::media
