// `veltro-cli info`: one scan with the folder scan's settings (no callback, no stop mask, no
// search limit) and a frame limit of the user's choice, printed field by field.
#include "cli/InfoCommand.h"

#include <cstdio>
#include <optional>
#include <string>

#include "cli/CliSupport.h"
#include "media/Id3Genre.h"
#include "media/Mp3InfoScanner.h"
#include "platform/TextEncoding.h"

namespace veltro::cli {
namespace {

constexpr int kExitUsage = 2;
constexpr int kDefaultFrameLimit = 50;

struct InfoOptions {
  std::string path;
  int frameLimit = kDefaultFrameLimit;
};

int Usage() {
  std::fprintf(stderr, "usage: veltro-cli info FILE [--frames N]\n");
  return kExitUsage;
}

// An error text on bad arguments.
std::optional<std::string> ParseOptions(const std::vector<std::string_view>& args,
                                        InfoOptions& options) {
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string_view arg = args[i];
    if (arg == "--frames" && i + 1 < args.size()) {
      const auto frames = ParseInt(args[++i]);
      if (!frames || *frames < 0) return "--frames takes a number of frames, 0 for all";
      options.frameLimit = *frames;
    } else if (!arg.starts_with("--") && options.path.empty()) {
      options.path = std::string(arg);
    } else {
      return "unexpected argument '" + std::string(arg) + "'";
    }
  }
  if (options.path.empty()) return "info needs a file";
  return std::nullopt;
}

const char* CodeName(int code) {
  switch (code) {
    case media::kMp3InfoReadError:
      return "read error";
    case media::kMp3InfoOutOfMemory:
      return "out of memory";
    case media::kMp3InfoFileNotFound:
      return "file not found";
    case media::kMp3InfoCannotOpen:
      return "cannot open the file";
    case media::kMp3InfoStopMaskHit:
      return "a watched property changed";
    case media::kMp3InfoNoHeaderInLimit:
      return "no frame header within the search limit";
    default:
      return "scan failed";
  }
}

void PrintNumber(const char* name, int value) {
  if (value == -1) {
    std::printf("%s: unknown\n", name);
  } else {
    std::printf("%s: %d\n", name, value);
  }
}

// ID3v1 texts are single-byte Windows-1252; printed as UTF-8.
void PrintText(const char* name, const char* text) {
  if (text == nullptr) {
    std::printf("%s: (no ID3v1 tag)\n", name);
    return;
  }
  std::printf("%s: %s\n", name, platform::ToUtf8FromTagText(text).c_str());
}

void PrintInfo(const media::Mp3Info& info) {
  PrintNumber("level", info.level);
  PrintNumber("layer", info.layer);
  PrintNumber("bitrate", info.bitrate);
  PrintNumber("frequency", info.frequency);
  PrintNumber("mode", info.mode);
  PrintNumber("channels", info.channels);
  PrintText("title", info.title);
  PrintText("artist", info.artist);
  PrintText("album", info.album);
  PrintText("year", info.year);
  PrintText("comment", info.comment);
  const bool tagged = (info.flags & media::kMp3InfoId3v1Tag) != 0;
  const char* genreName = tagged ? media::Id3GenreName(info.genre) : nullptr;
  std::printf("genre: %d%s%s%s\n", info.genre, genreName != nullptr ? " (" : "",
              genreName != nullptr ? genreName : "", genreName != nullptr ? ")" : "");
  std::printf("frames: %d\n", info.frames);
  std::printf("duration: %d\n", info.duration);
  std::printf("flags: 0x%x\n", static_cast<unsigned>(info.flags));
}

}  // namespace

int RunInfoCommand(const std::vector<std::string_view>& args) {
  InfoOptions options;
  if (const auto error = ParseOptions(args, options)) {
    std::fprintf(stderr, "veltro-cli: %s\n", error->c_str());
    return Usage();
  }
  media::Mp3InfoScanner* scanner = nullptr;
  if (media::mp3info_new(&scanner) != media::kMp3InfoOk) return Fail("out of memory");
  media::Mp3Info info{};
  const int result = media::mp3info_scan(scanner, options.path.c_str(), nullptr, nullptr, &info, 0,
                                         0, options.frameLimit);
  if (result == media::kMp3InfoOk) PrintInfo(info);
  media::mp3info_delete(scanner);
  if (result != media::kMp3InfoOk) {
    return Fail("cannot scan " + options.path + ": code " + std::to_string(result) + " (" +
                CodeName(result) + ")");
  }
  return 0;
}

}  // namespace veltro::cli
