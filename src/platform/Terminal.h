// Whether an output stream is a terminal, for progress lines that only a person watching needs.
#pragma once

#include <cstdio>

namespace veltro::platform {

// Columns of the terminal `stream` writes to; 0 when it is not a terminal (a file, a pipe).
// A terminal that does not say its width counts as the customary 80 columns. Any thread.
int TerminalColumns(std::FILE* stream);

}  // namespace veltro::platform
