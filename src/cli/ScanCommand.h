// `veltro-cli scan`: the folder scan from a shell, on the song library in the current directory
// (./Data, created with an empty library when missing, as the program's first start does).
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "library/FolderScan.h"

namespace veltro::cli {

struct ScanRequest {
  std::vector<std::string> folders;
  library::ScanOptions options;
  bool clean = false;     // remove songs whose files are missing first
  bool progress = false;  // a progress line on standard error when it is a terminal
};

// Parses the words after "scan": FOLDER... [--no-mp3] [--no-ogg] [--no-wav] [--clean]
// [--progress], in any order. At least one folder unless --clean is given. The reason when the
// words do not form a request.
std::optional<std::string> ParseScanArguments(const std::vector<std::string_view>& args,
                                              ScanRequest& request);

// Runs the scan and the commit, then prints the counts (added, already known, removed, skipped
// by reason) and the library's new size. Main thread only. Exit status: 0 done, 1 the library
// could not be opened or written (the old one stays, one line says why), 2 usage, 130 stopped
// by Ctrl-C before the commit (nothing changed).
int RunScanCommand(const std::vector<std::string_view>& args);

}  // namespace veltro::cli
