#include "library/SongRecord.h"

#include <cstring>

namespace veltro::library {

namespace {

bool IsUtf8Continuation(char c) {
  return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

// The longest length <= `limit` that does not cut a UTF-8 sequence of `text` in two. Bytes
// that are not UTF-8 are cut anywhere (at most three continuation bytes are given back).
size_t CutLength(std::string_view text, size_t limit) {
  if (text.size() <= limit) return text.size();
  size_t cut = limit;
  for (int back = 0; back < 3 && cut > 0 && IsUtf8Continuation(text[cut]); ++back) --cut;
  if (IsUtf8Continuation(text[cut])) return limit;  // not UTF-8: the plain cut
  return cut;
}

}  // namespace

SongRecord EmptyRecord() {
  SongRecord record;
  std::memset(&record, 0, sizeof record);
  return record;
}

void StoreField(char* field, size_t capacity, std::string_view text) {
  if (capacity == 0) return;
  text = text.substr(0, text.find('\0'));
  const size_t length = CutLength(text, capacity - 1);
  std::memset(field, 0, capacity);
  std::memcpy(field, text.data(), length);
}

SongRecord MakeRecord(std::string_view artist, std::string_view songName, std::string_view genre,
                      std::string_view year, std::string_view path, uint32_t lengthMs) {
  SongRecord record = EmptyRecord();
  StoreField(record.artist, artist);
  StoreField(record.songName, songName);
  StoreField(record.genre, genre);
  StoreField(record.year, year);
  StoreField(record.path, path);
  record.lengthMs = lengthMs;
  return record;
}

}  // namespace veltro::library
