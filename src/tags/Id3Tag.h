// ID3v1 tags: the last 128 bytes of an MP3 file, laid out as media/mp3info/Id3Layout.h reads
// them. The library keeps its free-text genre (up to 10 characters) in the comment field, so a
// genre survives a write and a later read unchanged.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "media/mp3info/Id3Layout.h"
#include "tags/SongTags.h"

namespace veltro::tags {

inline constexpr size_t kId3TagBytes = media::kId3v1TagBytes;
inline constexpr size_t kId3TitleBytes = media::kId3v1TitleBytes;
inline constexpr size_t kId3ArtistBytes = media::kId3v1ArtistBytes;
inline constexpr size_t kId3AlbumBytes = media::kId3v1AlbumBytes;
inline constexpr size_t kId3YearBytes = media::kId3v1YearBytes;
inline constexpr size_t kId3CommentBytes = media::kId3v1CommentBytes;

// What the read rule gives: the fields as stored (bytes, up to the first NUL, trailing spaces
// and NULs removed), and the genre byte.
struct Id3v1Tag {
  std::string title;
  std::string artist;
  std::string album;
  std::string year;
  std::string comment;
  uint8_t genre = 0;
};

// Any thread; pure. `fileEnd` points at the last `size` bytes of a file (or the whole file);
// only the final 128 of them are looked at, and the caller keeps ownership. The tag held there,
// or nullopt when `size` is under 128 or the bytes do not begin with "TAG" (upper case).
std::optional<Id3v1Tag> ParseId3Tag(const uint8_t* fileEnd, size_t size);

// Any thread (the file is only read). The tag at the end of the file at `path`; nullopt when
// the file cannot be read, is not a regular file (it is opened without waiting), is shorter
// than 128 bytes or has no tag.
std::optional<Id3v1Tag> ReadId3Tag(const std::string& path);

// Any thread; pure. The texts a library record takes from a tag: title as song name, artist,
// year, and the first 10 bytes of the comment as genre. Each text is taken as UTF-8 when it is
// valid UTF-8, else as Windows-1252, and is cut to its SongTags width in bytes without
// splitting a UTF-8 sequence.
SongTags SongTagsFromId3(const Id3v1Tag& tag);

// Any thread; pure. The 128 bytes WriteId3Tag stores for `tags`: song name as title, artist,
// 30 zero bytes as album, year, genre text in the comment field, genre byte 0. Each text ends
// at its first NUL; it is stored as Windows-1252 when the code page represents every character
// of it, else as its UTF-8 bytes cut to the field width without splitting a sequence. The rest
// of each text field is filled with spaces.
std::array<uint8_t, kId3TagBytes> BuildId3Tag(const SongTags& tags);

// Any thread, one writer per file at a time. Stores the texts of `tags` in the file at `path`.
// A file without a tag gets BuildId3Tag(tags) appended (also a file under 128 bytes). An
// existing tag is changed in place field by field: a field whose text is what SongTagsFromId3
// reads from it keeps its bytes (a 30-character Windows-1252 title that reading cuts to 30
// UTF-8 bytes is not cut again), as do the album and the genre byte; the other fields are
// stored as BuildId3Tag stores them, and a tag that changes nowhere is not written. The bytes
// before the tag are never touched. The tag goes out in one write and is flushed to the disk
// before the file is closed. A read-only file is made writable for the write, and the file's
// permission bits are restored afterwards in every case. Files on pseudo file systems (the
// "system" attribute) and anything but regular files are refused. On failure nothing is left
// written (a partly appended tag is cut off again, a partly overwritten one is put back),
// `error` (when not null) receives a one-line reason, and the result is false. A missing file
// is never created.
bool WriteId3Tag(const std::string& path, const SongTags& tags, std::string* error);

}  // namespace veltro::tags
