// The parts of a song's path that a deck's load uses: the upper-cased extension that picks the
// engine's decoder, the check that a dropped file is a song, and the file name a deck shows for
// a song that is not in the library. Pure functions of their arguments; any thread.
#pragma once

#include <optional>
#include <string>

#include "platform/SongFileType.h"

namespace veltro::decks {

// The extension of the file name, upper-cased (".MP3"): the engine's test, shared by every load.
using platform::UpperExtension;
// The upper-cased extension with its dot (".MP3") when the file name's extension is exactly MP3,
// OGG or WAV in any letter case; nullopt otherwise.
std::optional<std::string> SongExtension(const std::string& path);
// The file name part of `path`: everything after its last "/" or "\".
std::string FileNamePart(const std::string& path);

}  // namespace veltro::decks
