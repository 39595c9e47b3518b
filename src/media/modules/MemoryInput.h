// "Input From Memory": an input module of the media framework that delivers the bytes of a
// buffer in memory, with the behaviour of the file input: seekable, its size known, and reads
// that deliver a whole block or nothing (a short tail ends the stream).
//
// The buffer reaches the module through the decoder: MemoryInputAttach stores where the bytes
// are under the stream name, and the module finds them when the input is opened. Probing
// accepts names that begin with "mem:"; a stream of any other name is created by giving the
// module's id to mf_input_new.
//
// Threads: whichever thread uses the decoder (the framework's rule).
#pragma once

#include <cstdint>

#include "media/framework/MediaFramework.h"

namespace veltro::media {

inline constexpr char kMemoryInputPrefix[] = "mem:";

// Fills the 12-word input descriptor (version kMfInterfaceVersion; send message left null).
void MemoryInputDescriptor(MfInputModule* descriptor);

// Makes `size` bytes at `bytes` readable as stream `name` for the memory input module of
// `decoder`. The bytes are not copied: they stay the caller's and must outlive every open input
// of that name. Attaching a name again replaces the earlier buffer for the next opening.
// Returns 0, -102 for null arguments, -100 when out of memory.
int MemoryInputAttach(MfDecoder* decoder, const char* name, const void* bytes, uint32_t size);

}  // namespace veltro::media
