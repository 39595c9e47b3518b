// The serial ports a controller can be attached to, and how a stored port setting names one.
//
// Ports are the character devices /dev/ttyS<n> (built-in UARTs), /dev/ttyUSB<n> (USB serial
// adapters) and /dev/ttyACM<n> (USB modems and most microcontroller boards). A port counts as
// present only when it can be opened now and answers as a terminal: /dev holds a ttyS node for
// every UART the kernel reserved, most of them without hardware behind them.
//
// Any thread; OpenableSerialPorts opens and closes each candidate once, it keeps nothing open.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace veltro::platform {

// The serial devices in `devDirectory` (a folder path; tests pass their own) that can be opened
// now: names ttyS<n>, ttyUSB<n>, ttyACM<n> with a decimal n, each opened read-write,
// non-blocking and without becoming the controlling terminal, and accepted only when it is a
// terminal whose attributes can be read. Full paths (`devDirectory` + "/" + name), sorted by
// kind (ttyS, ttyUSB, ttyACM) and then by number. Empty when the folder cannot be read.
std::vector<std::string> OpenableSerialPorts(const std::string& devDirectory = "/dev");

// The device path a stored port setting names: "COMn" (any letter case, n a decimal number
// >= 1) is /dev/ttyS(n-1); anything else (a device path such as /dev/ttyUSB0) is returned
// unchanged.
std::string SerialDevicePath(std::string_view setting);

}  // namespace veltro::platform
