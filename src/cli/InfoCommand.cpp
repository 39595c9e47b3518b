// `veltro-cli info`: one scan with the folder scan's settings (no callback, no stop mask, no
// search limit) and a frame limit of the user's choice, printed field by field.
#include "cli/InfoCommand.h"

#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "cli/CliArguments.h"
#include "cli/CliSupport.h"
#include "cli/CommandTable.h"
#include "media/mp3info/Id3Genre.h"
#include "media/mp3info/Id3Layout.h"
#include "media/mp3info/Mp3InfoScanner.h"
#include "media/mpeg/MpegHeader.h"
#include "platform/ByteOrder.h"
#include "platform/Interrupt.h"
#include "platform/RegularFile.h"
#include "platform/TextEncoding.h"

namespace veltro::cli {
namespace {

int Usage() {
  return PrintUsage("info");
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

// ID3v1 texts are single-byte Windows-1252; printed as UTF-8, control bytes as \xHH so that a
// tag cannot break the line or drive the terminal.
void PrintText(const char* name, const char* text) {
  if (text == nullptr) {
    std::printf("%s: (no ID3v1 tag)\n", name);
    return;
  }
  std::string line = std::string(name) + ": ";
  AppendPrintable(line, platform::ToUtf8FromTagText(text));
  std::printf("%s\n", line.c_str());
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

// A free-format frame header: every field valid but the bitrate, which the header leaves out
// (index 0). Such streams are not decoded here, so the scan finds no frame in them.
bool IsFreeFormatHeader(uint32_t word) {
  constexpr int kAllowedWithEveryMode = 8;  // 128 kbit/s, valid for every level, layer and mode
  if (!media::HasSyncWord(word)) return false;
  media::MpegFrameHeader header = media::UnpackHeader(word);
  if (header.bitrateIndex != 0) return false;
  header.bitrateIndex = kAllowedWithEveryMode;
  return media::IsValidHeader(header);
}

// True when the head of the file (behind an ID3v2 tag) holds the same free-format header at
// least twice: a free-format stream, not a chance pattern.
bool HoldsFreeFormatAudio(const std::string& path) {
  constexpr size_t kHeadBytes = 64 * 1024;
  std::FILE* file = platform::OpenRegularFileStream(path, platform::FileAccess::kRead);
  if (file == nullptr) return false;
  std::vector<uint8_t> head(kHeadBytes);
  size_t got = std::fread(head.data(), 1, head.size(), file);
  if (const auto id3v2 = media::ParseId3v2Header(std::span(head.data(), got))) {
    got = std::fseek(file, static_cast<long>(id3v2->tagBytes), SEEK_SET) == 0
              ? std::fread(head.data(), 1, head.size(), file)
              : 0;
  }
  std::fclose(file);
  std::optional<uint32_t> first;
  for (size_t i = 0; i + 4 <= got; ++i) {
    const uint32_t word = platform::LoadBigEndian32(&head[i]);
    if (!IsFreeFormatHeader(word)) continue;
    if (first && *first == word) return true;
    if (!first) first = word;
  }
  return false;
}

// Stops the walk once the user asked to stop (Ctrl-C).
int StopWhenInterrupted(void* /*clientData*/, const media::Mp3InfoFrame* /*frame*/) {
  return platform::InterruptRequested() ? 1 : 0;
}

// Why `path` could not be opened, in the platform's words ("x.mp3 is a FIFO, not a regular
// file"), or the scanner's code name when it opens after all.
std::string OpenFailureReason(const std::string& path, int code) {
  std::string reason;
  std::FILE* file = platform::OpenRegularFileStream(path, platform::FileAccess::kRead, &reason);
  if (file == nullptr) return reason;
  std::fclose(file);
  return CodeName(code);
}

}  // namespace

int RunInfoCommand(const std::vector<std::string_view>& args) {
  InfoOptions options;
  if (const auto error = ParseInfoArguments(args, options)) {
    Fail(*error);
    return Usage();
  }
  media::Mp3InfoScanner* created = nullptr;
  if (media::mp3info_new(&created) != media::kMp3InfoOk) return Fail("out of memory");
  // The tag texts of `info` point into the scanner: it lives until they are printed.
  const std::unique_ptr<media::Mp3InfoScanner, void (*)(media::Mp3InfoScanner*)> scanner(
      created, media::mp3info_delete);
  media::Mp3Info info{};
  const int result = media::mp3info_scan(scanner.get(), options.path.c_str(), StopWhenInterrupted,
                                         nullptr, &info, 0, 0, options.frameLimit);
  if (platform::InterruptRequested()) return Interrupted();
  if (result == media::kMp3InfoCannotOpen) {
    return Fail("cannot scan " + options.path + ": code " + std::to_string(result) + " (" +
                OpenFailureReason(options.path, result) + ")");
  }
  if (result != media::kMp3InfoOk) {
    return Fail("cannot scan " + options.path + ": code " + std::to_string(result) + " (" +
                CodeName(result) + ")");
  }
  if (info.frames == 0 && HoldsFreeFormatAudio(options.path)) {
    return Fail(options.path +
                " holds free-format MPEG audio (no bitrate in its frame headers),"
                " which cannot be scanned");
  }
  if (info.frames == 0) return Fail(options.path + " holds no MPEG audio");
  PrintInfo(info);
  return 0;
}

}  // namespace veltro::cli
