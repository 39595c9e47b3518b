#include "platform/SerialPort.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <optional>
#include <system_error>

#include "platform/WakeUpSignal.h"

namespace veltro::platform {

// The wake-up pipe is made first (it may throw), while nothing is open yet.
struct SerialPort::Handles {
  Handles() = default;
  ~Handles() {
    if (fd < 0) return;
    if (markedExclusive) ioctl(fd, TIOCNXCL);
    flock(fd, LOCK_UN);
    close(fd);
  }
  Handles(const Handles&) = delete;
  Handles& operator=(const Handles&) = delete;

  WakeUpSignal stopSignal;       // raised by Stop, never cleared
  int fd = -1;                   // the port; owned
  bool markedExclusive = false;  // we set TIOCEXCL, so we clear it
  bool hungUp = false;           // reader thread only: sticky once the device went away
};

namespace {

using Clock = std::chrono::steady_clock;
using ReadResult = SerialPort::ReadResult;
using ReadStatus = SerialPort::ReadStatus;

std::string HeldReason(const std::string& path) {
  return path + " is held by another program";
}

// Takes the port for this object alone: an advisory lock (which binds privileged programs too)
// and the terminal's exclusive mode. A terminal someone else already made exclusive counts as
// held, even when our privileges let the open through. The reason when the port is not ours;
// `markedExclusive` tells whether the exclusive mode is ours to clear.
std::optional<std::string> TakeExclusiveHold(int fd, const std::string& path,
                                             bool& markedExclusive) {
  if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
    if (errno == EWOULDBLOCK) return HeldReason(path);
    return "cannot lock " + path + ": " + std::strerror(errno);
  }
#ifdef TIOCGEXCL
  int exclusive = 0;
  if (ioctl(fd, TIOCGEXCL, &exclusive) == 0 && exclusive != 0) return HeldReason(path);
#endif
  if (ioctl(fd, TIOCEXCL) != 0) {
    return "cannot hold " + path + " exclusively: " + std::strerror(errno);
  }
  markedExclusive = true;
  return std::nullopt;
}

// 9600 baud, 8N1, raw, no flow control, modem lines ignored, reads that never wait in the
// driver (poll does the waiting). Bytes already queued were cooked by the old settings: dropped.
bool SetControllerLine(int fd) {
  termios line{};
  if (tcgetattr(fd, &line) != 0) return false;
  cfmakeraw(&line);
  line.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY | INPCK);
  line.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | CSTOPB);
#ifdef CRTSCTS
  line.c_cflag &= ~static_cast<tcflag_t>(CRTSCTS);
#endif
  line.c_cflag |= CS8 | CLOCAL | CREAD;
  line.c_cc[VMIN] = 0;
  line.c_cc[VTIME] = 0;
  if (cfsetispeed(&line, B9600) != 0 || cfsetospeed(&line, B9600) != 0) return false;
  if (tcsetattr(fd, TCSAFLUSH, &line) != 0) return false;
  // tcsetattr succeeds when any part of the request was applied: check the parts that matter.
  termios applied{};
  if (tcgetattr(fd, &applied) != 0) return false;
  if (cfgetispeed(&applied) != B9600 || (applied.c_cflag & (CSIZE | PARENB)) != CS8 ||
      (applied.c_lflag & ICANON) != 0) {
    errno = EINVAL;  // the driver kept settings it cannot do
    return false;
  }
  return true;
}

// The reason the freshly opened `fd` cannot serve as the controller's port, or nullopt once it
// is held and set up.
std::optional<std::string> PreparePort(int fd, const std::string& path, bool& markedExclusive) {
  if (isatty(fd) != 1) return path + " is not a terminal";
  if (auto held = TakeExclusiveHold(fd, path, markedExclusive)) return held;
  if (!SetControllerLine(fd)) return "cannot set " + path + " to 9600 8N1: " + std::strerror(errno);
  return std::nullopt;
}

// Milliseconds left for poll until `deadline` (rounded up, so a wait never ends early); -1
// waits without limit.
int RemainingMs(const std::optional<Clock::time_point>& deadline) {
  if (!deadline) return -1;
  const auto left = std::chrono::ceil<std::chrono::milliseconds>(*deadline - Clock::now()).count();
  return static_cast<int>(std::clamp<decltype(left)>(left, 0, INT_MAX));
}

// Reads what is queued. A raw terminal that has nothing answers 0 or EAGAIN: that is the
// device gone only when poll reported a hang-up (`hangUpReported`), else nullopt (nothing
// after all, such as a spurious wake-up), so the caller waits again. EIO: gone.
std::optional<ReadResult> ReadQueued(int fd, char* buffer, size_t capacity, bool hangUpReported) {
  while (true) {
    const ssize_t got = read(fd, buffer, capacity);
    if (got > 0) return ReadResult{ReadStatus::kData, static_cast<size_t>(got)};
    if (got < 0 && errno == EINTR) continue;
    const bool empty = got == 0 || errno == EAGAIN || errno == EWOULDBLOCK;
    if (empty && !hangUpReported) return std::nullopt;
    return ReadResult{ReadStatus::kHungUp, 0};
  }
}

}  // namespace

std::unique_ptr<SerialPort> SerialPort::Open(const std::string& path, std::string* error) {
  std::optional<std::string> problem;
  try {
    auto handles = std::make_unique<Handles>();
    handles->fd = open(path.c_str(), O_RDONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (handles->fd < 0) {
      problem =
          errno == EBUSY ? HeldReason(path) : "cannot open " + path + ": " + std::strerror(errno);
    } else {
      problem = PreparePort(handles->fd, path, handles->markedExclusive);
    }
    if (!problem) return std::unique_ptr<SerialPort>(new SerialPort(path, std::move(handles)));
  } catch (const std::system_error& failure) {  // no wake-up pipe to be had
    problem = "cannot open " + path + ": " + failure.what();
  }
  if (error != nullptr) *error = *problem;
  return nullptr;
}

SerialPort::SerialPort(std::string path, std::unique_ptr<Handles> handles)
    : path_(std::move(path)), handles_(std::move(handles)) {}

SerialPort::~SerialPort() = default;

SerialPort::ReadResult SerialPort::Read(char* buffer, size_t capacity,
                                        std::chrono::milliseconds timeout) {
  Handles& handles = *handles_;
  if (handles.hungUp) return {ReadStatus::kHungUp, 0};
  if (capacity == 0) return {ReadStatus::kTimedOut, 0};
  std::optional<Clock::time_point> deadline;
  if (timeout.count() >= 0) deadline = Clock::now() + timeout;
  while (true) {
    pollfd watch[2] = {{handles.fd, POLLIN, 0}, {handles.stopSignal.WaitDescriptor(), POLLIN, 0}};
    const int ready = poll(watch, 2, RemainingMs(deadline));
    if (ready < 0 && errno == EINTR) continue;
    if (ready > 0 && watch[1].revents != 0) return {ReadStatus::kStopped, 0};
    if (ready == 0) return {ReadStatus::kTimedOut, 0};
    const bool hangUp = (watch[0].revents & (POLLHUP | POLLERR | POLLNVAL)) != 0;
    if (ready > 0 && (watch[0].revents & POLLIN) != 0) {
      const std::optional<ReadResult> result = ReadQueued(handles.fd, buffer, capacity, hangUp);
      if (!result) continue;
      handles.hungUp = result->status == ReadStatus::kHungUp;
      return *result;
    }
    // A hang-up or error without data, or poll itself failed: the port is gone.
    handles.hungUp = true;
    return {ReadStatus::kHungUp, 0};
  }
}

void SerialPort::Stop() {
  handles_->stopSignal.Raise();
}

}  // namespace veltro::platform
