#include "support/Mp3Encoder.h"

#include <lame/lame.h>

#include <algorithm>
#include <cstring>
#include <memory>

namespace veltro::testing {
namespace {

struct LameCloser {
  void operator()(lame_global_flags* flags) const { lame_close(flags); }
};
using LameHandle = std::unique_ptr<lame_global_flags, LameCloser>;

int ChannelCount(Mp3Mode mode) {
  return mode == Mp3Mode::kMono ? 1 : 2;
}

MPEG_mode LameMode(Mp3Mode mode) {
  switch (mode) {
    case Mp3Mode::kStereo:
      return STEREO;
    case Mp3Mode::kMono:
      return MONO;
    case Mp3Mode::kJointStereo:
      break;
  }
  return JOINT_STEREO;
}

// A configured encoder, or null when libmp3lame refuses the combination.
LameHandle OpenEncoder(const Mp3EncoderOptions& options) {
  LameHandle lame(lame_init());
  if (!lame) return nullptr;
  lame_global_flags* flags = lame.get();
  lame_set_num_channels(flags, ChannelCount(options.mode));
  lame_set_in_samplerate(flags, options.sampleRateHz);
  lame_set_out_samplerate(flags, options.sampleRateHz);
  lame_set_mode(flags, LameMode(options.mode));
  lame_set_quality(flags, 2);
  lame_set_write_id3tag_automatic(flags, 0);
  if (options.vbrQuality >= 0) {
    lame_set_VBR(flags, vbr_default);
    lame_set_VBR_q(flags, options.vbrQuality);
    lame_set_bWriteVbrTag(flags, 1);
  } else {
    lame_set_VBR(flags, vbr_off);
    lame_set_brate(flags, options.cbrKbps);
    lame_set_bWriteVbrTag(flags, options.infoTag ? 1 : 0);
  }
  if (lame_init_params(flags) < 0) return nullptr;
  return lame;
}

// Feeds the samples in blocks and flushes; appends the stream to `out`. False on failure.
bool EncodeAll(lame_global_flags* flags, const std::vector<int16_t>& samples, int channels,
               std::vector<uint8_t>& out) {
  constexpr size_t kBlockFrames = 4096;
  std::vector<unsigned char> buffer(kBlockFrames * 5 / 4 + 7200);
  const size_t totalFrames = samples.size() / static_cast<size_t>(channels);
  for (size_t first = 0; first < totalFrames; first += kBlockFrames) {
    const size_t frames = std::min(kBlockFrames, totalFrames - first);
    // The interleaved entry point takes a non-const pointer but only reads from it.
    short* block = const_cast<short*>(samples.data() + first * static_cast<size_t>(channels));
    const int written =
        channels == 1
            ? lame_encode_buffer(flags, block, block,  // mono reads only the left buffer
                                 static_cast<int>(frames), buffer.data(),
                                 static_cast<int>(buffer.size()))
            : lame_encode_buffer_interleaved(flags, block, static_cast<int>(frames), buffer.data(),
                                             static_cast<int>(buffer.size()));
    if (written < 0) return false;
    out.insert(out.end(), buffer.begin(), buffer.begin() + written);
  }
  const int flushed = lame_encode_flush(flags, buffer.data(), static_cast<int>(buffer.size()));
  if (flushed < 0) return false;
  out.insert(out.end(), buffer.begin(), buffer.begin() + flushed);
  return true;
}

// The tag frame written at the start is a placeholder until the encoder knows the totals;
// overwrite it with the completed one, as a file writer seeking back to the start does.
bool CompleteTagFrame(lame_global_flags* flags, std::vector<uint8_t>& out) {
  if (lame_get_bWriteVbrTag(flags) == 0) return true;
  std::vector<unsigned char> tag(4096);
  const size_t tagBytes = lame_get_lametag_frame(flags, tag.data(), tag.size());
  if (tagBytes == 0 || tagBytes > tag.size() || tagBytes > out.size()) return false;
  std::memcpy(out.data(), tag.data(), tagBytes);
  return true;
}

}  // namespace

std::vector<uint8_t> EncodeMp3(const std::vector<int16_t>& samples,
                               const Mp3EncoderOptions& options) {
  LameHandle lame = OpenEncoder(options);
  if (!lame) return {};
  std::vector<uint8_t> out;
  if (!EncodeAll(lame.get(), samples, ChannelCount(options.mode), out)) return {};
  if (!CompleteTagFrame(lame.get(), out)) return {};
  return out;
}

}  // namespace veltro::testing
