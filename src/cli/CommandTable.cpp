#include "cli/CommandTable.h"

#include <cstdio>

#include "cli/CliSupport.h"

namespace veltro::cli {
namespace {

constexpr int kExitUsage = 2;

constexpr std::string_view kDevicesForms[] = {"devices"};
constexpr std::string_view kPlayForms[] = {
    "play FILE [--device GUID|null] [--pitch V] [--mastertempo] [--start HUNDREDTHS]"};
constexpr std::string_view kLibraryForms[] = {
    "library stats",
    "library list [--order artist|songname|genre|year|path] [--from ROW] [--count N]",
    "library find artist|songname|genre|year TEXT",
    "library search ARTIST TITLE GENRE YEAR",
    "library check",
};
constexpr std::string_view kScanForms[] = {
    "scan FOLDER... [--no-mp3] [--no-ogg] [--no-wav] [--clean] [--progress]"};
constexpr std::string_view kDecodeForms[] = {"decode IN OUT [--channels N] [--downsample N]"};
constexpr std::string_view kInfoForms[] = {"info FILE [--frames N]"};
constexpr std::string_view kTagsForms[] = {
    "tags read FILE",
    "tags write FILE [--artist A] [--title T] [--genre G] [--year Y]",
};
constexpr std::string_view kControllerForms[] = {"controller PORT  (a device path or COMn)"};

constexpr CommandEntry kCommands[] = {
    {"devices", "list the sound output devices, \"Null output\" last", kDevicesForms, ""},
    {"play", "play one WAV, Ogg Vorbis or MP3 song to its end, printing the time each second",
     kPlayForms, ""},
    {"library", "show, search and check the song library in the current directory (Data/)",
     kLibraryForms, ""},
    {"scan", "add the songs of folders to the library in the current directory", kScanForms, ""},
    {"decode", "decode MPEG audio to 16-bit PCM", kDecodeForms,
     "(OUT wav:FILE, raw:FILE, aiff:FILE, sun:FILE or - streams; IN may be -)"},
    {"info", "show what the folder scan learns about an MPEG audio file", kInfoForms, ""},
    {"tags", "read or write a song's artist, title, genre and year", kTagsForms, ""},
    {"controller", "print each action a serial hardware controller sends", kControllerForms, ""},
};

void PrintText(std::FILE* out, std::string_view lead, std::string_view text) {
  std::fprintf(out, "%.*s%.*s\n", static_cast<int>(lead.size()), lead.data(),
               static_cast<int>(text.size()), text.data());
}

void PrintHelpEntry(const CommandEntry& command) {
  std::printf("  %-12.*s%.*s\n", static_cast<int>(command.name.size()), command.name.data(),
              static_cast<int>(command.summary.size()), command.summary.data());
  for (const std::string_view form : command.forms) PrintText(stdout, "      veltro-cli ", form);
  if (!command.note.empty()) PrintText(stdout, "        ", command.note);
}

}  // namespace

std::span<const CommandEntry> Commands() {
  return kCommands;
}

int PrintUsage(std::string_view name) {
  std::string_view lead = "usage: veltro-cli ";
  for (const CommandEntry& command : kCommands) {
    if (!name.empty() && command.name != name) continue;
    for (const std::string_view form : command.forms) {
      PrintText(stderr, lead, form);
      lead = "       veltro-cli ";
    }
    if (!command.note.empty()) PrintText(stderr, "         ", command.note);
  }
  return kExitUsage;
}

int PrintHelp() {
  std::printf(
      "usage: veltro-cli COMMAND [ARGUMENT...]\n"
      "\n"
      "The command-line companion of the Veltro DJ program: its sound devices, decks, song\n"
      "library, decoders, tags and controller link, from a shell.\n"
      "\n"
      "commands:\n");
  for (const CommandEntry& command : kCommands) PrintHelpEntry(command);
  std::printf(
      "\n"
      "options:\n"
      "  --help, -h, help  print this help\n"
      "  --version         print the version\n"
      "\n"
      "exit status: 0 success, 1 failure, 2 usage, 130 interrupted (Ctrl-C)\n");
  if (std::fflush(stdout) != 0 || std::ferror(stdout)) return Fail("cannot write the output");
  return 0;
}

}  // namespace veltro::cli
