// The index check's word-wise key comparison against the field texts it stands for, and which
// fault it names when several keys differ.
#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "library/IndexCheck.h"

namespace veltro::library {
namespace {

// Fills `bytes` with a text of random length over a tiny alphabet (so that equal texts are
// common), then a NUL when it fits, then garbage that may hold more NULs.
void FillField(char* bytes, size_t size, std::mt19937& random) {
  const size_t length = random() % (size + 1);
  for (size_t i = 0; i < size; ++i) {
    const size_t pick = random() % 3;
    bytes[i] = i < length ? "ab"[pick % 2] : i == length ? '\0' : "\0ab"[pick];
  }
}

// A key holding the field's text (half of the time), with one byte changed (a quarter), or a
// random one.
template <size_t K, size_t F>
void FillKey(char (&key)[K], const char (&field)[F], std::mt19937& random) {
  FillField(key, K, random);
  if (random() % 4 == 3) return;
  const std::string_view text = FieldText(field);
  std::memcpy(key, text.data(), text.size());
  key[text.size()] = '\0';
  if (random() % 2 == 0) key[random() % (text.size() + 1)] ^= 'a';
}

template <class Entry, size_t F>
void ExpectAgreement(IndexKind kind, char (SongRecord::*field)[F], std::mt19937& random) {
  std::vector<SongRecord> records(1, EmptyRecord());
  std::vector<Entry> entries(1);
  int equal = 0;
  for (int round = 0; round < 20000; ++round) {
    FillField(records[0].*field, F, random);
    FillKey(entries[0].key, records[0].*field, random);
    const bool same = FieldText(entries[0].key) == FieldText(records[0].*field);
    equal += same;
    std::string problem;
    if constexpr (sizeof entries[0].key == 32) {
      problem = IndexProblem(records, entries, kind);
    } else {
      problem = IndexProblem(records, entries);
    }
    ASSERT_EQ(problem.empty(), same) << FieldName(kind) << " key \"" << FieldText(entries[0].key)
                                     << "\" field \"" << FieldText(records[0].*field) << "\"";
  }
  EXPECT_GT(equal, 5000) << FieldName(kind);  // both outcomes were exercised
  EXPECT_LT(equal, 15000) << FieldName(kind);
}

TEST(IndexCheck, KeyComparisonAgreesWithTheFieldTexts) {
  std::mt19937 random(12345);
  ExpectAgreement<NameIndexEntry>(IndexKind::Artist, &SongRecord::artist, random);
  ExpectAgreement<NameIndexEntry>(IndexKind::SongName, &SongRecord::songName, random);
  ExpectAgreement<GenreIndexEntry>(IndexKind::Genre, &SongRecord::genre, random);
  ExpectAgreement<YearIndexEntry>(IndexKind::Year, &SongRecord::year, random);
}

TEST(IndexCheck, NamesTheLowestRecordWithADifferentKeyAndStructureFirst) {
  std::vector<SongRecord> records;
  for (const char* year : {"1990", "1991", "1992", "1993"}) {
    records.push_back(MakeRecord("", "", "", year, "/x", 0));
  }
  std::vector<YearIndexEntry> entries = {{3, "1990"}, {1, "1991"}, {2, "1992"}, {0, "1993"}};
  EXPECT_EQ(IndexProblem(records, entries),
            "entry 3 has a key that differs from the year of record 0");
  entries[2].recordIndex = 3;  // named twice: the structure is reported, not the keys
  EXPECT_EQ(IndexProblem(records, entries), "entry 2 names record 3 a second time");
}

// Large enough for the check to use its helper thread: each problem lands in its own index.
TEST(IndexCheckThreaded, LargeLibraryReportsEachProblemForItsIndex) {
  constexpr uint32_t kCount = 60'000;
  std::vector<SongRecord> records;
  std::vector<NameIndexEntry> artists(kCount), songNames(kCount);
  std::vector<GenreIndexEntry> genres(kCount);
  std::vector<YearIndexEntry> years(kCount);
  for (uint32_t i = 0; i < kCount; ++i) {
    char number[8];
    std::snprintf(number, sizeof number, "%06u", i);
    records.push_back(MakeRecord(number, number, number, "1990", "/x", 0));
    artists[i].recordIndex = songNames[i].recordIndex = genres[i].recordIndex = i;
    years[i].recordIndex = i;
    StoreField(artists[i].key, number);
    StoreField(songNames[i].key, number);
    StoreField(genres[i].key, number);
    StoreField(years[i].key, "1990");
  }
  songNames[5].key[6] = 'x';  // "000005x": still in order, but not record 5's name
  years[7].recordIndex = 6;
  const IndexProblems problems = FindIndexProblems(records, {artists, songNames, genres, years});
  EXPECT_EQ(problems.artist, "");
  EXPECT_EQ(problems.songName, "entry 5 has a key that differs from the song name of record 5");
  EXPECT_EQ(problems.genre, "");
  EXPECT_EQ(problems.year, "entry 7 names record 6 a second time");
}

}  // namespace
}  // namespace veltro::library
