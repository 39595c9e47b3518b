#include "support/FrequencyAnalysis.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <numbers>

namespace veltro::testing {
namespace {

// In-place iterative radix-2 FFT; data.size() must be a power of two.
void Fft(std::vector<std::complex<double>>& data) {
  const size_t n = data.size();
  for (size_t i = 1, j = 0; i < n; ++i) {
    size_t bit = n >> 1;
    for (; (j & bit) != 0; bit >>= 1) j ^= bit;
    j ^= bit;
    if (i < j) std::swap(data[i], data[j]);
  }
  for (size_t length = 2; length <= n; length <<= 1) {
    const double angle = -2.0 * std::numbers::pi / static_cast<double>(length);
    const std::complex<double> unit(std::cos(angle), std::sin(angle));
    for (size_t start = 0; start < n; start += length) {
      std::complex<double> w(1.0, 0.0);
      for (size_t k = 0; k < length / 2; ++k) {
        const auto even = data[start + k];
        const auto odd = data[start + k + length / 2] * w;
        data[start + k] = even + odd;
        data[start + k + length / 2] = even - odd;
        w *= unit;
      }
    }
  }
}

double BlackmanHarris(size_t i, size_t n) {
  const double x = 2.0 * std::numbers::pi * static_cast<double>(i) / static_cast<double>(n - 1);
  return 0.35875 - 0.48829 * std::cos(x) + 0.14128 * std::cos(2 * x) - 0.01168 * std::cos(3 * x);
}

}  // namespace

Spectrum AnalyseSpectrum(const std::vector<double>& samples, double sampleRateHz) {
  const size_t count = samples.size();
  std::vector<std::complex<double>> data(count);
  for (size_t i = 0; i < count; ++i) data[i] = samples[i] * BlackmanHarris(i, count);
  Fft(data);
  Spectrum spectrum;
  spectrum.binHz = sampleRateHz / static_cast<double>(count);
  spectrum.magnitude.resize(count / 2 + 1);
  for (size_t i = 0; i <= count / 2; ++i) spectrum.magnitude[i] = std::abs(data[i]);
  return spectrum;
}

Spectrum AnalyseSpectrum(const int16_t* samples, size_t count, size_t stride, double sampleRateHz) {
  std::vector<double> values(count);
  for (size_t i = 0; i < count; ++i) values[i] = static_cast<double>(samples[i * stride]);
  return AnalyseSpectrum(values, sampleRateHz);
}

size_t Spectrum::PeakBin() const {
  return static_cast<size_t>(std::max_element(magnitude.begin() + 1, magnitude.end()) -
                             magnitude.begin());
}

double Spectrum::PeakHz() const {
  const size_t k = PeakBin();
  if (k == 0 || k + 1 >= magnitude.size()) return static_cast<double>(k) * binHz;
  const double a = std::log(magnitude[k - 1]);
  const double b = std::log(magnitude[k]);
  const double c = std::log(magnitude[k + 1]);
  const double offset = 0.5 * (a - c) / (a - 2 * b + c);
  return (static_cast<double>(k) + offset) * binHz;
}

double Spectrum::WorstOtherDb(size_t centreBin, size_t guardBins) const {
  double worst = 0.0;
  for (size_t i = 0; i < magnitude.size(); ++i) {
    const size_t distance = i > centreBin ? i - centreBin : centreBin - i;
    if (i > 0 && distance > guardBins) worst = std::max(worst, magnitude[i]);
  }
  return 20.0 * std::log10(std::max(worst, 1e-12) / magnitude[centreBin]);
}

}  // namespace veltro::testing
