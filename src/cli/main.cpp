// veltro-cli: the command-line companion. `devices` lists the output devices; `play` plays one
// song on one deck engine to its end, driven by the 100 ms timer exactly as a deck drives it.
#include <algorithm>
#include <atomic>
#include <cctype>
#include <charconv>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "cli/CliSupport.h"
#include "cli/DecodeCommand.h"
#include "cli/InfoCommand.h"
#include "cli/LibraryCommand.h"
#include "cli/TagsCommand.h"
#include "engine/PlayerEngine.h"
#include "platform/PeriodicTimer.h"
#include "platform/sound/SoundDevice.h"
#include "platform/sound/SoundSystem.h"

namespace {

using veltro::cli::Fail;
using veltro::cli::ParseInt;
using veltro::engine::PlayerEngine;
using veltro::platform::PeriodicTimer;
using veltro::platform::sound::SoundDevice;
using veltro::platform::sound::SoundSystem;

constexpr int kEndWarningSeconds = 7;
constexpr int kEndedRefills = 3;
constexpr int kPitchMin = -127;
constexpr int kPitchMax = 128;

std::atomic<bool> interrupted{false};

struct PlayOptions {
  std::string path;
  std::string deviceGuid;  // "" = system default output
  int pitch = 0;           // tenths of a percent
  bool masterTempo = false;
  int startHundredths = 0;
};

int Usage() {
  std::fprintf(stderr,
               "usage: veltro-cli devices\n"
               "       veltro-cli play FILE [--device GUID|null] [--pitch V] [--mastertempo]"
               " [--start HUNDREDTHS]\n"
               "       veltro-cli library stats|list|find|search|check ...\n"
               "       veltro-cli decode IN OUT [--channels N] [--downsample N]\n"
               "         (OUT wav:FILE, raw:FILE, aiff:FILE, sun:FILE or - streams; IN may then"
               " be -)\n"
               "       veltro-cli info FILE [--frames N]\n"
               "       veltro-cli tags read|write FILE [--artist A] [--title T] [--genre G]"
               " [--year Y]\n");
  return 2;
}

// The extension with its dot, upper-cased, as the engine expects it (".OGG").
std::string UpperExtension(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  const size_t dot = path.find_last_of('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return "";
  std::string extension = path.substr(dot);
  std::transform(extension.begin(), extension.end(), extension.begin(),
                 [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
  return extension;
}

int ListDevices() {
  for (const auto& device : SoundSystem::Devices()) {
    std::printf("%s  %s\n", device.guidText.c_str(), device.description.c_str());
  }
  return 0;
}

// Parses the arguments after "play"; an error text on bad input.
std::optional<std::string> ParsePlayOptions(const std::vector<std::string_view>& args,
                                            PlayOptions& options) {
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string_view arg = args[i];
    const bool hasValue = i + 1 < args.size();
    if (arg == "--mastertempo") {
      options.masterTempo = true;
    } else if (arg == "--device" && hasValue) {
      const std::string_view guid = args[++i];
      options.deviceGuid = guid == "null" ? SoundSystem::NullOutputGuid() : std::string(guid);
    } else if (arg == "--pitch" && hasValue) {
      const auto pitch = ParseInt(args[++i]);
      if (!pitch || *pitch < kPitchMin || *pitch > kPitchMax) {
        return "--pitch takes a whole number from -127 to 128 (tenths of a percent)";
      }
      options.pitch = *pitch;
    } else if (arg == "--start" && hasValue) {
      const auto start = ParseInt(args[++i]);
      if (!start || *start < 0) return "--start takes a position in hundredths of a second";
      options.startHundredths = *start;
    } else if (!arg.starts_with("--") && options.path.empty()) {
      options.path = std::string(arg);
    } else {
      return "unexpected argument '" + std::string(arg) + "'";
    }
  }
  if (options.path.empty()) return "play needs a file";
  return std::nullopt;
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
  while (engine.EndCount() < kEndedRefills && !interrupted.load()) {
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
  SoundDevice device;
  if (!device.Open(options.deviceGuid)) {
    return Fail("cannot open sound device " + (options.deviceGuid.empty()
                                                   ? std::string("(default output)")
                                                   : options.deviceGuid));
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
  return interrupted.load() ? 130 : 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::signal(SIGINT, [](int) { interrupted.store(true); });
  std::vector<std::string_view> args(argv + 1, argv + argc);
  if (args.empty()) return Usage();
  if (args[0] == "devices" && args.size() == 1) return ListDevices();
  if (args[0] == "library") return veltro::cli::RunLibraryCommand({args.begin() + 1, args.end()});
  if (args[0] == "decode") return veltro::cli::RunDecodeCommand({args.begin() + 1, args.end()});
  if (args[0] == "info") return veltro::cli::RunInfoCommand({args.begin() + 1, args.end()});
  if (args[0] == "tags") return veltro::cli::RunTagsCommand({args.begin() + 1, args.end()});
  if (args[0] != "play") return Usage();
  PlayOptions options;
  const std::vector<std::string_view> rest(args.begin() + 1, args.end());
  if (const auto error = ParsePlayOptions(rest, options)) return Fail(*error);
  return Play(options);
}
