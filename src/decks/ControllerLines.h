// The hardware controller's line protocol: short ASCII lines for the two decks' pitch sliders,
// the play, cue and load buttons, and a two-character jog code that steps deck A's position.
//
//   "Pitch_A=" value CR   deck A's pitch slider to value (decimal after the last '=', read as
//   "Pitch_B=" value CR   atoi reads it, low 16 bits); the same for deck B
//   "12" CR / "13" CR / "14" CR   deck A: play / cue / load the library's current song
//   "8" CR / "9" CR / "10" CR     deck B: play / cue / load
//   "22" in any other line        deck A: one position step forward ("00": one step back)
//
// Characters are assembled into a line; after each one the rules are checked in this order:
// the jog pair (the line's last two characters), the pitch lines, the button codes (the whole
// line). So a code counts the moment its CR arrives and a jog pair the moment its second
// character does. A jog pair never counts inside a line that begins with
// "Pitch_A=" or "Pitch_B=" (Pitch_B=100 sets the pitch and does not step). A line feed starts
// a new line; so does every recognised line. A NUL byte is skipped as if it had not arrived.
// Every byte of a read is taken, however many there are.
//
// Overlong lines: the unfinished line holds at most kMaxLineCharacters. A character that would
// make it longer is still checked together with the line (so "Pitch_A=70000" CR, 14
// characters, sets the pitch); when that recognises nothing, the line and that character are
// dropped and the next character begins a new line. The unfinished line is kept between reads,
// so a line may arrive split over any number of reads.
//
// Any thread; an assembler is used by one thread at a time. Pure: it only turns bytes into
// actions, which the caller carries out.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace veltro::decks {

inline constexpr size_t kMaxLineCharacters = 13;

enum class ControllerActionKind {
  kPitchA,
  kPitchB,
  kPlayA,
  kCueA,
  kLoadA,
  kPlayB,
  kCueB,
  kLoadB,
  kStepForwardA,
  kStepBackA,
};

struct ControllerAction {
  ControllerActionKind kind;
  int value = 0;  // the pitch slider position of kPitchA / kPitchB (0 ... 65535); else 0

  bool operator==(const ControllerAction&) const = default;
};

class ControllerLineAssembler {
 public:
  // Assembles `bytes` (one read from the port, any length) onto the unfinished line and
  // appends every action recognised, in order, to the caller's `actions` (kept as it was
  // before). Feeding the same bytes in other pieces gives the same actions.
  void Feed(std::string_view bytes, std::vector<ControllerAction>& actions);
  // The unfinished line carried into the next Feed (never more than kMaxLineCharacters).
  std::string_view PendingLine() const { return std::string_view(line_, length_); }

 private:
  char line_[kMaxLineCharacters + 1] = {};  // the line and the character being checked
  size_t length_ = 0;
};

// One line naming an action for a person checking the wiring: "pitch A 127", "play A",
// "cue B", "load A", "step A forward", "step A back".
std::string ControllerActionText(const ControllerAction& action);

}  // namespace veltro::decks
