// "Input From File": an input module of the media framework that delivers the bytes of a named
// file through a buffered C stream, or of standard input for the name "-". Reads are all or
// nothing (a short tail at the end of the file ends the stream). Only regular files are opened,
// and opening never waits (a FIFO or device with the name is refused). Opening fails with -513
// (no such file), -504 (permission denied) or -500 (any other error, a folder, FIFO or device
// included), each with the notification "cannot open input file" and a reason (for -500 a line
// naming the path). Standard input skips a leading ID3v2 tag itself (read and dropped, as it
// cannot seek past it), so its first delivered byte is the first byte behind the tag. It
// reports caps 0 and size 0; a file reports its size in bytes, 0xFFFFFFFF for files of 4 GiB or
// more (the framework counts in 32 bits). When the name ends in ".mp3" (lower case, exactly) the
// file's ID3v1 tag is published as the stream texts "id3/title", "id3/artist", "id3/album",
// "id3/year", "id3/comment" and, for genre bytes below 80, "id3/genre".
//
// Threads: whichever thread uses the decoder (the framework's rule). The instance owns its
// copy of the name and the file stream (standard input is never closed by it).
#pragma once

#include "media/framework/MediaFramework.h"

namespace veltro::media {

// Fills the 12-word input descriptor (version kMfInterfaceVersion; send message left null).
void FileInputModuleDescriptor(MfInputModule* descriptor);

}  // namespace veltro::media
