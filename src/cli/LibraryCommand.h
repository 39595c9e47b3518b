// `veltro-cli library`: looks at the song library in the current directory (./Data) from the
// command line, the way the main window sees it after start-up: its statistics, its list in
// each order, the quick-find jump, the wildcard search, and a read-only check of the five files.
#pragma once

#include <string_view>
#include <vector>

namespace veltro::cli {

// Runs one library subcommand; `args` are the words after "library" (for example
// {"list", "--order", "year"}). Main thread only; prints to stdout and stderr. Returns the exit
// status: 0 success, 1 failure (one line on stderr, or the check's reasons on stdout), 2 usage
// when no subcommand is given. `check` never writes; the other subcommands load the library as
// start-up does, rewriting inconsistent index files; an absent Data.ndb is never created.
int RunLibraryCommand(const std::vector<std::string_view>& args);

}  // namespace veltro::cli
