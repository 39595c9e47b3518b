#include "tags/OggComments.h"

#define OV_EXCLUDE_STATIC_CALLBACKS
#include <vorbis/vorbisfile.h>

#include <array>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string_view>

#include "platform/FileAttributes.h"
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
int SeekInFile(void* file, ogg_int64_t offset, int whence) {
  return fseeko(static_cast<std::FILE*>(file), static_cast<off_t>(offset), whence);
}
int CloseFile(void* file) {
  return std::fclose(static_cast<std::FILE*>(file));
}
long TellInFile(void* file) {
  return static_cast<long>(ftello(static_cast<std::FILE*>(file)));
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

// "NAME=value": the name is before the first "=", the value after the last one. A comment
// without "=" has no value and is ignored.
void ApplyComment(std::string_view comment, SongTags& tags) {
  const size_t first = comment.find('=');
  if (first == std::string_view::npos) return;
  const std::string_view name = comment.substr(0, first);
  const std::string_view value = comment.substr(comment.rfind('=') + 1);
  for (const NamedField& named : kReadNames) {
    if (named.name != name) continue;
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

bool Fail(std::string* error, std::string reason) {
  if (error != nullptr) *error = std::move(reason);
  return false;
}

// The editor's comment list made ready for `tags`: every comment except the four the library
// writes keeps its place, then the four follow with the new values.
void ReplaceLibraryComments(OggCommentEditor& editor, const SongTags& tags) {
  std::vector<std::string> kept;
  for (const std::string& comment : editor.Comments()) {
    const std::string_view name = std::string_view(comment).substr(0, comment.find('='));
    bool replaced = false;
    for (std::string_view written : kWrittenNames) replaced = replaced || name == written;
    if (!replaced) kept.push_back(comment);
  }
  editor.ClearComments();
  for (const std::string& comment : kept) editor.AddComment(comment);
  const std::array<const std::string*, 4> values = {&tags.artist, &tags.songName, &tags.genre,
                                                    &tags.year};
  for (size_t i = 0; i < kWrittenNames.size(); ++i) editor.AddTag(kWrittenNames[i], *values[i]);
}

// Writes the edited stream beside the song and renames it over the song; `replaced` tells
// whether the rename happened (a failure to flush the folder comes after it).
bool ReplaceSong(const std::string& path, OggCommentEditor& editor, bool* replaced,
                 std::string* error) {
  auto pending = platform::PendingFile::Create(path, error);
  if (!pending) return false;
  std::string writeError;
  const int written = editor.Write([&](const unsigned char* bytes, size_t count) {
    return pending->Write(bytes, count, &writeError);
  });
  if (written != 0) {
    return Fail(error, writeError.empty() ? editor.LastError()
                                          : editor.LastError() + " (" + writeError + ")");
  }
  if (!pending->Flush(error) || !pending->Replace(error)) return false;
  *replaced = true;
  return platform::SyncDirectoryOf(pending->Target(), error);
}

}  // namespace

std::optional<OggSongInfo> ReadOggComments(const std::string& path) {
  OggSongInfo song;
  song.tags.artist = Cut(FileName(path), kArtistBytes);
  std::FILE* file = std::fopen(path.c_str(), "rb");
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
  platform::RemoveAbandonedTemporaries(path);  // left by a write that was interrupted
  const auto attributes = platform::ReadFileAttributes(path);
  FilePointer file(std::fopen(path.c_str(), "rb"), std::fclose);
  if (!attributes || file == nullptr) {
    return Fail(error, "cannot open " + path + ": " + std::strerror(errno));
  }
  OggCommentEditor editor;
  std::FILE* input = file.get();
  const int opened = editor.Open([input](char* buffer, size_t size) -> long {
    const size_t count = std::fread(buffer, 1, size, input);
    return count == 0 && std::ferror(input) != 0 ? -1 : static_cast<long>(count);
  });
  if (opened != 0) return Fail(error, editor.LastError());
  ReplaceLibraryComments(editor, tags);
  // The new file takes the song's permission bits when it is flushed: making the song writable
  // for its owner first gives the rewritten song that permission. A failure restores the bits.
  if (attributes->readOnly && !platform::SetFileAttributesNormal(path, *attributes)) {
    return Fail(error, "cannot make " + path + " writable: " + std::strerror(errno));
  }
  bool replaced = false;
  const bool rewritten = ReplaceSong(path, editor, &replaced, error);
  if (!replaced && attributes->readOnly) platform::RestoreFileAttributes(path, *attributes);
  return rewritten;
}

}  // namespace veltro::tags
