// `veltro-cli controller PORT`: watches the hardware controller's serial port and prints each
// action its lines ask for, one a line ("pitch A 127", "play A", "step A forward"), so that the
// wiring and the controller can be checked without the program. Nothing is written to the port.
#pragma once

#include <string_view>
#include <vector>

namespace veltro::cli {

// Runs the controller subcommand; `args` are the words after "controller": one PORT, a device
// path or a "COMn" setting as the settings file stores it. Main thread only. Opens the port
// (9600 8N1, held exclusively), says on stderr that it listens, then prints every action to
// stdout as it arrives, flushed at once. Returns the exit status: 1 the port cannot be opened
// or hung up (one line on stderr naming it), 2 usage, 130 stopped by Ctrl-C (the only way a
// healthy port's watch ends).
int RunControllerCommand(const std::vector<std::string_view>& args);

}  // namespace veltro::cli
