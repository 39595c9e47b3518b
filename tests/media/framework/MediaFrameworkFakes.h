// Small modules for the framework tests: a counting codec (one frame per 4 bytes read, 1152
// stereo samples at 44100 Hz unless told otherwise), a recording output module, and a recorder
// of notifications. Module methods are plain functions, so they report into one global log that
// each test fixture resets.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "media/framework/MediaFramework.h"
#include "media/modules/MemoryInput.h"

namespace veltro::media {

struct FakeLog {
  // Codec behaviour.
  int sampleCount = 1152;
  int sampleRateHz = 44100;
  int channels = 2;
  int bytesPerFrame = 4;
  int durationMs = 0;  // given by read stream info
  int bitrateKbps = 0;
  bool acceptStreams = true;
  // What happened.
  int codecNews = 0;
  int codecDeletes = 0;
  int streamOpened = 0;
  int streamClosed = 0;
  int streamInfoReads = 0;
  std::vector<uint32_t> seekDone;
  std::vector<int> parameterFlags;
  MfCodecParameters lastParameters{};
  int8_t lastEqualizerFirst = 0;
  int framesDecoded = 0;
  // Output module.
  int outputNews = 0;
  std::vector<uint32_t> writtenBytes;
  std::vector<int> controlFlags;
  MfOutputControl lastControl{};
  // Notifications.
  std::vector<std::string> reasons;
  std::vector<std::string> messages;
  std::vector<int> moduleIds;
};

inline FakeLog gLog;

inline void RecordNotification(void* /*clientData*/, int moduleId, int /*reserved*/,
                               const char* message, const char* reason) {
  gLog.moduleIds.push_back(moduleId);
  gLog.messages.emplace_back(message);
  gLog.reasons.emplace_back(reason);
}

struct FakeCodec {
  MfDecoder* decoder;
  uint32_t frameCounter;
};

inline int FakeCodecQuery(MfModuleInfo* info, int flags) {
  if ((flags & kMfQueryName) != 0) {
    std::strcpy(info->name, "Counting Codec");
    info->flags = 0;
    return kMfOk;
  }
  if ((flags & kMfQueryBufferSize) != 0) info->bufferSize = 4608;
  if ((flags & kMfQueryCaps) != 0) info->flags = 3;
  return kMfOk;
}

inline int FakeCodecDecode(void* instance, MfOutputBuffer* out, MfStreamInfo* info) {
  auto* codec = static_cast<FakeCodec*>(instance);
  uint8_t bytes[64];
  const int read = codec->decoder->services.read(codec->decoder, bytes,
                                                 static_cast<uint32_t>(gLog.bytesPerFrame));
  if (read != kMfOk) return read;
  const int written = std::min(gLog.sampleCount * gLog.channels, 2304);
  for (int i = 0; i < written; ++i) out->samples[i] = static_cast<int16_t>(codec->frameCounter);
  ++codec->frameCounter;
  ++gLog.framesDecoded;
  out->sampleCount = gLog.sampleCount;
  out->sampleRateHz = gLog.sampleRateHz;
  out->channels = gLog.channels;
  info->type = "audio/counting";
  info->changes |= 4;
  return kMfOk;
}

inline MfCodecModule CountingCodec() {
  MfCodecModule m{};
  m.version = kMfInterfaceVersion;
  m.probe = [](const char*, const char*) { return gLog.acceptStreams ? 0 : -1; };
  m.query = FakeCodecQuery;
  m.newInstance = [](void** instance, const char*, const char*, MfCodecModuleRecord*,
                     MfDecoder* decoder) {
    ++gLog.codecNews;
    *instance = new FakeCodec{decoder, 0};
    return kMfOk;
  };
  m.deleteInstance = [](void* instance) {
    ++gLog.codecDeletes;
    delete static_cast<FakeCodec*>(instance);
    return kMfOk;
  };
  m.decode = FakeCodecDecode;
  m.readStreamInfo = [](void*, MfStreamInfo* info) {
    ++gLog.streamInfoReads;
    info->durationMs = gLog.durationMs;
    info->bitrateKbps = gLog.bitrateKbps;
    return kMfOk;
  };
  m.streamOpened = [](void*, const char*, const char*) { return ++gLog.streamOpened, kMfOk; };
  m.streamClosed = [](void*) { return ++gLog.streamClosed, kMfOk; };
  m.seekDone = [](void*, uint32_t offset) { return gLog.seekDone.push_back(offset), kMfOk; };
  m.setParameters = [](void*, MfCodecParameters* p, int flags) {
    gLog.parameterFlags.push_back(flags);
    gLog.lastParameters = *p;
    gLog.lastEqualizerFirst = p->equalizer != nullptr ? p->equalizer[0] : 0;
    return kMfOk;
  };
  return m;
}

// An output module that keeps nothing but a record of what it was given.
inline MfOutputModule RecordingOutput() {
  MfOutputModule m{};
  m.version = kMfInterfaceVersion;
  m.probe = [](const char* name) { return std::strncmp(name, "rec:", 4) == 0 ? 0 : -1; };
  m.newInstance = [](void** instance, const char*, MfOutputModuleRecord*, MfDecoder*) {
    ++gLog.outputNews;
    *instance = new int(0);
    return kMfOk;
  };
  m.deleteInstance = [](void* instance) { return delete static_cast<int*>(instance), kMfOk; };
  m.open = [](void*) { return kMfOk; };
  m.close = [](void*) { return kMfOk; };
  m.write = [](void*, const void*, uint32_t bytes, int, int, int) {
    return gLog.writtenBytes.push_back(bytes), kMfOk;
  };
  m.setControl = [](void*, MfOutputControl* control, int flags) {
    gLog.controlFlags.push_back(flags);
    gLog.lastControl = *control;
    return kMfOk;
  };
  return m;
}

// A decoder with the notification recorder installed; deleted with the fixture.
class FrameworkTest : public ::testing::Test {
 protected:
  void SetUp() override {
    gLog = FakeLog{};
    ASSERT_EQ(mf_decoder_new(&decoder_), kMfOk);
    decoder_->notify = RecordNotification;
  }
  void TearDown() override { mf_decoder_delete(decoder_); }

  // Registers the memory input and the counting codec and opens `bytes` as "mem:song".
  void OpenMemoryStream(const std::vector<uint8_t>& bytes) {
    MfInputModule input{};
    MemoryInputDescriptor(&input);
    const MfCodecModule codec = CountingCodec();
    ASSERT_EQ(mf_codec_module_register(decoder_, &codec), 0);
    ASSERT_EQ(mf_input_module_register(decoder_, &input), 0);
    ASSERT_EQ(
        MemoryInputAttach(decoder_, "mem:song", bytes.data(), static_cast<uint32_t>(bytes.size())),
        kMfOk);
    ASSERT_EQ(mf_input_new(decoder_, "mem:song", -1), kMfOk);
    ASSERT_EQ(mf_input_open(decoder_), kMfOk);
  }

  std::string LastReason() const { return gLog.reasons.empty() ? "" : gLog.reasons.back(); }

  MfDecoder* decoder_ = nullptr;
};

}  // namespace veltro::media
