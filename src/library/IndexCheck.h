// Whether an index array really indexes a record array: it holds every record number exactly
// once, each key equals (up to its NUL) the record's field, and the keys ascend in the folded
// order. Shared by the load, which rebuilds an index that fails, and `library check`.
//
// Any thread: the functions only read their arguments, which must not change during the call.
#pragma once

#include <span>
#include <string>

#include "library/SongRecord.h"

namespace veltro::library {

enum class IndexKind { Artist, SongName, Genre, Year };

// "artist", "song name", "genre", "year": the field an index copies, for messages.
const char* FieldName(IndexKind kind);

// The first reason why `entries` is not a valid index of `records` for `kind` ("entry 3 names
// record 9, beyond the last record", ...); empty when it is valid. The entry count must equal
// the record count.
std::string IndexProblem(std::span<const SongRecord> records,
                         std::span<const NameIndexEntry> entries, IndexKind kind);
std::string IndexProblem(std::span<const SongRecord> records,
                         std::span<const GenreIndexEntry> entries);
std::string IndexProblem(std::span<const SongRecord> records,
                         std::span<const YearIndexEntry> entries);

// The four indexes of one library.
struct IndexSet {
  std::span<const NameIndexEntry> artist;
  std::span<const NameIndexEntry> songName;
  std::span<const GenreIndexEntry> genre;
  std::span<const YearIndexEntry> year;
};

// IndexProblem of each of the four indexes ("" when valid). With a second core, two of them are
// checked on a helper thread that ends before the call returns.
struct IndexProblems {
  std::string artist;
  std::string songName;
  std::string genre;
  std::string year;
};
IndexProblems FindIndexProblems(std::span<const SongRecord> records, const IndexSet& indexes);

// The first place where `records` are not in ascending folded path order; empty when they are.
std::string RecordOrderProblem(std::span<const SongRecord> records);

}  // namespace veltro::library
