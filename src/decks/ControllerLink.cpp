#include "decks/ControllerLink.h"

#include <chrono>
#include <string_view>
#include <system_error>
#include <utility>

#include "platform/SerialPorts.h"

namespace veltro::decks {
namespace {

// The reader waits for bytes without a limit: Stop wakes it, and so does a hang-up.
constexpr std::chrono::milliseconds kWaitWithoutLimit{-1};

MixerSide SideOf(ControllerActionKind kind) {
  switch (kind) {
    case ControllerActionKind::kPitchB:
    case ControllerActionKind::kPlayB:
    case ControllerActionKind::kCueB:
    case ControllerActionKind::kLoadB:
      return MixerSide::kRight;
    default:
      return MixerSide::kLeft;
  }
}

}  // namespace

ControllerLink::ControllerLink(ControllerLinkHooks hooks) : hooks_(std::move(hooks)) {}

ControllerLink::~ControllerLink() {
  CloseQuietly();
}

bool ControllerLink::Open(const std::string& portSetting) {
  CloseQuietly();
  const std::string path = platform::SerialDevicePath(portSetting);
  std::string error;  // the reason is not shown: the message names the port setting
  std::unique_ptr<platform::SerialPort> port =
      hooks_.openPort ? hooks_.openPort(path, &error) : platform::SerialPort::Open(path, &error);
  if (port == nullptr || !StartReader(std::move(port))) {
    Message(portSetting, kControllerBusyText);
    return false;
  }
  Message(kControllerInfoCaption, kControllerOpenedText);
  return true;
}

void ControllerLink::Close() {
  if (!IsOpen()) return;
  Shutdown();
  Message(kControllerInfoCaption, kControllerClosedText);
}

void ControllerLink::CloseQuietly() {
  if (IsOpen()) Shutdown();
}

bool ControllerLink::StartReader(std::unique_ptr<platform::SerialPort> port) {
  const uint64_t run = ++run_;
  try {
    reader_ = std::thread(&ControllerLink::ReadPort, std::ref(*port), this, run, Token(alive_),
                          hooks_.postToUi);
  } catch (const std::system_error&) {
    return false;
  }
  port_ = std::move(port);
  return true;
}

void ControllerLink::ReadPort(platform::SerialPort& port, ControllerLink* owner, uint64_t run,
                              Token alive, PostFunction postToUi) {
  using Status = platform::SerialPort::ReadStatus;
  ControllerLineAssembler assembler;
  std::vector<char> buffer(kControllerReadBytes);
  while (true) {
    const platform::SerialPort::ReadResult got =
        port.Read(buffer.data(), buffer.size(), kWaitWithoutLimit);
    if (got.status == Status::kStopped) return;
    if (got.status == Status::kHungUp) {
      postToUi([owner, run, alive] {
        if (Current(alive, owner, run)) owner->HungUp();
      });
      return;
    }
    if (got.status != Status::kData) continue;
    std::vector<ControllerAction> actions;
    assembler.Feed(std::string_view(buffer.data(), got.bytes), actions);
    if (actions.empty()) continue;
    postToUi([owner, run, alive, actions = std::move(actions)] {
      if (Current(alive, owner, run)) owner->CarryOut(run, alive, actions);
    });
  }
}

bool ControllerLink::Current(const Token& alive, const ControllerLink* link, uint64_t run) {
  return !alive.expired() && link->run_ == run;
}

void ControllerLink::CarryOut(uint64_t run, const Token& alive,
                              const std::vector<ControllerAction>& actions) {
  for (const ControllerAction& action : actions) {
    if (!Current(alive, this, run)) return;
    CarryOut(action);
  }
}

void ControllerLink::CarryOut(const ControllerAction& action) {
  MixerDeck* deck = hooks_.deck ? hooks_.deck(SideOf(action.kind)) : nullptr;
  if (deck == nullptr) return;
  switch (action.kind) {
    case ControllerActionKind::kPitchA:
    case ControllerActionKind::kPitchB:
      deck->SetPitchThumb(action.value);
      break;
    case ControllerActionKind::kPlayA:
    case ControllerActionKind::kPlayB:
      deck->PressPlay();
      break;
    case ControllerActionKind::kCueA:
    case ControllerActionKind::kCueB:
      deck->PressCue();
      break;
    case ControllerActionKind::kLoadA:
    case ControllerActionKind::kLoadB:
      deck->LoadFromLibrary();
      break;
    case ControllerActionKind::kStepForwardA:
    case ControllerActionKind::kStepBackA:
      deck->StepPosition(action.kind == ControllerActionKind::kStepForwardA);
      break;
  }
}

void ControllerLink::HungUp() {
  Shutdown();
  Message(kControllerInfoCaption, kControllerClosedText);
}

void ControllerLink::Shutdown() {
  ++run_;
  if (port_ != nullptr) port_->Stop();
  if (reader_.joinable()) reader_.join();
  port_.reset();
}

void ControllerLink::Message(const std::string& caption, const std::string& text) const {
  if (hooks_.message) hooks_.message(caption, text);
}

}  // namespace veltro::decks
