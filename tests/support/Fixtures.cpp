#include "support/Fixtures.h"

#include <vorbis/vorbisenc.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdio>
#include <numbers>
#include <random>

#include "support/FrequencyAnalysis.h"

namespace veltro::testing {

namespace {

void Put16(std::string& out, uint32_t value) {
  out.push_back(static_cast<char>(value & 0xFF));
  out.push_back(static_cast<char>((value >> 8) & 0xFF));
}

void Put32(std::string& out, uint32_t value) {
  Put16(out, value & 0xFFFF);
  Put16(out, value >> 16);
}

int16_t ToSample(double value) {
  return static_cast<int16_t>(std::clamp(std::lround(value * 32767.0), -32768L, 32767L));
}

std::string FormatChunkBody(const WavLayout& layout) {
  const auto align =
      layout.blockAlign.value_or(static_cast<uint16_t>(layout.channels * layout.bits / 8));
  std::string body;
  Put16(body, layout.extensible ? 0xFFFE : layout.formatTag);
  Put16(body, layout.channels);
  Put32(body, layout.rateHz);
  Put32(body, layout.avgBytesPerSec.value_or(layout.rateHz * align));
  Put16(body, align);
  Put16(body, layout.bits);
  if (layout.extensible) {
    Put16(body, 22);
    Put16(body, layout.bits);                       // valid bits per sample
    Put32(body, layout.channels == 1 ? 0x4 : 0x3);  // channel mask
    Put16(body, layout.subFormatTag);
    const uint8_t tail[14] = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80,
                              0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
    body.append(reinterpret_cast<const char*>(tail), sizeof tail);
  }
  body.append(layout.fmtExtraBytes, '\x01');
  return body;
}

void AppendChunk(std::string& out, const char* id, const std::string& body,
                 std::optional<uint32_t> declared = std::nullopt) {
  out.append(id, 4);
  Put32(out, declared.value_or(static_cast<uint32_t>(body.size())));
  out += body;
  if (body.size() % 2 != 0) out.push_back('\0');
}

}  // namespace

std::vector<int16_t> Sine(double hz, uint32_t rateHz, double seconds, int channels,
                          double amplitude) {
  const auto frames = static_cast<size_t>(seconds * rateHz);
  std::vector<int16_t> out(frames * static_cast<size_t>(channels));
  for (size_t i = 0; i < frames; ++i) {
    const double value =
        amplitude * std::sin(2 * std::numbers::pi * hz * static_cast<double>(i) / rateHz);
    for (int c = 0; c < channels; ++c) out[i * static_cast<size_t>(channels) + c] = ToSample(value);
  }
  return out;
}

std::vector<int16_t> MusicLike(uint32_t rateHz, double seconds, int channels, uint32_t seed) {
  std::mt19937 random(seed);
  std::normal_distribution<double> noise(0.0, 0.01);
  const double tones[] = {110.0, 220.5, 331.0, 440.0, 659.3, 1244.5, 3150.0};
  const auto frames = static_cast<size_t>(seconds * rateHz);
  std::vector<int16_t> out(frames * static_cast<size_t>(channels));
  for (size_t i = 0; i < frames; ++i) {
    const double t = static_cast<double>(i) / rateHz;
    for (int c = 0; c < channels; ++c) {
      double value = noise(random);
      for (int k = 0; k < static_cast<int>(std::size(tones)); ++k) {
        const double envelope = 0.5 + 0.5 * std::sin(2 * std::numbers::pi * (0.3 + 0.2 * k) * t);
        value += 0.08 * envelope * std::sin(2 * std::numbers::pi * tones[k] * t + c + k);
      }
      out[i * static_cast<size_t>(channels) + c] = ToSample(value);
    }
  }
  return out;
}

std::string Pcm16Bytes(const std::vector<int16_t>& samples) {
  std::string out;
  out.reserve(samples.size() * 2);
  for (int16_t s : samples) Put16(out, static_cast<uint16_t>(s));
  return out;
}

std::string Pcm8Bytes(const std::vector<int16_t>& samples) {
  std::string out;
  out.reserve(samples.size());
  for (int16_t s : samples) out.push_back(static_cast<char>((s >> 8) + 128));
  return out;
}

std::string MakeWav(const WavLayout& layout, const std::string& dataBytes) {
  std::string body = "WAVE";
  AppendChunk(body, "fmt ", FormatChunkBody(layout), layout.fmtChunkSize);
  AppendChunk(body, "data", dataBytes, layout.declaredDataBytes);
  body += layout.trailingChunk;
  std::string out = "RIFF";
  Put32(out, static_cast<uint32_t>(body.size()));
  return out + body;
}

WavLayout PcmLayout(uint16_t channels, uint32_t rateHz, uint16_t bits) {
  WavLayout layout;
  layout.channels = channels;
  layout.rateHz = rateHz;
  layout.bits = bits;
  return layout;
}

std::string LoudListChunk(uint32_t bytes) {
  std::string out = "LIST";
  Put32(out, bytes);
  for (uint32_t i = 0; i < bytes; ++i) out.push_back(static_cast<char>(i % 2 ? 0x7F : 0x70));
  return out;
}

namespace {

void AppendPage(std::string& out, const ogg_page& page) {
  out.append(reinterpret_cast<const char*>(page.header), static_cast<size_t>(page.header_len));
  out.append(reinterpret_cast<const char*>(page.body), static_cast<size_t>(page.body_len));
}

// The encoder's state from headers to the end of the stream.
struct OggEncoder {
  vorbis_info info{};
  vorbis_comment comment{};
  vorbis_dsp_state dsp{};
  vorbis_block block{};
  ogg_stream_state stream{};
  std::string out;

  ~OggEncoder() {
    ogg_stream_clear(&stream);
    vorbis_block_clear(&block);
    vorbis_dsp_clear(&dsp);
    vorbis_comment_clear(&comment);
    vorbis_info_clear(&info);
  }

  // The three header packets, each on pages of their own.
  void WriteHeaders(int serial) {
    vorbis_analysis_init(&dsp, &info);
    vorbis_block_init(&dsp, &block);
    ogg_stream_init(&stream, serial);
    ogg_packet header, headerComment, headerCode;
    vorbis_analysis_headerout(&dsp, &comment, &header, &headerComment, &headerCode);
    ogg_stream_packetin(&stream, &header);
    ogg_stream_packetin(&stream, &headerComment);
    ogg_stream_packetin(&stream, &headerCode);
    Flush();
  }

  // Hands the finished packets to the stream and writes the full pages.
  void Drain() {
    while (vorbis_analysis_blockout(&dsp, &block) == 1) {
      vorbis_analysis(&block, nullptr);
      vorbis_bitrate_addblock(&block);
      ogg_packet packet;
      while (vorbis_bitrate_flushpacket(&dsp, &packet) != 0) {
        ogg_stream_packetin(&stream, &packet);
        ogg_page page;
        while (ogg_stream_pageout(&stream, &page) != 0) AppendPage(out, page);
      }
    }
  }

  void Flush() {
    ogg_page page;
    while (ogg_stream_flush(&stream, &page) != 0) AppendPage(out, page);
  }
};

}  // namespace

std::string EncodeOggVorbis(const std::vector<int16_t>& samples, int channels, uint32_t rateHz,
                            const std::vector<std::string>& comments, int serial, float quality) {
  OggEncoder encoder;
  vorbis_info_init(&encoder.info);
  if (vorbis_encode_init_vbr(&encoder.info, channels, static_cast<long>(rateHz), quality) != 0) {
    return {};
  }
  vorbis_comment_init(&encoder.comment);
  for (const std::string& comment : comments) {
    vorbis_comment_add(&encoder.comment, comment.c_str());
  }
  encoder.WriteHeaders(serial);
  const size_t frames = samples.size() / static_cast<size_t>(channels);
  constexpr size_t kChunk = 1024;
  for (size_t start = 0; start < frames; start += kChunk) {
    const size_t count = std::min(kChunk, frames - start);
    float** buffer = vorbis_analysis_buffer(&encoder.dsp, static_cast<int>(count));
    for (size_t i = 0; i < count; ++i) {
      for (int c = 0; c < channels; ++c) {
        buffer[c][i] = samples[(start + i) * static_cast<size_t>(channels) + c] / 32768.0f;
      }
    }
    vorbis_analysis_wrote(&encoder.dsp, static_cast<int>(count));
    encoder.Drain();
  }
  vorbis_analysis_wrote(&encoder.dsp, 0);
  encoder.Drain();
  encoder.Flush();
  return std::move(encoder.out);
}

bool WriteOgg(const std::string& path, const std::vector<int16_t>& samples, int channels,
              uint32_t rateHz, float quality) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return false;
  const std::string bytes = EncodeOggVorbis(samples, channels, rateHz, {}, 1, quality);
  const bool written =
      !bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  std::fclose(file);
  return written;
}

std::vector<double> Channel(const std::vector<int16_t>& samples, int channels, int channel) {
  std::vector<double> out;
  out.reserve(samples.size() / static_cast<size_t>(channels));
  for (size_t i = static_cast<size_t>(channel); i < samples.size();
       i += static_cast<size_t>(channels)) {
    out.push_back(samples[i] / 32768.0);
  }
  return out;
}

std::vector<int16_t> SamplesFromBytes(const uint8_t* bytes, size_t count) {
  std::vector<int16_t> out(count / 2);
  for (size_t i = 0; i < out.size(); ++i) {
    out[i] = static_cast<int16_t>(bytes[2 * i] | bytes[2 * i + 1] << 8);
  }
  return out;
}

ToneAnalysis AnalyzeTone(const std::vector<double>& signal, double rateHz) {
  size_t n = 1;
  while (n * 2 <= std::min<size_t>(signal.size(), 65536)) n *= 2;
  const Spectrum spectrum =
      AnalyseSpectrum(std::vector<double>(signal.begin(), signal.begin() + n), rateHz);
  constexpr size_t kMainLobeBins = 6;  // 4-term Blackman-Harris main lobe is +-4 bins wide
  const size_t peak = spectrum.PeakBin();
  ToneAnalysis result;
  result.peakHz = spectrum.PeakHz();
  result.peakDb = 20 * std::log10(spectrum.magnitude[peak] + 1e-300);
  result.worstOtherDb = spectrum.WorstOtherDb(peak, kMainLobeBins);
  return result;
}

int FindLag(const std::vector<double>& reference, const std::vector<double>& test, int maxLag,
            size_t span) {
  int best = 0;
  double bestScore = -1e300;
  for (int lag = 0; lag <= maxLag; ++lag) {
    double dot = 0, energy = 1e-12;
    for (size_t i = 0;
         i < span && i + static_cast<size_t>(lag) < test.size() && i < reference.size(); ++i) {
      dot += reference[i] * test[i + static_cast<size_t>(lag)];
      energy += test[i + static_cast<size_t>(lag)] * test[i + static_cast<size_t>(lag)];
    }
    const double score = dot / std::sqrt(energy);
    if (score > bestScore) {
      bestScore = score;
      best = lag;
    }
  }
  return best;
}

double SnrDb(const std::vector<double>& reference, const std::vector<double>& test, int lag,
             size_t start, size_t span) {
  double signal = 0, error = 1e-30;
  for (size_t i = start;
       i < start + span && i < reference.size() && i + static_cast<size_t>(lag) < test.size();
       ++i) {
    const double d = test[i + static_cast<size_t>(lag)] - reference[i];
    signal += reference[i] * reference[i];
    error += d * d;
  }
  return 10 * std::log10(signal / error);
}

long LastLoudSample(const std::vector<double>& signal, double threshold) {
  for (size_t i = signal.size(); i-- > 0;) {
    if (std::abs(signal[i]) > threshold) return static_cast<long>(i);
  }
  return -1;
}

}  // namespace veltro::testing
