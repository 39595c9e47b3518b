// veltro-cli: the command-line companion. `devices` lists the output devices; `play` plays one
// song on one deck engine to its end, driven by the 100 ms timer exactly as a deck drives it;
// `--help` and `--version` describe the program (the commands are listed in CommandTable.cpp).
// Ctrl-C asks every command to stop (exit status 130); any failure that escapes a command ends
// the program with one line and status 1.
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <exception>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "BuildInfo.h"
#include "cli/CliArguments.h"
#include "cli/CliSupport.h"
#include "cli/CommandTable.h"
#include "cli/ControllerCommand.h"
#include "cli/DecodeCommand.h"
#include "cli/InfoCommand.h"
#include "cli/LibraryCommand.h"
#include "cli/ScanCommand.h"
#include "cli/TagsCommand.h"
#include "engine/PlayerEngine.h"
#include "platform/Interrupt.h"
#include "platform/PeriodicTimer.h"
#include "platform/SongFileType.h"
#include "platform/sound/SoundDevice.h"
#include "platform/sound/SoundSystem.h"

namespace {

using veltro::cli::Fail;
using veltro::cli::kExitInterrupted;
using veltro::cli::PlayOptions;
using veltro::engine::PlayerEngine;
using veltro::platform::InterruptRequested;
using veltro::platform::PeriodicTimer;
using veltro::platform::UpperExtension;
using veltro::platform::sound::SoundDevice;
using veltro::platform::sound::SoundSystem;

constexpr int kEndWarningSeconds = 7;
constexpr int kEndedRefills = 3;

int Usage() {
  return veltro::cli::PrintUsage();
}

int PrintVersion() {
  std::printf("veltro-cli %s\n", veltro::kVersion);
  if (std::fflush(stdout) != 0 || std::ferror(stdout)) return Fail("cannot write the output");
  return 0;
}

bool IsHelpWord(std::string_view word) {
  return word == "--help" || word == "-h" || word == "help";
}

int ListDevices() {
  for (const auto& device : SoundSystem::Devices()) {
    std::printf("%s  %s\n", device.guidText.c_str(), device.description.c_str());
  }
  return 0;
}

// Services the engine every 100 ms until the song has ended or the user interrupts, printing
// the elapsed time once a second.
void PlayToEnd(PlayerEngine& engine) {
  std::mutex mutex;
  std::condition_variable changed;
  int position = engine.Service();  // the start position, until the first tick reports
  PeriodicTimer timer;
  timer.Start(
      [&] {
        const int now = engine.Service();
        std::lock_guard lock(mutex);
        position = now;
        changed.notify_all();
      },
      std::chrono::milliseconds(100));
  auto nextPrint = std::chrono::steady_clock::now();
  std::unique_lock lock(mutex);
  while (engine.EndCount() < kEndedRefills && !InterruptRequested()) {
    changed.wait_for(lock, std::chrono::milliseconds(100));
    if (std::chrono::steady_clock::now() >= nextPrint) {
      nextPrint += std::chrono::seconds(1);
      const std::string text = engine.TimeText(position, 1);
      std::printf("%s\n", text.c_str());
      std::fflush(stdout);
    }
  }
  lock.unlock();
  timer.Stop();
}

int Play(const PlayOptions& options) {
  const std::string deviceGuid =
      options.device == "null" ? SoundSystem::NullOutputGuid() : options.device;
  SoundDevice device;
  if (!device.Open(deviceGuid)) {
    return Fail("cannot open sound device " +
                (deviceGuid.empty() ? std::string("(default output)") : deviceGuid));
  }
  PlayerEngine engine;
  engine.AttachDevices(&device, nullptr);
  if (!engine.Load(options.path, kEndWarningSeconds, UpperExtension(options.path))) {
    return Fail("cannot play " + options.path + ": " + engine.LastError());
  }
  engine.SetTempoMode(options.masterTempo ? 1 : 0);
  engine.SetPitch(options.pitch);
  engine.Prime(options.startHundredths);
  engine.Play();
  PlayToEnd(engine);
  engine.Stop();
  engine.Unload();
  return InterruptRequested() ? kExitInterrupted : 0;
}

int RunCommandOnce(const std::vector<std::string_view>& args) {
  if (args.empty()) return Usage();
  if (args.size() == 1 && IsHelpWord(args[0])) return veltro::cli::PrintHelp();
  if (args.size() == 1 && args[0] == "--version") return PrintVersion();
  const std::vector<std::string_view> rest(args.begin() + 1, args.end());
  if (args[0] == "devices" && args.size() == 1) return ListDevices();
  if (args[0] == "library") return veltro::cli::RunLibraryCommand(rest);
  if (args[0] == "scan") return veltro::cli::RunScanCommand(rest);
  if (args[0] == "decode") return veltro::cli::RunDecodeCommand(rest);
  if (args[0] == "info") return veltro::cli::RunInfoCommand(rest);
  if (args[0] == "tags") return veltro::cli::RunTagsCommand(rest);
  if (args[0] == "controller") return veltro::cli::RunControllerCommand(rest);
  if (args[0] != "play") return Usage();
  PlayOptions options;
  if (const auto error = veltro::cli::ParsePlayArguments(rest, options)) return Fail(*error);
  return Play(options);
}

// Every command stops when the user presses Ctrl-C: the long ones (play, decode, info, library
// listings) poll the flag; the others finish their one atomic change first, then report it.
int RunCommand(const std::vector<std::string_view>& args) {
  const int status = RunCommandOnce(args);
  if (status != kExitInterrupted && InterruptRequested()) return veltro::cli::Interrupted();
  return status;
}

}  // namespace

int main(int argc, char** argv) {
  veltro::platform::CatchInterruptRequests();
  try {
    return RunCommand(std::vector<std::string_view>(argv + 1, argv + argc));
  } catch (const std::exception& failure) {
    return Fail(std::string("unexpected failure: ") + failure.what());
  } catch (...) {
    return Fail("unexpected failure");
  }
}
