// The frame decoder: a resumable frame reader (header search, confirmation of the following
// header, the Layer III main-data ring), then the layer decoders, channel routing and the
// polyphase synthesis of each channel used.
//
// Read states, kept between calls so a failed read is resumed by the next call:
//   0 find a header (the pending header of a confirmation, else a byte-wise search),
//   1 read the frame body (Layers I/II) or the side information (Layer III),
//   2 read the Layer III main data into the ring up to the ring's end,
//   3 read the rest of that main data at the ring's start,
//   4 confirm the frame by a valid header directly behind it (only when out of sync).
#include "media/mpeg/MpegFrameDecoder.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "media/mpeg/MpegBitReader.h"
#include "media/mpeg/MpegLayer12.h"
#include "media/mpeg/MpegLayer3.h"
#include "media/mpeg/MpegSubbands.h"
#include "media/mpeg/MpegSynthesis.h"

namespace veltro::media {

namespace {

constexpr size_t kFrameBufferBytes = 2048;
constexpr size_t kRingBytes = 4096;
constexpr int kHeaderBytes = 4;
constexpr int kCrcBytes = 2;
constexpr int kResyncNeeded = 1;  // internal: the confirmation failed, search again

enum ReadState {
  kFindHeader = 0,
  kReadBody = 1,
  kReadMainData = 2,
  kReadWrapped = 3,
  kConfirm = 4
};

// How the decoded channels reach the PCM.
enum class Routing { kMono, kBoth, kLeft, kRight, kMean };

uint32_t BigEndianWord(const uint8_t* bytes) {
  return (uint32_t{bytes[0]} << 24) | (uint32_t{bytes[1]} << 16) | (uint32_t{bytes[2]} << 8) |
         uint32_t{bytes[3]};
}

int CrcBytes(const MpegFrameHeader& header) {
  return header.protection == 0 ? kCrcBytes : 0;
}

// A header the reader can take: valid, and a frame that fits the frame buffer and holds at
// least its header, CRC and side information.
bool IsUsableHeader(uint32_t word, MpegFrameHeader& header) {
  if (!HasSyncWord(word)) return false;
  header = UnpackHeader(word);
  if (!IsValidHeader(header)) return false;
  const int length = FrameLength(header);
  int fixedBytes = kHeaderBytes + CrcBytes(header);
  if (LayerNumber(header) == 3) fixedBytes += SideInfoBytes(header);
  return length >= fixedBytes && length - kHeaderBytes <= static_cast<int>(kFrameBufferBytes);
}

int DownsamplingShift(int downsampling, int frequencyHz) {
  if (downsampling == 1) return frequencyHz >= 32000 ? 1 : 0;
  if (downsampling == 2) {
    if (frequencyHz >= 32000) return 2;
    return frequencyHz >= 16000 ? 1 : 0;
  }
  return 0;
}

Routing RoutingFor(const MpegFrameHeader& header, int selection) {
  if (ChannelCount(header) == 1) return Routing::kMono;
  switch (selection) {
    case 1:
      return Routing::kLeft;
    case 2:
      return Routing::kRight;
    case 3:
      return Routing::kMean;
    default:
      return Routing::kBoth;
  }
}

float GainFromByte(int8_t value) {
  const float v = static_cast<float>(value) / 32.0f;
  return value >= 0 ? 1.0f + v : 1.0f / (1.0f - v);
}

// The inverse of GainFromByte, truncated toward zero. A small tolerance keeps the float
// rounding of 1/(1 - v/32) from turning an exact -5 into -4.999999 and then -4.
int8_t ByteFromGain(float gain) {
  const double g = gain;
  const double value = g >= 1.0 ? (g - 1.0) * 32.0 : (1.0 - 1.0 / g) * 32.0;
  const double nudged = value + std::copysign(1e-3, value);
  return static_cast<int8_t>(std::clamp(std::trunc(nudged), -128.0, 127.0));
}

}  // namespace

struct MpegFrameDecoder::State {
  // Reader.
  int readState = kFindHeader;
  bool inSync = false;
  bool hasPending = false;
  MpegFrameHeader pending;
  uint8_t window[kHeaderBytes] = {};  // bytes of the header search, kept across calls
  int windowBytes = 0;
  MpegFrameHeader header;
  uint64_t bytesRead = 0;     // since the last Reset
  uint64_t headerStart = 0;   // bytes before `header` since the last Reset
  uint64_t pendingStart = 0;  // bytes before `pending` since the last Reset
  uint8_t frame[kFrameBufferBytes] = {};
  // Layer III main-data ring: bytes held before the current frame end at ringWrite.
  uint8_t ring[kRingBytes] = {};
  size_t ringWrite = 0;
  size_t ringHeld = 0;
  size_t mainStart = 0;        // ring position of the current frame's main data
  size_t mainBytes = 0;        // the current frame's main data bytes
  size_t heldBeforeFrame = 0;  // ring bytes held before the current frame

  // Decoding.
  int channelSelection = 0;
  int downsampling = 0;
  MpegLayer3 layer3;
  Layer3SideInfo side;
  MpegSubbands subbands;
  MpegSynthesis synthesis[2];
  float meanBlocks[kMaxBlocks][kSubbands] = {};

  int Read(MpegByteSource& source, uint8_t* buffer, size_t size);
  int FindHeader(MpegByteSource& source);
  int ReadBody(MpegByteSource& source);
  int ReadMainData(MpegByteSource& source);
  int ReadWrappedMainData(MpegByteSource& source);
  int Confirm(MpegByteSource& source);
  void CommitMainData();
  void RollBackMainData();
  int ReadFrame(MpegByteSource& source);
  int DecodeLayer3Frame(int subbandLimit, bool& silent);
  int DecodeSubbands(int shift, bool& silent);
  void CopyMainData(size_t count);
  void Synthesize(Routing routing, int shift, int samples, int16_t* pcm);
  void Reset();
};

void MpegFrameDecoder::State::Reset() {
  readState = kFindHeader;
  inSync = false;
  hasPending = false;
  windowBytes = 0;
  bytesRead = 0;
  headerStart = 0;
  pendingStart = 0;
  ringWrite = 0;
  ringHeld = 0;
  layer3.Reset();
  synthesis[0].Reset();
  synthesis[1].Reset();
}

// Every read of the stream goes through here, so the reader knows where each header began.
int MpegFrameDecoder::State::Read(MpegByteSource& source, uint8_t* buffer, size_t size) {
  const int rc = source.Read(buffer, size);
  if (rc == 0) bytesRead += size;
  return rc;
}

// State 0: the pending header, else a search that shifts one byte at a time until a valid
// header sits in the window. Any byte skipped means the stream lost sync.
int MpegFrameDecoder::State::FindHeader(MpegByteSource& source) {
  if (hasPending) {
    header = pending;
    headerStart = pendingStart;
    hasPending = false;
    return 0;
  }
  for (;;) {
    if (windowBytes < kHeaderBytes) {
      const int rc =
          Read(source, window + windowBytes, static_cast<size_t>(kHeaderBytes - windowBytes));
      if (rc != 0) return rc;
      windowBytes = kHeaderBytes;
    }
    if (IsUsableHeader(BigEndianWord(window), header)) {
      headerStart = bytesRead - kHeaderBytes;
      windowBytes = 0;
      return 0;
    }
    inSync = false;
    std::memmove(window, window + 1, kHeaderBytes - 1);
    windowBytes = kHeaderBytes - 1;
  }
}

// State 1: Layers I/II read the whole body; Layer III reads CRC and side information.
int MpegFrameDecoder::State::ReadBody(MpegByteSource& source) {
  const bool layer3Frame = LayerNumber(header) == 3;
  const int bytes =
      layer3Frame ? CrcBytes(header) + SideInfoBytes(header) : FrameLength(header) - kHeaderBytes;
  const int rc = Read(source, frame, static_cast<size_t>(bytes));
  if (rc != 0) return rc;
  if (layer3Frame) {
    mainStart = ringWrite;
    heldBeforeFrame = ringHeld;
    mainBytes = static_cast<size_t>(FrameLength(header) - kHeaderBytes - bytes);
  }
  return 0;
}

// State 2: the main data up to the ring's end.
int MpegFrameDecoder::State::ReadMainData(MpegByteSource& source) {
  const size_t firstPart = std::min(mainBytes, kRingBytes - mainStart);
  if (firstPart > 0) {
    const int rc = Read(source, ring + mainStart, firstPart);
    if (rc != 0) return rc;
  }
  return 0;
}

// State 3: the rest of the main data at the ring's start.
int MpegFrameDecoder::State::ReadWrappedMainData(MpegByteSource& source) {
  const size_t firstPart = std::min(mainBytes, kRingBytes - mainStart);
  const size_t rest = mainBytes - firstPart;
  if (rest > 0) {
    const int rc = Read(source, ring, rest);
    if (rc != 0) return rc;
  }
  return 0;
}

void MpegFrameDecoder::State::CommitMainData() {
  ringWrite = (mainStart + mainBytes) % kRingBytes;
  ringHeld = std::min(heldBeforeFrame + mainBytes, kRingBytes);
}

// A frame that failed its confirmation was no frame: its bytes leave the reservoir again
// (the older bytes it overwrote are gone).
void MpegFrameDecoder::State::RollBackMainData() {
  ringWrite = mainStart;
  ringHeld = std::min(heldBeforeFrame, kRingBytes - mainBytes);
}

// State 4: a valid header directly behind the frame confirms it and becomes the pending
// header; the end of the stream also accepts it.
int MpegFrameDecoder::State::Confirm(MpegByteSource& source) {
  uint8_t next[kHeaderBytes];
  const int rc = Read(source, next, kHeaderBytes);
  if (rc == kMpegEndOfStream) return 0;
  if (rc != 0) return rc;
  if (!IsUsableHeader(BigEndianWord(next), pending)) return kResyncNeeded;
  pendingStart = bytesRead - kHeaderBytes;
  hasPending = true;
  inSync = true;
  return 0;
}

int MpegFrameDecoder::State::ReadFrame(MpegByteSource& source) {
  for (;;) {
    int rc = 0;
    switch (readState) {
      case kFindHeader:
        rc = FindHeader(source);
        if (rc == 0) readState = kReadBody;
        break;
      case kReadBody:
        rc = ReadBody(source);
        if (rc == 0) readState = LayerNumber(header) == 3 ? kReadMainData : kConfirm;
        break;
      case kReadMainData:
        rc = ReadMainData(source);
        if (rc == 0) readState = mainStart + mainBytes > kRingBytes ? kReadWrapped : kConfirm;
        break;
      case kReadWrapped:
        rc = ReadWrappedMainData(source);
        if (rc == 0) readState = kConfirm;
        break;
      default:
        if (LayerNumber(header) == 3) CommitMainData();
        if (inSync) {
          readState = kFindHeader;
          return 0;
        }
        rc = Confirm(source);
        if (rc == kResyncNeeded) {
          if (LayerNumber(header) == 3) RollBackMainData();
          readState = kFindHeader;
          windowBytes = 0;
          rc = 0;
          break;
        }
        if (rc == 0) {
          readState = kFindHeader;
          return 0;
        }
        break;
    }
    if (rc != 0) return rc;
  }
}

// Copies `count` bytes of main data, starting main_data_begin bytes before this frame's main
// data in the ring, to the frame buffer.
void MpegFrameDecoder::State::CopyMainData(size_t count) {
  const size_t begin =
      (mainStart + kRingBytes - static_cast<size_t>(side.mainDataBegin)) % kRingBytes;
  const size_t firstPart = std::min(count, kRingBytes - begin);
  std::memcpy(frame, ring + begin, firstPart);
  std::memcpy(frame + firstPart, ring, count - firstPart);
}

int MpegFrameDecoder::State::DecodeLayer3Frame(int subbandLimit, bool& silent) {
  const size_t sideStart = static_cast<size_t>(CrcBytes(header));
  const size_t sideBytes = static_cast<size_t>(SideInfoBytes(header));
  if (layer3.ParseSideInfo(header, frame + sideStart, sideBytes, side) != kLayerOk) {
    return kMpegDecodeError;
  }
  const size_t mainDataBegin = static_cast<size_t>(std::max(side.mainDataBegin, 0));
  if (heldBeforeFrame < mainDataBegin) {
    silent = true;
    return 0;
  }
  // Whole 32-bit words of the granules' bits, never more than the reservoir and this frame hold.
  const size_t neededBytes = (static_cast<size_t>(std::max(side.MainDataBits(), 0)) + 31) / 32 * 4;
  const size_t count = std::min({neededBytes, mainDataBegin + mainBytes, kFrameBufferBytes});
  CopyMainData(count);
  const int rc = layer3.DecodeMainData(header, side, frame, count, subbandLimit, subbands);
  return rc == kLayerOk ? 0 : kMpegDecodeError;
}

int MpegFrameDecoder::State::DecodeSubbands(int shift, bool& silent) {
  silent = false;
  const int layer = LayerNumber(header);
  if (layer == 3) return DecodeLayer3Frame(kSubbands >> shift, silent);
  MpegBitReader body(frame, static_cast<size_t>(FrameLength(header) - kHeaderBytes));
  if (header.protection == 0) body.Skip(16);  // the CRC is not checked
  const int rc =
      layer == 1 ? DecodeLayer1(header, body, subbands) : DecodeLayer2(header, body, subbands);
  return rc == kLayerOk ? 0 : kMpegDecodeError;
}

void MpegFrameDecoder::State::Synthesize(Routing routing, int shift, int samples, int16_t* pcm) {
  const int outChannels = routing == Routing::kBoth ? 2 : 1;
  const int perBlock = kSubbands >> shift;
  const int blocks = std::clamp(std::min(subbands.blocks, samples / perBlock), 0, kMaxBlocks);
  const auto& left = subbands.samples[0];
  const auto& right = subbands.samples[subbands.channels >= 2 ? 1 : 0];
  switch (routing) {
    case Routing::kBoth:
      synthesis[0].SynthesizeBlocks(left, blocks, shift, pcm, 2);
      synthesis[1].SynthesizeBlocks(right, blocks, shift, pcm + 1, 2);
      break;
    case Routing::kRight:
      synthesis[1].SynthesizeBlocks(right, blocks, shift, pcm, 1);
      break;
    case Routing::kMean:
      for (int b = 0; b < blocks; ++b) {
        for (int k = 0; k < kSubbands; ++k) meanBlocks[b][k] = (left[b][k] + right[b][k]) * 0.5f;
      }
      synthesis[0].SynthesizeBlocks(meanBlocks, blocks, shift, pcm, 1);
      break;
    default:
      synthesis[0].SynthesizeBlocks(left, blocks, shift, pcm, 1);
      break;
  }
  const int written = blocks * perBlock * outChannels;
  std::fill(pcm + written, pcm + samples * outChannels, int16_t{0});
}

MpegFrameDecoder::MpegFrameDecoder() : state_(std::make_unique<State>()) {
  state_->Reset();
}

MpegFrameDecoder::~MpegFrameDecoder() = default;

void MpegFrameDecoder::Reset() {
  state_->Reset();
}

void MpegFrameDecoder::SetChannelSelection(int selection) {
  state_->channelSelection = selection;
}

void MpegFrameDecoder::SetDownsampling(int downsampling) {
  state_->downsampling = downsampling;
}

void MpegFrameDecoder::SetEqualizer(const int8_t* bytes64) {
  for (int channel = 0; channel < 2; ++channel) {
    if (bytes64 == nullptr) {
      state_->synthesis[channel].SetGains(nullptr);
      continue;
    }
    float gains[kSubbands];
    for (int k = 0; k < kSubbands; ++k) gains[k] = GainFromByte(bytes64[channel * kSubbands + k]);
    state_->synthesis[channel].SetGains(gains);
  }
}

uint64_t MpegFrameDecoder::LastFrameStartBytes() const {
  return state_->headerStart;
}

void MpegFrameDecoder::GetEqualizer(int8_t* bytes64) const {
  for (int channel = 0; channel < 2; ++channel) {
    const MpegSynthesis& synthesis = state_->synthesis[channel];
    for (int k = 0; k < kSubbands; ++k) {
      bytes64[channel * kSubbands + k] =
          synthesis.HasGains() ? ByteFromGain(synthesis.Gains()[k]) : int8_t{0};
    }
  }
}

int MpegFrameDecoder::DecodeFrame(MpegByteSource& source, int16_t* pcm, MpegDecodedFrame& frame) {
  frame = MpegDecodedFrame{};
  State& s = *state_;
  const int rc = s.ReadFrame(source);
  if (rc != 0) return rc;
  frame.header = s.header;
  const int shift = DownsamplingShift(s.downsampling, FrequencyHz(s.header));
  bool silent = false;
  if (s.DecodeSubbands(shift, silent) != 0) return kMpegDecodeError;
  const Routing routing = RoutingFor(s.header, s.channelSelection);
  frame.channels = routing == Routing::kBoth ? 2 : 1;
  frame.samples = SamplesPerFrame(s.header) >> shift;
  frame.sampleRate = FrequencyHz(s.header) >> shift;
  if (silent) {
    // The reservoir lacks this frame's main data (stream start, seek, lost frames): silence,
    // and every filter starts again from rest.
    std::fill(pcm, pcm + frame.samples * frame.channels, int16_t{0});
    s.layer3.Reset();
    s.synthesis[0].Reset();
    s.synthesis[1].Reset();
    return 0;
  }
  s.Synthesize(routing, shift, frame.samples, pcm);
  return 0;
}

}  // namespace veltro::media
