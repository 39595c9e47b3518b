// The argument parsers of veltro-cli's decode, info and play commands: pure functions over the
// words of the command line that never touch a file or a device, so that any word list can be
// tried on them. Each returns nothing when the words are usable, else a one-line reason.
//
// Any thread; nothing is kept between calls.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace veltro::cli {

inline constexpr int kDefaultInfoFrameLimit = 50;  // as the folder scan walks
inline constexpr int kPitchMin = -127;             // tenths of a percent
inline constexpr int kPitchMax = 128;

struct DecodeOptions {
  std::string inputPath;     // "-" standard input
  std::string outputName;    // a path, "-", or a format prefix and a path
  int channelSelection = 0;  // 0 both, 1 left, 2 right, 3 mean
  int downsampling = 0;      // 0 none, 1 half, 2 quarter
};

struct InfoOptions {
  std::string path;
  int frameLimit = kDefaultInfoFrameLimit;  // 0 walks the whole file
};

struct PlayOptions {
  std::string path;
  std::string device;  // a GUID text, "null" for the null output, "" for the system default
  int pitch = 0;       // tenths of a percent
  bool masterTempo = false;
  int startHundredths = 0;
};

// The words after "decode": IN OUT [--channels N] [--downsample N].
std::optional<std::string> ParseDecodeArguments(const std::vector<std::string_view>& args,
                                                DecodeOptions& options);
// The words after "info": FILE [--frames N].
std::optional<std::string> ParseInfoArguments(const std::vector<std::string_view>& args,
                                              InfoOptions& options);
// The words after "play": FILE [--device GUID|null] [--pitch V] [--mastertempo] [--start H].
std::optional<std::string> ParsePlayArguments(const std::vector<std::string_view>& args,
                                              PlayOptions& options);

}  // namespace veltro::cli
