// Replacing a file so that a crash at any instant leaves either the old or the new contents,
// never a mix or a truncation.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace veltro::platform {

// Any thread (distinct targets; concurrent writers of one target each leave a complete file).
// Writes `bytes` to a temporary file in the target's directory, flushes it to the disk,
// renames it over `path` and flushes the directory. An existing target keeps its permission
// bits; a symbolic link is followed, so the file it names is replaced and the link stays. On
// failure the temporary file is removed, the target is left as it was, `error` (when not null)
// receives a one-line reason, and the result is false.
bool WriteFileAtomically(const std::string& path, std::string_view bytes, std::string* error);

// How a temporary is named in the target's directory: "<target>.tmp-<pid>-..." says which file
// it belongs to; ".veltro-<pid>-..." is short, for targets whose own name leaves no room.
enum class TemporaryName { kBesideTarget, kShortHidden };

// The new version of one file while it is being written: a temporary file beside the target
// (named as TemporaryName says), open for reading and writing. It takes the target's place only
// through Replace; destroying it before that removes the temporary and leaves the target as it
// was. Several PendingFiles let a caller write a set of files completely before replacing any.
class PendingFile {
 public:
  // Creates the temporary beside `path` (a symbolic link is followed); nullopt with a reason
  // in `error` when it cannot be created or the target is not a regular file.
  static std::optional<PendingFile> Create(const std::string& path, std::string* error,
                                           TemporaryName naming = TemporaryName::kBesideTarget);
  PendingFile(PendingFile&& other) noexcept;
  PendingFile& operator=(PendingFile&&) = delete;
  PendingFile(const PendingFile&) = delete;
  PendingFile& operator=(const PendingFile&) = delete;
  ~PendingFile();

  // Appends `count` bytes.
  bool Write(const void* bytes, size_t count, std::string* error);
  // Gives the temporary the target's permission bits (when the target exists) and flushes its
  // contents to the disk.
  bool Flush(std::string* error);
  // Renames the temporary over the target. The directory is not flushed here: call
  // SyncDirectoryOf once after the last Replace of a set.
  bool Replace(std::string* error);
  // The open descriptor, which stays open after Replace and then refers to the target. The
  // caller owns it after this call; it is -1 here afterwards.
  int ReleaseDescriptor();
  // The open descriptor, still owned by this object.
  int Descriptor() const { return fd_; }
  const std::string& Target() const { return target_; }
  bool Replaced() const { return replaced_; }

 private:
  PendingFile(int fd, std::string name, std::string target);

  int fd_ = -1;
  std::string name_;
  std::string target_;
  bool replaced_ = false;
};

// Flushes the directory holding `path`, making renames in it durable. File systems that
// cannot flush a directory are accepted.
bool SyncDirectoryOf(const std::string& path, std::string* error);

// Removes temporaries named as `naming` says beside `path`, left by processes that no longer
// run (a crash during a write). Temporaries of running processes are kept.
void RemoveAbandonedTemporaries(const std::string& path,
                                TemporaryName naming = TemporaryName::kBesideTarget);

}  // namespace veltro::platform
