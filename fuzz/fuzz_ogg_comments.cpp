// Comment editing over arbitrary bytes: open, replace the comment list, write to memory, and
// open the written stream again.
//
// libogg drops every page whose checksum does not match, which would stop nearly every
// mutation at the first changed page. So before feeding the bytes, this target recomputes the
// checksum of each page it finds ("OggS" with a complete header and body), with its own CRC
// code below (polynomial 0x04C11DB7, not reflected, initial value 0, as pages use).
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "tags/OggCommentEditor.h"

namespace {

using veltro::tags::OggCommentEditor;

void Check(bool condition) {
  if (!condition) __builtin_trap();
}

std::array<uint32_t, 256> MakeCrcTable() {
  std::array<uint32_t, 256> table{};
  for (uint32_t i = 0; i < 256; ++i) {
    uint32_t value = i << 24;
    for (int bit = 0; bit < 8; ++bit) {
      value = (value & 0x80000000u) != 0 ? (value << 1) ^ 0x04C11DB7u : value << 1;
    }
    table[i] = value;
  }
  return table;
}

uint32_t PageCrc(const unsigned char* bytes, size_t count) {
  static const std::array<uint32_t, 256> kTable = MakeCrcTable();
  uint32_t crc = 0;
  for (size_t i = 0; i < count; ++i) crc = (crc << 8) ^ kTable[((crc >> 24) ^ bytes[i]) & 0xFF];
  return crc;
}

// Sets the checksum of every complete page; returns nothing, edits `bytes` in place.
void FixPageChecksums(std::string& bytes) {
  constexpr size_t kHeaderBytes = 27;
  constexpr size_t kCrcOffset = 22;
  auto* data = reinterpret_cast<unsigned char*>(bytes.data());
  size_t offset = 0;
  while (offset + kHeaderBytes <= bytes.size()) {
    if (std::memcmp(data + offset, "OggS", 4) != 0) {
      ++offset;
      continue;
    }
    const size_t segments = data[offset + 26];
    size_t length = kHeaderBytes + segments;
    for (size_t i = 0; i < segments && offset + kHeaderBytes + i < bytes.size(); ++i) {
      length += data[offset + kHeaderBytes + i];
    }
    if (offset + length > bytes.size()) {
      ++offset;
      continue;
    }
    std::memset(data + offset + kCrcOffset, 0, 4);
    const uint32_t crc = PageCrc(data + offset, length);
    for (int i = 0; i < 4; ++i)
      data[offset + kCrcOffset + i] = static_cast<unsigned char>(crc >> (8 * i));
    offset += length;
  }
}

veltro::tags::OggReadFunction Reader(const std::string& bytes) {
  return [&bytes, position = size_t{0}](char* buffer, size_t size) mutable -> long {
    const size_t count = std::min(size, bytes.size() - position);
    std::memcpy(buffer, bytes.data() + position, count);
    position += count;
    return static_cast<long>(count);
  };
}

// Writes the stream open in `editor`; the result goes to `result`.
std::string WriteAll(OggCommentEditor& editor, int* result) {
  std::string out;
  *result = editor.Write([&out](const unsigned char* bytes, size_t count) {
    out.append(reinterpret_cast<const char*>(bytes), count);
    return true;
  });
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string input(reinterpret_cast<const char*>(data), size);
  FixPageChecksums(input);
  OggCommentEditor editor;
  const int opened = editor.Open(Reader(input));
  Check(opened == 0 || opened == -1);
  Check(opened == 0 || !editor.LastError().empty());
  if (opened != 0) return 0;

  std::vector<std::string> comments(editor.Comments().begin(), editor.Comments().end());
  const std::string vendor = editor.Vendor();
  editor.ClearComments();
  for (const std::string& comment : comments) editor.AddComment(comment);
  editor.AddTag("ARTIST", "fuzz");
  comments.push_back("ARTIST=fuzz");
  int written = 0;
  const std::string output = WriteAll(editor, &written);
  Check(written == 0 || written == -1);
  Check(written == 0 || !editor.LastError().empty());
  if (written != 0) return 0;

  // The written stream opens again with exactly the comments given, unless its first page
  // (the identification header alone) is too large for the first chunk.
  OggCommentEditor again;
  if (again.Open(Reader(output)) == 0) {
    Check(again.Comments() == comments);
    Check(again.Vendor() == vendor);
  } else {
    Check(again.LastError() == OggCommentEditor::kNotOgg && output.size() >= 4096);
  }
  return 0;
}
