#include "library/IndexCheck.h"

#include <cstring>
#include <vector>

#include "library/FoldedText.h"

namespace veltro::library {

namespace {

// How far ahead the check asks for the record an entry names: the records are visited in key
// order, i.e. at random, and fetching them early hides most of the memory latency.
constexpr size_t kPrefetchDistance = 16;

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
  if (std::memcmp(earlier.key, later.key, sizeof earlier.key) == 0) return true;
  return FoldedCompare(FieldText(earlier.key), FieldText(later.key)) <= 0;
}

enum class Fault { kNone, kBeyondLast, kRepeated, kKeyDiffers, kOutOfOrder };

template <class Entry>
Fault EntryFault(std::span<const SongRecord> records, std::span<const Entry> entries, size_t k,
                 std::vector<bool>& seen, IndexKind kind) {
  const uint32_t record = entries[k].recordIndex;
  if (record >= records.size()) return Fault::kBeyondLast;
  if (seen[record]) return Fault::kRepeated;
  seen[record] = true;
  if (FieldText(entries[k].key) != FieldOf(records[record], kind)) return Fault::kKeyDiffers;
  if (k > 0 && !InOrder(entries[k - 1], entries[k])) return Fault::kOutOfOrder;
  return Fault::kNone;
}

std::string Describe(Fault fault, size_t entry, uint32_t record, IndexKind kind) {
  const std::string where = "entry " + std::to_string(entry);
  const std::string named = " names record " + std::to_string(record);
  switch (fault) {
    case Fault::kBeyondLast:
      return where + named + ", beyond the last record";
    case Fault::kRepeated:
      return where + named + " a second time";
    case Fault::kKeyDiffers:
      return where + " has a key that differs from the " + FieldName(kind) + " of record " +
             std::to_string(record);
    case Fault::kOutOfOrder:
      return where + " is out of order";
    case Fault::kNone:
      break;
  }
  return {};
}

template <class Entry>
std::string ProblemOf(std::span<const SongRecord> records, std::span<const Entry> entries,
                      IndexKind kind) {
  if (entries.size() != records.size()) {
    return "holds " + std::to_string(entries.size()) + " entries, the library has " +
           std::to_string(records.size()) + " records";
  }
  std::vector<bool> seen(records.size(), false);
  for (size_t k = 0; k < entries.size(); ++k) {
    if (k + kPrefetchDistance < entries.size()) {
      const uint32_t ahead = entries[k + kPrefetchDistance].recordIndex;
      if (ahead < records.size()) __builtin_prefetch(&records[ahead]);
    }
    const Fault fault = EntryFault(records, entries, k, seen, kind);
    if (fault != Fault::kNone) return Describe(fault, k, entries[k].recordIndex, kind);
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

std::string RecordOrderProblem(std::span<const SongRecord> records) {
  for (size_t i = 1; i < records.size(); ++i) {
    if (FoldedLess(FieldText(records[i].path), FieldText(records[i - 1].path))) {
      return "record " + std::to_string(i) + " is out of path order";
    }
  }
  return {};
}

}  // namespace veltro::library
