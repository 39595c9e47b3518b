// Opening song and library files safely: without blocking on a FIFO or a device that happens to
// carry a song's name, and refusing anything but a regular file with a reason a person can read.
// The check is made on the opened descriptor, so the file cannot be swapped between check and use.
//
// Any thread; each call opens one file and owns nothing after it returns (the caller owns the
// descriptor or stream it gets).
#pragma once

#include <cstdio>
#include <string>

namespace veltro::platform {

enum class FileAccess { kRead, kReadWrite };

// Opens `path` as a regular file: the open never waits (a FIFO without a writer, a device), and
// a folder, FIFO, device or socket is closed again and refused. Returns a descriptor in blocking
// mode, close-on-exec, or -1 with `reason` (if given) set to a one-line explanation naming the
// path.
int OpenRegularFile(const std::string& path, FileAccess access, std::string* reason = nullptr);

// The same as a C stream ("rb" or "r+b"); nullptr with `reason` set on failure.
std::FILE* OpenRegularFileStream(const std::string& path, FileAccess access,
                                 std::string* reason = nullptr);

}  // namespace veltro::platform
