// Feeds arbitrary bytes to the controller's line assembler in pieces whose lengths the input's
// first bytes choose, and traps when the unfinished line outgrows its buffer or holds a byte
// that ends or never enters a line, when an action carries a value outside its range, or when
// the same bytes in one piece give other actions (splitting a stream must not change it).
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "decks/ControllerLines.h"

namespace {

using veltro::decks::ControllerAction;
using veltro::decks::ControllerActionKind;
using veltro::decks::ControllerLineAssembler;
using veltro::decks::kMaxLineCharacters;

void Check(bool condition) {
  if (!condition) __builtin_trap();
}

void CheckAction(const ControllerAction& action) {
  const bool pitch =
      action.kind == ControllerActionKind::kPitchA || action.kind == ControllerActionKind::kPitchB;
  Check(pitch ? action.value >= 0 && action.value <= 65535 : action.value == 0);
}

void CheckPendingLine(const ControllerLineAssembler& assembler) {
  const std::string_view line = assembler.PendingLine();
  Check(line.size() <= kMaxLineCharacters);
  Check(line.find('\n') == std::string_view::npos && line.find('\0') == std::string_view::npos);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  // The first byte says how many of the following bytes are piece lengths (1 to 8); each
  // length byte gives a piece of 0 to 63 bytes, taken in turn until the stream is used up.
  const size_t lengthCount = std::min<size_t>(1 + data[0] % 8, size - 1);
  const uint8_t* lengths = data + 1;
  const std::string_view stream(reinterpret_cast<const char*>(data + 1 + lengthCount),
                                size - 1 - lengthCount);

  ControllerLineAssembler pieces;
  std::vector<ControllerAction> piecewise;
  size_t at = 0;
  for (size_t turn = 0; at < stream.size(); ++turn) {
    // A run of empty pieces must still end: after a whole round of them, one byte is fed.
    size_t length = lengths[turn % lengthCount] % 64;
    if (length == 0 && turn % lengthCount == lengthCount - 1) length = 1;
    const std::string_view piece = stream.substr(at, length);
    pieces.Feed(piece, piecewise);
    at += piece.size();
    CheckPendingLine(pieces);
  }
  for (const ControllerAction& action : piecewise) CheckAction(action);

  ControllerLineAssembler whole;
  std::vector<ControllerAction> atOnce;
  whole.Feed(stream, atOnce);
  Check(atOnce == piecewise);
  Check(whole.PendingLine() == pieces.PendingLine());
  return 0;
}
