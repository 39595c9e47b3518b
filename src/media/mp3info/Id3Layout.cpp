// The ID3v2 header and ID3v1 tag layouts.
#include "media/mp3info/Id3Layout.h"

#include <cstring>

namespace veltro::media {
namespace {

constexpr size_t kId3v2SizeOffset = 6;
constexpr int kSynchsafeBits = 7;
constexpr uint8_t kSynchsafeMask = 0x7F;

std::string_view Field(const uint8_t* tag, size_t offset, size_t width) {
  return {reinterpret_cast<const char*>(tag + offset), width};
}

}  // namespace

std::optional<Id3v2Header> ParseId3v2Header(std::span<const uint8_t> head) {
  if (head.size() < kId3v2HeaderBytes || std::memcmp(head.data(), "ID3", 3) != 0) {
    return std::nullopt;
  }
  Id3v2Header header{0, true};
  for (size_t i = kId3v2SizeOffset; i < kId3v2HeaderBytes; ++i) {
    header.synchsafe = header.synchsafe && (head[i] & ~kSynchsafeMask) == 0;
    header.tagBytes = (header.tagBytes << kSynchsafeBits) | (head[i] & kSynchsafeMask);
  }
  header.tagBytes += kId3v2HeaderBytes;
  return header;
}

std::optional<Id3v1Fields> ParseId3v1Tag(std::span<const uint8_t> fileEnd) {
  if (fileEnd.size() < kId3v1TagBytes) return std::nullopt;
  const uint8_t* tag = fileEnd.data() + (fileEnd.size() - kId3v1TagBytes);
  if (std::memcmp(tag, "TAG", 3) != 0) return std::nullopt;
  return Id3v1Fields{Field(tag, kId3v1TitleOffset, kId3v1TitleBytes),
                     Field(tag, kId3v1ArtistOffset, kId3v1ArtistBytes),
                     Field(tag, kId3v1AlbumOffset, kId3v1AlbumBytes),
                     Field(tag, kId3v1YearOffset, kId3v1YearBytes),
                     Field(tag, kId3v1CommentOffset, kId3v1CommentBytes),
                     tag[kId3v1GenreOffset]};
}

std::string_view Id3v1Text(std::string_view field) {
  field = field.substr(0, field.find('\0'));
  const size_t end = field.find_last_not_of(' ');
  return field.substr(0, end == std::string_view::npos ? 0 : end + 1);
}

}  // namespace veltro::media
