#include "tags/OggComments.h"

#define OV_EXCLUDE_STATIC_CALLBACKS
#include <vorbis/vorbisfile.h>

#include <array>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string_view>
#include <vector>

#include "platform/FileDescriptor.h"
#include "platform/FileIdentity.h"
#include "platform/RegularFile.h"
#include "platform/SafeWrite.h"
#include "platform/TextEncoding.h"
#include "tags/OggCommentEditor.h"

namespace veltro::tags {

namespace {

// The comment names the library reads, and the field each one fills.
enum class Field { kArtist, kSongName, kGenre, kYear };
struct NamedField {
  std::string_view name;
  Field field;
};
constexpr std::array<NamedField, 7> kReadNames = {{
    {"ARTIST", Field::kArtist},
    {"ENSEMBLE", Field::kArtist},
    {"PERFORMER", Field::kArtist},
    {"TITLE", Field::kSongName},
    {"GENRE", Field::kGenre},
    {"DATE", Field::kYear},
    {"YEAR", Field::kYear},
}};

// The comments a rewrite replaces, in the order it writes them.
constexpr std::array<std::string_view, 4> kWrittenNames = {"ARTIST", "TITLE", "GENRE", "DATE"};

using FilePointer = std::unique_ptr<std::FILE, int (*)(std::FILE*)>;

size_t ReadFromFile(void* buffer, size_t size, size_t count, void* file) {
  return std::fread(buffer, size, count, static_cast<std::FILE*>(file));
}
// libvorbisfile's seek: from the start, the current offset or the end, as fseek counts them.
int SeekInFile(void* file, ogg_int64_t offset, int whence) {
  auto* stream = static_cast<std::FILE*>(file);
  int64_t base = 0;
  if (whence == SEEK_CUR) {
    base = platform::StreamOffset(stream);
  } else if (whence == SEEK_END) {
    const auto size = platform::StreamFileSize(stream);
    base = size && *size <= uint64_t{INT64_MAX} ? static_cast<int64_t>(*size) : -1;
  } else if (whence != SEEK_SET) {
    return -1;
  }
  if (base < 0 || offset < -base || offset > INT64_MAX - base) return -1;
  return platform::SeekStream(stream, static_cast<uint64_t>(base + offset)) ? 0 : -1;
}
int CloseFile(void* file) {
  return std::fclose(static_cast<std::FILE*>(file));
}
long TellInFile(void* file) {
  return static_cast<long>(platform::StreamOffset(static_cast<std::FILE*>(file)));
}

constexpr ov_callbacks kFileCallbacks = {ReadFromFile, SeekInFile, CloseFile, TellInFile};

std::string_view FileName(std::string_view path) {
  const size_t slash = path.find_last_of('/');
  return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

std::string Cut(std::string_view text, size_t maxBytes) {
  return std::string(platform::TruncateUtf8(text, maxBytes));
}

// Whole seconds of play time, in milliseconds; 0 when the length is unknown.
int LengthMs(double seconds) {
  if (!(seconds >= 0)) return 0;
  constexpr double kMaxSeconds = INT_MAX / 1000;
  if (seconds > kMaxSeconds) seconds = kMaxSeconds;
  return static_cast<int>(seconds) * 1000;
}

std::string_view NameOf(std::string_view comment) {
  return comment.substr(0, comment.find('='));
}

// "NAME=value": the name is before the first "=", the value after the last one. A comment
// without "=" has no value and is ignored. Names compare without regard to
// ASCII letter case, as Vorbis defines them.
void ApplyComment(std::string_view comment, SongTags& tags) {
  const size_t first = comment.find('=');
  if (first == std::string_view::npos) return;
  const std::string_view name = comment.substr(0, first);
  const std::string_view value = comment.substr(comment.rfind('=') + 1);
  for (const NamedField& named : kReadNames) {
    if (!platform::EqualsIgnoringAsciiCase(named.name, name)) continue;
    switch (named.field) {
      case Field::kArtist:
        tags.artist = Cut(value, kArtistBytes);
        break;
      case Field::kSongName:
        tags.songName = Cut(value, kSongNameBytes);
        break;
      case Field::kGenre:
        tags.genre = Cut(value, kGenreBytes);
        break;
      case Field::kYear:
        tags.year = Cut(value, kYearBytes);
        break;
    }
  }
}

// What reading gives before any comment is applied.
SongTags DefaultTags(const std::string& path) {
  SongTags tags;
  tags.artist = Cut(FileName(path), kArtistBytes);
  return tags;
}

bool Fail(std::string* error, std::string reason) {
  if (error != nullptr) *error = std::move(reason);
  return false;
}

// The editor's comment list made ready for `tags`. A field whose text is what reading the
// song gives (`current`) keeps its comments untouched; for every other field the comments of
// its name, in any letter case, are removed and one new comment follows the kept ones. True
// when anything changed.
bool ReplaceChangedComments(OggCommentEditor& editor, const SongTags& current,
                            const SongTags& tags) {
  const std::array<const std::string*, 4> values = {&tags.artist, &tags.songName, &tags.genre,
                                                    &tags.year};
  const std::array<const std::string*, 4> currentValues = {&current.artist, &current.songName,
                                                           &current.genre, &current.year};
  std::array<bool, 4> changed{};
  for (size_t i = 0; i < changed.size(); ++i) changed[i] = *values[i] != *currentValues[i];
  if (changed == std::array<bool, 4>{}) return false;
  std::vector<std::string> kept;
  for (const std::string& comment : editor.Comments()) {
    bool replaced = false;
    for (size_t i = 0; i < kWrittenNames.size(); ++i) {
      replaced = replaced || (changed[i] &&
                              platform::EqualsIgnoringAsciiCase(NameOf(comment), kWrittenNames[i]));
    }
    if (!replaced) kept.push_back(comment);
  }
  editor.ClearComments();
  for (const std::string& comment : kept) editor.AddComment(comment);
  for (size_t i = 0; i < kWrittenNames.size(); ++i) {
    if (changed[i]) editor.AddTag(kWrittenNames[i], *values[i]);
  }
  return true;
}

// Writes the edited stream to a copy beside the song and renames it over the song.
bool ReplaceSong(const std::string& path, OggCommentEditor& editor,
                 const platform::FileIdentity& identity, std::string* error) {
  auto copy = platform::ReplacementFile::Create(path, error);
  if (!copy) return false;
  std::string writeError;
  const int written = editor.Write([&](const unsigned char* bytes, size_t count) {
    return copy->Write(bytes, count, &writeError);
  });
  if (written != 0) {
    return Fail(error, writeError.empty() ? editor.LastError()
                                          : editor.LastError() + " (" + writeError + ")");
  }
  bool committed = false;
  return copy->Commit(identity, &committed, error);
}

// Opens the song for the editor; the identity its copy is to take goes to `identity`: the
// song's own, made writable for its owner (a read-only song is rewritten and stays writable).
FilePointer OpenSong(const std::string& path, platform::FileIdentity* identity,
                     std::string* error) {
  FilePointer file(platform::OpenRegularFileStream(path, platform::FileAccess::kRead, error),
                   std::fclose);
  if (file == nullptr) return file;
  auto read = platform::ReadFileIdentity(platform::StreamDescriptor(file.get()), path, error);
  if (!read || !platform::MayReplaceInPlace(path, *read, error)) {
    return FilePointer(nullptr, std::fclose);
  }
  *identity = std::move(*read);
  identity->permissions |= 0200;  // the owner's write permission
  return file;
}

}  // namespace

std::optional<OggSongInfo> ReadOggComments(const std::string& path) {
  OggSongInfo song;
  song.tags = DefaultTags(path);
  std::FILE* file = platform::OpenRegularFileStream(path, platform::FileAccess::kRead);
  if (file == nullptr) return std::nullopt;
  OggVorbis_File vorbisFile;
  if (ov_open_callbacks(file, &vorbisFile, nullptr, 0, kFileCallbacks) < 0) {
    std::fclose(file);  // a failed open leaves the file to its caller
    return std::nullopt;
  }
  song.lengthMs = LengthMs(ov_time_total(&vorbisFile, -1));
  const vorbis_comment* comments = ov_comment(&vorbisFile, -1);
  for (int i = 0; comments != nullptr && i < comments->comments; ++i) {
    const char* comment = comments->user_comments[i];
    const int length = comments->comment_lengths[i];
    if (comment != nullptr && length >= 0) {
      ApplyComment(std::string_view(comment, static_cast<size_t>(length)), song.tags);
    }
  }
  ov_clear(&vorbisFile);  // also closes the file
  return song;
}

bool WriteOggComments(const std::string& path, const SongTags& tags, std::string* error) {
  // Copies left by writes that were interrupted (also those of earlier versions).
  platform::RemoveAbandonedReplacements(path);
  platform::RemoveAbandonedTemporaries(path);
  platform::FileIdentity identity;
  const FilePointer file = OpenSong(path, &identity, error);
  if (file == nullptr) return false;
  OggCommentEditor editor;
  std::FILE* input = file.get();
  const int opened = editor.Open([input](char* buffer, size_t size) -> long {
    const size_t count = std::fread(buffer, 1, size, input);
    return count == 0 && std::ferror(input) != 0 ? -1 : static_cast<long>(count);
  });
  if (opened != 0) return Fail(error, editor.LastError());
  SongTags current = DefaultTags(path);
  for (const std::string& comment : editor.Comments()) ApplyComment(comment, current);
  if (!ReplaceChangedComments(editor, current, tags)) return true;  // nothing to change
  return ReplaceSong(path, editor, identity, error);
}

}  // namespace veltro::tags
