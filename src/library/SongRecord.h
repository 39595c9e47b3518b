// The fixed byte layouts of the song library files. The in-memory structures are the file
// layouts themselves: every integer is 32-bit little-endian, every text is single-byte,
// NUL-terminated inside its fixed-width field and meaningful only up to that NUL.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

namespace veltro::library {

// First 8 bytes of Data.ndb.
struct DatabaseHeader {
  uint32_t formatWord = 1;  // read and written back unchanged, never interpreted
  uint32_t recordCount = 0;
};

// One song, 360 bytes; record i starts at offset 8 + 360 * i of Data.ndb.
struct SongRecord {
  char artist[31];
  char songName[31];
  char padding[2];
  uint32_t reserved1;
  char genre[11];
  char year[5];
  char path[260];
  uint32_t reserved2;
  uint32_t cuePosition;  // deck position-slider units; 0 when none was stored
  uint32_t reserved3;
  uint32_t lengthMs;
};

// An entry of a.ndx (artist) or s.ndx (song name).
struct NameIndexEntry {
  uint32_t recordIndex;
  char key[32];
};

// An entry of g.ndx.
struct GenreIndexEntry {
  uint32_t recordIndex;
  char key[12];
};

// An entry of y.ndx.
struct YearIndexEntry {
  uint32_t recordIndex;
  char key[8];
};

inline constexpr size_t kHeaderBytes = 8;
inline constexpr size_t kRecordBytes = 360;
inline constexpr size_t kCueOffsetInRecord = 348;

static_assert(sizeof(DatabaseHeader) == kHeaderBytes);
static_assert(sizeof(SongRecord) == kRecordBytes);
static_assert(offsetof(SongRecord, artist) == 0);
static_assert(offsetof(SongRecord, songName) == 31);
static_assert(offsetof(SongRecord, padding) == 62);
static_assert(offsetof(SongRecord, reserved1) == 64);
static_assert(offsetof(SongRecord, genre) == 68);
static_assert(offsetof(SongRecord, year) == 79);
static_assert(offsetof(SongRecord, path) == 84);
static_assert(offsetof(SongRecord, reserved2) == 344);
static_assert(offsetof(SongRecord, cuePosition) == kCueOffsetInRecord);
static_assert(offsetof(SongRecord, reserved3) == 352);
static_assert(offsetof(SongRecord, lengthMs) == 356);
static_assert(sizeof(NameIndexEntry) == 36 && offsetof(NameIndexEntry, key) == 4);
static_assert(sizeof(GenreIndexEntry) == 16 && offsetof(GenreIndexEntry, key) == 4);
static_assert(sizeof(YearIndexEntry) == 12 && offsetof(YearIndexEntry, key) == 4);

// A record with every byte zero, as every new record starts.
SongRecord EmptyRecord();

// The text of a fixed field: its bytes up to the first NUL, or the whole field when it holds
// none (a foreign file may fill a field completely).
template <size_t N>
std::string_view FieldText(const char (&field)[N]) {
  const void* end = std::memchr(field, '\0', N);
  return std::string_view(field, end == nullptr ? N : static_cast<const char*>(end) - field);
}

// Stores `text` in a field of `capacity` bytes: at most capacity - 1 bytes, cut so that no
// UTF-8 sequence is split, then NUL, then zeros to the end of the field.
void StoreField(char* field, size_t capacity, std::string_view text);

template <size_t N>
void StoreField(char (&field)[N], std::string_view text) {
  StoreField(field, N, text);
}

// A new record with the given texts (each cut to its field) and length; everything else zero.
SongRecord MakeRecord(std::string_view artist, std::string_view songName, std::string_view genre,
                      std::string_view year, std::string_view path, uint32_t lengthMs);

}  // namespace veltro::library
