// The names of the ID3v1 genre byte: entries 0 ("Blues") to 79 ("Hard Rock") of the original
// genre list, spelled as in that list. Later extensions of the list are not known here, so a
// byte of 80 or more has no name.
#pragma once

#include <cstdint>

namespace veltro::media {

inline constexpr int kId3GenreCount = 80;

// The genre name for `genreByte`, or null for 80 and above. The text is static. Any thread.
const char* Id3GenreName(uint8_t genreByte);

}  // namespace veltro::media
