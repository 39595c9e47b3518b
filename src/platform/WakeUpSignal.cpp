#include "platform/WakeUpSignal.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

namespace veltro::platform {

WakeUpSignal::WakeUpSignal() {
  int ends[2];
  if (pipe2(ends, O_NONBLOCK | O_CLOEXEC) != 0) {
    throw std::system_error(errno, std::generic_category(), "wake-up pipe");
  }
  readEnd_ = ends[0];
  writeEnd_ = ends[1];
}

WakeUpSignal::~WakeUpSignal() {
  close(readEnd_);
  close(writeEnd_);
}

void WakeUpSignal::Raise() {
  const char byte = 1;
  // A full pipe (EAGAIN) already holds a wake-up; nothing else can fail on an open pipe.
  while (write(writeEnd_, &byte, 1) < 0 && errno == EINTR) {
  }
}

void WakeUpSignal::Clear() {
  char bytes[64];
  while (true) {
    const ssize_t got = read(readEnd_, bytes, sizeof bytes);
    if (got > 0) continue;
    if (got < 0 && errno == EINTR) continue;
    return;  // empty (EAGAIN) or closed
  }
}

}  // namespace veltro::platform
