#include "tags/Id3Tag.h"

#include <cerrno>
#include <cstring>
#include <string_view>

#include "media/mp3info/Id3Layout.h"
#include "platform/FileAttributes.h"
#include "platform/FileDescriptor.h"
#include "platform/RegularFile.h"
#include "platform/TextEncoding.h"

namespace veltro::tags {
namespace {

using media::kId3v1ArtistOffset;
using media::kId3v1CommentOffset;
using media::kId3v1TitleOffset;
using media::kId3v1YearOffset;

using TagBytes = std::array<uint8_t, kId3TagBytes>;

// A stored text field: its bytes up to the first NUL, without trailing spaces.
std::string ReadField(std::string_view field) {
  return std::string(media::Id3v1Text(field));
}

// The bytes a text field stores for `text` (at most `width`): Windows-1252 when the code page
// holds every character, else UTF-8 cut at a sequence boundary. A NUL ends the text.
std::string EncodeField(std::string_view text, size_t width) {
  text = text.substr(0, text.find('\0'));
  if (const auto singleByte = platform::Utf8ToWindows1252(text)) {
    return singleByte->substr(0, width);
  }
  return std::string(platform::TruncateUtf8(text, width));
}

void StoreField(TagBytes& tag, size_t offset, size_t width, std::string_view text) {
  const std::string bytes = EncodeField(text, width);
  for (size_t i = 0; i < width; ++i) {
    tag[offset + i] = i < bytes.size() ? static_cast<uint8_t>(bytes[i]) : uint8_t{' '};
  }
}

std::string TagText(std::string_view stored, size_t width) {
  return std::string(platform::TruncateUtf8(platform::ToUtf8FromTagText(stored), width));
}

bool Failure(std::string* error, const std::string& reason) {
  if (error != nullptr) *error = reason;
  return false;
}

std::string SystemReason(const std::string& what, const std::string& path, int code) {
  return what + " " + path + ": " + std::strerror(code);
}

// Where the tag goes in an open file, and what to put back if writing it fails.
struct TagPlace {
  uint64_t oldSize = 0;
  bool overwrites = false;  // an existing tag is replaced in place
  TagBytes oldTag{};        // the bytes replaced, when `overwrites`
};

// Puts the file back as it was before a failed write: the old tag back in place, or the file
// cut back to its old size. Best effort: the write has already failed.
void UndoTagWrite(int fd, const TagPlace& place) {
  if (place.overwrites) {
    platform::WriteAt(fd, place.oldSize - kId3TagBytes, place.oldTag.data(), place.oldTag.size());
  } else if (!platform::TruncateFile(fd, place.oldSize)) {
    return;
  }
  platform::FlushFile(fd);
}

// The descriptor is a regular file (OpenRegularFile checked it).
bool FindTagPlace(int fd, const std::string& path, TagPlace& place, std::string* error) {
  const auto size = platform::FileSize(fd);
  if (!size) return Failure(error, SystemReason("cannot examine", path, errno));
  place.oldSize = *size;
  if (place.oldSize < kId3TagBytes) return true;
  errno = 0;
  const size_t got =
      platform::ReadAt(fd, place.oldSize - kId3TagBytes, place.oldTag.data(), place.oldTag.size());
  if (got != kId3TagBytes && errno != 0) {
    return Failure(error, SystemReason("cannot read", path, errno));
  }
  if (got != kId3TagBytes) return Failure(error, path + " changed while read");
  place.overwrites = media::ParseId3v1Tag(place.oldTag).has_value();
  return true;
}

// The tag for `tags` over an existing one: a field whose text is what reading the existing
// field gives keeps its bytes (so a text cut or converted on reading is not cut again), as do
// the album and the genre byte, which the library does not edit.
TagBytes EditedTag(const TagBytes& old, const SongTags& tags) {
  const auto parsed = ParseId3Tag(old.data(), old.size());
  if (!parsed) return BuildId3Tag(tags);
  const SongTags current = SongTagsFromId3(*parsed);
  TagBytes tag = old;
  if (tags.songName != current.songName)
    StoreField(tag, kId3v1TitleOffset, kId3TitleBytes, tags.songName);
  if (tags.artist != current.artist)
    StoreField(tag, kId3v1ArtistOffset, kId3ArtistBytes, tags.artist);
  if (tags.year != current.year) StoreField(tag, kId3v1YearOffset, kId3YearBytes, tags.year);
  if (tags.genre != current.genre)
    StoreField(tag, kId3v1CommentOffset, kId3CommentBytes, tags.genre);
  return tag;
}

// Writes the tag for `tags` over the file's tag or after its end in one write, and flushes it
// to the disk. An existing tag that already reads as `tags` is left as it is.
bool WriteTagToDescriptor(int fd, const std::string& path, const SongTags& tags,
                          std::string* error) {
  TagPlace place;
  if (!FindTagPlace(fd, path, place, error)) return false;
  const TagBytes tag = place.overwrites ? EditedTag(place.oldTag, tags) : BuildId3Tag(tags);
  if (place.overwrites && tag == place.oldTag) return true;
  const uint64_t offset = place.overwrites ? place.oldSize - kId3TagBytes : place.oldSize;
  if (!platform::WriteAt(fd, offset, tag.data(), tag.size())) {
    const int writeCode = errno;
    UndoTagWrite(fd, place);
    return Failure(error, SystemReason("cannot write the tag to", path, writeCode));
  }
  if (!platform::FlushFile(fd)) {
    const int syncCode = errno;
    UndoTagWrite(fd, place);
    return Failure(error, SystemReason("cannot flush the tag to", path, syncCode));
  }
  return true;
}

// Opens, writes and closes; the caller has made the file writable.
bool WriteTagToPath(const std::string& path, const SongTags& tags, std::string* error) {
  std::string reason;
  const int fd = platform::OpenRegularFile(path, platform::FileAccess::kReadWrite, &reason);
  if (fd < 0) return Failure(error, reason);
  const bool written = WriteTagToDescriptor(fd, path, tags, error);
  if (!platform::CloseFile(fd) && written) {
    return Failure(error, SystemReason("cannot close", path, errno));
  }
  return written;
}

}  // namespace

std::optional<Id3v1Tag> ParseId3Tag(const uint8_t* fileEnd, size_t size) {
  if (fileEnd == nullptr) return std::nullopt;
  const auto fields = media::ParseId3v1Tag({fileEnd, size});
  if (!fields) return std::nullopt;
  Id3v1Tag result;
  result.title = ReadField(fields->title);
  result.artist = ReadField(fields->artist);
  result.album = ReadField(fields->album);
  result.year = ReadField(fields->year);
  result.comment = ReadField(fields->comment);
  result.genre = fields->genre;
  return result;
}

std::optional<Id3v1Tag> ReadId3Tag(const std::string& path) {
  const int fd = platform::OpenRegularFile(path, platform::FileAccess::kRead);
  if (fd < 0) return std::nullopt;
  const auto size = platform::FileSize(fd);
  TagBytes tag{};
  size_t got = 0;
  if (size && *size >= kId3TagBytes) {
    got = platform::ReadAt(fd, *size - kId3TagBytes, tag.data(), tag.size());
  }
  platform::CloseFile(fd);
  if (got != kId3TagBytes) return std::nullopt;
  return ParseId3Tag(tag.data(), tag.size());
}

SongTags SongTagsFromId3(const Id3v1Tag& tag) {
  SongTags tags;
  tags.songName = TagText(tag.title, kSongNameBytes);
  tags.artist = TagText(tag.artist, kArtistBytes);
  tags.year = TagText(tag.year, kYearBytes);
  tags.genre = TagText(tag.comment, kGenreBytes);
  return tags;
}

std::array<uint8_t, kId3TagBytes> BuildId3Tag(const SongTags& tags) {
  TagBytes tag{};  // the album field and the genre byte stay zero
  tag[0] = 'T';
  tag[1] = 'A';
  tag[2] = 'G';
  StoreField(tag, kId3v1TitleOffset, kId3TitleBytes, tags.songName);
  StoreField(tag, kId3v1ArtistOffset, kId3ArtistBytes, tags.artist);
  StoreField(tag, kId3v1YearOffset, kId3YearBytes, tags.year);
  StoreField(tag, kId3v1CommentOffset, kId3CommentBytes, tags.genre);
  return tag;
}

bool WriteId3Tag(const std::string& path, const SongTags& tags, std::string* error) {
  const auto attributes = platform::ReadFileAttributes(path);
  if (!attributes) return Failure(error, SystemReason("cannot examine", path, errno));
  if (attributes->system) {
    return Failure(error, path + " is on a system file system, not a song file");
  }
  const bool madeWritable = attributes->readOnly;
  if (madeWritable && !platform::SetFileAttributesNormal(path, *attributes)) {
    return Failure(error, SystemReason("cannot make writable", path, errno));
  }
  bool written = WriteTagToPath(path, tags, error);
  if (madeWritable && !platform::RestoreFileAttributes(path, *attributes) && written) {
    written = Failure(
        error, SystemReason("tag written, but cannot restore the permissions of", path, errno));
  }
  return written;
}

}  // namespace veltro::tags
