// Ogg Vorbis fixtures for the comment tests, built and examined with libogg and libvorbisfile
// (independent of the editor under test), over the encoder of support/Fixtures.h: a small song
// with chosen comments, streams of chosen packets, pages without their end-of-stream flags,
// splitting a file into its logical streams and packets, decoding all of it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "support/Fixtures.h"
#include "tags/OggCommentEditor.h"

namespace veltro::testing {

// A short song (about 2.3 s of mono music-like sound at 22050 Hz) with `comments`.
std::string SmallSong(const std::vector<std::string>& comments, int serial = 1);

// A read function for the editor that delivers `bytes` (shared with the returned function).
tags::OggReadFunction MemoryReader(std::string bytes);

// A stream of one logical bitstream holding `packets` (the first marked beginning of stream,
// the last end of stream), each packet flushed to a page of its own.
std::string OggStreamOfPackets(const std::vector<std::string>& packets, int serial);

// `bytes` with the end-of-stream flag cleared on every page (page checksums updated), as a
// recording cut short leaves a stream.
std::string WithoutEndOfStreamFlags(std::string bytes);

// One logical stream of a file: its serial number, its packets in order, the granule
// positions of its pages, and the byte offset of its first page in the file.
struct OggLogicalStream {
  int serial = 0;
  std::vector<std::string> packets;
  std::vector<int64_t> pageGranules;
  size_t firstPageOffset = 0;
};
// Logical streams in the order of their first pages; stops at the first sync gap.
std::vector<OggLogicalStream> SplitOggStreams(const std::string& bytes);

// What libvorbisfile makes of a whole file.
struct VorbisfileView {
  bool opened = false;
  int links = 0;
  int64_t frames = 0;                             // ov_pcm_total(-1)
  double seconds = 0;                             // ov_time_total(-1)
  std::vector<int16_t> samples;                   // every link decoded with ov_read, interleaved
  std::vector<tags::VorbisCommentList> comments;  // per link
};
VorbisfileView ReadWithVorbisfile(const std::string& bytes);

}  // namespace veltro::testing
