#include "library/KnownPaths.h"

#include <algorithm>

namespace veltro::library {

KnownPaths::KnownPaths(std::vector<std::string> paths) : paths_(std::move(paths)) {
  std::ranges::sort(paths_);
}

bool KnownPaths::Contains(std::string_view path) const {
  return std::binary_search(paths_.begin(), paths_.end(), path, std::less<>{});
}

}  // namespace veltro::library
