// `veltro-cli decode IN OUT [--channels N] [--downsample N]`: decodes an MPEG audio file through
// the media framework (MPEG audio codec) into 16-bit PCM. The stream information is printed to
// stderr. OUT picks one of two ways:
// - OUT starting with "wav:", "raw:", "aiff:" or "sun:", or OUT "-" (standard output): the
//   framework's streaming way. IN is read by the file input module (IN "-" reads standard
//   input) and the PCM goes frame by frame through mf_play to the file output module: "wav:" a
//   RIFF WAVE file in the first frame's format (its sizes completed at the end when the file can
//   be repositioned, so not on a pipe), the other prefixes and "-" the samples alone, each frame
//   in its own channel count. OUT is written while decoding; a failed decode removes it.
// - Any other OUT: IN is read whole into memory (memory input module). OUT ending in ".wav"
//   (any letter case) becomes a RIFF WAVE file in the first frame's channel count; any other
//   name gets raw little-endian samples, each frame in its own channel count. OUT is replaced
//   atomically and only after a successful decode.
#pragma once

#include <string_view>
#include <vector>

namespace veltro::cli {

// Runs the decode subcommand; `args` are the words after "decode". Main thread only. Returns
// the exit status: 0 success, 1 failure (IN unreadable, no MPEG audio in IN, OUT not written;
// one line on stderr), 2 usage. With OUT "-" the command closes standard output at the end.
int RunDecodeCommand(const std::vector<std::string_view>& args);

}  // namespace veltro::cli
