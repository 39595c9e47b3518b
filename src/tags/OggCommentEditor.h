// Rewriting the Vorbis comments of an Ogg Vorbis stream without decoding it: the editor reads
// the three header packets of the first logical stream, lets the caller change the comment
// list, then writes the whole stream again with a new comment header. The audio packets are
// copied byte for byte (only their paging may change), and every later logical stream of a
// chained file is copied page by page, unchanged.
//
// Threads: an editor is used by one thread at a time; different editors are independent.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace veltro::tags {

// Fills `buffer` with up to `size` bytes of input; returns the number of bytes delivered, 0 at
// the end of the input, -1 on a read error. The editor calls it from Open and Write.
using OggReadFunction = std::function<long(char* buffer, size_t size)>;

// Writes `count` bytes to the output; false when they could not all be written.
using OggWriteFunction = std::function<bool(const unsigned char* bytes, size_t count)>;

// The contents of a Vorbis comment header: the encoder's vendor string and the comments, each
// a byte string "NAME=value" (any bytes, NUL included).
struct VorbisCommentList {
  std::string vendor;
  std::vector<std::string> comments;

  bool operator==(const VorbisCommentList&) const = default;
};

// Any thread. The comment list in a comment header packet (type 3, "vorbis", 32-bit
// little-endian vendor length and vendor, comment count, each comment's length and bytes, and
// a set framing bit). nullopt when the packet is not one, or a length or the count reaches
// past the packet's end.
std::optional<VorbisCommentList> ParseVorbisCommentPacket(std::string_view packet);

// Any thread. The comment header packet for `list`; nullopt when the vendor, a comment or the
// number of comments does not fit the format's 32-bit lengths.
std::optional<std::vector<unsigned char>> BuildVorbisCommentPacket(const VorbisCommentList& list);

class OggCommentEditor {
 public:
  // Texts LastError() can return; the ones of Open come first.
  static constexpr char kTruncatedOrEmpty[] = "Input truncated or empty.";
  static constexpr char kNotOgg[] = "Input is not an Ogg bitstream.";
  static constexpr char kFirstPageError[] = "Error reading first page of Ogg bitstream.";
  static constexpr char kInitialHeaderError[] = "Error reading initial header packet.";
  static constexpr char kNotVorbis[] = "Ogg bitstream does not contain vorbis data.";
  static constexpr char kCorruptSecondaryHeader[] = "Corrupt secondary header.";
  static constexpr char kEofInHeaders[] = "EOF before end of vorbis headers.";
  static constexpr char kOtherStreamInHeaders[] =
      "Another logical stream is interleaved with the vorbis headers; the file is left alone.";
  static constexpr char kDamagedPage[] =
      "The Ogg stream has a damaged, missing or cut-short page; the file is left alone.";
  static constexpr char kWriteFailed[] =
      "Error writing stream to output. Output stream may be corrupted or truncated.";
  static constexpr char kNothingOpen[] = "No Ogg Vorbis stream is open.";
  static constexpr char kCommentsTooLarge[] = "The comments do not fit a comment header.";

  OggCommentEditor();
  ~OggCommentEditor();
  OggCommentEditor(const OggCommentEditor&) = delete;
  OggCommentEditor& operator=(const OggCommentEditor&) = delete;

  // Reads the input through `read` (kept until Write or Clear) in 4096-byte chunks up to the
  // end of the third header packet. 0 on success; -1 with the reason in LastError(), and the
  // editor then holds nothing.
  int Open(OggReadFunction read);

  // The comment list read by Open, which the caller may change before Write. The vendor string
  // stays the input's.
  const std::vector<std::string>& Comments() const { return comments_.comments; }
  const std::string& Vendor() const { return comments_.vendor; }
  void ClearComments() { comments_.comments.clear(); }
  void AddComment(std::string_view comment) { comments_.comments.emplace_back(comment); }
  // Adds "name=value".
  void AddTag(std::string_view name, std::string_view value);

  // Writes the whole input, with a comment header built from Comments(), through `write`, then
  // releases the input. 0 when the input was read to its end and every byte was written; -1
  // with the reason in LastError() otherwise (the output is then incomplete). Input that would
  // lose bytes in the copy is refused with kDamagedPage: a sync gap (a page whose checksum
  // fails, bytes between pages), a missing page, or a page cut short at the end.
  int Write(const OggWriteFunction& write);

  // Releases the input and the comment list. LastError() is kept.
  void Clear();

  const std::string& LastError() const { return lastError_; }

 private:
  struct State;

  int Fail(const char* reason);

  std::unique_ptr<State> state_;
  VorbisCommentList comments_;
  std::string lastError_;
};

}  // namespace veltro::tags
