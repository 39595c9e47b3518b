// A serial port opened for reading the hardware controller: 9600 baud, 8 data bits, no parity,
// one stop bit, raw (no line editing, no translation of CR or LF, no echo), no hardware or
// software flow control, modem control lines ignored, never the controlling terminal. Nothing
// is ever written to it. The port is held exclusively while open, so a second program (or a
// second open by this one) cannot read its bytes: the terminal is marked exclusive (further
// opens fail, except for privileged processes) and an advisory lock is taken on it (further
// Opens fail for every process that respects such locks, privileged or not).
//
// Threads: Open and the destructor on one thread (the owner's); Read on one reader thread at a
// time; Stop from any thread, also while Read waits. Ownership: the object owns the descriptor
// and the wake-up it needs for Stop.
#pragma once

#include <chrono>
#include <cstddef>
#include <memory>
#include <string>

namespace veltro::platform {

class SerialPort {
 public:
  // What one Read gave.
  enum class ReadStatus {
    kData,      // `bytes` holds at least one byte
    kTimedOut,  // nothing arrived within the timeout
    kStopped,   // Stop was called (before or during the wait); the port stays open
    kHungUp,    // the device went away (unplugged adapter, closed pseudo-terminal master) or
                // reported a read error: every later Read says the same
  };
  struct ReadResult {
    ReadStatus status = ReadStatus::kTimedOut;
    size_t bytes = 0;
  };

  // Owner's thread. Opens the device at `path` (a device path; see SerialDevicePath for "COMn"
  // settings) without waiting for a carrier and sets the line as above; bytes that arrived
  // before the line was set are discarded (they went through the terminal's cooked mode).
  // Null, with a one-line reason naming the path in `error` (when not null), when it is
  // missing, is no terminal, is held by another program or cannot be set. The caller owns the
  // port.
  static std::unique_ptr<SerialPort> Open(const std::string& path, std::string* error);
  ~SerialPort();  // releases the exclusive hold and closes the port
  SerialPort(const SerialPort&) = delete;
  SerialPort& operator=(const SerialPort&) = delete;

  // Reader thread (one at a time). Waits until bytes arrive (then returns at once with what is
  // there, at most `capacity` bytes copied into the caller's `buffer`), Stop is called, the
  // device hangs up, or `timeout` passes (milliseconds; a negative timeout waits without limit,
  // zero only looks). Never blocks past a Stop. A signal that interrupts the wait does not end
  // it early. Once the port has hung up, every Read returns kHungUp at once, also after a
  // Stop. A `capacity` of 0 returns kTimedOut at once.
  ReadResult Read(char* buffer, size_t capacity, std::chrono::milliseconds timeout);
  // Any thread; never blocks. Makes the current Read, and every later one, return kStopped:
  // a stopped port stays stopped (destroy it and open the device again to read on).
  void Stop();

  // Any thread. The path the port was opened with.
  const std::string& Path() const { return path_; }

 private:
  struct Handles;
  SerialPort(std::string path, std::unique_ptr<Handles> handles);

  std::string path_;
  std::unique_ptr<Handles> handles_;
};

}  // namespace veltro::platform
