// A wake-up one thread raises and another thread's event loop waits for: any number of raises
// before the waiting thread clears it count as one. It is a non-blocking self-pipe whose read
// end becomes readable while the signal is raised, so an event loop can watch it like any other
// descriptor (a QSocketNotifier, poll).
//
// Threads: Raise from any thread; Clear and the descriptor on the waiting thread. Destroy the
// signal only after every thread that raises it has stopped.
#pragma once

namespace veltro::platform {

class WakeUpSignal {
 public:
  // Throws std::system_error when the operating system cannot provide the pipe.
  WakeUpSignal();
  ~WakeUpSignal();
  WakeUpSignal(const WakeUpSignal&) = delete;
  WakeUpSignal& operator=(const WakeUpSignal&) = delete;

  // The descriptor to watch: readable while the signal is raised.
  int WaitDescriptor() const { return readEnd_; }
  // Raises the signal; never blocks (a pipe already full already holds a wake-up).
  void Raise();
  // Lowers the signal, consuming every raise so far.
  void Clear();

 private:
  int readEnd_ = -1;
  int writeEnd_ = -1;
};

}  // namespace veltro::platform
