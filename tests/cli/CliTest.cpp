// Runs the real veltro-cli binary on generated songs and checks its exit status and output.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include "BuildInfo.h"
#include "support/Fixtures.h"
#include "support/ShellRun.h"
#include "support/TempDir.h"

namespace veltro::testing {
namespace {

using RunResult = ShellRun;

// Runs veltro-cli with `arguments`; `environment` ("NAME=value ") is put before the command.
RunResult RunCli(const std::string& arguments, const std::string& environment = "") {
  return RunShell(environment + std::string(VELTRO_CLI) + " " + arguments + " 2>&1");
}

// The times "hh:mm:ss:cc" that the play command printed, one per line, in hundredths.
std::vector<int> PrintedHundredths(const std::string& output) {
  std::vector<int> times;
  size_t start = 0;
  while (start < output.size()) {
    const size_t end = std::min(output.find('\n', start), output.size());
    int h = 0, m = 0, sec = 0, cc = 0;
    const std::string line = output.substr(start, end - start);
    if (std::sscanf(line.c_str(), "%d:%d:%d:%d", &h, &m, &sec, &cc) == 4)
      times.push_back(((h * 60 + m) * 60 + sec) * 100 + cc);
    start = end + 1;
  }
  return times;
}

std::string LastLine(const std::string& text) {
  const size_t end = text.find_last_not_of('\n');
  if (end == std::string::npos) return "";
  const size_t start = text.rfind('\n', end);
  return text.substr(start == std::string::npos ? 0 : start + 1,
                     end - (start == std::string::npos ? 0 : start + 1) + 1);
}

class CliTest : public ::testing::Test {
 protected:
  TempDir dir_;
};

TEST_F(CliTest, DevicesListsNullOutputLast) {
  const RunResult run = RunCli("devices");
  EXPECT_EQ(run.status, 0);
  const std::string last = LastLine(run.output);
  EXPECT_EQ(last.size(), 38u + 2u + std::string("Null output").size()) << last;
  EXPECT_EQ(last.front(), '{');
  EXPECT_NE(last.find("  Null output"), std::string::npos) << last;
}

TEST_F(CliTest, PlaysWavAndOggToTheEndOnNullOutput) {
  const std::string wav = dir_.File("three seconds.wav");
  WriteBytes(wav, MakeWav(PcmLayout(2, 44100), Pcm16Bytes(MusicLike(44100, 3.0, 2))));
  const std::string ogg = dir_.File("three.OGG");
  ASSERT_TRUE(WriteOgg(ogg, MusicLike(44100, 3.0, 2), 2, 44100));
  for (const std::string& song : {wav, ogg}) {
    const RunResult run = RunCli("play '" + song + "' --device null");
    EXPECT_EQ(run.status, 0) << run.output;
    // The elapsed time is printed once a second of wall time, from the first second on, rising.
    // The device's clock may run in bursts on a busy machine, so the seconds printed need not
    // be 0, 1, 2; but a three-second song is heard for three seconds and more.
    const std::vector<int> times = PrintedHundredths(run.output);
    ASSERT_GE(times.size(), 3u) << run.output;
    EXPECT_LT(times[0], 100) << run.output;
    EXPECT_TRUE(std::is_sorted(times.begin(), times.end())) << run.output;
    EXPECT_GE(times.back(), 150) << run.output;
  }
}

TEST_F(CliTest, PlaysWithMastertempoPitchAndStart) {
  const std::string wav = dir_.File("song.wav");
  WriteBytes(wav, MakeWav(PcmLayout(1, 22050), Pcm16Bytes(Sine(440, 22050, 3.0, 1))));
  const RunResult run =
      RunCli("play " + wav + " --device null --pitch -30 --mastertempo --start 150");
  EXPECT_EQ(run.status, 0) << run.output;
  EXPECT_EQ(run.output.rfind("00:00:01:", 0), 0u) << run.output;
}

// ALSA's "null" PCM as the default device gives PortAudio a real output stream to drive on a
// machine without sound hardware: the whole path through a PortAudio callback is exercised.
TEST_F(CliTest, PlaysOnAPortAudioDevice) {
  const std::string config = dir_.File("asound.conf");
  WriteBytes(config,
             "</usr/share/alsa/alsa.conf>\npcm.!default { type null }\n"
             "ctl.!default { type hw card 0 }\n");
  const std::string env = "ALSA_CONFIG_PATH=" + config + " ";
  const RunResult devices = RunCli("devices", env);
  const size_t line = devices.output.find("  ALSA: default\n");
  if (line == std::string::npos || line < 38) GTEST_SKIP() << "no ALSA host API here";
  const std::string guid = devices.output.substr(line - 38, 38);

  const std::string wav = dir_.File("song.wav");
  WriteBytes(wav, MakeWav(PcmLayout(2, 44100), Pcm16Bytes(MusicLike(44100, 1.5, 2))));
  const RunResult run = RunCli("play " + wav + " --device '" + guid + "'", env);
  EXPECT_EQ(run.status, 0) << run.output;
  EXPECT_EQ(run.output.rfind("00:00:00:", 0), 0u) << run.output;
}

TEST_F(CliTest, RefusesWhatItCannotPlayWithOneLine) {
  const std::string garbage = dir_.File("noise.wav");
  WriteBytes(garbage, std::string(4000, '\x55'));
  const std::string text = dir_.File("notes.txt");
  WriteBytes(text, "not a song");
  const std::string fifo = dir_.File("x.mp3");  // no writer: opening it must not wait
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  struct Case {
    std::string arguments;
    std::string expected;
  } cases[] = {
      {"play " + dir_.File("missing.ogg") + " --device null", "cannot play"},
      {"play " + garbage + " --device null", "not a WAV file"},
      {"play " + text + " --device null", "unsupported file type"},
      {"play " + garbage + " --device {00000000-0000-0000-0000-000000000000}",
       "cannot open sound device"},
      {"play " + garbage + " --pitch 129 --device null", "--pitch takes"},
      {"play " + fifo + " --device null", fifo + " is a FIFO, not a regular file"},
  };
  for (const Case& c : cases) {
    const RunResult run = RunCli(c.arguments, "timeout 10 ");
    EXPECT_EQ(run.status, 1) << c.arguments;
    EXPECT_NE(run.output.find(c.expected), std::string::npos) << run.output;
    EXPECT_EQ(run.output.find('\n'), run.output.size() - 1) << run.output;  // one line
  }
  EXPECT_EQ(RunCli("").status, 2);
  EXPECT_EQ(RunCli("play").status, 1);
}

TEST_F(CliTest, VersionPrintsTheBuildsVersion) {
  const RunResult run = RunCli("--version");
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.output, std::string("veltro-cli ") + veltro::kVersion + "\n");
  const std::string version = veltro::kVersion;
  EXPECT_EQ(std::count(version.begin(), version.end(), '.'), 2) << version;
  EXPECT_EQ(version.find_first_not_of("0123456789."), std::string::npos) << version;
}

// A command as --help lists it: its name and its forms, each without the leading "veltro-cli".
struct HelpCommand {
  std::string name;
  std::vector<std::string> forms;
};

// The "commands:" section of the help: a name line ("  play   summary") then its form lines
// ("      veltro-cli play FILE ..."), up to the empty line that ends the section.
std::vector<HelpCommand> HelpCommands(const std::string& help) {
  std::vector<HelpCommand> commands;
  std::istringstream lines(help.substr(std::min(help.find("\ncommands:\n"), help.size())));
  std::string line;
  std::getline(lines, line);
  std::getline(lines, line);
  const std::string formLead = "      veltro-cli ";
  while (std::getline(lines, line) && !line.empty()) {
    if (line.starts_with(formLead) && !commands.empty()) {
      commands.back().forms.push_back(line.substr(formLead.size()));
    } else if (line.size() > 2 && line[2] != ' ') {
      commands.push_back({line.substr(2, line.find(' ', 2) - 2), {}});
    }
  }
  return commands;
}

std::vector<std::string> Words(const std::string& text) {
  std::istringstream stream(text);
  std::vector<std::string> words;
  for (std::string word; stream >> word;) words.push_back(word);
  return words;
}

// Every "--name" in `text` (letters, digits and dashes after the two dashes).
std::vector<std::string> OptionsIn(const std::string& text) {
  std::vector<std::string> options;
  for (size_t at = text.find("--"); at != std::string::npos; at = text.find("--", at)) {
    const size_t end = text.find_first_not_of("abcdefghijklmnopqrstuvwxyz0123456789-", at + 2);
    if (end == std::string::npos || end > at + 2) options.push_back(text.substr(at, end - at));
    at = end == std::string::npos ? text.size() : end;
  }
  return options;
}

// The words the completion offers for the last of `words`, the words after "veltro-cli" as a
// shell would pass them ("''" an empty word).
std::vector<std::string> Completions(const std::string& words) {
  const std::string script = std::string(VELTRO_SOURCE_DIR) + "/dist/bash-completion/veltro-cli";
  return Words(RunShell("bash -c 'source \"$0\"; COMP_WORDS=(\"$@\"); COMP_CWORD=$(($# - 1));"
                        " _veltro_cli; printf \"%s\\n\" \"${COMPREPLY[@]}\"' '" +
                        script + "' veltro-cli " + words)
                   .output);
}

// The words of a form before its first option, each quoted for the shell and placeholders
// (FILE, IN, ...) as "x": where the completion is asked for the form's options.
std::string WordsBeforeOptions(const std::string& form) {
  std::string words;
  for (const std::string& word : Words(form)) {
    if (word.starts_with("[") || word.starts_with("(")) break;
    words += "'" + (std::ranges::any_of(word, ::isupper) ? std::string("x") : word) + "' ";
  }
  return words;
}

bool Contains(const std::vector<std::string>& words, const std::string& word) {
  return std::ranges::find(words, word) != words.end();
}

// Every command, subcommand and option --help shows is completed by the bash completion and
// described in the manual page, so that neither can fall behind the program.
TEST_F(CliTest, HelpListsWhatTheCompletionAndTheManualPageKnow) {
  const RunResult help = RunShell(std::string(VELTRO_CLI) + " --help");
  ASSERT_EQ(help.status, 0);
  const RunResult misuse = RunShell(std::string(VELTRO_CLI) + " bogus 2>&1 >/dev/null");
  EXPECT_EQ(misuse.status, 2);
  EXPECT_EQ(misuse.output.rfind("usage: veltro-cli devices\n", 0), 0u) << misuse.output;
  for (const char* word : {"-h", "help"}) {
    EXPECT_EQ(RunShell(std::string(VELTRO_CLI) + " " + word).output, help.output) << word;
  }
  const std::vector<HelpCommand> commands = HelpCommands(help.output);
  ASSERT_EQ(commands.size(), 8u) << help.output;
  const std::string manual =
      ReadBytes(std::string(VELTRO_SOURCE_DIR) + "/doc/man/veltro-cli.1.scd");
  const std::vector<std::string> firstWords = Completions("''");
  const std::string programOptions = help.output.substr(help.output.find("\noptions:\n"));
  ASSERT_EQ(OptionsIn(programOptions), (std::vector<std::string>{"--help", "--version"}));
  for (const std::string& option : OptionsIn(programOptions)) {
    EXPECT_TRUE(Contains(firstWords, option)) << option;
    EXPECT_NE(manual.find("*" + option + "*"), std::string::npos) << option;
  }
  for (const HelpCommand& command : commands) {
    EXPECT_TRUE(Contains(firstWords, command.name)) << command.name;
    ASSERT_FALSE(command.forms.empty()) << command.name;
    for (const std::string& form : command.forms) {
      const std::vector<std::string> words = Words(form);
      EXPECT_EQ(words[0], command.name) << form;
      const bool hasSubcommand = words.size() > 1 && std::ranges::all_of(words[1], ::islower);
      const std::string heading = hasSubcommand ? words[0] + " " + words[1] : words[0];
      EXPECT_NE(manual.find("\n*" + heading + "*"), std::string::npos) << form;
      if (hasSubcommand) {
        EXPECT_TRUE(Contains(Completions(words[0] + " ''"), words[1])) << form;
      }
      const std::vector<std::string> offered = Completions(WordsBeforeOptions(form) + "--");
      for (const std::string& option : OptionsIn(form)) {
        EXPECT_TRUE(Contains(offered, option)) << form << ": " << option;
        EXPECT_NE(manual.find("*" + option + "*"), std::string::npos) << option;
      }
    }
  }
}

}  // namespace
}  // namespace veltro::testing
