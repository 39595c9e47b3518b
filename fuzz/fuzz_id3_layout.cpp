// The ID3 layouts over arbitrary bytes: the input read as the start of a file (ID3v2 header)
// and as its end (ID3v1 tag). A header is found exactly when the identifier is there, its size
// covers at least the header and at most the 28 bits a synchsafe size holds; tag fields are
// their full width, inside the last 128 bytes, and their text is a prefix without NUL or
// trailing space. A violation traps.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <string_view>

#include "FuzzChecks.h"
#include "media/mp3info/Id3Layout.h"

namespace {

using fuzz_checks::Check;
namespace media = veltro::media;

constexpr uint32_t kLargestSynchsafe = (1u << 28) - 1;

void CheckField(std::string_view field, size_t width, const uint8_t* tag, size_t offset) {
  Check(field.size() == width);
  Check(reinterpret_cast<const uint8_t*>(field.data()) == tag + offset);
  const std::string_view text = media::Id3v1Text(field);
  Check(field.substr(0, text.size()) == text);
  Check(text.find('\0') == std::string_view::npos);
  Check(text.empty() || text.back() != ' ');
}

void CheckId3v2(std::span<const uint8_t> bytes) {
  const auto header = media::ParseId3v2Header(bytes);
  const bool identified =
      bytes.size() >= media::kId3v2HeaderBytes && std::memcmp(bytes.data(), "ID3", 3) == 0;
  Check(header.has_value() == identified);
  if (!header) return;
  Check(header->tagBytes >= media::kId3v2HeaderBytes);
  Check(header->tagBytes - media::kId3v2HeaderBytes <= kLargestSynchsafe);
}

void CheckId3v1(std::span<const uint8_t> bytes) {
  const auto fields = media::ParseId3v1Tag(bytes);
  const uint8_t* tag = bytes.size() >= media::kId3v1TagBytes
                           ? bytes.data() + bytes.size() - media::kId3v1TagBytes
                           : nullptr;
  Check(fields.has_value() == (tag != nullptr && std::memcmp(tag, "TAG", 3) == 0));
  if (!fields) return;
  CheckField(fields->title, media::kId3v1TitleBytes, tag, media::kId3v1TitleOffset);
  CheckField(fields->artist, media::kId3v1ArtistBytes, tag, media::kId3v1ArtistOffset);
  CheckField(fields->album, media::kId3v1AlbumBytes, tag, media::kId3v1AlbumOffset);
  CheckField(fields->year, media::kId3v1YearBytes, tag, media::kId3v1YearOffset);
  CheckField(fields->comment, media::kId3v1CommentBytes, tag, media::kId3v1CommentOffset);
  Check(fields->genre == bytes.back());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::span<const uint8_t> bytes(data, size);
  CheckId3v2(bytes);
  CheckId3v1(bytes);
  return 0;
}
