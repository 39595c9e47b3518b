// Reads arbitrary bytes as a veltro-cli command line (words separated by NUL bytes, the first
// byte choosing decode, info or play) and traps when a parser accepts options outside their
// ranges or without their paths, or refuses with a reason that is empty or not one printable
// line.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "cli/CliArguments.h"

namespace {

using veltro::cli::DecodeOptions;
using veltro::cli::InfoOptions;
using veltro::cli::PlayOptions;

void Check(bool condition) {
  if (!condition) __builtin_trap();
}

std::vector<std::string_view> Words(std::string_view text) {
  std::vector<std::string_view> words;
  size_t start = 0;
  for (size_t i = 0; i <= text.size(); ++i) {
    if (i == text.size() || text[i] == '\0') {
      words.push_back(text.substr(start, i - start));
      start = i + 1;
    }
  }
  return words;
}

void CheckRefusal(const std::optional<std::string>& error) {
  Check(!error->empty());
  for (const char c : *error) {
    const auto byte = static_cast<unsigned char>(c);
    Check(byte >= 0x20 && byte != 0x7F);
  }
}

void CheckDecode(const std::vector<std::string_view>& words) {
  DecodeOptions options;
  const auto error = veltro::cli::ParseDecodeArguments(words, options);
  if (error) return CheckRefusal(error);
  Check(!options.inputPath.empty() && !options.outputName.empty());
  Check(options.channelSelection >= 0 && options.channelSelection <= 3);
  Check(options.downsampling >= 0 && options.downsampling <= 2);
}

void CheckInfo(const std::vector<std::string_view>& words) {
  InfoOptions options;
  const auto error = veltro::cli::ParseInfoArguments(words, options);
  if (error) return CheckRefusal(error);
  Check(!options.path.empty() && !options.path.starts_with("--"));
  Check(options.frameLimit >= 0);
}

void CheckPlay(const std::vector<std::string_view>& words) {
  PlayOptions options;
  const auto error = veltro::cli::ParsePlayArguments(words, options);
  if (error) return CheckRefusal(error);
  Check(!options.path.empty() && !options.path.starts_with("--"));
  Check(options.pitch >= veltro::cli::kPitchMin && options.pitch <= veltro::cli::kPitchMax);
  Check(options.startHundredths >= 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const std::string_view text(reinterpret_cast<const char*>(data) + 1, size - 1);
  const std::vector<std::string_view> words = Words(text);
  switch (data[0] % 3) {
    case 0:
      CheckDecode(words);
      break;
    case 1:
      CheckInfo(words);
      break;
    default:
      CheckPlay(words);
      break;
  }
  return 0;
}
