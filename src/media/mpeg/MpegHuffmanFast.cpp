// Table-driven decoding of the Layer III Huffman codes: each code table becomes a tree of
// lookup tables indexed by up to kRootBits bits at a time, so most code words take one lookup.
#include <algorithm>
#include <vector>

#include "media/mpeg/MpegHuffman.h"

namespace veltro::media {
namespace {

constexpr int kRootBits = 8;
constexpr int kMaxSubBits = 8;
// A lookup entry: a leaf holds the symbol (bits 0-7) and the code bits used at this level
// (bits 8-15); a link holds kLink, the next level's index bits (bits 24-27) and its offset.
constexpr uint32_t kLink = 0x80000000u;

uint32_t Leaf(int symbol, int length) {
  return static_cast<uint32_t>(symbol) | (static_cast<uint32_t>(length) << 8);
}

// A code word's bits not yet consumed by the levels above, right-aligned.
struct PendingCode {
  uint32_t bits;
  int length;
  int symbol;
};

class LookupBuilder {
 public:
  explicit LookupBuilder(std::vector<uint32_t>& entries) : entries_(entries) {}

  // Fills the level of `levelBits` index bits at `base` (already allocated).
  void Fill(const std::vector<PendingCode>& codes, int levelBits, size_t base) {
    // Branches no code reaches (none in a complete code) decode as symbol 0.
    for (size_t i = 0; i < (size_t{1} << levelBits); ++i) entries_[base + i] = Leaf(0, levelBits);
    std::vector<std::vector<PendingCode>> longer(size_t{1} << levelBits);
    for (const PendingCode& code : codes) {
      if (code.length <= levelBits) {
        const int spare = levelBits - code.length;
        const size_t first = static_cast<size_t>(code.bits) << spare;
        for (size_t i = 0; i < (size_t{1} << spare); ++i)
          entries_[base + first + i] = Leaf(code.symbol, code.length);
      } else {
        const int rest = code.length - levelBits;
        longer[code.bits >> rest].push_back({code.bits & ((1u << rest) - 1u), rest, code.symbol});
      }
    }
    for (size_t prefix = 0; prefix < longer.size(); ++prefix) {
      if (longer[prefix].empty()) continue;
      int deepest = 0;
      for (const PendingCode& code : longer[prefix]) deepest = std::max(deepest, code.length);
      const int subBits = std::min(deepest, kMaxSubBits);
      const size_t subBase = entries_.size();
      entries_.resize(subBase + (size_t{1} << subBits));
      entries_[base + prefix] =
          kLink | (static_cast<uint32_t>(subBits) << 24) | static_cast<uint32_t>(subBase);
      Fill(longer[prefix], subBits, subBase);
    }
  }

 private:
  std::vector<uint32_t>& entries_;
};

struct LookupTable {
  std::vector<uint32_t> entries;
  int rootBits = 0;

  LookupTable() = default;
  // Symbols: (x << 4) | y for pair tables of `size` values per axis, the entry itself for the
  // quadruple tables (size 0).
  LookupTable(const Layer3HuffmanTable& table, bool quad) {
    std::vector<PendingCode> codes;
    int longest = 1;
    for (int entry = 0; entry < table.entries; ++entry) {
      const int symbol = quad ? entry : ((entry / table.size) << 4) | (entry % table.size);
      codes.push_back({table.codes[entry], table.lengths[entry], symbol});
      longest = std::max<int>(longest, table.lengths[entry]);
    }
    rootBits = std::min(longest, kRootBits);
    entries.resize(size_t{1} << rootBits);
    LookupBuilder(entries).Fill(codes, rootBits, 0);
  }

  // Decodes one code word; at least 19 bits must be available in `bits`.
  int Decode(Layer3FastBits& bits) const {
    uint32_t entry = entries[bits.Peek(rootBits)];
    int levelBits = rootBits;
    while ((entry & kLink) != 0) {
      bits.Skip(levelBits);
      levelBits = static_cast<int>((entry >> 24) & 15u);
      entry = entries[(entry & 0xFFFFFFu) + bits.Peek(levelBits)];
    }
    bits.Skip(static_cast<int>((entry >> 8) & 0xFFu));
    return static_cast<int>(entry & 0xFFu);
  }
};

struct LookupTables {
  LookupTable pair[32];
  LookupTable quad[2];
  LookupTables() {
    for (int t = 0; t < 32; ++t) {
      const Layer3HuffmanTable& table = Layer3PairTable(t);
      if (table.size != 0) pair[t] = LookupTable(table, false);
    }
    for (int t = 0; t < 2; ++t) quad[t] = LookupTable(Layer3QuadTable(t), true);
  }
};

// Built once, on first use (thread-safe static initialisation), read-only afterwards.
const LookupTables& Tables() {
  static const LookupTables tables;
  return tables;
}

// Applies the sign bit that follows a non-zero magnitude, without a branch on the bit.
int WithSign(Layer3FastBits& bits, int magnitude) {
  const int negative = -static_cast<int>(bits.Peek(1));  // 0 or -1
  bits.Skip(magnitude != 0 ? 1 : 0);
  return (magnitude ^ negative) - negative;  // 0 stays 0 whatever the bit
}

// A magnitude with its linbits extension and sign; the bits must be available.
int SignedValue(Layer3FastBits& bits, int magnitude, int linbits) {
  if (magnitude == 15 && linbits > 0) {
    magnitude += static_cast<int>(bits.Peek(linbits));
    bits.Skip(linbits);
  }
  return WithSign(bits, magnitude);
}

}  // namespace

Layer3FastBits::Layer3FastBits(const uint8_t* data, size_t bytes, size_t bitPosition)
    : data_(data), bytes_(bytes), bytePosition_(bitPosition >> 3) {
  Refill();
  Skip(static_cast<int>(bitPosition & 7));
}

void Layer3FastBits::RefillNearEnd() {
  while (cached_ < 56) {
    const uint64_t byte = bytePosition_ < bytes_ ? data_[bytePosition_] : 0u;
    cache_ |= byte << (56 - cached_);
    ++bytePosition_;
    cached_ += 8;
  }
}

void DecodeLayer3Pairs(Layer3FastBits& bits, int tableSelect, int* values, int count) {
  const Layer3HuffmanTable& table = Layer3PairTable(tableSelect & 31);
  if (table.size == 0) {
    std::fill(values, values + count, 0);
    return;
  }
  const LookupTable& lookup = Tables().pair[tableSelect & 31];
  const int linbits = table.linbits;
  if (linbits == 0) {
    // At most 19 code bits and two signs per pair: one refill serves two pairs (42 <= 56).
    const auto decodePair = [&](int i) {
      const int symbol = lookup.Decode(bits);
      values[i] = WithSign(bits, symbol >> 4);
      values[i + 1] = WithSign(bits, symbol & 15);
    };
    int i = 0;
    for (; i + 3 < count; i += 4) {
      bits.Refill();
      decodePair(i);
      decodePair(i + 2);
    }
    if (i + 1 < count) {
      bits.Refill();
      decodePair(i);
    }
    return;
  }
  for (int i = 0; i + 1 < count; i += 2) {
    // At most 19 code bits and twice 13 linbits and a sign: 47 <= 56.
    bits.Refill();
    const int symbol = lookup.Decode(bits);
    values[i] = SignedValue(bits, symbol >> 4, linbits);
    values[i + 1] = SignedValue(bits, symbol & 15, linbits);
  }
}

int DecodeLayer3Quads(Layer3FastBits& bits, int count1TableSelect, int* values, int line,
                      int lineLimit, size_t endBit) {
  const LookupTable& lookup = Tables().quad[count1TableSelect & 1];
  while (line + 4 <= lineLimit && bits.BitPosition() < endBit) {
    bits.Refill();
    const int symbol = lookup.Decode(bits);
    for (int i = 0; i < 4; ++i) values[line + i] = WithSign(bits, (symbol >> (3 - i)) & 1);
    if (bits.BitPosition() > endBit) {
      std::fill(values + line, values + line + 4, 0);
      break;
    }
    line += 4;
  }
  return line;
}

}  // namespace veltro::media
