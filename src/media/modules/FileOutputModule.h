// "Output To File": an output module of the media framework that writes decoded 16-bit PCM to a
// named file through a buffered C stream (replacing an existing file), or to standard output
// for "-". The name's prefix picks the format: "wav:" a RIFF WAVE file (44-byte header written
// before the first block in that block's rate and channel count, its two sizes completed at
// close when the stream can be repositioned), "raw:", "aiff:", "sun:" or no prefix the samples
// alone. Opening fails with -504 (permission denied) or -500 with the notification "cannot
// open output file"; a failed block write returns -1. Closing closes the stream, standard
// output included.
//
// Threads: whichever thread uses the decoder (the framework's rule). The instance owns its
// copy of the name and the file stream.
#pragma once

#include "media/framework/MediaFramework.h"

namespace veltro::media {

// Fills the 14-word output descriptor (version kMfInterfaceVersion; get buffer, set control,
// get control, get status, get caps and send message left null).
void FileOutputModuleDescriptor(MfOutputModule* descriptor);

}  // namespace veltro::media
