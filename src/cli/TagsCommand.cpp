// `veltro-cli tags`: reads and writes a song's tags through the same functions the library
// scan and the tag editor use, so their results can be checked from a shell.
#include "cli/TagsCommand.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <optional>
#include <string>

#include "cli/CliSupport.h"
#include "cli/CommandTable.h"
#include "platform/RegularFile.h"
#include "platform/TextEncoding.h"
#include "tags/Id3Tag.h"
#include "tags/OggComments.h"
#include "tags/SongTags.h"

namespace veltro::cli {
namespace {

using tags::SongTags;

enum class TagFormat { kId3, kVorbis, kNone };

int Usage() {
  return PrintUsage("tags");
}

// The format the file name's extension stands for, compared without regard to case.
TagFormat FormatOf(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  const size_t dot = path.find_last_of('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) {
    return TagFormat::kNone;
  }
  std::string extension = path.substr(dot);
  std::transform(extension.begin(), extension.end(), extension.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  if (extension == ".mp3") return TagFormat::kId3;
  if (extension == ".ogg") return TagFormat::kVorbis;
  return TagFormat::kNone;
}

// A reason when `path` is not a regular file that can be read. The file is opened without
// waiting, so a FIFO or a device with a song's name is refused, never waited on.
std::optional<std::string> UnreadableProblem(const std::string& path) {
  std::string reason;
  std::FILE* file = platform::OpenRegularFileStream(path, platform::FileAccess::kRead, &reason);
  if (file == nullptr) return reason;
  std::fclose(file);
  return std::nullopt;
}

// "name: value", control bytes of the value escaped so that a tag cannot break the line.
void PrintField(const char* name, const std::string& value) {
  std::string line = std::string(name) + ": ";
  AppendPrintable(line, value);
  std::printf("%s\n", line.c_str());
}

void PrintTags(const SongTags& tags) {
  PrintField("artist", tags.artist);
  PrintField("title", tags.songName);
  PrintField("genre", tags.genre);
  PrintField("year", tags.year);
}

int ReadTags(const std::string& path) {
  const TagFormat format = FormatOf(path);
  if (format == TagFormat::kNone) {
    return Fail("cannot read tags of " + path + ": only .mp3 and .ogg files carry tags");
  }
  if (const auto problem = UnreadableProblem(path)) return Fail(*problem);
  if (format == TagFormat::kId3) {
    const auto tag = tags::ReadId3Tag(path);
    if (tag) {
      PrintTags(tags::SongTagsFromId3(*tag));
    } else {
      std::printf("no tag\n");
    }
  } else {
    const auto song = tags::ReadOggComments(path);
    if (!song) return Fail(path + " is not an Ogg Vorbis file");
    PrintTags(song->tags);
    std::printf("length ms: %d\n", song->lengthMs);
  }
  if (std::fflush(stdout) != 0 || std::ferror(stdout)) return Fail("cannot write the output");
  return 0;
}

// The texts given on the command line; a field left out keeps what the song holds.
struct TagOptions {
  std::optional<std::string> artist;
  std::optional<std::string> songName;
  std::optional<std::string> genre;
  std::optional<std::string> year;
};

// The option's text, cut to the library field's width; an error text when it is not UTF-8.
std::optional<std::string> TakeText(std::string_view option, std::string_view value,
                                    size_t widthBytes, std::optional<std::string>& field) {
  if (!platform::IsValidUtf8(value)) return std::string(option) + " is not valid UTF-8";
  field = std::string(platform::TruncateUtf8(value, widthBytes));
  return std::nullopt;
}

// Parses the words after "write FILE"; an error text on bad input.
std::optional<std::string> ParseTagOptions(const std::vector<std::string_view>& args,
                                           TagOptions& tags) {
  for (size_t i = 0; i < args.size(); i += 2) {
    const std::string_view option = args[i];
    if (i + 1 >= args.size()) return std::string(option) + " needs a value";
    const std::string_view value = args[i + 1];
    std::optional<std::string> problem;
    if (option == "--artist") {
      problem = TakeText(option, value, tags::kArtistBytes, tags.artist);
    } else if (option == "--title") {
      problem = TakeText(option, value, tags::kSongNameBytes, tags.songName);
    } else if (option == "--genre") {
      problem = TakeText(option, value, tags::kGenreBytes, tags.genre);
    } else if (option == "--year") {
      problem = TakeText(option, value, tags::kYearBytes, tags.year);
    } else {
      return "unexpected argument '" + std::string(option) + "'";
    }
    if (problem) return problem;
  }
  return std::nullopt;
}

// What reading the song gives now; an error text when it cannot be read.
std::optional<std::string> ReadCurrentTags(const std::string& path, TagFormat format,
                                           SongTags& current) {
  if (const auto problem = UnreadableProblem(path)) return problem;
  if (format == TagFormat::kId3) {
    const auto tag = tags::ReadId3Tag(path);
    current = tag ? tags::SongTagsFromId3(*tag) : SongTags{};
    return std::nullopt;
  }
  const auto song = tags::ReadOggComments(path);
  if (!song) return "nothing written to " + path + ": it is not an Ogg Vorbis file";
  current = song->tags;
  return std::nullopt;
}

int WriteTags(const std::string& path, const TagOptions& options) {
  const TagFormat format = FormatOf(path);
  if (format == TagFormat::kNone) {
    return Fail("nothing written to " + path + ": only .mp3 and .ogg files carry tags");
  }
  SongTags tags;
  if (const auto problem = ReadCurrentTags(path, format, tags)) return Fail(*problem);
  tags.artist = options.artist.value_or(tags.artist);
  tags.songName = options.songName.value_or(tags.songName);
  tags.genre = options.genre.value_or(tags.genre);
  tags.year = options.year.value_or(tags.year);
  std::string error;
  const bool written = format == TagFormat::kId3 ? tags::WriteId3Tag(path, tags, &error)
                                                 : tags::WriteOggComments(path, tags, &error);
  if (!written) return Fail(error.empty() ? "cannot write the tags of " + path : error);
  return 0;
}

}  // namespace

int RunTagsCommand(const std::vector<std::string_view>& args) {
  if (args.size() < 2 || args[1].starts_with("--")) return Usage();
  const std::string path(args[1]);
  if (args[0] == "read") return args.size() == 2 ? ReadTags(path) : Usage();
  if (args[0] != "write") return Usage();
  TagOptions tags;
  if (const auto problem = ParseTagOptions({args.begin() + 2, args.end()}, tags)) {
    Fail(*problem);
    return Usage();
  }
  return WriteTags(path, tags);
}

}  // namespace veltro::cli
