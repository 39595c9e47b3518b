// Runs `veltro-cli controller` as a real process on the slave side of a pseudo-terminal, plays
// the controller on the master side, and checks what it prints and how it ends.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>

#include "support/ShellRun.h"
#include "support/PseudoTerminal.h"
#include "support/TempDir.h"

namespace veltro::cli {
namespace {

using namespace std::chrono_literals;
using testing::ReadBytes;
using testing::TempDir;

// Generous bound for the process to react; never reached when it works.
constexpr auto kPatience = 20s;

// Waits until `done` holds, looking every 10 ms; false after kPatience.
template <typename Condition>
bool WaitUntil(Condition done) {
  const auto deadline = std::chrono::steady_clock::now() + kPatience;
  while (!done()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(10ms);
  }
  return true;
}

// `veltro-cli controller` on a fresh pseudo-terminal's slave, with its standard output and
// error in files; the test writes to the master as the controller would.
class ControllerCliTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(pty_.Valid());  // close-on-exec: the child must not keep the master open
    slavePath_ = pty_.SlavePath();
  }
  void TearDown() override {
    CloseMaster();
    if (child_ > 0) {
      kill(child_, SIGKILL);
      waitpid(child_, nullptr, 0);
    }
  }
  // Starts the command and waits until it listens.
  void Start() {
    const std::string out = dir_.File("out"), err = dir_.File("err");
    child_ = fork();
    if (child_ == 0) {
      dup2(open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600), 1);
      dup2(open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600), 2);
      execl(VELTRO_CLI, VELTRO_CLI, "controller", slavePath_.c_str(), nullptr);
      _exit(127);
    }
    const std::string listening = "listening on " + slavePath_ + " (9600 8N1); Ctrl-C stops\n";
    ASSERT_TRUE(WaitUntil([&] { return Errors() == listening; })) << Errors();
  }
  // The exit status, or -1 when it did not exit by itself within kPatience.
  int ExitStatus() {
    int status = 0;
    if (!WaitUntil([&] { return waitpid(child_, &status, WNOHANG) == child_; })) return -1;
    child_ = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  void CloseMaster() {
    pty_.CloseMaster();
  }
  std::string Output() const { return ReadBytes(dir_.File("out")); }
  std::string Errors() const { return ReadBytes(dir_.File("err")); }

  TempDir dir_;
  testing::PseudoTerminal pty_;
  std::string slavePath_;
  pid_t child_ = -1;
};

TEST_F(ControllerCliTest, PrintsEachActionAsItArrivesAndFailsWhenThePortHangsUp) {
  ASSERT_NO_FATAL_FAILURE(Start());
  const std::string bytes = "Pitch_A=127\r\n12\r\n22";
  ASSERT_TRUE(pty_.Write(bytes));
  const std::string expected = "pitch A 127\nplay A\nstep A forward\n";
  EXPECT_TRUE(WaitUntil([&] { return Output() == expected; })) << Output();
  CloseMaster();
  EXPECT_EQ(ExitStatus(), 1);
  EXPECT_EQ(Output(), expected);
  EXPECT_NE(Errors().find("\nveltro-cli: " + slavePath_ + " hung up"), std::string::npos)
      << Errors();
}

TEST_F(ControllerCliTest, CtrlCStopsTheWatchWithStatus130) {
  ASSERT_NO_FATAL_FAILURE(Start());
  kill(child_, SIGINT);
  EXPECT_EQ(ExitStatus(), 130);
  EXPECT_EQ(Output(), "");
}

TEST(ControllerCliRefusals, PortsThatCannotBeOpenedAndBadUsage) {
  const struct {
    std::string arguments;
    int status;
    std::string output;
  } rows[] = {
      {"/nonexistent/ttyUSB0", 1,
       "veltro-cli: cannot open /nonexistent/ttyUSB0: No such file or directory\n"},
      {"COM999", 1, "veltro-cli: cannot open /dev/ttyS998: No such file or directory\n"},
      {"/dev/null", 1, "veltro-cli: /dev/null is not a terminal\n"},
      {"", 2, "usage: veltro-cli controller PORT  (a device path or COMn)\n"},
      {"/dev/ttyS0 /dev/ttyS1", 2, "usage: veltro-cli controller PORT  (a device path or COMn)\n"},
  };
  for (const auto& row : rows) {
    const testing::ShellRun run =
        testing::RunShell(std::string(VELTRO_CLI) + " controller " + row.arguments + " 2>&1");
    EXPECT_EQ(run.status, row.status) << row.arguments;
    EXPECT_EQ(run.output, row.output) << row.arguments;
  }
}

}  // namespace
}  // namespace veltro::cli
