#include "library/IndexCheck.h"

#include <cstdint>
#include <cstring>
#include <vector>

#include "library/FoldedText.h"

namespace veltro::library {

namespace {

std::string_view FieldOf(const SongRecord& record, IndexKind kind) {
  switch (kind) {
    case IndexKind::Artist:
      return FieldText(record.artist);
    case IndexKind::SongName:
      return FieldText(record.songName);
    case IndexKind::Genre:
      return FieldText(record.genre);
    case IndexKind::Year:
      return FieldText(record.year);
  }
  return {};
}

// Whether the key of entry `later` may follow the key of `earlier` in the folded order.
template <class Entry>
bool InOrder(const Entry& earlier, const Entry& later) {
  // Neighbours in a sorted index are often equal: one wide comparison settles those.
  if (std::memcmp(earlier.key, later.key, sizeof earlier.key) == 0) return true;
  return FoldedCompareFields(earlier.key, later.key, sizeof earlier.key) <= 0;
}

enum class Fault { kNone, kBeyondLast, kRepeated, kKeyDiffers, kOutOfOrder };

struct Finding {
  Fault fault = Fault::kNone;
  size_t entry = 0;
  uint32_t record = 0;
};

constexpr uint32_t kUnseen = UINT32_MAX;

// Walks the entries in file order: every record number in range and named once, the keys
// ascending. Fills `entryOf` (record -> entry) for the key comparison.
template <class Entry>
Finding CheckPermutationAndOrder(size_t recordCount, std::span<const Entry> entries,
                                 std::vector<uint32_t>& entryOf) {
  for (size_t k = 0; k < entries.size(); ++k) {
    const uint32_t record = entries[k].recordIndex;
    if (record >= recordCount) return {Fault::kBeyondLast, k, record};
    if (entryOf[record] != kUnseen) return {Fault::kRepeated, k, record};
    entryOf[record] = static_cast<uint32_t>(k);
    if (k > 0 && !InOrder(entries[k - 1], entries[k])) return {Fault::kOutOfOrder, k, record};
  }
  return {};
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

// One index being checked against the records: its structure first (CheckStructure), then
// its keys, one record at a time, so that several indexes share one pass over the records.
// The records are read in file order and the (much smaller) index at random, which keeps the
// check near the speed of memory rather than of its latency.
template <class Entry>
class IndexUnderCheck {
 public:
  IndexUnderCheck(std::span<const Entry> entries, IndexKind kind)
      : entries_(entries), kind_(kind) {}

  void CheckStructure(size_t recordCount) {
    if (entries_.size() != recordCount) {
      sizeProblem_ = "holds " + std::to_string(entries_.size()) + " entries, the library has " +
                     std::to_string(recordCount) + " records";
      return;
    }
    // Equal counts and every record named at most once: every record is named exactly once.
    entryOf_.assign(recordCount, kUnseen);
    finding_ = CheckPermutationAndOrder(recordCount, entries_, entryOf_);
  }

  void Prefetch(size_t record) const {
    if (Open()) __builtin_prefetch(&entries_[entryOf_[record]]);
  }

  void CheckKey(const SongRecord& record, size_t number) {
    if (!Open()) return;
    const uint32_t k = entryOf_[number];
    if (FieldText(entries_[k].key) != FieldOf(record, kind_)) {
      finding_ = {Fault::kKeyDiffers, k, static_cast<uint32_t>(number)};
    }
  }

  std::string Problem() const {
    return sizeProblem_.empty() ? Describe(finding_, kind_) : sizeProblem_;
  }

 private:
  bool Open() const { return sizeProblem_.empty() && finding_.fault == Fault::kNone; }

  std::span<const Entry> entries_;
  IndexKind kind_;
  std::vector<uint32_t> entryOf_;
  Finding finding_;
  std::string sizeProblem_;
};

// Checks the keys of every index in one pass over the records.
template <class... Index>
void CheckKeys(std::span<const SongRecord> records, Index&... indexes) {
  constexpr size_t kAhead = 16;  // entries are fetched this many records early
  for (size_t record = 0; record < records.size(); ++record) {
    if (record + kAhead < records.size()) (indexes.Prefetch(record + kAhead), ...);
    (indexes.CheckKey(records[record], record), ...);
  }
}

template <class Entry>
std::string ProblemOf(std::span<const SongRecord> records, std::span<const Entry> entries,
                      IndexKind kind) {
  IndexUnderCheck<Entry> index(entries, kind);
  index.CheckStructure(records.size());
  CheckKeys(records, index);
  return index.Problem();
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
  return ProblemOf(records, entries, kind);
}

std::string IndexProblem(std::span<const SongRecord> records,
                         std::span<const GenreIndexEntry> entries) {
  return ProblemOf(records, entries, IndexKind::Genre);
}

std::string IndexProblem(std::span<const SongRecord> records,
                         std::span<const YearIndexEntry> entries) {
  return ProblemOf(records, entries, IndexKind::Year);
}

IndexProblems FindIndexProblems(std::span<const SongRecord> records, const IndexSet& indexes) {
  IndexUnderCheck artist(indexes.artist, IndexKind::Artist);
  IndexUnderCheck songName(indexes.songName, IndexKind::SongName);
  IndexUnderCheck genre(indexes.genre, IndexKind::Genre);
  IndexUnderCheck year(indexes.year, IndexKind::Year);
  artist.CheckStructure(records.size());
  songName.CheckStructure(records.size());
  genre.CheckStructure(records.size());
  year.CheckStructure(records.size());
  CheckKeys(records, artist, songName, genre, year);
  return {artist.Problem(), songName.Problem(), genre.Problem(), year.Problem()};
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
