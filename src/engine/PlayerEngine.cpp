#include "engine/PlayerEngine.h"

#include <soundtouch/SoundTouch.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "engine/Mp3Decoder.h"
#include "platform/SongFileType.h"
#include "platform/ByteOrder.h"

namespace veltro::engine {

using platform::sound::SoundBuffer;
using platform::SongFileType;
using platform::SongFileTypeOf;
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
    : tempo_(std::make_unique<soundtouch::SoundTouch>()),
      mp3_(std::make_unique<Mp3Decoder>()),
      block_(kDecoderBlockBytes) {}

PlayerEngine::~PlayerEngine() {
  Lock lock(mutex_);
  UnloadLocked();
}

void PlayerEngine::AttachDevices(platform::sound::SoundDevice* main,
                                 platform::sound::SoundDevice* monitor) {
  Lock lock(mutex_);
  mainDevice_ = main;
  monitorDevice_ = monitor;
  mainBuffer_.reset();
  monitorBuffer_.reset();
  mainCueBuffer_.reset();
  monitorCueBuffer_.reset();
}

void PlayerEngine::SetMp3Decoder(std::unique_ptr<DecoderBase> newDecoder) {
  Lock lock(mutex_);
  if (decoder_ == mp3_.get() && decoder_ != nullptr) UnloadLocked();
  mp3_ = std::move(newDecoder);
}

DecoderBase* PlayerEngine::ChooseDecoder(const std::string& extension) {
  switch (SongFileTypeOf(extension)) {
    case SongFileType::kMp3:
      return mp3_.get();
    case SongFileType::kWav:
      return &wav_;
    case SongFileType::kOgg:
      return &ogg_;
    case SongFileType::kUnknown:
      break;
  }
  return nullptr;
}

bool PlayerEngine::Load(const std::string& path, int endWarningSeconds,
                        const std::string& extension) {
  Lock lock(mutex_);
  UnloadLocked();
  lastError_.clear();
  endWarning_ = endWarningSeconds * 100;
  lastPlayCursor_ = 0;
  DecoderBase* chosen = ChooseDecoder(extension);
  if (chosen == nullptr) {
    lastError_ = "unsupported file type \"" + extension + "\": " + path;
    return false;
  }
  if (!chosen->Open(path)) {
    lastError_ = chosen->LastError();
    return false;
  }
  decoder_ = chosen;
  format_ = decoder_->Format();
  if (format_.bitsPerSample != 16 || (format_.channels != 1 && format_.channels != 2)) {
    lastError_ = "unsupported sample format: " + path;
    UnloadLocked();
    return false;
  }
  if (!CreateBuffers()) {
    lastError_ = "cannot create a sound buffer on the main output";
    UnloadLocked();
    return false;
  }
  staging_.assign(halfSize_, platform::SilenceByte(format_));
  carry_.clear();
  streamEnded_ = false;
  nearEnd_ = 0;
  endCount_ = 0;
  loaded_ = true;
  ConfigureTempoLocked();
  return true;
}

bool PlayerEngine::CreateBuffers() {
  const uint32_t a = format_.avgBytesPerSec;
  const uint32_t frameBytes = format_.blockAlign;
  halfSize_ = WholeFrames(a / 4, frameBytes);
  mainBytes_ = 2 * halfSize_;
  cueBytes_ = WholeFrames(static_cast<uint32_t>(uint64_t{a} * 10 / 65), frameBytes);
  if (mainDevice_ != nullptr) {
    mainBuffer_ = mainDevice_->CreateBuffer(format_, mainBytes_);
    mainCueBuffer_ = mainDevice_->CreateBuffer(format_, cueBytes_);
    if (!mainBuffer_) return false;
  }
  if (monitorDevice_ != nullptr) {
    monitorBuffer_ = monitorDevice_->CreateBuffer(format_, mainBytes_);
    monitorCueBuffer_ = monitorDevice_->CreateBuffer(format_, cueBytes_);
  }
  return true;
}

void PlayerEngine::Unload() {
  Lock lock(mutex_);
  UnloadLocked();
}

void PlayerEngine::UnloadLocked() {
  mainBuffer_.reset();
  monitorBuffer_.reset();
  mainCueBuffer_.reset();
  monitorCueBuffer_.reset();
  staging_.clear();
  carry_.clear();
  loaded_ = false;
  if (decoder_ != nullptr) decoder_->Close();
  decoder_ = nullptr;
}

int PlayerEngine::Length() const {
  Lock lock(mutex_);
  return decoder_ != nullptr ? decoder_->Length() : 0;
}

void PlayerEngine::Prime(int position) {
  Lock lock(mutex_);
  if (!loaded_) return;
  for (SoundBuffer* buffer : {mainBuffer_.get(), monitorBuffer_.get()}) {
    if (buffer != nullptr) buffer->SetCurrentPosition(0);
  }
  ResetTempo();
  carry_.clear();
  streamEnded_ = false;
  // End detection starts afresh at the new place: refills counted before (a scrub near the end,
  // a previous play-through) say nothing about what the buffers now hold.
  endCount_ = 0;
  std::fill(staging_.begin(), staging_.end(), platform::SilenceByte(format_));
  decoder_->Seek(position);
  RefillHalf(0);
  FillCue();
  RefillHalf(halfSize_);
  lastPlayCursor_ = 0;
}

void PlayerEngine::ResetTempo() {
  // Flush and discard whatever the processor still holds, then clear it so that the next
  // output starts exactly like that of a fresh processor.
  tempo_->flush();
  floatOut_.resize(size_t{kDrainFrames} * format_.channels);
  while (tempo_->receiveSamples(floatOut_.data(), kDrainFrames) != 0) {
  }
  tempo_->clear();
}

void PlayerEngine::Play() {
  Lock lock(mutex_);
  SetPlaying({mainBuffer_.get(), monitorBuffer_.get()}, true);
}

void PlayerEngine::Stop() {
  Lock lock(mutex_);
  SetPlaying({mainBuffer_.get(), monitorBuffer_.get()}, false);
}

void PlayerEngine::PlayCue() {
  Lock lock(mutex_);
  SetPlaying({mainCueBuffer_.get(), monitorCueBuffer_.get()}, true);
}

void PlayerEngine::StopCue() {
  Lock lock(mutex_);
  SetPlaying({mainCueBuffer_.get(), monitorCueBuffer_.get()}, false);
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
  Lock lock(mutex_);
  if (!loaded_) return 0;
  if (!mainBuffer_) return decoder_->Position();
  const uint32_t play = mainBuffer_->GetCurrentPosition();
  if (play >= halfSize_ && lastPlayCursor_ < halfSize_) RefillHalf(0);  // entered the 2nd half
  if (play < lastPlayCursor_) RefillHalf(halfSize_);                    // wrapped to the 1st
  // Bytes written but not yet heard: the rest of the current half and the whole other one.
  const uint32_t queued = play >= halfSize_ ? 3 * halfSize_ - play : 2 * halfSize_ - play;
  lastPlayCursor_ = play;
  return std::max(decoder_->Position() - HeldBackHundredths(queued), 0);
}

int PlayerEngine::HeldBackHundredths(uint32_t queuedBytes) const {
  // Song time taken from the decoder but not heard yet: what is queued in the buffer and
  // carried over (processed output, converted back to song time through the processor's
  // input/output ratio) and the input the processor has not processed yet. Subtracting only
  // the queued bytes would put the position up to a decoder block and the processor's input
  // (about 0.15 s) ahead of the sound.
  const double outputFrames = static_cast<double>(queuedBytes + carry_.size()) / format_.blockAlign;
  const double songFrames =
      outputFrames / tempo_->getInputOutputSampleRatio() + tempo_->numUnprocessedSamples();
  return static_cast<int>(songFrames * 100.0 / format_.samplesPerSec);
}

void PlayerEngine::RefillHalf(uint32_t offset) {
  ProduceBlock(staging_.data());
  if (streamEnded_ && carry_.empty()) ++endCount_;
  ++refillCount_;
  lastRefillOffset_ = offset;
  WriteRegion(mainBuffer_.get(), offset, staging_.data(), halfSize_);
  WriteRegion(monitorBuffer_.get(), offset, staging_.data(), halfSize_);
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
  const uint32_t frameBytes = format_.blockAlign;
  int status = streamEnded_ ? DecoderBase::kEndOfStream : DecoderBase::kOk;
  while (carry_.size() < halfSize_ && !streamEnded_) {
    status = decoder_->Read(block_.data(), kDecoderBlockBytes);
    uint32_t audioBytes = kDecoderBlockBytes;
    if (status == DecoderBase::kEndOfStream) {
      audioBytes = std::min(decoder_->LastReadAudioBytes(), kDecoderBlockBytes);
    }
    FeedTempo(block_.data(), audioBytes / frameBytes);
    if (status == DecoderBase::kEndOfStream) {
      // Push the song's last samples out of the processor; its output then ends exactly with
      // the song.
      tempo_->flush();
      streamEnded_ = true;
    }
    DrainTempo();
  }
  if (carry_.size() < halfSize_) carry_.resize(halfSize_, platform::SilenceByte(format_));
  std::memcpy(destination, carry_.data(), halfSize_);
  carry_.erase(carry_.begin(), carry_.begin() + halfSize_);
  return status;
}

void PlayerEngine::FeedTempo(const uint8_t* bytes, uint32_t frames) {
  if (frames == 0) return;
  const size_t samples = size_t{frames} * format_.channels;
  floatIn_.resize(samples);
  for (size_t i = 0; i < samples; ++i) {
    const auto value = static_cast<int16_t>(platform::LoadLittleEndian16(bytes + 2 * i));
    floatIn_[i] = static_cast<float>(value) * (1.0f / 32768.0f);
  }
  tempo_->putSamples(floatIn_.data(), frames);
}

void PlayerEngine::DrainTempo() {
  const uint32_t frames = kDecoderBlockBytes / format_.blockAlign;
  floatOut_.resize(size_t{frames} * format_.channels);
  while (const uint32_t got = tempo_->receiveSamples(floatOut_.data(), frames)) {
    const size_t samples = size_t{got} * format_.channels;
    const size_t start = carry_.size();
    carry_.resize(start + 2 * samples);
    for (size_t i = 0; i < samples; ++i) {
      const auto value = static_cast<uint16_t>(FloatToSample(floatOut_[i]));
      platform::StoreLittleEndian(carry_.data() + start + 2 * i, value, 2);
    }
  }
}

void PlayerEngine::FillCue() {
  const uint32_t bytes = std::min(cueBytes_, halfSize_);
  WriteRegion(mainCueBuffer_.get(), 0, staging_.data(), bytes);
  WriteRegion(monitorCueBuffer_.get(), 0, staging_.data(), bytes);
}

std::string PlayerEngine::TimeText(int position, int elapsedMode) {
  Lock lock(mutex_);
  const int length = decoder_ != nullptr ? decoder_->Length() : 0;
  nearEnd_ = length - position < endWarning_ ? 1 : 0;
  // A position past the end (or before the start) shows as zero rather than as negative
  // fields.
  const int t = std::max(elapsedMode != 0 ? position : length - position, 0);
  std::snprintf(timeText_.data(), timeText_.size(), "%s%02d:%02d:%02d:%02d",
                elapsedMode != 0 ? "" : "-", t / 360000, t % 360000 / 6000, t % 6000 / 100,
                t % 100);
  return std::string(timeText_.data());
}

void PlayerEngine::SetPitch(int value) {
  Lock lock(mutex_);
  if (tempoMode_ == 1) {
    tempo_->setTempoChange(value * 0.1);
  } else {
    ApplyFrequency(value);
  }
}

void PlayerEngine::SetRate(int value) {
  Lock lock(mutex_);
  ApplyFrequency(value);
}

void PlayerEngine::ApplyFrequency(int value) {
  if (!loaded_) return;
  // rate + value * (rate / 1000), the division in unsigned integers: 44 Hz per step at 44.1 kHz.
  const uint32_t rate = format_.samplesPerSec;
  const auto hz = static_cast<uint32_t>(rate + static_cast<uint32_t>(value) * (rate / 1000));
  for (SoundBuffer* buffer : {mainBuffer_.get(), monitorBuffer_.get()}) {
    if (buffer != nullptr) buffer->SetFrequency(hz);
  }
}

void PlayerEngine::SetMainVolume(int32_t volume) {
  Lock lock(mutex_);
  for (SoundBuffer* buffer : {mainBuffer_.get(), mainCueBuffer_.get()}) {
    if (buffer != nullptr) buffer->SetVolume(volume);
  }
}

void PlayerEngine::SetMonitorVolume(int32_t volume) {
  Lock lock(mutex_);
  for (SoundBuffer* buffer : {monitorBuffer_.get(), monitorCueBuffer_.get()}) {
    if (buffer != nullptr) buffer->SetVolume(volume);
  }
}

void PlayerEngine::ConfigureTempo() {
  Lock lock(mutex_);
  ConfigureTempoLocked();
}

void PlayerEngine::ConfigureTempoLocked() {
  if (!loaded_) return;
  tempo_->setSampleRate(format_.samplesPerSec);
  tempo_->setChannels(format_.channels);
  tempo_->setSetting(SETTING_USE_QUICKSEEK, 0);
  tempo_->setSetting(SETTING_USE_AA_FILTER, 1);
}

double PlayerEngine::TempoChangePercent() const {
  Lock lock(mutex_);
  // The processor's input/output ratio at an unchanged rate is 1 / (1 + change / 100).
  return (1.0 / tempo_->getInputOutputSampleRatio() - 1.0) * 100.0;
}

void PlayerEngine::ClearTempoChange() {
  Lock lock(mutex_);
  tempo_->setTempoChange(0);
}

void PlayerEngine::SetEndWarning(int hundredths) {
  Lock lock(mutex_);
  endWarning_ = hundredths;
}

void PlayerEngine::SetTempoMode(int mode) {
  Lock lock(mutex_);
  tempoMode_ = mode;
}

uint32_t PlayerEngine::MainFrequencyHz() const {
  Lock lock(mutex_);
  return mainBuffer_ ? mainBuffer_->Frequency() : 0;
}

}  // namespace veltro::engine
