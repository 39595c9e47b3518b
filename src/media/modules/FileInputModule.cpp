// The file input module: a buffered C stream over a named file (or standard input for "-"),
// with all-or-nothing block reads and the ID3v1 tag of ".mp3" files published as stream texts.
#include "media/modules/FileInputModule.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>
#include <string_view>

#include "media/framework/MfNamedInstance.h"
#include "media/mp3info/Id3Genre.h"
#include "media/mp3info/Id3Layout.h"
#include "platform/FileDescriptor.h"
#include "platform/RegularFile.h"

namespace veltro::media {
namespace {

constexpr char kStandardInputName[] = "-";
constexpr char kMp3Suffix[] = ".mp3";
constexpr size_t kMp3SuffixLength = sizeof kMp3Suffix - 1;
constexpr long kId3TagBytes = static_cast<long>(kId3v1TagBytes);

struct FileInput {
  char* name;  // owned copy
  MfInputModuleRecord* record;
  MfDecoder* decoder;
  FILE* stream;  // null until opened; the run-time's stdin for "-" (never closed here)
  // Standard input only: its first bytes, looked at for an ID3v2 tag before the first read
  // and delivered ahead of the stream when they are not one.
  bool headChecked;
  uint8_t head[kId3v2HeaderBytes];
  size_t headBytes;  // still to deliver from head
  size_t headStart;
};

int ModuleId(const FileInput* input) {
  return input->record != nullptr ? input->record->id : 0;
}

bool ReadsStandardInput(const FileInput* input) {
  return input->stream != nullptr && input->stream == stdin;
}

int Probe(const char* /*name*/) {
  return 0;
}

int Query(MfModuleInfo* info, int flags) {
  if (info == nullptr) return kMfInvalidParameter;
  if ((flags & kMfQueryName) != 0) {
    MfSetModuleInfo(info, "Input From File", "Version 1.2", 0);
    return kMfOk;
  }
  if ((flags & kMfQueryDeviceCount) != 0) info->index = 2;
  if ((flags & kMfQueryDevice) != 0) {
    if (info->index == 0) {
      MfSetModuleInfo(info, "*", "any file name", 1);
    } else if (info->index == 1) {
      MfSetModuleInfo(info, kStandardInputName, "standard input", 0);
    } else {
      return kMfInvalidParameter;
    }
  }
  return kMfOk;
}

int New(void** instance, const char* name, MfInputModuleRecord* record, MfDecoder* decoder) {
  return MfNewNamedInstance<FileInput>(instance, name, record, decoder,
                                       "null params or null/empty input name");
}

int Close(void* instance);

int Delete(void* instance) {
  auto* input = static_cast<FileInput*>(instance);
  if (input == nullptr) return kMfInvalidParameter;
  Close(input);
  delete[] input->name;
  delete input;
  return kMfOk;
}

// Publishes one field's text (up to its first NUL, no trailing spaces; also when empty).
void PublishId3Field(FileInput* input, const char* property, std::string_view field) {
  const std::string text(Id3v1Text(field));
  input->decoder->services.setStreamText(input->decoder, property, text.c_str());
}

void PublishId3Fields(FileInput* input, const Id3v1Fields& fields) {
  PublishId3Field(input, "id3/title", fields.title);
  PublishId3Field(input, "id3/artist", fields.artist);
  PublishId3Field(input, "id3/album", fields.album);
  PublishId3Field(input, "id3/year", fields.year);
  PublishId3Field(input, "id3/comment", fields.comment);
  if (const char* genre = Id3GenreName(fields.genre); genre != nullptr) {
    input->decoder->services.setStreamText(input->decoder, "id3/genre", genre);
  }
}

bool HasMp3Suffix(const char* name) {
  const size_t length = std::strlen(name);
  return length > kMp3SuffixLength &&
         std::strcmp(name + length - kMp3SuffixLength, kMp3Suffix) == 0;
}

// Publishes the ID3v1 tag in the last 128 bytes, if there is one, and returns to the start. A
// file too short for the seek is left where it is (its start).
void ReadId3Tag(FileInput* input) {
  if (std::fseek(input->stream, -kId3TagBytes, SEEK_END) != 0) return;
  uint8_t tag[kId3v1TagBytes];
  const size_t got = std::fread(tag, 1, sizeof tag, input->stream);
  const bool canPublish =
      input->decoder != nullptr && input->decoder->services.setStreamText != nullptr;
  if (const auto fields = ParseId3v1Tag({tag, got}); fields && canPublish) {
    PublishId3Fields(input, *fields);
  }
  std::clearerr(input->stream);
  std::fseek(input->stream, 0, SEEK_SET);
}

// `error` is the system's error number, or 0 when the file opened but is of a kind that is
// refused (its reason then names the path and what it is).
int OpenFailure(FileInput* input, int error, const std::string& refusal) {
  const char* reason = error != 0 ? std::strerror(error) : refusal.c_str();
  int code = kMfOpenFailed;
  if (error == ENOENT) {
    reason = "file not found";
    code = kMfFileNotFound;
  } else if (error == EACCES) {
    reason = "permission denied";
    code = kMfPermissionDenied;
  }
  mf_notify(input->decoder, ModuleId(input), "cannot open input file", reason);
  return code;
}

int Open(void* instance) {
  auto* input = static_cast<FileInput*>(instance);
  if (input == nullptr) return kMfInvalidParameter;
  Close(input);  // a second opening starts afresh
  input->headChecked = false;
  input->headBytes = 0;
  input->headStart = 0;
  if (std::strcmp(input->name, kStandardInputName) == 0) {
    input->stream = stdin;
    return kMfOk;
  }
  // Never waits on a FIFO or device carrying the name; anything but a regular file is refused.
  std::string reason;
  errno = 0;
  input->stream =
      platform::OpenRegularFileStream(input->name, platform::FileAccess::kRead, &reason);
  if (input->stream == nullptr) return OpenFailure(input, errno, reason);
  if (HasMp3Suffix(input->name)) ReadId3Tag(input);
  return kMfOk;
}

int Close(void* instance) {
  auto* input = static_cast<FileInput*>(instance);
  if (input == nullptr) return kMfInvalidParameter;
  if (input->stream != nullptr && !ReadsStandardInput(input)) std::fclose(input->stream);
  input->stream = nullptr;
  return kMfOk;
}

// The size of the ID3v2 tag `head` begins; 0 when it is no tag header (also when its size is
// not synchsafe).
uint64_t Id3v2TagBytes(const uint8_t* head) {
  const auto header = ParseId3v2Header({head, kId3v2HeaderBytes});
  return header && header->synchsafe ? header->tagBytes : 0;
}

// Reads and drops `count` bytes of the stream (fewer when it ends first).
void Discard(FILE* stream, uint64_t count) {
  uint8_t sink[4096];
  while (count > 0) {
    const size_t want = static_cast<size_t>(std::min<uint64_t>(count, sizeof sink));
    const size_t got = std::fread(sink, 1, want, stream);
    if (got == 0) return;
    count -= got;
  }
}

// Standard input cannot seek past an ID3v2 tag as a file does, so the tag is read and dropped
// here, before the first byte is delivered; other first bytes are kept for delivery.
void SkipStandardInputTag(FileInput* input) {
  input->headChecked = true;
  input->headBytes = std::fread(input->head, 1, kId3v2HeaderBytes, input->stream);
  input->headStart = 0;
  if (input->headBytes < kId3v2HeaderBytes) return;
  const uint64_t tagBytes = Id3v2TagBytes(input->head);
  if (tagBytes == 0) return;
  input->headBytes = 0;
  Discard(input->stream, tagBytes - kId3v2HeaderBytes);
}

// Standard input: the kept first bytes, then the stream; all or nothing.
int ReadStandardInput(FileInput* input, uint8_t* out, uint32_t size) {
  if (!input->headChecked) SkipStandardInputTag(input);
  if (std::ferror(input->stream) != 0) {  // an interrupted or failed read ends the stream
    std::clearerr(input->stream);
    return 0;
  }
  const size_t fromHead = std::min<size_t>(input->headBytes, size);
  std::memcpy(out, input->head + input->headStart, fromHead);
  const size_t rest = size - fromHead;
  const size_t got = rest > 0 ? std::fread(out + fromHead, 1, rest, input->stream) : 0;
  if (got != rest) {
    std::clearerr(input->stream);
    return 0;  // the stream ended inside the block: no later block can follow it
  }
  input->headStart += fromHead;
  input->headBytes -= fromHead;
  return static_cast<int>(size);
}

// All or nothing. After a short read a seekable stream is put back where the block began, so
// the stream agrees with the framework's count of consumed bytes (which a 0 does not advance)
// and a later seek or read starts from a known place.
int Read(void* instance, void* buffer, uint32_t size) {
  auto* input = static_cast<FileInput*>(instance);
  if (input == nullptr || input->stream == nullptr || buffer == nullptr) return kMfFailed;
  if (size > static_cast<uint32_t>(INT32_MAX)) return 0;
  if (ReadsStandardInput(input))
    return ReadStandardInput(input, static_cast<uint8_t*>(buffer), size);
  const int64_t before = platform::StreamOffset(input->stream);
  const size_t got = std::fread(buffer, 1, size, input->stream);
  if (got == size) return static_cast<int>(size);
  std::clearerr(input->stream);
  if (before >= 0) platform::SeekStream(input->stream, static_cast<uint64_t>(before));
  return 0;
}

int Seek(void* instance, uint32_t offset) {
  auto* input = static_cast<FileInput*>(instance);
  if (input == nullptr || input->stream == nullptr) return kMfFailed;
  return platform::SeekStream(input->stream, offset) ? kMfOk : kMfFailed;
}

int GetCaps(void* instance) {
  const auto* input = static_cast<const FileInput*>(instance);
  if (input == nullptr || input->stream == nullptr || ReadsStandardInput(input)) return 0;
  return kMfInputSeekable;
}

// The framework counts sizes and offsets in 32 bits. A file of 4 GiB or more reports the
// largest size it can express (0xFFFFFFFF) rather than a wrapped-around small one: positions
// and seeks then cover the first 4 GiB, and reads still go on to the real end of the file.
uint32_t GetSize(void* instance) {
  const auto* input = static_cast<const FileInput*>(instance);
  if (input == nullptr || input->stream == nullptr || ReadsStandardInput(input)) return 0;
  const auto size = platform::StreamFileSize(input->stream);
  if (!size) return 0;
  return *size > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(*size);
}

}  // namespace

void FileInputModuleDescriptor(MfInputModule* descriptor) {
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

}  // namespace veltro::media
