// MPEG audio decoder over the media framework: the file input module delivers the file's
// bytes, the MPEG audio codec turns them into 16-bit PCM one frame at a time, and this class
// turns frames into fixed-size reads, hundredth-of-a-second positions and time-based seeks.
// Output: 16-bit signed little-endian interleaved PCM in the format of the stream's first
// frame.
//
// Reads are served from whole frames: the part of the last frame a read did not need is kept
// as a carry for the next read. Frames that differ from the first one are converted to its
// channel count (a mono frame is copied to both channels, a stereo frame is averaged into
// one); a frame of another sample count contributes the samples it actually produced.
//
// Threads: one thread at a time (the owning engine serialises its calls; Read runs on the
// deck's timer thread). Read, Seek and Position work in buffers that Open sized for the
// codec's largest frame; they allocate none of their own.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/DecoderBase.h"
#include "media/framework/MediaFramework.h"

namespace veltro::engine {

class Mp3Decoder final : public DecoderBase {
 public:
  Mp3Decoder() = default;
  ~Mp3Decoder() override;
  Mp3Decoder(const Mp3Decoder&) = delete;
  Mp3Decoder& operator=(const Mp3Decoder&) = delete;

  // Opens the file at `path` (bytes of the file system's path) and learns the format from its
  // first frame. False (closed, LastError() set to one line) when the file cannot be opened
  // or holds no MPEG audio frame.
  bool Open(const std::string& path) override;
  // Deletes the framework decoder and forgets the song. Safe when nothing is open.
  void Close() override;
  // Fills exactly `bytes` bytes of `buffer` (caller-owned). kEndOfStream when the stream
  // ended during this read: the rest is silence, and every later read is all silence. A frame
  // the codec loses repeats the previous one; a stream that keeps failing (kMaxFailuresInARow
  // decode calls in a row) ends.
  int Read(uint8_t* buffer, uint32_t bytes) override;
  // 1/100 s: the framework's play time minus the duration of the carry.
  int Position() override;
  // 1/100 s: the framework's duration of the stream (an estimate for streams without a VBR
  // header).
  int Length() override;
  // Seeks one frame early, decodes that frame and keeps its part from `position` (1/100 s)
  // on as the carry, rounded down to whole sample frames. Position() is `position` until the
  // next Read. A position beyond the end leaves only silence to read.
  void Seek(int position) override;

  // Diagnostics of the open song, valid after a successful Open (with CarryLength(), the bytes
  // of PCM not yet delivered): bytes and milliseconds of one frame in the output format; output
  // channels.
  int FrameBytes() const { return frameBytes_; }
  int FrameMs() const { return frameMs_; }
  int Channels() const { return channels_; }

 private:
  bool Fail(const std::string& reason);
  bool IsRegularFile(const std::string& path);
  bool StartFramework(const std::string& path);
  bool DecodeFirstFrame(const std::string& path);
  bool TakeFormat(const media::MfOutputBuffer& first, const std::string& path);
  enum class FrameResult { kDecoded, kRepeated, kEnded };
  // Decodes the next frame into `frame_`. kRepeated: the frame was lost and `frame_` still
  // holds the previous one; kEnded: end of the stream (or a stream that only fails).
  FrameResult DecodeNextFrame();
  // The codec's output (in `decoded_`) into `frame_` in the output channel count; false for a
  // frame whose layout cannot be right.
  bool ConvertFrame(const media::MfOutputBuffer& out);
  // The next frame for FillFromBlocks: `frame_` after DecodeNextFrame, empty when it ended.
  std::span<const uint8_t> NextBlock() override;
  int TimecodeHundredths() const;
  // The last `hundredths` of the frame just decoded (when `frameDecoded`) become the carry,
  // limited to the frame and rounded down to whole sample frames.
  void KeepSeekCarry(int hundredths, bool frameDecoded);

  media::MfDecoder* framework_ = nullptr;
  media::MfInputModule inputDescriptor_{};
  media::MfCodecModule codecDescriptor_{};
  int channels_ = 0;
  int frameBytes_ = 0;            // bytes of the first frame in the output format
  int frameMs_ = 0;               // milliseconds of the first frame
  std::vector<int16_t> decoded_;  // the codec's output for one frame (its largest frame)
  std::vector<uint8_t> frame_;    // the last frame in the output format
  int frameLength_ = 0;           // bytes of `frame_` in use
  int failuresInARow_ = 0;
};

}  // namespace veltro::engine
