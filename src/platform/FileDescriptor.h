// The operations on an open file that the library, the tags and the media modules need, over
// the descriptors that OpenRegularFile, PendingFile and CreateNewFile hand out: positional reads
// and writes that retry interrupted and short transfers, the size, truncation, flushing to the
// disk, and closing. Code above the platform layer calls these instead of the operating system.
//
// Failures leave errno set by the failing system call, so callers can name the reason with
// std::strerror. Any thread; the descriptor's owner decides who may use it when.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>

namespace veltro::platform {

// Reads up to `bytes` bytes at `offset` into `out`; returns how many were read (fewer only at the
// end of the file or on a read error).
size_t ReadAt(int fd, uint64_t offset, void* out, size_t bytes);
// Writes all `bytes` bytes at `offset`; false (errno set) when not all could be written.
bool WriteAt(int fd, uint64_t offset, const void* bytes, size_t count);
// The file's size in bytes; nullopt when it cannot be examined.
std::optional<uint64_t> FileSize(int fd);
// The size of the file under an open C stream; nullopt when it cannot be examined.
std::optional<uint64_t> StreamFileSize(std::FILE* stream);
// True when the descriptor refers to a regular file (not a FIFO, device, folder or socket).
bool IsRegularFile(int fd);
// Cuts the file to `size` bytes.
bool TruncateFile(int fd, uint64_t size);
// Flushes the file's contents and attributes to the disk.
bool FlushFile(int fd);
// Flushes the file's contents (and its size) to the disk, not necessarily other attributes.
bool FlushFileData(int fd);
// Creates `path`, which must not exist yet, for reading and writing (permissions as the umask
// allows); -1 with errno set when it exists or cannot be created.
int CreateNewFile(const std::string& path);
// Closes a descriptor; false (errno set) when the close reported an error, such as a write
// the file system could not complete. -1 is ignored (true).
bool CloseFile(int fd);
// The descriptor under an open C stream, for the functions above.
int StreamDescriptor(std::FILE* stream);
// Positions a C stream at a byte offset of 64 bits / reports its offset (-1 on failure).
bool SeekStream(std::FILE* stream, uint64_t offset);
int64_t StreamOffset(std::FILE* stream);

}  // namespace veltro::platform
