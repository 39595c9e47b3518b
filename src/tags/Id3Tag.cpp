#include "tags/Id3Tag.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string_view>

#include "platform/FileAttributes.h"
#include "platform/RegularFile.h"
#include "platform/TextEncoding.h"

namespace veltro::tags {
namespace {

// Byte offsets of the fields inside the 128-byte tag.
constexpr size_t kTitleOffset = 3;
constexpr size_t kArtistOffset = kTitleOffset + kId3TitleBytes;
constexpr size_t kAlbumOffset = kArtistOffset + kId3ArtistBytes;
constexpr size_t kYearOffset = kAlbumOffset + kId3AlbumBytes;
constexpr size_t kCommentOffset = kYearOffset + kId3YearBytes;
constexpr size_t kGenreOffset = kCommentOffset + kId3CommentBytes;
static_assert(kGenreOffset == kId3TagBytes - 1);

using TagBytes = std::array<uint8_t, kId3TagBytes>;

bool StartsWithIdentifier(const uint8_t* tag) {
  return tag[0] == 'T' && tag[1] == 'A' && tag[2] == 'G';
}

// A stored text field: its bytes up to the first NUL, without trailing spaces and NULs.
std::string ReadField(const uint8_t* field, size_t width) {
  size_t end = 0;
  while (end < width && field[end] != 0) ++end;
  while (end > 0 && field[end - 1] == ' ') --end;
  return std::string(reinterpret_cast<const char*>(field), end);
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

ssize_t WriteAt(int fd, const uint8_t* bytes, size_t count, off_t offset) {
  ssize_t written = 0;
  do {
    written = pwrite(fd, bytes, count, offset);
  } while (written < 0 && errno == EINTR);
  return written;
}

ssize_t ReadAt(int fd, uint8_t* bytes, size_t count, off_t offset) {
  ssize_t got = 0;
  do {
    got = pread(fd, bytes, count, offset);
  } while (got < 0 && errno == EINTR);
  return got;
}

// Where the tag goes in an open file, and what to put back if writing it fails.
struct TagPlace {
  off_t oldSize = 0;
  bool overwrites = false;  // an existing tag is replaced in place
  TagBytes oldTag{};        // the bytes replaced, when `overwrites`
};

// Puts the file back as it was before a failed write: the old tag back in place, or the file
// cut back to its old size. Best effort: the write has already failed.
void UndoTagWrite(int fd, const TagPlace& place) {
  if (place.overwrites) {
    WriteAt(fd, place.oldTag.data(), place.oldTag.size(), place.oldSize - off_t{kId3TagBytes});
  } else if (ftruncate(fd, place.oldSize) != 0) {
    return;
  }
  fsync(fd);
}

bool FindTagPlace(int fd, const std::string& path, TagPlace& place, std::string* error) {
  struct stat status {};
  if (fstat(fd, &status) != 0) return Failure(error, SystemReason("cannot examine", path, errno));
  if (!S_ISREG(status.st_mode)) return Failure(error, path + " is not a regular file");
  place.oldSize = status.st_size;
  if (place.oldSize < off_t{kId3TagBytes}) return true;
  const off_t tagStart = place.oldSize - off_t{kId3TagBytes};
  const ssize_t got = ReadAt(fd, place.oldTag.data(), place.oldTag.size(), tagStart);
  if (got < 0) return Failure(error, SystemReason("cannot read", path, errno));
  if (static_cast<size_t>(got) != kId3TagBytes) return Failure(error, path + " changed while read");
  place.overwrites = StartsWithIdentifier(place.oldTag.data());
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
    StoreField(tag, kTitleOffset, kId3TitleBytes, tags.songName);
  if (tags.artist != current.artist) StoreField(tag, kArtistOffset, kId3ArtistBytes, tags.artist);
  if (tags.year != current.year) StoreField(tag, kYearOffset, kId3YearBytes, tags.year);
  if (tags.genre != current.genre) StoreField(tag, kCommentOffset, kId3CommentBytes, tags.genre);
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
  const off_t offset = place.overwrites ? place.oldSize - off_t{kId3TagBytes} : place.oldSize;
  const ssize_t written = WriteAt(fd, tag.data(), tag.size(), offset);
  const int writeCode = errno;
  if (written < 0 || static_cast<size_t>(written) != kId3TagBytes) {
    UndoTagWrite(fd, place);
    if (written < 0)
      return Failure(error, SystemReason("cannot write the tag to", path, writeCode));
    return Failure(error, "cannot write the tag to " + path + ": only " + std::to_string(written) +
                              " of 128 bytes were written");
  }
  if (fsync(fd) != 0) {
    const int syncCode = errno;
    UndoTagWrite(fd, place);
    return Failure(error, SystemReason("cannot flush the tag to", path, syncCode));
  }
  return true;
}

// Opens, writes and closes; the caller has made the file writable.
bool WriteTagToPath(const std::string& path, const SongTags& tags, std::string* error) {
  const int fd = open(path.c_str(), O_RDWR | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
  if (fd < 0) return Failure(error, SystemReason("cannot open for writing", path, errno));
  const bool written = WriteTagToDescriptor(fd, path, tags, error);
  if (close(fd) != 0 && written) {
    return Failure(error, SystemReason("cannot close", path, errno));
  }
  return written;
}

}  // namespace

std::optional<Id3v1Tag> ParseId3Tag(const uint8_t* fileEnd, size_t size) {
  if (fileEnd == nullptr || size < kId3TagBytes) return std::nullopt;
  const uint8_t* tag = fileEnd + (size - kId3TagBytes);
  if (!StartsWithIdentifier(tag)) return std::nullopt;
  Id3v1Tag result;
  result.title = ReadField(tag + kTitleOffset, kId3TitleBytes);
  result.artist = ReadField(tag + kArtistOffset, kId3ArtistBytes);
  result.album = ReadField(tag + kAlbumOffset, kId3AlbumBytes);
  result.year = ReadField(tag + kYearOffset, kId3YearBytes);
  result.comment = ReadField(tag + kCommentOffset, kId3CommentBytes);
  result.genre = tag[kGenreOffset];
  return result;
}

std::optional<Id3v1Tag> ReadId3Tag(const std::string& path) {
  const int fd = platform::OpenRegularFile(path, platform::FileAccess::kRead);
  if (fd < 0) return std::nullopt;
  struct stat status {};
  TagBytes tag{};
  ssize_t got = -1;
  if (fstat(fd, &status) == 0 && status.st_size >= off_t{kId3TagBytes}) {
    got = ReadAt(fd, tag.data(), tag.size(), status.st_size - off_t{kId3TagBytes});
  }
  close(fd);
  if (got < 0 || static_cast<size_t>(got) != kId3TagBytes) return std::nullopt;
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
  StoreField(tag, kTitleOffset, kId3TitleBytes, tags.songName);
  StoreField(tag, kArtistOffset, kId3ArtistBytes, tags.artist);
  StoreField(tag, kYearOffset, kId3YearBytes, tags.year);
  StoreField(tag, kCommentOffset, kId3CommentBytes, tags.genre);
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
