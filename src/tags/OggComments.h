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
// the year, names compared without regard to ASCII case; a later comment overrides an earlier
// one. The artist defaults to the file name (extension included). Fields are cut to the
// SongTags widths in bytes, never inside a UTF-8 sequence. nullopt when the file cannot be
// opened, is not a regular file (it is opened without waiting) or is not Ogg Vorbis.
std::optional<OggSongInfo> ReadOggComments(const std::string& path);

// Any thread, but one writer per file at a time. Rewrites the song at `path` so that reading
// it gives `tags`. A field whose text is what reading the song gives already keeps its
// comments byte for byte; for each other field the comments of its name (ARTIST, TITLE, GENRE
// or DATE, in any letter case) are removed and one new comment, also when empty, follows the
// song's other comments, which keep their order. When no field changes the song is not
// touched. The vendor string and every audio packet stay as they were; a stream with a
// damaged or missing page is refused. The new stream is written to a copy beside the song that
// takes the song's owner, group, permission bits and extended attributes and is renamed over
// it, so the song is at every instant either the old or the new file; a read-only song is
// made writable for its owner. Refused: anything but a regular file, a song the user could
// not change in place, a song with more than one hard link. On failure the song is untouched,
// `error` (when not null) receives the reason (for input that is not Ogg Vorbis, the editor's
// text) and the result is false. The one exception: when the folder cannot be flushed after
// the rename, the song is already rewritten and the result is still false.
bool WriteOggComments(const std::string& path, const SongTags& tags, std::string* error);

}  // namespace veltro::tags
