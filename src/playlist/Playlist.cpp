#include "playlist/Playlist.h"

#include <algorithm>
#include <functional>
#include <utility>

#include "library/SongDatabase.h"

namespace veltro::playlist {

void Playlist::Append(std::string_view artist, std::string_view title, std::string_view path) {
  std::string text;
  text.reserve(artist.size() + 3 + title.size());
  text.append(artist).append(" - ").append(title);
  entries_.push_back({std::move(text), std::string(path)});
}

void Playlist::Append(PlaylistEntry entry) {
  entries_.push_back(std::move(entry));
}

std::string Playlist::DisplayText(int index) const {
  if (index < 0 || index >= Count()) return {};
  return std::to_string(index + 1) + ". " + Entry(index).text;
}

void Playlist::Remove(std::vector<int> indices) {
  std::sort(indices.begin(), indices.end(), std::greater<>());
  indices.erase(std::unique(indices.begin(), indices.end()), indices.end());
  for (int index : indices) {
    if (index >= 0 && index < Count()) entries_.erase(entries_.begin() + index);
  }
}

void Playlist::MoveEntry(int from, int to) {
  PlaylistEntry entry = std::move(entries_.at(static_cast<size_t>(from)));
  entries_.erase(entries_.begin() + from);
  entries_.insert(entries_.begin() + to, std::move(entry));
}

bool Playlist::MoveUp(std::vector<int>& selection) {
  if (selection.empty() || selection.front() <= 0 || selection.back() >= Count()) return false;
  for (int& index : selection) {
    MoveEntry(index, index - 1);
    --index;
  }
  return true;
}

bool Playlist::MoveDown(std::vector<int>& selection) {
  if (selection.empty() || selection.front() < 0 || selection.back() >= Count() - 1) return false;
  for (auto it = selection.rbegin(); it != selection.rend(); ++it) {
    MoveEntry(*it, *it + 1);
    ++*it;
  }
  return true;
}

bool Playlist::DragStep(std::vector<int>& selection, int& rememberedY, int y) {
  bool moved = false;
  if (y < rememberedY - kDragStepPixels && MoveUp(selection)) {
    rememberedY = y;
    moved = true;
  }
  if (y > rememberedY + kDragStepPixels && MoveDown(selection)) {
    rememberedY = y;
    moved = true;
  }
  return moved;
}

bool Playlist::TakeNext(library::SongDatabase& library) {
  if (entries_.empty()) return false;
  // A marker outside the list starts at 0, but keeps its value when no entry can be taken.
  const int start = marker_ < 0 || marker_ >= Count() ? 0 : marker_;
  for (int tried = 0; tried < Count(); ++tried) {
    const int index = (start + tried) % Count();
    const int record = library.RecordWithPath(Entry(index).path);
    if (record < 0) continue;
    library.SetCurrent(record);
    marker_ = (index + 1) % Count();
    return true;
  }
  return false;
}

}  // namespace veltro::playlist
