// The controller's lines, read by read: what each sequence of reads makes the decks do, and
// what is left over for the next read.
#include <gtest/gtest.h>

#include <ostream>
#include <string_view>
#include <vector>

#include "decks/ControllerLines.h"

namespace veltro::decks {

// Failures name the actions as the command-line companion prints them.
void PrintTo(const ControllerAction& action, std::ostream* out) {
  *out << ControllerActionText(action);
}

namespace {

using namespace std::string_view_literals;
using K = ControllerActionKind;

TEST(ControllerLines, ReadsBecomeTheActionsOfTheirRow) {
  struct Row {
    std::vector<std::string_view> reads;
    std::vector<ControllerAction> actions;
    std::string_view pending;
  };
  const Row rows[] = {
      {{"Pitch_A=127\r\n"}, {{K::kPitchA, 127}}, ""},
      {{"Pitch_B=0\r\n"}, {{K::kPitchB, 0}}, ""},
      {{"Pit", "ch_A=1", "27\r\n"}, {{K::kPitchA, 127}}, ""},
      {{"Pitch_A=127"}, {}, "Pitch_A=127"},
      {{"12\r\n13\r\n"}, {{K::kPlayA}, {K::kCueA}}, ""},
      {{"14\r", "8\r", "9\r", "10\r", "12\r", "13\r"},
       {{K::kLoadA}, {K::kPlayB}, {K::kCueB}, {K::kLoadB}, {K::kPlayA}, {K::kCueA}},
       ""},
      {{"1", "2\r"}, {{K::kPlayA}}, ""},
      {{"1\0"sv, "\0"sv, "2\0\r"sv}, {{K::kPlayA}}, ""},
      {{"2222"}, {{K::kStepForwardA}, {K::kStepForwardA}}, ""},
      {{"000"}, {{K::kStepBackA}}, "0"},
      {{"x2", "2"}, {{K::kStepForwardA}}, ""},
      {{"Pitch_X=22"}, {{K::kStepForwardA}}, ""},
      {{"Pitch_B=100\r"}, {{K::kPitchB, 100}}, ""},
      {{"\n"}, {}, ""},
      // No code: nothing happens, and the text waits for its line feed.
      {{"7\r", "9\r"}, {}, "7\r9\r"},
      {{"7\r", "\n9\r"}, {{K::kCueB}}, ""},
      {{"12"}, {}, "12"},
      // atoi's reading of the text after the last '='; the slider message keeps 16 bits.
      {{"Pitch_A=1=2\r"}, {{K::kPitchA, 2}}, ""},
      {{"Pitch_A=70000\r"}, {{K::kPitchA, 70000 & 0xFFFF}}, ""},
      {{"Pitch_A=-1\r"}, {{K::kPitchA, 65535}}, ""},
      {{"Pitch_B= +42x\r"}, {{K::kPitchB, 42}}, ""},
      {{"Pitch_A=\r"}, {{K::kPitchA, 0}}, ""},
      // Thirteen characters fit; the fourteenth is dropped with the line, the rest start anew.
      {{"abcdefghijklm"}, {}, "abcdefghijklm"},
      {{"abcdefghijklmnopqrst"}, {}, "opqrst"},
      {{"abcdefghijklmnopqrst", "\n14\r"}, {{K::kLoadA}}, ""},
      {{"Pitch_A=123456\r"}, {}, "\r"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(::testing::PrintToString(row.reads));
    ControllerLineAssembler assembler;
    std::vector<ControllerAction> actions;
    for (const std::string_view read : row.reads) assembler.Feed(read, actions);
    EXPECT_EQ(actions, row.actions);
    EXPECT_EQ(assembler.PendingLine(), row.pending);
  }
}

TEST(ControllerLines, EachActionHasItsOwnText) {
  const struct {
    ControllerAction action;
    const char* text;
  } rows[] = {
      {{K::kPitchA, 127}, "pitch A 127"},
      {{K::kPitchB, 65535}, "pitch B 65535"},
      {{K::kPlayA}, "play A"},
      {{K::kCueA}, "cue A"},
      {{K::kLoadA}, "load A"},
      {{K::kPlayB}, "play B"},
      {{K::kCueB}, "cue B"},
      {{K::kLoadB}, "load B"},
      {{K::kStepForwardA}, "step A forward"},
      {{K::kStepBackA}, "step A back"},
  };
  for (const auto& row : rows) EXPECT_EQ(ControllerActionText(row.action), row.text);
}

}  // namespace
}  // namespace veltro::decks
