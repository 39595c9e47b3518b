// Which decoder plays a song file: the extension of its file name picks it, in any letter case.
// The decks, the engine, the folder scan and the command-line program all decide through these
// two functions, so a name is a song for all of them or for none. Pure; any thread.
#pragma once

#include <string>
#include <string_view>

namespace veltro::platform {

enum class SongFileType { kUnknown, kMp3, kOgg, kWav };

// The extension of the file name in `path` (the part after its last '/' or '\'): the text from
// the name's last '.' on, upper-cased (".MP3"); empty when the name holds no '.'. A dot in a
// folder name ("/a.b/c") is no extension.
std::string UpperExtension(std::string_view path);
// The type that `extension` (with its dot, any letter case: ".mp3", ".Ogg") names; kUnknown for
// every other text.
SongFileType SongFileTypeOf(std::string_view extension);

}  // namespace veltro::platform
