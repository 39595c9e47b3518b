// An array of fixed-layout library entries (records or index entries) held either in a private
// view of the file they were loaded from or in a vector of its own. A load maps the file and
// keeps its entries where they lie, so that start-up never copies the library into fresh
// memory; changing an entry in place writes into the view (copy-on-write: only that page is
// copied, and the file never sees it). Replacing the whole array (a commit, a rebuild) moves
// it into a vector.
//
// Owns its view or vector. One thread at a time (the song database's: the UI thread).
#pragma once

#include <cstddef>
#include <span>
#include <type_traits>
#include <utility>
#include <vector>

#include "platform/MappedFile.h"

namespace veltro::library {

template <class Entry>
class LoadedArray {
  static_assert(std::is_trivially_copyable_v<Entry>, "entries are file bytes");

 public:
  LoadedArray() = default;
  explicit LoadedArray(std::vector<Entry> entries) : owned_(std::move(entries)) {
    entries_ = owned_;
  }
  // `count` entries starting `offsetBytes` into `view`, which must hold them and place them
  // at their alignment.
  LoadedArray(platform::MappedFile view, size_t offsetBytes, size_t count)
      : view_(std::move(view)) {
    entries_ = {reinterpret_cast<Entry*>(view_.Bytes().data() + offsetBytes), count};
  }
  LoadedArray(LoadedArray&& other) noexcept { *this = std::move(other); }
  LoadedArray& operator=(LoadedArray&& other) noexcept {
    const bool mapped = other.IsMapped();
    view_ = std::move(other.view_);
    owned_ = std::move(other.owned_);
    entries_ = mapped ? other.entries_ : std::span<Entry>(owned_);
    other.entries_ = {};
    other.owned_.clear();
    return *this;
  }
  LoadedArray(const LoadedArray&) = delete;
  LoadedArray& operator=(const LoadedArray&) = delete;

  std::span<Entry> Span() { return entries_; }
  std::span<const Entry> Span() const { return entries_; }
  size_t size() const { return entries_.size(); }
  bool empty() const { return entries_.empty(); }
  Entry& operator[](size_t i) { return entries_[i]; }
  const Entry& operator[](size_t i) const { return entries_[i]; }
  auto begin() const { return Span().begin(); }
  auto end() const { return Span().end(); }

  // Whether the entries lie in a view of a file.
  bool IsMapped() const { return view_.Size() != 0; }

  // Drops the view or the entries and gives `count` zero entries of its own, to be filled.
  std::span<Entry> Replace(size_t count) {
    view_ = platform::MappedFile();
    owned_.assign(count, Entry{});
    entries_ = owned_;
    return entries_;
  }
  void Clear() { Replace(0); }

 private:
  platform::MappedFile view_;
  std::vector<Entry> owned_;
  std::span<Entry> entries_;
};

}  // namespace veltro::library
