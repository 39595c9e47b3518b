// Reads arbitrary bytes as the end of an MP3 file, and traps when a tag field is longer than
// its place in the tag, a text the library would take is not valid UTF-8 or wider than its
// library field, or the tag built back from those texts does not read as a tag again.
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/TextEncoding.h"
#include "tags/Id3Tag.h"
#include "tags/SongTags.h"

namespace {

using veltro::platform::IsValidUtf8;
using veltro::tags::BuildId3Tag;
using veltro::tags::kArtistBytes;
using veltro::tags::kGenreBytes;
using veltro::tags::kId3AlbumBytes;
using veltro::tags::kId3ArtistBytes;
using veltro::tags::kId3CommentBytes;
using veltro::tags::kId3TagBytes;
using veltro::tags::kId3TitleBytes;
using veltro::tags::kId3YearBytes;
using veltro::tags::kSongNameBytes;
using veltro::tags::kYearBytes;
using veltro::tags::ParseId3Tag;
using veltro::tags::SongTags;
using veltro::tags::SongTagsFromId3;

void Check(bool condition) {
  if (!condition) __builtin_trap();
}

// A text as the read rule leaves it: within its field, no NUL, no trailing space.
void CheckStoredText(const std::string& text, size_t width) {
  Check(text.size() <= width);
  Check(text.find('\0') == std::string::npos);
  Check(text.empty() || text.back() != ' ');
}

void CheckLibraryText(const std::string& text, size_t width) {
  Check(text.size() <= width);
  Check(IsValidUtf8(text));
}

void CheckSongTags(const SongTags& tags) {
  CheckLibraryText(tags.songName, kSongNameBytes);
  CheckLibraryText(tags.artist, kArtistBytes);
  CheckLibraryText(tags.genre, kGenreBytes);
  CheckLibraryText(tags.year, kYearBytes);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const auto tag = ParseId3Tag(data, size);
  Check(tag.has_value() ==
        (size >= kId3TagBytes && data[size - kId3TagBytes] == 'T' &&
         data[size - kId3TagBytes + 1] == 'A' && data[size - kId3TagBytes + 2] == 'G'));
  if (!tag) return 0;
  CheckStoredText(tag->title, kId3TitleBytes);
  CheckStoredText(tag->artist, kId3ArtistBytes);
  CheckStoredText(tag->album, kId3AlbumBytes);
  CheckStoredText(tag->year, kId3YearBytes);
  CheckStoredText(tag->comment, kId3CommentBytes);
  Check(tag->genre == data[size - 1]);
  const SongTags tags = SongTagsFromId3(*tag);
  CheckSongTags(tags);

  // What a tag editor would write back for these texts.
  const auto built = BuildId3Tag(tags);
  const auto reread = ParseId3Tag(built.data(), built.size());
  Check(reread.has_value());
  Check(reread->album.empty() && reread->genre == 0);
  CheckSongTags(SongTagsFromId3(*reread));
  return 0;
}
