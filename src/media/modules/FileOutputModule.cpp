// The file output module: decoded PCM to a buffered C stream (a named file, or standard output
// for "-"), as the samples alone or behind a 44-byte RIFF WAVE header.
#include "media/modules/FileOutputModule.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <new>

#include "media/framework/MfNamedInstance.h"
#include "platform/WaveHeader.h"

namespace veltro::media {
namespace {

constexpr char kStandardOutputName[] = "-";
constexpr int kDefaultSampleRateHz = 44100;
constexpr int kDefaultChannels = 2;
constexpr uint16_t kBitsPerSample = 16;

enum FileFormat : int { kFormatRaw = 0, kFormatWav = 1, kFormatAiff = 2, kFormatSun = 3 };

struct FormatPrefix {
  const char* prefix;
  FileFormat format;
};

constexpr FormatPrefix kPrefixes[] = {
    {"raw:", kFormatRaw}, {"wav:", kFormatWav}, {"aiff:", kFormatAiff}, {"sun:", kFormatSun}};

struct FileOutput {
  char* name;  // owned copy of the whole output name, prefix included
  MfOutputModuleRecord* record;
  MfDecoder* decoder;
  FILE* stream;           // null until opened; the run-time's stdout for "-"
  uint64_t bytesWritten;  // PCM bytes, header excluded (64 bits: more than a header can hold)
  int sampleRateHz;
  int channels;
  int format;  // FileFormat
  int headerWritten;
  int byteSwap;  // always 0: AIFF and Sun hold the samples as written, like raw
};

int ModuleId(const FileOutput* output) {
  return output->record != nullptr ? output->record->id : 0;
}

int Probe(const char* /*name*/) {
  return 0;
}

int Query(MfModuleInfo* info, int flags) {
  if (info == nullptr) return kMfInvalidParameter;
  if ((flags & kMfQueryName) != 0) {
    MfSetModuleInfo(info, "Output To File", "Version 1.2", 0);
    return kMfOk;
  }
  if ((flags & kMfQueryDeviceCount) != 0) info->index = 3;
  if ((flags & kMfQueryDevice) != 0) {
    switch (info->index) {
      case 0:
        MfSetModuleInfo(info, "*, or raw:*", "file name (raw PCM format)", 1);
        break;
      case 1:
        MfSetModuleInfo(info, "wav:*", "file name (WAV format)", 1);
        break;
      case 2:
        MfSetModuleInfo(info, kStandardOutputName, "standard output", 0);
        break;
      default:
        return kMfInvalidParameter;
    }
  }
  return kMfOk;
}

int New(void** instance, const char* name, MfOutputModuleRecord* record, MfDecoder* decoder) {
  const int created = MfNewNamedInstance<FileOutput>(instance, name, record, decoder,
                                                     "null params or null/empty output name");
  if (created == kMfOk) static_cast<FileOutput*>(*instance)->byteSwap = 0;
  return created;
}

int Close(void* instance);

int Delete(void* instance) {
  auto* output = static_cast<FileOutput*>(instance);
  if (output == nullptr) return kMfInvalidParameter;
  if (output->stream != nullptr) Close(output);
  delete[] output->name;
  delete output;
  return kMfOk;
}

// The format named by the prefix, and the file name behind it; a name without a known prefix
// is raw and used whole.
const char* SplitFormat(const char* name, FileFormat& format) {
  for (const FormatPrefix& entry : kPrefixes) {
    const size_t length = std::strlen(entry.prefix);
    if (std::strncmp(name, entry.prefix, length) == 0) {
      format = entry.format;
      return name + length;
    }
  }
  format = kFormatRaw;
  return name;
}

int OpenFailure(FileOutput* output, int error) {
  const bool denied = error == EACCES;
  mf_notify(output->decoder, ModuleId(output), "cannot open output file",
            denied ? "permission denied" : std::strerror(error));
  return denied ? kMfPermissionDenied : kMfOpenFailed;
}

int Open(void* instance) {
  auto* output = static_cast<FileOutput*>(instance);
  if (output == nullptr) return kMfInvalidParameter;
  if (output->stream != nullptr) Close(output);  // a second opening starts a new file
  output->bytesWritten = 0;
  output->headerWritten = 0;
  output->sampleRateHz = kDefaultSampleRateHz;
  output->channels = kDefaultChannels;
  FileFormat format = kFormatRaw;
  const char* fileName = SplitFormat(output->name, format);
  output->format = format;
  if (std::strcmp(fileName, kStandardOutputName) == 0) {
    output->stream = stdout;
    return kMfOk;
  }
  errno = 0;
  output->stream = std::fopen(fileName, "wb");
  return output->stream != nullptr ? kMfOk : OpenFailure(output, errno);
}

// The header in the first block's rate and channel count, with the bytes written so far as its
// data size (saturated by MakeWaveHeader beyond 4 GiB; the samples themselves are all written).
int WriteWavHeader(FileOutput* output) {
  const platform::WaveFormat format =
      platform::MakePcmFormat(static_cast<uint32_t>(output->sampleRateHz),
                              static_cast<uint16_t>(output->channels), kBitsPerSample);
  const platform::WaveHeaderBytes header = platform::MakeWaveHeader(format, output->bytesWritten);
  const size_t written = std::fwrite(header.data(), 1, header.size(), output->stream);
  return written == header.size() ? kMfOk : kMfFailed;
}

// Only WAV has a header here; AIFF and Sun files hold the samples alone, like raw.
int WriteHeader(FileOutput* output) {
  return output->format == kFormatWav ? WriteWavHeader(output) : kMfOk;
}

int Write(void* instance, const void* samples, uint32_t bytes, int /*bytesPerSample*/, int channels,
          int sampleRateHz) {
  auto* output = static_cast<FileOutput*>(instance);
  if (output == nullptr || output->stream == nullptr) return kMfFailed;
  if (output->headerWritten == 0) {
    output->sampleRateHz = sampleRateHz;
    output->channels = channels;
    WriteHeader(output);  // a failure here shows in the block's own write
    output->headerWritten = 1;
  }
  if (bytes > 0 &&
      (samples == nullptr || std::fwrite(samples, 1, bytes, output->stream) != bytes)) {
    return kMfFailed;
  }
  output->bytesWritten += bytes;
  return kMfOk;
}

// Completes the header when the stream can go back to its start (a pipe cannot: the header
// then keeps the sizes of 0 it was first written with), then closes the stream, stdout too.
int Close(void* instance) {
  auto* output = static_cast<FileOutput*>(instance);
  if (output == nullptr) return kMfInvalidParameter;
  if (output->stream == nullptr) return kMfOk;
  if (output->format != kFormatRaw && std::fseek(output->stream, 0, SEEK_SET) == 0) {
    WriteHeader(output);
  }
  std::fclose(output->stream);
  output->stream = nullptr;
  return kMfOk;
}

}  // namespace

void FileOutputModuleDescriptor(MfOutputModule* descriptor) {
  if (descriptor == nullptr) return;
  *descriptor = MfOutputModule{kMfInterfaceVersion,
                               Probe,
                               Query,
                               New,
                               Delete,
                               Open,
                               Close,
                               Write,
                               nullptr,
                               nullptr,
                               nullptr,
                               nullptr,
                               nullptr,
                               nullptr};
}

}  // namespace veltro::media
