// Replacing a file so that a crash at any instant leaves either the old or the new contents,
// never a mix or a truncation.
#pragma once

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

}  // namespace veltro::platform
