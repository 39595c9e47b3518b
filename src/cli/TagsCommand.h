// `veltro-cli tags read FILE` and `veltro-cli tags write FILE [--artist A] [--title T]
// [--genre G] [--year Y]`: the tags of one song as a new library record would take them, and
// the tag editor's write. The extension (any letter case) chooses the format: ".mp3" an ID3v1
// tag, ".ogg" Vorbis comments; other files carry no tags here.
#pragma once

#include <string_view>
#include <vector>

namespace veltro::cli {

// Runs the tags subcommand; `args` are the words after "tags". Main thread only; prints to
// stdout and stderr. `read` prints "artist: ", "title: ", "genre: " and "year: " lines (UTF-8,
// already cut to the library's widths), plus "length ms: " for Ogg songs, or a "no tag" line
// for an MP3 file without a tag. `write` stores the given texts (a field left out keeps what
// the song holds; each text is cut to its library width in bytes) and prints nothing. Returns
// the exit status: 0 success, 1 failure (one line on stderr; nothing written), 2 usage.
int RunTagsCommand(const std::vector<std::string_view>& args);

}  // namespace veltro::cli
