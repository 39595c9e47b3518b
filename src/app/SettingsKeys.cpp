#include "app/SettingsKeys.h"

#include <charconv>
#include <cstdio>

namespace veltro::app {

std::string CardKey(int output) {
  return "Card_" + std::to_string(output);
}

std::string DeckName(int number) {
  char text[24];
  std::snprintf(text, sizeof text, "Player %02d", number);
  return text;
}

int DeckNumber(std::string_view deckName) {
  const size_t blank = deckName.find(' ');
  if (blank == std::string_view::npos) return -1;
  int number = -1;
  const char* first = deckName.data() + blank + 1;
  const char* last = deckName.data() + deckName.size();
  const auto [end, error] = std::from_chars(first, last, number);
  return error == std::errc() && end == last && number >= 0 ? number : -1;
}

}  // namespace veltro::app
