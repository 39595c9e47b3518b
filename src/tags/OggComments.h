// Vorbis comments of Ogg Vorbis songs: reading the artist, title, genre and date into the
// library's fields, and rewriting them without touching the audio packets.
#pragma once

#include <optional>
#include <string>

#include "tags/SongTags.h"

namespace veltro::tags {

// What reading an Ogg Vorbis song gives a new library record.
struct OggSongInfo {
  SongTags tags;
  int lengthMs = 0;  // total play time, truncated to whole seconds, in milliseconds
};

// Any thread (the file is only read). Reads the comments of the song at `path`: ARTIST,
// ENSEMBLE and PERFORMER give the artist, TITLE the song name, GENRE the genre, DATE and YEAR
// the year; a later comment overrides an earlier one. The artist defaults to the file name
// (extension included). Fields are cut to the SongTags widths in bytes, never inside a UTF-8
// sequence. nullopt when the file cannot be opened or is not Ogg Vorbis.
std::optional<OggSongInfo> ReadOggComments(const std::string& path);

// Any thread, but one writer per file at a time. Rewrites the song at `path` with its comments
// ARTIST, TITLE, GENRE and DATE taken from `tags` (all four written, also when empty) after the
// song's other comments, which keep their order; the vendor string and every audio packet stay
// as they were. The new stream is written beside the song and renamed over it, so the song is
// at every instant either the old or the new file. A read-only song is made writable for its
// owner and stays so. On failure the song is untouched (content, file and permissions), `error`
// (when not null) receives the reason (for input that is not Ogg Vorbis, the editor's text)
// and the result is false. The one exception: when the folder cannot be flushed after the
// rename, the song is already rewritten and the result is still false.
bool WriteOggComments(const std::string& path, const SongTags& tags, std::string* error);

}  // namespace veltro::tags
