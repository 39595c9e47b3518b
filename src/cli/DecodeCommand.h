// `veltro-cli decode IN OUT [--channels N] [--downsample N]`: decodes an MPEG audio file through
// the media framework (file input module, MPEG audio codec) into 16-bit PCM, one frame per
// mf_decode call as the decks decode, reading IN as a stream in bounded memory whatever its
// size. IN "-" is standard input (an ID3v2 tag in front is skipped there too). The stream
// information is printed to stderr. OUT picks the format:
// - "wav:FILE": a RIFF WAVE file in the first frame's format, each frame in its own channel
//   count; "raw:FILE", "aiff:FILE", "sun:FILE" and "-" (standard output): the samples alone,
//   each frame in its own channel count ("wav:-" puts the header on standard output);
// - any other OUT ending in ".wav" (any letter case): a RIFF WAVE file in the first frame's
//   channel count (a mono frame duplicated, a stereo frame averaged); else raw samples, each
//   frame in its own channel count.
// A regular OUT (or a new one) is written into a temporary beside it that replaces it only after
// a complete decode; a failed or interrupted decode leaves the old OUT as it was. A device or
// FIFO OUT (/dev/null, a named pipe) is written straight and never removed, and is opened only
// once the first frame is decoded. OUT naming IN itself is refused. A WAVE header's sizes are
// completed at the end when the output can be repositioned (not on a pipe).
#pragma once

#include <string_view>
#include <vector>

namespace veltro::cli {

// Runs the decode subcommand; `args` are the words after "decode". Main thread only. Returns
// the exit status: 0 success, 1 failure (IN unreadable or not a regular file, no MPEG audio in
// IN, OUT not written; one line on stderr), 2 usage, 130 interrupted (Ctrl-C).
int RunDecodeCommand(const std::vector<std::string_view>& args);

}  // namespace veltro::cli
