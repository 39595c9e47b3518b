#include "cli/ControllerCommand.h"

#include <chrono>
#include <cstdio>
#include <memory>
#include <string>

#include "cli/CliSupport.h"
#include "cli/CommandTable.h"
#include "decks/ControllerLines.h"
#include "platform/Interrupt.h"
#include "platform/SerialPort.h"
#include "platform/SerialPorts.h"

namespace veltro::cli {
namespace {

using platform::SerialPort;

// How long one read waits before the Ctrl-C flag is looked at again.
constexpr std::chrono::milliseconds kReadTimeout{100};

int ControllerUsage() {
  return PrintUsage("controller");
}

void PrintActions(const std::vector<decks::ControllerAction>& actions) {
  for (const decks::ControllerAction& action : actions) {
    std::printf("%s\n", decks::ControllerActionText(action).c_str());
  }
  std::fflush(stdout);
}

// Reads and prints until the user stops it (130) or the port hangs up (1).
int Watch(SerialPort& port) {
  decks::ControllerLineAssembler assembler;
  std::vector<decks::ControllerAction> actions;
  char buffer[2048];
  while (!platform::InterruptRequested()) {
    const SerialPort::ReadResult read = port.Read(buffer, sizeof buffer, kReadTimeout);
    if (read.status == SerialPort::ReadStatus::kHungUp) {
      return Fail(port.Path() + " hung up (the controller or its adapter went away)");
    }
    if (read.status != SerialPort::ReadStatus::kData) continue;
    actions.clear();
    assembler.Feed(std::string_view(buffer, read.bytes), actions);
    PrintActions(actions);
  }
  return Interrupted();
}

}  // namespace

int RunControllerCommand(const std::vector<std::string_view>& args) {
  if (args.size() != 1 || args[0].empty() || args[0].starts_with("--")) return ControllerUsage();
  const std::string path = platform::SerialDevicePath(args[0]);
  std::string error;
  const std::unique_ptr<SerialPort> port = SerialPort::Open(path, &error);
  if (port == nullptr) return Fail(error);
  std::fprintf(stderr, "listening on %s (9600 8N1); Ctrl-C stops\n", path.c_str());
  return Watch(*port);
}

}  // namespace veltro::cli
