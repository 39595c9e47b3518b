// The playlist's entries and its next-entry marker: the songs the mixer's automatic mode and its
// "fade now" button take next, in the order the DJ arranged them. Each entry shows
// artist + " - " + title and names its song by the library record's path. The marker is the index
// of the entry taken next; deleting or moving entries never moves it (it keeps its index).
//
// Thread: UI thread only (it reads and selects in the song library, a UI-thread object).
// Ownership: holds its entries by value; the library is borrowed per call.
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace veltro::library {
class SongDatabase;
}

namespace veltro::playlist {

struct PlaylistEntry {
  std::string text;  // artist + " - " + title
  std::string path;  // the library record's path, byte for byte

  bool operator==(const PlaylistEntry&) const = default;
};

// A drag moves the selection by one entry each time the pointer has gone more than this many
// pixels up or down from where the last step (or the press) left it.
inline constexpr int kDragStepPixels = 11;

class Playlist {
 public:
  // Adds artist + " - " + title with `path` at the end.
  void Append(std::string_view artist, std::string_view title, std::string_view path);
  // Adds `entry` at the end.
  void Append(PlaylistEntry entry);
  // Removes every entry; the marker keeps its value.
  void Clear() { entries_.clear(); }

  int Count() const { return static_cast<int>(entries_.size()); }
  std::span<const PlaylistEntry> Entries() const { return entries_; }
  // The entry at `index` (0 ... Count() - 1).
  const PlaylistEntry& Entry(int index) const { return entries_.at(static_cast<size_t>(index)); }
  // What the list shows for entry `index`: its position counted from 1, ". " and its text
  // ("1. Artist - Title"); empty for an index outside the list.
  std::string DisplayText(int index) const;

  // The next-entry marker: any value may be stored (TakeNext brings one beyond the list back
  // to 0).
  int Marker() const { return marker_; }
  void SetMarker(int index) { marker_ = index; }

  // Deletes the entries at `indices` (any order; duplicates and indices outside the list are
  // ignored), from the highest index down. The marker keeps its value.
  void Remove(std::vector<int> indices);

  // Moves every entry of `selection` (ascending, within the list) one position up, in
  // ascending order, and updates `selection` to where they are now. Nothing happens, and false
  // is returned, when the selection is empty or holds entry 0.
  bool MoveUp(std::vector<int>& selection);
  // The same downward, in descending order; nothing happens when it holds the last entry.
  bool MoveDown(std::vector<int>& selection);

  // One step of a drag with the pointer at `y` (pixels, growing downward) after the press or the
  // last step left it at `rememberedY`: more than kDragStepPixels above moves the selection up
  // once, then more than kDragStepPixels below (of the possibly updated position) moves it down
  // once; each move remembers `y`. `selection` is ascending and is updated. Returns whether an
  // entry moved.
  bool DragStep(std::vector<int>& selection, int& rememberedY, int y);

  // Makes the marked entry's song the library's current record and advances the marker by one,
  // wrapping from the last entry to the first. A marker beyond the list (or negative) starts
  // again at 0. An entry whose path is no longer in the library (exact match) is skipped and the
  // marker moves past it; when no entry is in the library the marker stays and nothing is
  // selected. Returns whether a record was made current. Nothing happens on an empty list.
  bool TakeNext(library::SongDatabase& library);

 private:
  void MoveEntry(int from, int to);

  std::vector<PlaylistEntry> entries_;
  int marker_ = 0;
};

}  // namespace veltro::playlist
