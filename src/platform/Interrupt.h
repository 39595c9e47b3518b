// The user's request to stop (Ctrl-C, SIGINT) as a flag that long work polls. A blocking read
// or open that the request arrives during is not restarted: it fails with an interruption, so
// the caller returns to its loop and sees the flag, instead of waiting on a silent pipe.
//
// Any thread may poll; install once, from the main thread, before other threads start.
#pragma once

namespace veltro::platform {

// Installs the SIGINT handler that sets the flag (in place of ending the process).
void CatchInterruptRequests();

// True once the user asked to stop.
bool InterruptRequested();

}  // namespace veltro::platform
