// Test fixtures for the engine: signal generators, WAV images written byte by byte, Ogg
// Vorbis files encoded through libvorbisenc, and the spectrum and alignment measurements
// the end-to-end tests use. No test framework inside, so benchmarks can use it too.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace veltro::testing {

// Interleaved 16-bit signals (every channel carries the same signal unless noted).
std::vector<int16_t> Sine(double hz, uint32_t rateHz, double seconds, int channels,
                          double amplitude = 0.5);
// A few sines with slow amplitude changes plus a little noise; channels differ.
std::vector<int16_t> MusicLike(uint32_t rateHz, double seconds, int channels, uint32_t seed = 1);

// Little-endian sample bytes.
std::string Pcm16Bytes(const std::vector<int16_t>& samples);
// 16-bit signals reduced to unsigned 8-bit samples (the high byte, offset by 128).
std::string Pcm8Bytes(const std::vector<int16_t>& samples);

// Layout of a generated WAV file. Unset optionals take their correct values.
struct WavLayout {
  uint16_t formatTag = 1;
  uint16_t channels = 2;
  uint32_t rateHz = 44100;
  uint16_t bits = 16;
  std::optional<uint16_t> blockAlign;
  std::optional<uint32_t> avgBytesPerSec;
  bool extensible = false;                    // WAVE_FORMAT_EXTENSIBLE record (40 bytes)
  uint16_t subFormatTag = 1;                  // the extensible record's sub-format
  uint32_t fmtExtraBytes = 0;                 // bytes of padding appended to a plain "fmt " chunk
  std::optional<uint32_t> fmtChunkSize;       // overrides the "fmt " size field (short chunks)
  std::optional<uint32_t> declaredDataBytes;  // "data" size field (e.g. past the end)
  std::string trailingChunk;  // raw bytes appended after the data chunk (e.g. a LIST)
};
std::string MakeWav(const WavLayout& layout, const std::string& dataBytes);
// A plain integer PCM layout.
WavLayout PcmLayout(uint16_t channels, uint32_t rateHz, uint16_t bits = 16);
// A "LIST" chunk of `bytes` bytes of loud non-silent content.
std::string LoudListChunk(uint32_t bytes);

// Encodes interleaved 16-bit samples to Ogg Vorbis bytes (VBR at `quality`, -0.1..1) whose
// comment header holds `comments` (each "NAME=value", in order) and the encoder's vendor
// string, in one logical stream numbered `serial`. Empty when the encoder refuses.
std::string EncodeOggVorbis(const std::vector<int16_t>& samples, int channels, uint32_t rateHz,
                            const std::vector<std::string>& comments = {}, int serial = 1,
                            float quality = 0.4f);
// The same without comments, written to the file at `path`. Returns false when the encoder
// refuses or the file cannot be written.
bool WriteOgg(const std::string& path, const std::vector<int16_t>& samples, int channels,
              uint32_t rateHz, float quality = 0.4f);

// Samples of one channel of interleaved 16-bit data.
std::vector<double> Channel(const std::vector<int16_t>& samples, int channels, int channel);
std::vector<int16_t> SamplesFromBytes(const uint8_t* bytes, size_t count);

struct ToneAnalysis {
  double peakHz = 0;           // frequency of the strongest component, interpolated
  double peakDb = 0;           // its level (dB, arbitrary reference)
  double worstOtherDb = -400;  // strongest component outside the peak's main lobe, relative
};
// Blackman-Harris windowed DFT over the first power of two of the signal (at most 65536).
ToneAnalysis AnalyzeTone(const std::vector<double>& signal, double rateHz);

// The lag (in samples, 0..maxLag) at which `test` best matches `reference`
// (test[i + lag] ~ reference[i]), by normalised cross-correlation over `span` samples.
int FindLag(const std::vector<double>& reference, const std::vector<double>& test, int maxLag,
            size_t span);
// Signal-to-noise ratio in dB of `test` (shifted by `lag`) against `reference` over `span`.
double SnrDb(const std::vector<double>& reference, const std::vector<double>& test, int lag,
             size_t start, size_t span);
// Index of the last sample whose magnitude exceeds `threshold`, or -1.
long LastLoudSample(const std::vector<double>& signal, double threshold);

}  // namespace veltro::testing
