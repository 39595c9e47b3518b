// The transport state of a deck, and the word its status label shows for it.
#pragma once

namespace veltro::decks {

enum class DeckState {
  kNoSong,  // before the first load: the label shows "Status", every transport control waits
  kLoaded,
  kCued,
  kPlaying,
  kPaused,
  kEnded,
  kSeeking,
};

// "Status", "loaded", "cued", "playing", "paused", "ended", "seeking". Static text; any thread.
const char* DeckStateWord(DeckState state);

}  // namespace veltro::decks
