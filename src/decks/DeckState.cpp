#include "decks/DeckState.h"

namespace veltro::decks {

const char* DeckStateWord(DeckState state) {
  switch (state) {
    case DeckState::kLoaded:
      return "loaded";
    case DeckState::kCued:
      return "cued";
    case DeckState::kPlaying:
      return "playing";
    case DeckState::kPaused:
      return "paused";
    case DeckState::kEnded:
      return "ended";
    case DeckState::kSeeking:
      return "seeking";
    case DeckState::kNoSong:
      break;
  }
  return "Status";
}

}  // namespace veltro::decks
