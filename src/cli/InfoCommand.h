// `veltro-cli info FILE [--frames N]`: what the folder scan learns about an MPEG audio file
// without decoding it (the file information scanner: ID3v1 texts, level, layer, mode, channels,
// bitrate, frequency, frames walked and duration), one "name: value" line per field.
#pragma once

#include <string_view>
#include <vector>

namespace veltro::cli {

// Runs the info subcommand; `args` are the words after "info". N is the number of frames to
// walk (default 50, as the folder scan; 0 walks the whole file). Main thread only; prints to
// stdout, errors to stderr; tag texts are printed with control bytes as \xHH. Returns the exit
// status: 0 success, 1 the scan failed or found no MPEG audio (one line on stderr naming the
// scanner's code or the reason: a FIFO, device or folder is refused without waiting on it),
// 2 usage, 130 interrupted (Ctrl-C).
int RunInfoCommand(const std::vector<std::string_view>& args);

}  // namespace veltro::cli
