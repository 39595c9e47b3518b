// The controller's serial port on pseudo-terminals: the line settings, the exclusive hold,
// raw bytes, and every way a Read ends (data, timeout, Stop from another thread, hang-up).
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <future>
#include <string>

#include "platform/SerialPort.h"
#include "support/PseudoTerminal.h"
#include "support/TempDir.h"

namespace veltro::platform {
namespace {

using namespace std::chrono_literals;
using Status = SerialPort::ReadStatus;

// A pseudo-terminal whose slave starts as other programs may leave a terminal (cooked,
// echoing, flow control, 7E2 at 38400), so the port has to change all of it; the port opened on
// the slave, the test playing the controller on the master.
class SerialPortTest : public ::testing::Test {
 protected:
  void SetUp() override {
    termios dirty{};
    dirty.c_iflag = ICRNL | IXON | IXOFF | IXANY | INPCK;
    dirty.c_oflag = OPOST | ONLCR;
    dirty.c_cflag = CS7 | PARENB | CSTOPB | CRTSCTS | CREAD;
    dirty.c_lflag = ICANON | ECHO | ISIG | IEXTEN;
    cfsetspeed(&dirty, B38400);
    pty_ = std::make_unique<testing::PseudoTerminal>(&dirty);
    ASSERT_TRUE(pty_->Valid());
    path_ = pty_->SlavePath();
    std::string error;
    port_ = SerialPort::Open(path_, &error);
    ASSERT_NE(port_, nullptr) << error;
  }
  void CloseMaster() { pty_->CloseMaster(); }
  bool Write(std::string_view bytes) const { return pty_->Write(bytes); }
  // Reads until `count` bytes have come or a Read gives no data.
  std::string ReadBytes(size_t count) {
    std::string got;
    char buffer[64];
    SerialPort::ReadResult read{Status::kData, 0};
    while (got.size() < count && read.status == Status::kData) {
      read = port_->Read(buffer, sizeof buffer, 5s);
      got.append(buffer, read.bytes);
    }
    return got;
  }
  Status ReadStatus(std::chrono::milliseconds timeout) {
    char byte = 0;
    return port_->Read(&byte, 1, timeout).status;
  }

  std::unique_ptr<testing::PseudoTerminal> pty_;
  std::string path_;
  std::unique_ptr<SerialPort> port_;
};

TEST_F(SerialPortTest, SetsTheSlaveTo9600EightNoneOneRawWithoutFlowControl) {
  termios line{};
  ASSERT_EQ(tcgetattr(pty_->Slave(), &line), 0);
  EXPECT_EQ(cfgetispeed(&line), B9600);
  EXPECT_EQ(cfgetospeed(&line), B9600);
  EXPECT_EQ(line.c_cflag & (CSIZE | PARENB | CSTOPB | CRTSCTS), tcflag_t{CS8});
  EXPECT_EQ(line.c_cflag & (CLOCAL | CREAD), tcflag_t{CLOCAL | CREAD});
  EXPECT_EQ(line.c_iflag & (ICRNL | INLCR | IGNCR | ISTRIP | IXON | IXOFF | IXANY), 0u);
  EXPECT_EQ(line.c_lflag & (ICANON | ECHO | ISIG | IEXTEN), 0u);
  EXPECT_EQ(line.c_oflag & OPOST, 0u);
  EXPECT_EQ(line.c_cc[VMIN], 0);
  EXPECT_EQ(line.c_cc[VTIME], 0);
  int exclusive = 0;
  ASSERT_EQ(ioctl(pty_->Slave(), TIOCGEXCL, &exclusive), 0);
  EXPECT_NE(exclusive, 0);
  port_.reset();
  ASSERT_EQ(ioctl(pty_->Slave(), TIOCGEXCL, &exclusive), 0);
  EXPECT_EQ(exclusive, 0) << "the exclusive mode outlives the port";
}

TEST_F(SerialPortTest, PassesEveryByteUntranslatedThenTimesOut) {
  // CR, LF, NUL, the interrupt, XON and XOFF characters and bytes above 0x7F, as they came.
  const std::string bytes("Pitch_A=127\r\n12\r\x00\x03\x11\x13\x7f\xff\n", 21);
  ASSERT_TRUE(Write(bytes));
  EXPECT_EQ(ReadBytes(bytes.size()), bytes);
  for (const auto timeout : {0ms, 1ms, 50ms}) EXPECT_EQ(ReadStatus(timeout), Status::kTimedOut);
}

TEST_F(SerialPortTest, ASecondOpenIsRefusedUntilTheFirstPortIsGone) {
  std::string error;
  EXPECT_EQ(SerialPort::Open(path_, &error), nullptr);
  EXPECT_NE(error.find(path_ + " is held by another program"), std::string::npos) << error;
  port_.reset();
  EXPECT_NE(SerialPort::Open(path_, &error), nullptr) << error;
  // A program that only locks the device holds it too, whatever our privileges.
  const int other = open(path_.c_str(), O_RDONLY | O_NOCTTY);
  ASSERT_EQ(flock(other, LOCK_EX), 0);
  EXPECT_EQ(SerialPort::Open(path_, &error), nullptr);
  EXPECT_NE(error.find("held by another program"), std::string::npos) << error;
  close(other);
}

TEST(SerialPortOpen, RefusesWhatIsNoTerminalWithAReasonNamingIt) {
  testing::TempDir dir;
  testing::WriteBytes(dir.File("file"), "not a port");
  const struct {
    std::string path;
    std::string reason;
  } rows[] = {
      {dir.File("missing"), "cannot open " + dir.File("missing") + ": No such file"},
      {dir.File("file"), dir.File("file") + " is not a terminal"},
      {"/dev/null", "/dev/null is not a terminal"},
  };
  for (const auto& row : rows) {
    std::string error;
    EXPECT_EQ(SerialPort::Open(row.path, &error), nullptr) << row.path;
    EXPECT_EQ(error.rfind(row.reason, 0), 0u) << error;
    EXPECT_EQ(error.find('\n'), std::string::npos) << error;
  }
}

TEST_F(SerialPortTest, AClosedMasterHangsUpThisReadAndEveryLaterOne) {
  CloseMaster();
  EXPECT_EQ(ReadStatus(-1ms), Status::kHungUp);
  EXPECT_EQ(ReadStatus(-1ms), Status::kHungUp);
  port_->Stop();
  EXPECT_EQ(ReadStatus(0ms), Status::kHungUp);
}

using SerialPortThreadedTest = SerialPortTest;

TEST_F(SerialPortThreadedTest, StopFromAnotherThreadEndsAReadWithoutTimeoutAndLaterOnes) {
  std::future<Status> reading = std::async(std::launch::async, [this] { return ReadStatus(-1ms); });
  EXPECT_EQ(reading.wait_for(50ms), std::future_status::timeout) << "returned before the Stop";
  port_->Stop();
  if (reading.wait_for(20s) != std::future_status::ready) {
    CloseMaster();  // the hang-up frees the reader, so the test fails instead of hanging
    FAIL() << "Stop did not wake the Read";
  }
  EXPECT_EQ(reading.get(), Status::kStopped);
  // The Stop stays: later Reads end at once, also with bytes waiting.
  EXPECT_EQ(ReadStatus(1s), Status::kStopped);
  ASSERT_TRUE(Write("12\r"));
  EXPECT_EQ(ReadStatus(1s), Status::kStopped);
}

}  // namespace
}  // namespace veltro::platform
