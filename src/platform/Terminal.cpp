#include "platform/Terminal.h"

#include <sys/ioctl.h>
#include <unistd.h>

namespace veltro::platform {
namespace {

constexpr int kCustomaryColumns = 80;

}  // namespace

int TerminalColumns(std::FILE* stream) {
  const int descriptor = fileno(stream);
  if (descriptor < 0 || isatty(descriptor) == 0) return 0;
  winsize size{};
  if (ioctl(descriptor, TIOCGWINSZ, &size) != 0 || size.ws_col == 0) return kCustomaryColumns;
  return size.ws_col;
}

}  // namespace veltro::platform
