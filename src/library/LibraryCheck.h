// Verifies the five library files on disk against each other, without changing anything.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "library/LibraryPaths.h"

namespace veltro::library {

// Every reason why the files disagree, one line each ("a.ndx: holds 3 entries, the library
// has 4 records"); empty when they form a consistent library. A 0-byte Data.ndb (as created
// before the first write) is an empty library; a missing file and a folder, FIFO or device in
// a file's place (never opened in a way that waits) are reasons. An index holding more whole
// entries than there are records is a reason too: a reader loads only the first ones, but such
// a file was not written as an index of these records (an emptied Data.ndb beside full indexes
// is not an empty library). Bytes after the last whole entry are ignored, as readers ignore
// them.
// `recordCount`, when given, receives the number of records a reader loads from Data.ndb.
std::vector<std::string> CheckLibraryFiles(const LibraryPaths& paths,
                                           size_t* recordCount = nullptr);

}  // namespace veltro::library
