// Test helper: the magnitude spectrum of a stretch of audio through a 4-term Blackman-Harris
// window (sidelobes near -92 dB) and a radix-2 FFT, for tone and distortion checks.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace veltro::testing {

struct Spectrum {
  std::vector<double> magnitude;  // bins 0 .. size/2, linear
  double binHz = 0.0;

  // Index of the strongest bin above DC.
  size_t PeakBin() const;
  // Frequency of the strongest bin, refined by parabolic interpolation of the log magnitude.
  double PeakHz() const;
  // The strongest bin more than `guardBins` away from `centreBin` (DC excluded), in dB
  // relative to the centre bin's magnitude (a negative number when the centre dominates).
  double WorstOtherDb(size_t centreBin, size_t guardBins) const;
};

// Spectrum of `count` values (a power of two) at `sampleRateHz`.
Spectrum AnalyseSpectrum(const std::vector<double>& samples, double sampleRateHz);
// Spectrum of `count` samples (a power of two) taken every `stride` values from `samples`
// (stride 2 with offset 0 or 1 picks one channel of interleaved stereo), at `sampleRateHz`.
Spectrum AnalyseSpectrum(const int16_t* samples, size_t count, size_t stride, double sampleRateHz);

}  // namespace veltro::testing
