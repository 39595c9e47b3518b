#include "library/IndexCheck.h"

#include <bit>
#include <cstdint>
#include <cstring>
#include <system_error>
#include <thread>
#include <vector>

#include "library/FoldedText.h"

namespace veltro::library {

namespace {

// The entry structs and records are read as little-endian words below.
static_assert(std::endian::native == std::endian::little);

// Whether the key of entry `later` may follow the key of `earlier` in the folded order.
template <class Entry>
bool InOrder(const Entry& earlier, const Entry& later) {
  // Neighbours in a sorted index are often equal: one wide comparison settles those.
  if (std::memcmp(earlier.key, later.key, sizeof earlier.key) == 0) return true;
  return FoldedCompareFields(earlier.key, later.key, sizeof earlier.key) <= 0;
}

// Whether a key of K bytes holds the text of a record field of F bytes, each text ending at its
// first NUL or with its bytes: the same as FieldText(key) == FieldText(field), eight bytes at a
// time. Both are copied into zero-padded words; the field's copy always holds a NUL (F < K), and
// the texts are equal when the words agree up to and including that NUL.
template <size_t K, size_t F>
bool KeyHoldsField(const char (&key)[K], const char (&field)[F]) {
  static_assert(F < K);
  constexpr size_t kWords = (K + 7) / 8;
  uint64_t keyWords[kWords] = {};
  uint64_t fieldWords[kWords] = {};
  std::memcpy(keyWords, key, K);
  std::memcpy(fieldWords, field, F);
  constexpr uint64_t kOnes = 0x0101010101010101ull;
  constexpr uint64_t kHighs = 0x8080808080808080ull;
  for (size_t i = 0; i < kWords; ++i) {
    const uint64_t differ = keyWords[i] ^ fieldWords[i];
    // The lowest set bit marks the field's first NUL byte in this word (higher ones may be
    // false).
    const uint64_t nuls = (fieldWords[i] - kOnes) & ~fieldWords[i] & kHighs;
    if (nuls != 0) {
      const int throughNul = std::countr_zero(nuls) + 1;  // bits up to the NUL's high bit
      const uint64_t compared = throughNul == 64 ? ~0ull : (1ull << throughNul) - 1;
      return (differ & compared) == 0;
    }
    if (differ != 0) return false;
  }
  return false;  // not reached: the field's copy holds a NUL
}

enum class Fault { kNone, kBeyondLast, kRepeated, kKeyDiffers, kOutOfOrder };

struct Finding {
  Fault fault = Fault::kNone;
  size_t entry = 0;
  uint32_t record = 0;
};

// Walks the entries in file order: every record number in range and named once, the keys
// ascending, each key equal to its record's field. The first fault of the walk is the finding,
// except that a key difference is reported for the lowest record number that has one, after the
// walk has found the index otherwise sound. Reading the index in order and its records at
// random (fetched ahead) needs no memory beyond one bit per record.
template <class Entry, size_t F>
Finding CheckIndex(std::span<const SongRecord> records, std::span<const Entry> entries,
                   const char (SongRecord::*field)[F]) {
  std::vector<uint64_t> seen((records.size() + 63) / 64);
  Finding keyDiffers;
  constexpr size_t kAhead = 16;  // records are fetched this many entries early
  for (size_t k = 0; k < entries.size(); ++k) {
    if (k + kAhead < entries.size()) {
      const uint32_t ahead = entries[k + kAhead].recordIndex;
      if (ahead < records.size()) {
        __builtin_prefetch(records[ahead].*field);
        __builtin_prefetch(records[ahead].*field + F - 1);
      }
    }
    const uint32_t record = entries[k].recordIndex;
    if (record >= records.size()) return {Fault::kBeyondLast, k, record};
    uint64_t& word = seen[record / 64];
    const uint64_t bit = uint64_t{1} << (record % 64);
    if ((word & bit) != 0) return {Fault::kRepeated, k, record};
    word |= bit;
    if (k > 0 && !InOrder(entries[k - 1], entries[k])) return {Fault::kOutOfOrder, k, record};
    if (!KeyHoldsField(entries[k].key, records[record].*field) &&
        (keyDiffers.fault == Fault::kNone || record < keyDiffers.record)) {
      keyDiffers = {Fault::kKeyDiffers, k, record};
    }
  }
  return keyDiffers;
}

std::string Describe(const Finding& finding, IndexKind kind) {
  const std::string where = "entry " + std::to_string(finding.entry);
  const std::string named = " names record " + std::to_string(finding.record);
  switch (finding.fault) {
    case Fault::kBeyondLast:
      return where + named + ", beyond the last record";
    case Fault::kRepeated:
      return where + named + " a second time";
    case Fault::kKeyDiffers:
      return where + " has a key that differs from the " + FieldName(kind) + " of record " +
             std::to_string(finding.record);
    case Fault::kOutOfOrder:
      return where + " is out of order";
    case Fault::kNone:
      break;
  }
  return {};
}

template <class Entry, size_t F>
std::string ProblemOf(std::span<const SongRecord> records, std::span<const Entry> entries,
                      IndexKind kind, const char (SongRecord::*field)[F]) {
  if (entries.size() != records.size()) {
    return "holds " + std::to_string(entries.size()) + " entries, the library has " +
           std::to_string(records.size()) + " records";
  }
  // Equal counts and every record named at most once: every record is named exactly once.
  return Describe(CheckIndex(records, entries, field), kind);
}

// Below this many records a helper thread costs more than it saves.
constexpr size_t kRecordsWorthAThread = 50'000;

std::string NameIndexProblem(std::span<const SongRecord> records,
                             std::span<const NameIndexEntry> entries, IndexKind kind) {
  switch (kind) {
    case IndexKind::Artist:
      return ProblemOf(records, entries, kind, &SongRecord::artist);
    case IndexKind::SongName:
      return ProblemOf(records, entries, kind, &SongRecord::songName);
    case IndexKind::Genre:
      return ProblemOf(records, entries, kind, &SongRecord::genre);
    case IndexKind::Year:
      return ProblemOf(records, entries, kind, &SongRecord::year);
  }
  return {};
}

}  // namespace

const char* FieldName(IndexKind kind) {
  switch (kind) {
    case IndexKind::Artist:
      return "artist";
    case IndexKind::SongName:
      return "song name";
    case IndexKind::Genre:
      return "genre";
    case IndexKind::Year:
      return "year";
  }
  return "";
}

std::string IndexProblem(std::span<const SongRecord> records,
                         std::span<const NameIndexEntry> entries, IndexKind kind) {
  return NameIndexProblem(records, entries, kind);
}

std::string IndexProblem(std::span<const SongRecord> records,
                         std::span<const GenreIndexEntry> entries) {
  return ProblemOf(records, entries, IndexKind::Genre, &SongRecord::genre);
}

std::string IndexProblem(std::span<const SongRecord> records,
                         std::span<const YearIndexEntry> entries) {
  return ProblemOf(records, entries, IndexKind::Year, &SongRecord::year);
}

IndexProblems FindIndexProblems(std::span<const SongRecord> records, const IndexSet& indexes) {
  // The check waits on memory (the records are read at random), and each core keeps its own
  // misses in flight: with a second core, a helper thread checks the song name and genre
  // indexes while this thread checks the other two (about half the work each).
  IndexProblems problems;
  const auto checkSecondHalf = [&] {
    problems.songName = NameIndexProblem(records, indexes.songName, IndexKind::SongName);
    problems.genre = IndexProblem(records, indexes.genre);
  };
  std::thread helper;
  if (std::thread::hardware_concurrency() > 1 && records.size() >= kRecordsWorthAThread) {
    try {
      helper = std::thread(checkSecondHalf);
    } catch (const std::system_error&) {
      // No thread to be had: this thread checks all four.
    }
  }
  if (!helper.joinable()) checkSecondHalf();
  problems.artist = NameIndexProblem(records, indexes.artist, IndexKind::Artist);
  problems.year = IndexProblem(records, indexes.year);
  if (helper.joinable()) helper.join();
  return problems;
}

std::string RecordOrderProblem(std::span<const SongRecord> records) {
  for (size_t i = 1; i < records.size(); ++i) {
    if (FoldedCompareFields(records[i].path, records[i - 1].path, sizeof records[i].path) < 0) {
      return "record " + std::to_string(i) + " is out of path order";
    }
  }
  return {};
}

}  // namespace veltro::library
