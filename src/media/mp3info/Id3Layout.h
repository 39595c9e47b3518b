// The two ID3 tag layouts an MPEG audio file may carry, as byte spans:
//  - ID3v2 at the file start: "ID3", version (2 bytes), flags, then the tag size behind the
//    10-byte header as a 28-bit "synchsafe" number (7 bits in each of 4 bytes, high bit clear);
//  - ID3v1 in the last 128 bytes: "TAG", title 30, artist 30, album 30, year 4, comment 30,
//    genre byte.
// Pure functions; any thread. The caller owns the bytes; returned views point into them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

namespace veltro::media {

inline constexpr size_t kId3v2HeaderBytes = 10;

inline constexpr size_t kId3v1TagBytes = 128;
inline constexpr size_t kId3v1TitleBytes = 30;
inline constexpr size_t kId3v1ArtistBytes = 30;
inline constexpr size_t kId3v1AlbumBytes = 30;
inline constexpr size_t kId3v1YearBytes = 4;
inline constexpr size_t kId3v1CommentBytes = 30;
// Byte offsets of the fields inside the 128-byte tag (behind the 3-byte identifier).
inline constexpr size_t kId3v1TitleOffset = 3;
inline constexpr size_t kId3v1ArtistOffset = kId3v1TitleOffset + kId3v1TitleBytes;
inline constexpr size_t kId3v1AlbumOffset = kId3v1ArtistOffset + kId3v1ArtistBytes;
inline constexpr size_t kId3v1YearOffset = kId3v1AlbumOffset + kId3v1AlbumBytes;
inline constexpr size_t kId3v1CommentOffset = kId3v1YearOffset + kId3v1YearBytes;
inline constexpr size_t kId3v1GenreOffset = kId3v1CommentOffset + kId3v1CommentBytes;
static_assert(kId3v1GenreOffset == kId3v1TagBytes - 1);

struct Id3v2Header {
  uint32_t tagBytes;  // the whole tag, its 10-byte header included
  bool synchsafe;     // every size byte has its high bit clear (else the size is read without it)
};

// The ID3v2 header at the start of `head`; nullopt when `head` is shorter than the header or
// does not begin with "ID3".
std::optional<Id3v2Header> ParseId3v2Header(std::span<const uint8_t> head);

// The fields of an ID3v1 tag exactly as stored, each its full width.
struct Id3v1Fields {
  std::string_view title;
  std::string_view artist;
  std::string_view album;
  std::string_view year;
  std::string_view comment;
  uint8_t genre;
};

// The ID3v1 tag in the last 128 bytes of `fileEnd` (the end of a file, or the whole file);
// nullopt when it is shorter or the bytes there do not begin with "TAG" (upper case).
std::optional<Id3v1Fields> ParseId3v1Tag(std::span<const uint8_t> fileEnd);

// A field's text as readers take it: up to its first NUL, trailing spaces removed.
std::string_view Id3v1Text(std::string_view field);

}  // namespace veltro::media
