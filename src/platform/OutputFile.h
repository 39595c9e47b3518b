// Where a command writes what it produces, so that nothing it did not create is lost:
// - a regular file (or a name that does not exist yet) is written into a temporary beside it
//   that replaces it only in Finish; until then, and after any failure or interruption, the
//   old file is untouched and the temporary is removed;
// - a device or FIFO (/dev/null, a named pipe a player reads) is written straight, never
//   created, truncated or removed;
// - "-" is standard output, written straight.
// A folder or socket is refused with a reason.
//
// One thread at a time per object. The object owns its descriptor (standard output is never
// closed by it) and its temporary.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "platform/SafeWrite.h"

namespace veltro::platform {

// True when both paths name one existing file (same device and inode; links followed).
bool SameFile(const std::string& first, const std::string& second);

class OutputFile {
 public:
  // Opens `path` ("-": standard output) as described above; nullopt with a one-line reason
  // naming the path. Opening a FIFO waits for its reader (an interruption ends the wait).
  static std::optional<OutputFile> Open(const std::string& path, std::string* error);
  OutputFile(OutputFile&& other) noexcept;
  OutputFile& operator=(OutputFile&&) = delete;
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;
  ~OutputFile();

  // Appends `count` bytes.
  bool Write(const void* bytes, size_t count, std::string* error);
  // Writes `count` bytes over what is at byte `offset` when the output can be repositioned
  // (a file); on a pipe it does nothing and still succeeds.
  bool Overwrite(uint64_t offset, const void* bytes, size_t count, std::string* error);
  // Completes the output: a temporary gets the target's permission bits, is flushed to the
  // disk and renamed over the target; a straight output is closed.
  bool Finish(std::string* error);

 private:
  OutputFile(int fd, std::string path, std::optional<PendingFile> pending);

  int fd_ = -1;
  std::string path_;
  std::optional<PendingFile> pending_;  // set when writing a temporary
};

}  // namespace veltro::platform
