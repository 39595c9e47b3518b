#include "decks/ControllerLines.h"

#include <cstdint>
#include <optional>

namespace veltro::decks {
namespace {

constexpr std::string_view kPitchPrefixA = "Pitch_A=";
constexpr std::string_view kPitchPrefixB = "Pitch_B=";

bool IsPitchLine(std::string_view line) {
  return line.starts_with(kPitchPrefixA) || line.starts_with(kPitchPrefixB);
}

// The number at the front of `text` as the C library's atoi reads it: leading white space,
// an optional sign, then decimal digits up to the first other character (0 without digits).
// The text is at most one line long, so the value cannot overflow.
long long AtoiValue(std::string_view text) {
  size_t at = text.find_first_not_of(" \t\n\v\f\r");
  if (at == std::string_view::npos) return 0;
  const bool negative = text[at] == '-';
  if (text[at] == '-' || text[at] == '+') ++at;
  long long value = 0;
  for (; at < text.size() && text[at] >= '0' && text[at] <= '9'; ++at) {
    value = value * 10 + (text[at] - '0');
  }
  return negative ? -value : value;
}

// A jog pair: the line's last two characters, in a line that is no pitch line.
std::optional<ControllerAction> JogStep(std::string_view line) {
  if (line.size() < 2 || IsPitchLine(line)) return std::nullopt;
  const std::string_view pair = line.substr(line.size() - 2);
  if (pair == "22") return ControllerAction{ControllerActionKind::kStepForwardA};
  if (pair == "00") return ControllerAction{ControllerActionKind::kStepBackA};
  return std::nullopt;
}

// A pitch line once it holds its carriage return: the number after its last '=', cut to the
// low 16 bits as the slider message carries it.
std::optional<ControllerAction> PitchSetting(std::string_view line) {
  if (!IsPitchLine(line) || line.find('\r') == std::string_view::npos) return std::nullopt;
  const ControllerActionKind kind = line.starts_with(kPitchPrefixA) ? ControllerActionKind::kPitchA
                                                                    : ControllerActionKind::kPitchB;
  const long long number = AtoiValue(line.substr(line.rfind('=') + 1));
  return ControllerAction{kind, static_cast<uint16_t>(number)};
}

std::optional<ControllerAction> ButtonCode(std::string_view line) {
  static const struct {
    std::string_view line;
    ControllerActionKind kind;
  } kCodes[] = {
      {"12\r", ControllerActionKind::kPlayA}, {"13\r", ControllerActionKind::kCueA},
      {"14\r", ControllerActionKind::kLoadA}, {"8\r", ControllerActionKind::kPlayB},
      {"9\r", ControllerActionKind::kCueB},   {"10\r", ControllerActionKind::kLoadB},
  };
  for (const auto& code : kCodes) {
    if (line == code.line) return ControllerAction{code.kind};
  }
  return std::nullopt;
}

// The rules in the order the controller's lines are checked after each character.
std::optional<ControllerAction> Recognise(std::string_view line) {
  if (auto step = JogStep(line)) return step;
  if (auto pitch = PitchSetting(line)) return pitch;
  return ButtonCode(line);
}

}  // namespace

void ControllerLineAssembler::Feed(std::string_view bytes, std::vector<ControllerAction>& actions) {
  for (const char c : bytes) {
    if (c == '\0') continue;  // line noise: never part of a line
    if (c == '\n') {
      length_ = 0;
      continue;
    }
    line_[length_++] = c;
    if (const std::optional<ControllerAction> action =
            Recognise(std::string_view(line_, length_))) {
      actions.push_back(*action);
      length_ = 0;
    } else if (length_ > kMaxLineCharacters) {
      length_ = 0;  // no room for it: the line and this character are dropped
    }
  }
}

std::string ControllerActionText(const ControllerAction& action) {
  switch (action.kind) {
    case ControllerActionKind::kPitchA:
      return "pitch A " + std::to_string(action.value);
    case ControllerActionKind::kPitchB:
      return "pitch B " + std::to_string(action.value);
    case ControllerActionKind::kPlayA:
      return "play A";
    case ControllerActionKind::kCueA:
      return "cue A";
    case ControllerActionKind::kLoadA:
      return "load A";
    case ControllerActionKind::kPlayB:
      return "play B";
    case ControllerActionKind::kCueB:
      return "cue B";
    case ControllerActionKind::kLoadB:
      return "load B";
    case ControllerActionKind::kStepForwardA:
      return "step A forward";
    case ControllerActionKind::kStepBackA:
      return "step A back";
  }
  return "unknown action";
}

}  // namespace veltro::decks
