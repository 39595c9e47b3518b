#include "engine/PlayerEngine.h"

#include <soundtouch/SoundTouch.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "engine/Mp3Decoder.h"
#include "platform/TextEncoding.h"

namespace veltro::engine {

using platform::sound::SoundBuffer;
using Lock = std::lock_guard<std::mutex>;

namespace {

constexpr uint32_t kDrainFrames = 8192;  // frames per receiveSamples call when discarding

uint32_t WholeFrames(uint32_t bytes, uint32_t frameBytes) {
  return bytes - bytes % frameBytes;
}

int16_t FloatToSample(float value) {
  const float scaled = std::nearbyint(value * 32768.0f);
  return static_cast<int16_t>(std::clamp(scaled, -32768.0f, 32767.0f));
}

}  // namespace

PlayerEngine::PlayerEngine()
    : tempo(std::make_unique<soundtouch::SoundTouch>()),
      mp3(std::make_unique<Mp3Decoder>()),
      block(kDecoderBlockBytes) {}

PlayerEngine::~PlayerEngine() {
  Lock lock(mutex);
  UnloadLocked();
}

void PlayerEngine::AttachDevices(platform::sound::SoundDevice* main,
                                 platform::sound::SoundDevice* monitor) {
  Lock lock(mutex);
  mainDevice = main;
  monitorDevice = monitor;
  mainBuffer.reset();
  monitorBuffer.reset();
  mainCueBuffer.reset();
  monitorCueBuffer.reset();
}

void PlayerEngine::SetMp3Decoder(std::unique_ptr<DecoderBase> newDecoder) {
  Lock lock(mutex);
  if (decoder == mp3.get() && decoder != nullptr) UnloadLocked();
  mp3 = std::move(newDecoder);
}

DecoderBase* PlayerEngine::ChooseDecoder(const std::string& extension) {
  if (platform::EqualsIgnoringAsciiCase(extension, ".MP3")) return mp3.get();
  if (platform::EqualsIgnoringAsciiCase(extension, ".WAV")) return &wav;
  if (platform::EqualsIgnoringAsciiCase(extension, ".OGG")) return &ogg;
  return nullptr;
}

bool PlayerEngine::Load(const std::string& path, int endWarningSeconds,
                        const std::string& extension) {
  Lock lock(mutex);
  UnloadLocked();
  lastError.clear();
  endWarning = endWarningSeconds * 100;
  lastPlayCursor = 0;
  DecoderBase* chosen = ChooseDecoder(extension);
  if (chosen == nullptr) {
    lastError = "unsupported file type \"" + extension + "\": " + path;
    return false;
  }
  if (!chosen->Open(path)) {
    lastError = chosen->LastError();
    return false;
  }
  decoder = chosen;
  format = decoder->Format();
  if (format.bitsPerSample != 16 || (format.channels != 1 && format.channels != 2)) {
    lastError = "unsupported sample format: " + path;
    UnloadLocked();
    return false;
  }
  if (!CreateBuffers()) {
    lastError = "cannot create a sound buffer on the main output";
    UnloadLocked();
    return false;
  }
  staging.assign(halfSize, platform::SilenceByte(format));
  carry.clear();
  streamEnded = false;
  nearEnd = 0;
  endCount = 0;
  loaded = true;
  ConfigureTempoLocked();
  return true;
}

bool PlayerEngine::CreateBuffers() {
  const uint32_t a = format.avgBytesPerSec;
  const uint32_t frameBytes = format.blockAlign;
  halfSize = WholeFrames(a / 4, frameBytes);
  mainDescription = {2 * halfSize, format};
  cueDescription = {WholeFrames(static_cast<uint32_t>(uint64_t{a} * 10 / 65), frameBytes), format};
  if (mainDevice != nullptr) {
    mainBuffer = mainDevice->CreateBuffer(format, mainDescription.bytes);
    mainCueBuffer = mainDevice->CreateBuffer(format, cueDescription.bytes);
    if (!mainBuffer) return false;
  }
  if (monitorDevice != nullptr) {
    monitorBuffer = monitorDevice->CreateBuffer(format, mainDescription.bytes);
    monitorCueBuffer = monitorDevice->CreateBuffer(format, cueDescription.bytes);
  }
  return true;
}

void PlayerEngine::Unload() {
  Lock lock(mutex);
  UnloadLocked();
}

void PlayerEngine::UnloadLocked() {
  mainBuffer.reset();
  monitorBuffer.reset();
  mainCueBuffer.reset();
  monitorCueBuffer.reset();
  staging.clear();
  carry.clear();
  loaded = false;
  if (decoder != nullptr) decoder->Close();
  decoder = nullptr;
}

int PlayerEngine::Length() {
  Lock lock(mutex);
  return decoder != nullptr ? decoder->Length() : 0;
}

void PlayerEngine::Prime(int position) {
  Lock lock(mutex);
  if (!loaded) return;
  for (SoundBuffer* buffer : {mainBuffer.get(), monitorBuffer.get()}) {
    if (buffer != nullptr) buffer->SetCurrentPosition(0);
  }
  ResetTempo();
  carry.clear();
  streamEnded = false;
  // End detection starts afresh at the new place: refills counted before (a scrub near the end,
  // a previous play-through) say nothing about what the buffers now hold.
  endCount = 0;
  std::fill(staging.begin(), staging.end(), platform::SilenceByte(format));
  decoder->Seek(position);
  RefillHalf(0);
  FillCue();
  RefillHalf(halfSize);
  lastPlayCursor = 0;
}

void PlayerEngine::ResetTempo() {
  // Flush and discard whatever the processor still holds, then clear it so that the next
  // output starts exactly like that of a fresh processor.
  tempo->flush();
  floatOut.resize(size_t{kDrainFrames} * format.channels);
  while (tempo->receiveSamples(floatOut.data(), kDrainFrames) != 0) {
  }
  tempo->clear();
}

void PlayerEngine::Play() {
  Lock lock(mutex);
  SetPlaying({mainBuffer.get(), monitorBuffer.get()}, true);
}

void PlayerEngine::Stop() {
  Lock lock(mutex);
  SetPlaying({mainBuffer.get(), monitorBuffer.get()}, false);
}

void PlayerEngine::PlayCue() {
  Lock lock(mutex);
  SetPlaying({mainCueBuffer.get(), monitorCueBuffer.get()}, true);
}

void PlayerEngine::StopCue() {
  Lock lock(mutex);
  SetPlaying({mainCueBuffer.get(), monitorCueBuffer.get()}, false);
}

void PlayerEngine::SetPlaying(std::initializer_list<SoundBuffer*> buffers, bool playing) {
  for (SoundBuffer* buffer : buffers) {
    if (buffer == nullptr) continue;
    if (playing) {
      buffer->Play(true);
    } else {
      buffer->Stop();
    }
  }
}

int PlayerEngine::Service() {
  Lock lock(mutex);
  if (!loaded) return 0;
  if (!mainBuffer) return decoder->Position();
  const uint32_t play = mainBuffer->GetCurrentPosition();
  if (play >= halfSize && lastPlayCursor < halfSize) RefillHalf(0);  // entered the 2nd half
  if (play < lastPlayCursor) RefillHalf(halfSize);                   // wrapped to the 1st
  // Bytes written but not yet heard: the rest of the current half and the whole other one.
  const uint32_t queued = play >= halfSize ? 3 * halfSize - play : 2 * halfSize - play;
  lastPlayCursor = play;
  return std::max(decoder->Position() - HeldBackHundredths(queued), 0);
}

int PlayerEngine::HeldBackHundredths(uint32_t queuedBytes) const {
  // Song time taken from the decoder but not heard yet: what is queued in the buffer and
  // carried over (processed output, converted back to song time through the processor's
  // input/output ratio) and the input the processor has not processed yet. Subtracting only
  // the queued bytes would put the position up to a decoder block and the processor's input
  // (about 0.15 s) ahead of the sound.
  const double outputFrames = static_cast<double>(queuedBytes + carry.size()) / format.blockAlign;
  const double songFrames =
      outputFrames / tempo->getInputOutputSampleRatio() + tempo->numUnprocessedSamples();
  return static_cast<int>(songFrames * 100.0 / format.samplesPerSec);
}

void PlayerEngine::RefillHalf(uint32_t offset) {
  ProduceBlock(staging.data());
  if (streamEnded && carry.empty()) ++endCount;
  ++refillCount;
  lastRefillOffset = offset;
  WriteRegion(mainBuffer.get(), offset, staging.data(), halfSize);
  WriteRegion(monitorBuffer.get(), offset, staging.data(), halfSize);
}

void PlayerEngine::WriteRegion(SoundBuffer* buffer, uint32_t offset, const uint8_t* bytes,
                               uint32_t count) {
  if (buffer == nullptr) return;
  uint8_t* region = buffer->Lock(offset, count);
  if (region == nullptr) return;  // lost buffer: the write is dropped
  std::memcpy(region, bytes, count);
  buffer->Unlock();
}

int PlayerEngine::ProduceBlock(uint8_t* destination) {
  const uint32_t frameBytes = format.blockAlign;
  int status = streamEnded ? DecoderBase::kEndOfStream : DecoderBase::kOk;
  while (carry.size() < halfSize && !streamEnded) {
    status = decoder->Read(block.data(), kDecoderBlockBytes);
    uint32_t audioBytes = kDecoderBlockBytes;
    if (status == DecoderBase::kEndOfStream) {
      audioBytes = std::min(decoder->LastReadAudioBytes(), kDecoderBlockBytes);
    }
    FeedTempo(block.data(), audioBytes / frameBytes);
    if (status == DecoderBase::kEndOfStream) {
      // Push the song's last samples out of the processor; its output then ends exactly with
      // the song.
      tempo->flush();
      streamEnded = true;
    }
    DrainTempo();
  }
  if (carry.size() < halfSize) carry.resize(halfSize, platform::SilenceByte(format));
  std::memcpy(destination, carry.data(), halfSize);
  carry.erase(carry.begin(), carry.begin() + halfSize);
  return status;
}

void PlayerEngine::FeedTempo(const uint8_t* bytes, uint32_t frames) {
  if (frames == 0) return;
  const size_t samples = size_t{frames} * format.channels;
  floatIn.resize(samples);
  for (size_t i = 0; i < samples; ++i) {
    const auto value = static_cast<int16_t>(bytes[2 * i] | bytes[2 * i + 1] << 8);
    floatIn[i] = static_cast<float>(value) * (1.0f / 32768.0f);
  }
  tempo->putSamples(floatIn.data(), frames);
}

void PlayerEngine::DrainTempo() {
  const uint32_t frames = kDecoderBlockBytes / format.blockAlign;
  floatOut.resize(size_t{frames} * format.channels);
  while (const uint32_t got = tempo->receiveSamples(floatOut.data(), frames)) {
    const size_t samples = size_t{got} * format.channels;
    const size_t start = carry.size();
    carry.resize(start + 2 * samples);
    for (size_t i = 0; i < samples; ++i) {
      const auto value = static_cast<uint16_t>(FloatToSample(floatOut[i]));
      carry[start + 2 * i] = static_cast<uint8_t>(value & 0xFF);
      carry[start + 2 * i + 1] = static_cast<uint8_t>(value >> 8);
    }
  }
}

void PlayerEngine::FillCue() {
  const uint32_t bytes = std::min(cueDescription.bytes, halfSize);
  WriteRegion(mainCueBuffer.get(), 0, staging.data(), bytes);
  WriteRegion(monitorCueBuffer.get(), 0, staging.data(), bytes);
}

std::string PlayerEngine::TimeText(int position, int elapsedMode) {
  Lock lock(mutex);
  const int length = decoder != nullptr ? decoder->Length() : 0;
  nearEnd = length - position < endWarning ? 1 : 0;
  // A position past the end (or before the start) shows as zero rather than as negative
  // fields.
  const int t = std::max(elapsedMode != 0 ? position : length - position, 0);
  std::snprintf(timeText.data(), timeText.size(), "%s%02d:%02d:%02d:%02d",
                elapsedMode != 0 ? "" : "-", t / 360000, t % 360000 / 6000, t % 6000 / 100,
                t % 100);
  return std::string(timeText.data());
}

void PlayerEngine::SetPitch(int value) {
  Lock lock(mutex);
  if (tempoMode == 1) {
    tempo->setTempoChange(value * 0.1);
  } else {
    ApplyFrequency(value);
  }
}

void PlayerEngine::SetRate(int value) {
  Lock lock(mutex);
  ApplyFrequency(value);
}

void PlayerEngine::ApplyFrequency(int value) {
  if (!loaded) return;
  // rate + value * (rate / 1000), the division in unsigned integers: 44 Hz per step at 44.1 kHz.
  const uint32_t rate = format.samplesPerSec;
  const auto hz = static_cast<uint32_t>(rate + static_cast<uint32_t>(value) * (rate / 1000));
  for (SoundBuffer* buffer : {mainBuffer.get(), monitorBuffer.get()}) {
    if (buffer != nullptr) buffer->SetFrequency(hz);
  }
}

void PlayerEngine::SetMainVolume(int32_t volume) {
  Lock lock(mutex);
  for (SoundBuffer* buffer : {mainBuffer.get(), mainCueBuffer.get()}) {
    if (buffer != nullptr) buffer->SetVolume(volume);
  }
}

void PlayerEngine::SetMonitorVolume(int32_t volume) {
  Lock lock(mutex);
  for (SoundBuffer* buffer : {monitorBuffer.get(), monitorCueBuffer.get()}) {
    if (buffer != nullptr) buffer->SetVolume(volume);
  }
}

void PlayerEngine::ConfigureTempo() {
  Lock lock(mutex);
  ConfigureTempoLocked();
}

void PlayerEngine::ConfigureTempoLocked() {
  if (!loaded) return;
  tempo->setSampleRate(format.samplesPerSec);
  tempo->setChannels(format.channels);
  tempo->setSetting(SETTING_USE_QUICKSEEK, 0);
  tempo->setSetting(SETTING_USE_AA_FILTER, 1);
}

double PlayerEngine::TempoChangePercent() {
  Lock lock(mutex);
  // The processor's input/output ratio at an unchanged rate is 1 / (1 + change / 100).
  return (1.0 / tempo->getInputOutputSampleRatio() - 1.0) * 100.0;
}

void PlayerEngine::ClearTempoChange() {
  Lock lock(mutex);
  tempo->setTempoChange(0);
}

void PlayerEngine::SetEndWarning(int hundredths) {
  Lock lock(mutex);
  endWarning = hundredths;
}

void PlayerEngine::SetTempoMode(int mode) {
  Lock lock(mutex);
  tempoMode = mode;
}

uint32_t PlayerEngine::MainFrequencyHz() {
  Lock lock(mutex);
  return mainBuffer ? mainBuffer->Frequency() : 0;
}

}  // namespace veltro::engine
