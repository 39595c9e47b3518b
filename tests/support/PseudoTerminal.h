// A pseudo-terminal pair for the serial-port tests: the code under test opens the slave by its
// path, as it would open a USB serial adapter, and the test plays the controller on the master.
// Both ends are close-on-exec (a child process started by a test keeps neither) and closed when
// the pair goes out of scope. Test thread only.
#pragma once

#include <fcntl.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <string>
#include <string_view>

namespace veltro::testing {

class PseudoTerminal {
 public:
  // `line`, when given, is the slave's initial line setting. Valid() says whether it worked.
  explicit PseudoTerminal(const termios* line = nullptr) {
    char name[256] = {};
    if (openpty(&master_, &slave_, name, line, nullptr) != 0) return;
    slavePath_ = name;
    fcntl(master_, F_SETFD, FD_CLOEXEC);
    fcntl(slave_, F_SETFD, FD_CLOEXEC);
  }
  ~PseudoTerminal() {
    CloseMaster();
    if (slave_ >= 0) close(slave_);
  }
  PseudoTerminal(const PseudoTerminal&) = delete;
  PseudoTerminal& operator=(const PseudoTerminal&) = delete;

  bool Valid() const { return !slavePath_.empty(); }
  const std::string& SlavePath() const { return slavePath_; }
  int Slave() const { return slave_; }
  // Sends `bytes` as the controller would; false when not all could be written.
  bool Write(std::string_view bytes) const {
    return master_ >= 0 &&
           write(master_, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
  }
  // The controller is unplugged: the slave side hangs up.
  void CloseMaster() {
    if (master_ >= 0) close(master_);
    master_ = -1;
  }

 private:
  int master_ = -1;
  int slave_ = -1;
  std::string slavePath_;
};

}  // namespace veltro::testing
