// Builds the bytes of the five library files independently of the structures in SongRecord.h:
// a little-endian writer puts every integer and text at its documented offset in a zero-filled
// buffer. Also holds a small sample library whose file order and index orders are written out
// by hand, so tests compare against orders worked out here, not against the code under test.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "support/TempDir.h"

namespace veltro::library {

struct Song {
  std::string artist, songName, genre, year, path;
  uint32_t cuePosition = 0;
  uint32_t lengthMs = 0;
};

inline void PutU32(std::string& bytes, size_t offset, uint32_t value) {
  for (size_t i = 0; i < 4; ++i) bytes[offset + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
}

inline uint32_t GetU32(const std::string& bytes, size_t offset) {
  uint32_t value = 0;
  for (size_t i = 0; i < 4; ++i) {
    value |= static_cast<uint32_t>(static_cast<unsigned char>(bytes[offset + i])) << (8 * i);
  }
  return value;
}

inline void PutText(std::string& bytes, size_t offset, std::string_view text) {
  bytes.replace(offset, text.size(), text);
}

// One 360-byte record: artist at 0, song name at 31, genre at 68, year at 79, path at 84,
// cue position at 348, length at 356; everything else zero.
inline std::string RecordBytes(const Song& song) {
  std::string bytes(360, '\0');
  PutText(bytes, 0, song.artist);
  PutText(bytes, 31, song.songName);
  PutText(bytes, 68, song.genre);
  PutText(bytes, 79, song.year);
  PutText(bytes, 84, song.path);
  PutU32(bytes, 348, song.cuePosition);
  PutU32(bytes, 356, song.lengthMs);
  return bytes;
}

inline std::string DataFileBytes(const std::vector<Song>& songs, uint32_t formatWord = 1) {
  std::string bytes(8, '\0');
  PutU32(bytes, 0, formatWord);
  PutU32(bytes, 4, static_cast<uint32_t>(songs.size()));
  for (const Song& song : songs) bytes += RecordBytes(song);
  return bytes;
}

// An index file: for each record number in `order`, the number and then the record's field
// (chosen by `field`) in a zero-filled key of `keyBytes`.
inline std::string IndexBytes(const std::vector<Song>& songs, const std::vector<uint32_t>& order,
                              std::string Song::*field, size_t keyBytes) {
  std::string bytes;
  for (uint32_t record : order) {
    std::string entry(4 + keyBytes, '\0');
    PutU32(entry, 0, record);
    PutText(entry, 4, songs[record].*field);
    bytes += entry;
  }
  return bytes;
}

// Exactly 30 characters: the longest artist a record holds.
inline const std::string kLongArtist = "Orchestra Of Very Long Names 3";

// The sample library in record (folded path) order. The first two paths fold to the same text
// and are ordered by their raw bytes ('M' before 'm'); '_' sorts after 'Z' once letters are
// folded; the path with A-umlaut (UTF-8 C3 84) sorts after every ASCII path.
inline std::vector<Song> SampleSongs() {
  return {
      {"Beatles", "Help", "Rock", "1965", "/Music/A.mp3", 0, 138000},
      {"beatles", "help", "rock", "1965", "/music/a.mp3", 0, 139000},
      {"The Beatles", "Yesterday", "Rock", "1990", "/Music/A.mp3x", 0, 125000},
      {"ABBA", "Waterloo", "Pop", "1999", "/MUSIC/B.MP3", 0, 166000},
      {"Zappa", "Peaches en Regalia", "Jazz", "1974", "/Music/Z.mp3", 4321, 217000},
      {kLongArtist, "Intro", "", "N/A", "/Music/_intro.wav", 0, 5000},
      {"", "\xC3\x84rger", "Pop", "2001", "/Music/\xC3\x84.mp3", 0, 200000},
  };
}

// Index orders worked out by hand: folded key order, equal folded keys by raw bytes, then by
// record number.
inline const std::vector<uint32_t> kArtistOrder = {6, 3, 0, 1, 5, 2, 4};
inline const std::vector<uint32_t> kSongNameOrder = {0, 1, 5, 4, 3, 2, 6};
inline const std::vector<uint32_t> kGenreOrder = {5, 4, 3, 6, 0, 2, 1};
inline const std::vector<uint32_t> kYearOrder = {0, 1, 4, 2, 3, 6, 5};

struct LibraryFiles {
  std::string data, artist, songName, genre, year;
};

inline LibraryFiles SampleFiles() {
  const std::vector<Song> songs = SampleSongs();
  return {DataFileBytes(songs), IndexBytes(songs, kArtistOrder, &Song::artist, 32),
          IndexBytes(songs, kSongNameOrder, &Song::songName, 32),
          IndexBytes(songs, kGenreOrder, &Song::genre, 12),
          IndexBytes(songs, kYearOrder, &Song::year, 8)};
}

// Creates <dir>/Data and writes the five files into it.
inline void WriteLibrary(const std::filesystem::path& dir, const LibraryFiles& files) {
  const std::filesystem::path data = dir / "Data";
  std::filesystem::create_directories(data);
  veltro::testing::WriteBytes((data / "Data.ndb").string(), files.data);
  veltro::testing::WriteBytes((data / "a.ndx").string(), files.artist);
  veltro::testing::WriteBytes((data / "s.ndx").string(), files.songName);
  veltro::testing::WriteBytes((data / "g.ndx").string(), files.genre);
  veltro::testing::WriteBytes((data / "y.ndx").string(), files.year);
}

inline LibraryFiles ReadLibrary(const std::filesystem::path& dir) {
  const std::filesystem::path data = dir / "Data";
  auto read = [&](const char* name) { return veltro::testing::ReadBytes((data / name).string()); };
  return {read("Data.ndb"), read("a.ndx"), read("s.ndx"), read("g.ndx"), read("y.ndx")};
}

// Reports, per file, the size and the first offset where `actual` and `expected` differ.
inline void ExpectSameBytes(const std::string& actual, const std::string& expected,
                            const char* name) {
  size_t offset = 0;
  while (offset < actual.size() && offset < expected.size() && actual[offset] == expected[offset]) {
    ++offset;
  }
  const bool same = actual.size() == expected.size() && offset == actual.size();
  EXPECT_TRUE(same) << name << ": " << actual.size() << " bytes, expected " << expected.size()
                    << "; first difference at offset " << offset;
}

inline void ExpectSameFiles(const LibraryFiles& actual, const LibraryFiles& expected) {
  ExpectSameBytes(actual.data, expected.data, "Data.ndb");
  ExpectSameBytes(actual.artist, expected.artist, "a.ndx");
  ExpectSameBytes(actual.songName, expected.songName, "s.ndx");
  ExpectSameBytes(actual.genre, expected.genre, "g.ndx");
  ExpectSameBytes(actual.year, expected.year, "y.ndx");
}

}  // namespace veltro::library
