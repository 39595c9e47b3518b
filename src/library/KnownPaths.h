// The paths of a library at one moment, for the folder scan's "already known?" question off the
// UI thread: a copy, so the library may change while a worker asks.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace veltro::library {

// Immutable after construction; any thread may ask once it has been handed over.
class KnownPaths {
 public:
  KnownPaths() = default;
  explicit KnownPaths(std::vector<std::string> paths);

  // Whether exactly this path (letter case included) was in the library.
  bool Contains(std::string_view path) const;
  size_t size() const { return paths_.size(); }

 private:
  std::vector<std::string> paths_;  // sorted byte by byte
};

}  // namespace veltro::library
