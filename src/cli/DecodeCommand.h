// `veltro-cli decode IN OUT [--channels N] [--downsample N]`: decodes an MPEG audio file through
// the media framework (memory input, MPEG audio codec) into 16-bit PCM. OUT ending in ".wav"
// (any letter case) becomes a RIFF WAVE file in the first frame's channel count; any other name
// gets raw little-endian samples, each frame in its own channel count. The stream information
// is printed to stderr.
#pragma once

#include <string_view>
#include <vector>

namespace veltro::cli {

// Runs the decode subcommand; `args` are the words after "decode". Main thread only. Returns
// the exit status: 0 success, 1 failure (IN unreadable, no MPEG audio in IN, OUT not written;
// one line on stderr), 2 usage. OUT is replaced atomically and only after a successful decode.
int RunDecodeCommand(const std::vector<std::string_view>& args);

}  // namespace veltro::cli
