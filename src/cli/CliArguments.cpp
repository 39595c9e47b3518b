#include "cli/CliArguments.h"

#include "cli/CliSupport.h"

namespace veltro::cli {
namespace {

// The refusal of one word, printable on one line whatever bytes it holds.
std::string Unexpected(std::string_view arg) {
  std::string text = "unexpected argument '";
  AppendPrintable(text, arg);
  return text + "'";
}

// A plain word (not an option) fills the one file name of info and play; anything else, or a
// second name, is refused.
std::optional<std::string> TakeFileName(std::string_view arg, std::string& path) {
  if (arg.starts_with("--") || arg.empty() || !path.empty()) return Unexpected(arg);
  path = std::string(arg);
  return std::nullopt;
}

}  // namespace

std::optional<std::string> ParseDecodeArguments(const std::vector<std::string_view>& args,
                                                DecodeOptions& options) {
  std::vector<std::string> paths;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string_view arg = args[i];
    const bool hasValue = i + 1 < args.size();
    if ((arg == "--channels" || arg == "--downsample") && hasValue) {
      const auto value = ParseInt(args[++i]);
      if (!value || *value < 0 || *value > 3 || (arg == "--downsample" && *value > 2)) {
        return arg == "--channels" ? "--channels takes 0 (both), 1 (left), 2 (right) or 3 (mean)"
                                   : "--downsample takes 0 (none), 1 (half) or 2 (quarter)";
      }
      (arg == "--channels" ? options.channelSelection : options.downsampling) = *value;
    } else if (!arg.starts_with("--") && !arg.empty() && paths.size() < 2) {
      paths.emplace_back(arg);
    } else {
      return Unexpected(arg);
    }
  }
  if (paths.size() != 2) return "decode needs an input and an output file";
  options.inputPath = paths[0];
  options.outputName = paths[1];
  return std::nullopt;
}

std::optional<std::string> ParseInfoArguments(const std::vector<std::string_view>& args,
                                              InfoOptions& options) {
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string_view arg = args[i];
    if (arg == "--frames" && i + 1 < args.size()) {
      const auto frames = ParseInt(args[++i]);
      if (!frames || *frames < 0) return "--frames takes a number of frames, 0 for all";
      options.frameLimit = *frames;
    } else if (const auto refused = TakeFileName(arg, options.path)) {
      return refused;
    }
  }
  if (options.path.empty()) return "info needs a file";
  return std::nullopt;
}

std::optional<std::string> ParsePlayArguments(const std::vector<std::string_view>& args,
                                              PlayOptions& options) {
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string_view arg = args[i];
    const bool hasValue = i + 1 < args.size();
    if (arg == "--mastertempo") {
      options.masterTempo = true;
    } else if (arg == "--device" && hasValue) {
      options.device = std::string(args[++i]);
    } else if (arg == "--pitch" && hasValue) {
      const auto pitch = ParseInt(args[++i]);
      if (!pitch || *pitch < kPitchMin || *pitch > kPitchMax) {
        return "--pitch takes a whole number from -127 to 128 (tenths of a percent)";
      }
      options.pitch = *pitch;
    } else if (arg == "--start" && hasValue) {
      const auto start = ParseInt(args[++i]);
      if (!start || *start < 0) return "--start takes a position in hundredths of a second";
      options.startHundredths = *start;
    } else if (const auto refused = TakeFileName(arg, options.path)) {
      return refused;
    }
  }
  if (options.path.empty()) return "play needs a file";
  return std::nullopt;
}

}  // namespace veltro::cli
