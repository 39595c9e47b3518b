// The MPEG audio codec module under the media framework, with the memory input: its identity,
// the scan of the stream start (ID3v2, Xing, seek table), the stream information kept while
// decoding, the codec parameters, and PCM equal to the frame decoder's.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "media/framework/MediaFramework.h"
#include "media/modules/MemoryInput.h"
#include "media/modules/MpegAudioCodec.h"
#include "media/mpeg/MpegFrameDecoder.h"
#include "media/mpeg/MpegTestData.h"

namespace veltro::media {
namespace {

constexpr char kName[] = "mem:stream";

// --- Hand-built streams ----------------------------------------------------------------------

enum class Layer { kI, kII, kIII };

// Bitrate index of `kbps` at MPEG-1 for the layer (ISO/IEC 11172-3 bitrate table).
int Mpeg1BitrateIndex(Layer layer, int kbps) {
  static const int kLayerI[] = {0,   32,  64,  96,  128, 160, 192, 224,
                                256, 288, 320, 352, 384, 416, 448};
  static const int kLayerII[] = {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384};
  static const int kLayerIII[] = {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320};
  const int* table = layer == Layer::kI ? kLayerI : layer == Layer::kII ? kLayerII : kLayerIII;
  for (int i = 1; i < 15; ++i) {
    if (table[i] == kbps) return i;
  }
  ADD_FAILURE() << "no bitrate " << kbps;
  return 1;
}

// One MPEG-1 44100 Hz frame without CRC whose body is all zero: every bit allocation (Layers I,
// II) and every part2_3_length (Layer III) is 0, so it decodes as silence.
std::vector<uint8_t> SilentFrame(Layer layer, int kbps, int mode = kModeStereo) {
  const int layerBits = layer == Layer::kI ? 3 : layer == Layer::kII ? 2 : 1;
  const int length = layer == Layer::kI ? 12000 * kbps / 44100 * 4 : 144000 * kbps / 44100;
  std::vector<uint8_t> frame(static_cast<size_t>(length), 0);
  frame[0] = 0xFF;
  frame[1] = static_cast<uint8_t>(0xE0 | 0x10 | 0x08 | (layerBits << 1) | 1);
  frame[2] = static_cast<uint8_t>(Mpeg1BitrateIndex(layer, kbps) << 4);
  frame[3] = static_cast<uint8_t>(mode << 6);
  return frame;
}

std::vector<uint8_t> Join(const std::vector<std::vector<uint8_t>>& parts) {
  std::vector<uint8_t> bytes;
  for (const auto& part : parts) bytes.insert(bytes.end(), part.begin(), part.end());
  return bytes;
}

void PutBigEndian(std::vector<uint8_t>& bytes, size_t at, uint32_t value) {
  for (int i = 0; i < 4; ++i)
    bytes[at + static_cast<size_t>(i)] = static_cast<uint8_t>(value >> (24 - 8 * i));
}

// A silent MPEG-1 Layer III stereo frame carrying a Xing header at offset 36: flags 7 (frame
// count, byte count, seek table) with `seekTable` when given, else flags 1.
std::vector<uint8_t> XingFrame(uint32_t frames, const std::vector<uint8_t>& seekTable = {}) {
  std::vector<uint8_t> frame = SilentFrame(Layer::kIII, 128);
  std::memcpy(frame.data() + 36, "Xing", 4);
  PutBigEndian(frame, 40, seekTable.empty() ? 1u : 7u);
  PutBigEndian(frame, 44, frames);
  if (!seekTable.empty()) {
    PutBigEndian(frame, 48, 123456);
    std::memcpy(frame.data() + 52, seekTable.data(), 100);
  }
  return frame;
}

// An ID3v2 tag: the 10-byte header with the synchsafe size bytes, then `bodyBytes` of Layer I
// frames, so decoding that started inside the tag would show.
std::vector<uint8_t> Id3v2Tag(const uint8_t (&sizeBytes)[4], size_t bodyBytes) {
  std::vector<uint8_t> tag = {'I',          'D',          '3',          3,           0, 0,
                              sizeBytes[0], sizeBytes[1], sizeBytes[2], sizeBytes[3]};
  const std::vector<uint8_t> layer1 = SilentFrame(Layer::kI, 128);
  for (size_t i = 0; i < bodyBytes; ++i) tag.push_back(layer1[i % layer1.size()]);
  return tag;
}

// --- A framework decoder over a byte buffer with the codec and the memory input --------------

class CodecStream {
 public:
  explicit CodecStream(std::vector<uint8_t> bytes) : bytes_(std::move(bytes)) {
    EXPECT_EQ(mf_decoder_new(&decoder_), kMfOk);
    MfCodecModule codec{};
    MpegAudioCodecDescriptor(&codec);
    MfInputModule input{};
    MemoryInputDescriptor(&input);
    EXPECT_EQ(mf_codec_module_register(decoder_, &codec), 0);
    EXPECT_EQ(mf_input_module_register(decoder_, &input), 0);
    EXPECT_EQ(
        MemoryInputAttach(decoder_, kName, bytes_.data(), static_cast<uint32_t>(bytes_.size())),
        kMfOk);
    EXPECT_EQ(mf_input_new(decoder_, kName, -1), kMfOk);
  }
  ~CodecStream() { mf_decoder_delete(decoder_); }
  CodecStream(const CodecStream&) = delete;
  CodecStream& operator=(const CodecStream&) = delete;

  int Open() { return mf_input_open(decoder_); }
  int Decode() { return mf_decode(decoder_, nullptr); }
  MfDecoder* decoder() const { return decoder_; }
  const MfStreamInfo& Info() const { return decoder_->status->stream; }
  const MfOutputBuffer& Output() const { return *decoder_->outputBuffer; }
  uint32_t InputPosition() const { return decoder_->input->position; }

  intptr_t Property(const char* name) const {
    intptr_t value = -99;
    EXPECT_EQ(mf_stream_property_get_value(decoder_, name, &value), kMfOk) << name;
    return value;
  }

  // Decodes to the end: the PCM of every frame, as the conformance references lay it out.
  std::vector<int16_t> DecodeAll(int* frames = nullptr) {
    std::vector<int16_t> pcm;
    int count = 0;
    int result = kMfOk;
    while ((result = Decode()) == kMfOk) {
      const MfOutputBuffer& out = Output();
      pcm.insert(pcm.end(), out.samples, out.samples + out.sampleCount * out.channels);
      ++count;
    }
    EXPECT_EQ(result, kMfEndOfStream);
    if (frames != nullptr) *frames = count;
    return pcm;
  }

 private:
  std::vector<uint8_t> bytes_;
  MfDecoder* decoder_ = nullptr;
};

std::vector<uint8_t> ConformanceBytes(const std::string& stream) {
  std::vector<uint8_t> bytes = ReadFileBytes(MpegTestDataPath("conformance/" + stream + ".bit"));
  EXPECT_FALSE(bytes.empty()) << "missing test stream " << stream;
  return bytes;
}

// --- Identity --------------------------------------------------------------------------------

TEST(MpegAudioCodecTest, DescriptorAndQueryAnswers) {
  MfCodecModule m{};
  MpegAudioCodecDescriptor(&m);
  EXPECT_EQ(m.version, kMfInterfaceVersion);
  EXPECT_EQ(m.streamClosed, nullptr);
  EXPECT_EQ(m.reserved, nullptr);
  for (const void* method :
       {reinterpret_cast<const void*>(m.probe), reinterpret_cast<const void*>(m.query),
        reinterpret_cast<const void*>(m.newInstance),
        reinterpret_cast<const void*>(m.deleteInstance), reinterpret_cast<const void*>(m.decode),
        reinterpret_cast<const void*>(m.readStreamInfo),
        reinterpret_cast<const void*>(m.offsetToPosition),
        reinterpret_cast<const void*>(m.positionToOffsetFraction),
        reinterpret_cast<const void*>(m.streamOpened), reinterpret_cast<const void*>(m.seekDone),
        reinterpret_cast<const void*>(m.reset), reinterpret_cast<const void*>(m.setParameters),
        reinterpret_cast<const void*>(m.getParameters)}) {
    EXPECT_NE(method, nullptr);
  }
  EXPECT_EQ(m.probe("video/unknown", "song.txt"), 0);
  EXPECT_EQ(m.probe(nullptr, nullptr), 0);

  MfModuleInfo info{};
  info.flags = 77;
  ASSERT_EQ(m.query(&info, kMfQueryName | kMfQueryBufferSize | kMfQueryCaps), kMfOk);
  EXPECT_STREQ(info.name, "MPEG Audio Codec");
  EXPECT_STREQ(info.description, "Version 1.2");
  EXPECT_EQ(info.flags, 0);       // flag 1 ends the call ...
  EXPECT_EQ(info.bufferSize, 0);  // ... before the buffer size
  ASSERT_EQ(
      m.query(&info, kMfQueryDeviceCount | kMfQueryDevice | kMfQueryBufferSize | kMfQueryCaps),
      kMfOk);
  EXPECT_EQ(info.index, 1);
  EXPECT_STREQ(info.name, "MP1, MP2, MP3");
  EXPECT_STREQ(info.description, "MPEG 1 or 2 audio");
  EXPECT_EQ(info.bufferSize, 4608);
  EXPECT_EQ(info.flags, 3);
  EXPECT_EQ(m.query(&info, kMfQueryDevice), kMfInvalidParameter);  // index is now 1
}

// --- The scan of the stream start ------------------------------------------------------------

TEST(MpegAudioCodecTest, Id3v2TagIsSkippedAndDecodingStartsBehindIt) {
  const uint8_t size[4] = {0x00, 0x00, 0x02, 0x01};  // 257 bytes
  const std::vector<uint8_t> frame = SilentFrame(Layer::kII, 128);
  CodecStream stream(Join({Id3v2Tag(size, 257), frame, frame, frame}));
  ASSERT_EQ(stream.Open(), kMfOk);
  EXPECT_EQ(stream.InputPosition(), 267u);
  EXPECT_EQ(stream.Info().durationMs, 3 * 417 * 8 / 128);  // the audio bytes only
  ASSERT_EQ(stream.Decode(), kMfOk);
  EXPECT_EQ(stream.Output().sampleCount, 1152);
  EXPECT_EQ(stream.Property("mpeg/layer"), 2);
  int frames = 0;
  stream.DecodeAll(&frames);
  EXPECT_EQ(frames, 2);
  // Positions count the audio bytes: the tag end is 0, the stream end 1.
  EXPECT_FLOAT_EQ(stream.decoder()->status->position, 1.0f);
  ASSERT_EQ(mf_input_seek(stream.decoder(), 100), kMfOk);
  EXPECT_FLOAT_EQ(stream.decoder()->status->position, 0.0f);
  ASSERT_EQ(mf_input_seek(stream.decoder(), 267 + 417), kMfOk);
  EXPECT_FLOAT_EQ(stream.decoder()->status->position, 1.0f / 3.0f);
  ASSERT_EQ(mf_input_seek_to_position(stream.decoder(), 0.0f), kMfOk);
  EXPECT_NEAR(stream.InputPosition(), 267.0, 1.0);  // the fraction travels as a float
}

// A seek lands inside a frame; decoding resumes at the next header, and the play time follows
// the frame actually decoded, not the byte the seek landed on.
TEST(MpegAudioCodecTest, PlayTimeAfterASeekIsThatOfTheFrameDecoded) {
  const std::vector<uint8_t> frame = SilentFrame(Layer::kII, 128);
  ASSERT_EQ(frame.size(), 417u);  // 26.06 ms of stream at 128 kbit/s, 1152 samples decoded
  std::vector<std::vector<uint8_t>> frames(20, frame);
  CodecStream stream(Join(frames));
  ASSERT_EQ(stream.Open(), kMfOk);
  const auto hundredths = [&stream] {
    const MfTimecode& t = stream.Info().timecode;
    return t.seconds * 100 + t.hundredths;
  };
  // Into frame 5: the reader skips to frame 6 (156.4 ms), which ends at 182.5 ms.
  ASSERT_EQ(mf_input_seek(stream.decoder(), 5 * 417 + 100), kMfOk);
  EXPECT_EQ(hundredths(), 13);  // the seek itself: the time of the byte
  ASSERT_EQ(stream.Decode(), kMfOk);
  EXPECT_EQ(hundredths(), 18);
  ASSERT_EQ(stream.Decode(), kMfOk);
  EXPECT_EQ(hundredths(), 20);
  // Onto a frame boundary nothing is skipped: frame 5 ends at 156.4 ms.
  ASSERT_EQ(mf_input_seek(stream.decoder(), 5 * 417), kMfOk);
  ASSERT_EQ(stream.Decode(), kMfOk);
  EXPECT_EQ(hundredths(), 15);
}

TEST(MpegAudioCodecTest, TagLongerThanTheStreamLeavesNoAudio) {
  const uint8_t size[4] = {0x7F, 0x7F, 0x7F, 0x7F};
  CodecStream stream(Join({Id3v2Tag(size, 300), SilentFrame(Layer::kII, 128)}));
  ASSERT_EQ(stream.Open(), kMfOk);
  EXPECT_EQ(stream.Info().durationMs, 0);
  EXPECT_EQ(stream.Info().frequencyHz, 0);
  EXPECT_EQ(stream.Decode(), kMfEndOfStream);
}

TEST(MpegAudioCodecTest, StreamStartProperties) {
  CodecStream stream(
      Join({SilentFrame(Layer::kII, 192, kModeMono), SilentFrame(Layer::kII, 192, kModeMono)}));
  ASSERT_EQ(stream.Open(), kMfOk);
  EXPECT_EQ(stream.Property("mpeg/level"), 1);
  EXPECT_EQ(stream.Property("mpeg/layer"), 2);
  EXPECT_EQ(stream.Property("mpeg/mode"), kModeMono);
  EXPECT_EQ(stream.Info().channels, 1);
  EXPECT_EQ(stream.Info().frequencyHz, 44100);
  EXPECT_EQ(stream.Info().bitrateKbps, 192);
  EXPECT_EQ(stream.Info().durationMs, 2 * 626 * 8 / 192);
  EXPECT_STREQ(stream.Info().type, "audio/mpeg");
  EXPECT_EQ(stream.Info().changes & 7, 7);
}

TEST(MpegAudioCodecTest, XingFrameCountGivesDurationAndBitrate) {
  const std::vector<uint8_t> silent = SilentFrame(Layer::kIII, 128);
  CodecStream stream(Join({XingFrame(1000), silent, silent}));
  ASSERT_EQ(stream.Open(), kMfOk);
  EXPECT_EQ(stream.Info().durationMs, 26122);
  EXPECT_EQ(stream.Info().bitrateKbps, 3 * 417 * 8 / 26122);
  // The header fixes the figures: frames of other bitrates do not move them.
  CodecStream mixed(Join({XingFrame(1000), SilentFrame(Layer::kIII, 320), silent}));
  ASSERT_EQ(mixed.Open(), kMfOk);
  const int bitrate = mixed.Info().bitrateKbps;
  int frames = 0;
  mixed.DecodeAll(&frames);
  EXPECT_EQ(frames, 3);
  EXPECT_EQ(mixed.Info().durationMs, 26122);
  EXPECT_EQ(mixed.Info().bitrateKbps, bitrate);
}

TEST(MpegAudioCodecTest, XingWithoutFrameCountLeavesTheEstimates) {
  std::vector<uint8_t> first = XingFrame(0);
  const std::vector<uint8_t> silent = SilentFrame(Layer::kIII, 128);
  CodecStream stream(Join({first, silent, SilentFrame(Layer::kIII, 320)}));
  ASSERT_EQ(stream.Open(), kMfOk);
  EXPECT_EQ(stream.Info().durationMs, (2 * 417 + 1044) * 8 / 128);
  stream.DecodeAll();
  EXPECT_NE(stream.Info().bitrateKbps, 128);  // the running average moved
}

TEST(MpegAudioCodecTest, SeekTableIsInterpolated) {
  std::vector<uint8_t> table(100);
  for (size_t i = 0; i < 100; ++i) table[i] = static_cast<uint8_t>(2 * i);  // entry 99: 198
  std::vector<uint8_t> bytes = XingFrame(1000, table);
  bytes.resize(25600, 0);
  CodecStream stream(bytes);
  ASSERT_EQ(stream.Open(), kMfOk);
  const auto seekTo = [&](float x) {
    EXPECT_EQ(mf_input_seek_to_position(stream.decoder(), x), kMfOk);
    return static_cast<double>(stream.InputPosition());
  };
  // Between entry 99 and 256: (198 + 0.5 * (256 - 198)) / 256.
  EXPECT_NEAR(seekTo(0.995f), 25600.0 * 227.0 / 256.0, 1.0);
  EXPECT_NEAR(seekTo(0.5f), 25600.0 * 100.0 / 256.0, 1.0);
  EXPECT_NEAR(seekTo(0.255f), 25600.0 * 51.0 / 256.0, 1.0);  // halfway from 50 to 52
  EXPECT_EQ(seekTo(1.0f), 25600.0);
  EXPECT_EQ(seekTo(0.0f), 0.0);
}

TEST(MpegAudioCodecTest, SeekTableFractionIsMappedBehindTheTag) {
  std::vector<uint8_t> table(100);
  for (size_t i = 0; i < 100; ++i) table[i] = static_cast<uint8_t>(2 * i);
  const uint8_t size[4] = {0, 0, 0x03, 0x76};  // 502 + 10 = 512 tag bytes
  std::vector<uint8_t> bytes = Join({Id3v2Tag(size, 502), XingFrame(1000, table)});
  bytes.resize(512 + 25600, 0);
  CodecStream stream(bytes);
  ASSERT_EQ(stream.Open(), kMfOk);
  ASSERT_EQ(mf_input_seek_to_position(stream.decoder(), 0.5f), kMfOk);
  EXPECT_NEAR(stream.InputPosition(), 512.0 + 25600.0 * 100.0 / 256.0, 1.0);
}

// --- Stream information while decoding -------------------------------------------------------

TEST(MpegAudioCodecTest, BitrateIsAnAverageThatMovesBeyondOneThirtySecond) {
  const std::vector<uint8_t> f128 = SilentFrame(Layer::kII, 128);
  CodecStream stream(Join({f128, f128, SilentFrame(Layer::kII, 320), f128}));
  ASSERT_EQ(stream.Open(), kMfOk);
  const int size = 417 * 3 + 1044;
  EXPECT_EQ(stream.Info().durationMs, size * 8 / 128);
  std::vector<int> bitrates;
  std::vector<int> durations;
  while (stream.Decode() == kMfOk) {
    bitrates.push_back(stream.Info().bitrateKbps);
    durations.push_back(stream.Info().durationMs);
  }
  EXPECT_EQ(bitrates, (std::vector<int>{128, 128, 134, 134}));
  // A change re-estimates: time decoded + the rest at the published bitrate.
  EXPECT_EQ(durations[1], size * 8 / 128);
  EXPECT_EQ(durations[2], static_cast<int>(3 * 1152 * 1000.0 / 44100 + 417 * 8.0 / 134));
  EXPECT_EQ(durations[3], static_cast<int>(4 * 1152 * 1000.0 / 44100));
}

TEST(MpegAudioCodecTest, StreamTooShortForTheScanIsDescribedWhileDecoding) {
  // One 136-byte Layer I frame: the scan's 152 bytes cannot be read, decoding publishes all.
  CodecStream stream(SilentFrame(Layer::kI, 128));
  ASSERT_EQ(stream.Open(), kMfOk);
  EXPECT_EQ(stream.Info().frequencyHz, 0);
  ASSERT_EQ(stream.Decode(), kMfOk);
  EXPECT_EQ(stream.Output().sampleCount, 384);
  EXPECT_EQ(stream.Property("mpeg/level"), 1);
  EXPECT_EQ(stream.Property("mpeg/layer"), 1);
  EXPECT_EQ(stream.Property("mpeg/mode"), kModeStereo);
  EXPECT_EQ(stream.Info().channels, 2);
  EXPECT_EQ(stream.Info().frequencyHz, 44100);
  EXPECT_EQ(stream.Info().bitrateKbps, 128);
  EXPECT_EQ(stream.Info().changes & 3, 3);
  EXPECT_STREQ(stream.Info().type, "audio/mpeg");  // marked by the scan already
  EXPECT_EQ(stream.Decode(), kMfEndOfStream);
}

TEST(MpegAudioCodecTest, DecodeErrorLosesOneFramePublishingNothing) {
  std::vector<uint8_t> bad = SilentFrame(Layer::kI, 160);
  bad[4] = 0xF0;  // bit allocation 15 is forbidden
  const std::vector<uint8_t> good = SilentFrame(Layer::kI, 128);
  CodecStream stream(Join({good, bad, good}));
  ASSERT_EQ(stream.Open(), kMfOk);
  ASSERT_EQ(stream.Decode(), kMfOk);
  EXPECT_EQ(stream.Decode(), kMfDecodeError);
  EXPECT_EQ(stream.Info().changes, 0);
  EXPECT_EQ(stream.Info().bitrateKbps, 128);
  EXPECT_EQ(stream.Decode(), kMfOk);
  EXPECT_EQ(stream.Decode(), kMfEndOfStream);
}

TEST(MpegAudioCodecTest, NoMpegAudioEndsTheStream) {
  std::vector<uint8_t> text(4000);
  for (size_t i = 0; i < text.size(); ++i) text[i] = static_cast<uint8_t>("not audio "[i % 10]);
  CodecStream stream(text);
  ASSERT_EQ(stream.Open(), kMfOk);
  EXPECT_EQ(stream.Decode(), kMfEndOfStream);
  EXPECT_EQ(stream.Info().frequencyHz, 0);
}

// --- Parameters and PCM ----------------------------------------------------------------------

TEST(MpegAudioCodecTest, ParametersReachTheCodecAndReadBack) {
  CodecStream stream(ConformanceBytes("l1-fl1"));
  ASSERT_EQ(stream.Open(), kMfOk);
  int8_t eq[64];
  for (int i = 0; i < 64; ++i) eq[i] = static_cast<int8_t>(i - 32);
  ASSERT_EQ(mf_codec_set_equalizer(stream.decoder(), eq), kMfOk);
  int8_t back[64] = {};
  ASSERT_EQ(mf_codec_get_equalizer(stream.decoder(), back), kMfOk);
  EXPECT_EQ(std::memcmp(eq, back, 64), 0);
  ASSERT_EQ(mf_codec_set_channels(stream.decoder(), 2), kMfOk);
  EXPECT_EQ(mf_codec_get_channels(stream.decoder()), 2);
  ASSERT_EQ(stream.Decode(), kMfOk);
  EXPECT_EQ(stream.Output().channels, 1);
}

TEST(MpegAudioCodecTest, ChannelSelectionThreeGivesTheMeanAtTheSameRate) {
  const std::vector<uint8_t> bytes = ConformanceBytes("l1-fl1");
  CodecStream both(bytes);
  ASSERT_EQ(both.Open(), kMfOk);
  const std::vector<int16_t> stereo = both.DecodeAll();
  ASSERT_EQ(both.Output().channels, 2);
  CodecStream mean(bytes);
  ASSERT_EQ(mf_codec_set_channels(mean.decoder(), 3), kMfOk);
  ASSERT_EQ(mean.Open(), kMfOk);
  ASSERT_EQ(mean.Decode(), kMfOk);
  EXPECT_EQ(mean.Output().channels, 1);
  EXPECT_EQ(mean.Output().sampleRateHz, both.Output().sampleRateHz);
  EXPECT_EQ(mean.Output().sampleCount, 384);
  std::vector<int16_t> mono(mean.Output().samples, mean.Output().samples + 384);
  const std::vector<int16_t> rest = mean.DecodeAll();
  mono.insert(mono.end(), rest.begin(), rest.end());
  ASSERT_EQ(mono.size() * 2, stereo.size());
  int worst = 0;
  for (size_t i = 0; i < mono.size(); ++i) {
    const double expected = (stereo[2 * i] + stereo[2 * i + 1]) / 2.0;
    worst = std::max(worst, static_cast<int>(std::abs(mono[i] - expected) + 0.5));
  }
  EXPECT_LE(worst, 1);
}

TEST(MpegAudioCodecTest, DownsamplingTwoGivesAQuarterRateAt44100) {
  const std::vector<uint8_t> frame = SilentFrame(Layer::kIII, 128);
  CodecStream stream(Join({frame, frame}));
  ASSERT_EQ(mf_codec_set_downsampling(stream.decoder(), 2), kMfOk);
  ASSERT_EQ(stream.Open(), kMfOk);
  ASSERT_EQ(stream.Decode(), kMfOk);
  EXPECT_EQ(stream.Output().sampleRateHz, 11025);
  EXPECT_EQ(stream.Output().sampleCount, 288);
  EXPECT_EQ(stream.Info().frequencyHz, 44100);  // the coded stream's
  // Layer II at 44100 Hz alike.
  CodecStream layer2(Join({SilentFrame(Layer::kII, 128), SilentFrame(Layer::kII, 128)}));
  ASSERT_EQ(mf_codec_set_downsampling(layer2.decoder(), 2), kMfOk);
  ASSERT_EQ(layer2.Open(), kMfOk);
  ASSERT_EQ(layer2.Decode(), kMfOk);
  EXPECT_EQ(layer2.Output().sampleCount, 288);
  EXPECT_EQ(layer2.Output().sampleRateHz, 11025);
}

TEST(MpegAudioCodecTest, FrameworkPcmEqualsTheFrameDecoders) {
  for (const std::string name : {"l2-fl10", "l1-fl3"}) {
    const std::vector<uint8_t> bytes = ConformanceBytes(name);
    const DecodedStream direct = DecodeBytes(bytes);
    CodecStream stream(bytes);
    ASSERT_EQ(stream.Open(), kMfOk);
    int frames = 0;
    const std::vector<int16_t> pcm = stream.DecodeAll(&frames);
    EXPECT_EQ(static_cast<size_t>(frames), direct.frames.size()) << name;
    EXPECT_TRUE(pcm == direct.pcm) << name;
    const PcmComparison reference =
        ComparePcm(pcm, ReadPcmFile(MpegTestDataPath("conformance/" + name + ".pcm")));
    EXPECT_GE(reference.psnrDb, 96.0) << name;
    EXPECT_LE(reference.maxDifference, 1) << name;
  }
}

TEST(MpegAudioCodecTest, ReopeningAfterTheEndDecodesTheSameAgain) {
  const std::vector<uint8_t> bytes = ConformanceBytes("l2-fl10");
  CodecStream stream(bytes);
  ASSERT_EQ(stream.Open(), kMfOk);
  const std::vector<int16_t> first = stream.DecodeAll();
  ASSERT_EQ(mf_input_seek(stream.decoder(), 0), kMfOk);
  EXPECT_TRUE(stream.DecodeAll() == first);
  ASSERT_EQ(mf_input_close(stream.decoder()), kMfOk);
  ASSERT_EQ(stream.Open(), kMfOk);
  EXPECT_TRUE(stream.DecodeAll() == first);
}

}  // namespace
}  // namespace veltro::media
