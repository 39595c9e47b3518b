// The four texts a song's tags give the library and take from it: what the tag readers produce
// for a new library record and what the tag writers store from an edited one. Texts are UTF-8
// and already cut to the library's field widths (a cut never splits a UTF-8 sequence).
#pragma once

#include <string>

namespace veltro::tags {

inline constexpr size_t kArtistBytes = 30;
inline constexpr size_t kSongNameBytes = 30;
inline constexpr size_t kGenreBytes = 10;
inline constexpr size_t kYearBytes = 4;

struct SongTags {
  std::string artist;
  std::string songName;
  std::string genre;
  std::string year;

  bool operator==(const SongTags&) const = default;
};

}  // namespace veltro::tags
