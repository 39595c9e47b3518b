// Runs a command line through the shell, as a user would type it, for the tests that start the
// real veltro-cli binary.
#pragma once

#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <string>

namespace veltro::testing {

struct ShellRun {
  int status = -1;     // the exit status; -1 when the command did not exit normally
  std::string output;  // what it wrote to standard output
};

inline ShellRun RunShell(const std::string& command) {
  ShellRun run;
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return run;
  std::array<char, 512> chunk{};
  size_t got = 0;
  while ((got = fread(chunk.data(), 1, chunk.size(), pipe)) > 0)
    run.output.append(chunk.data(), got);
  const int wait = pclose(pipe);
  run.status = WIFEXITED(wait) ? WEXITSTATUS(wait) : -1;
  return run;
}

}  // namespace veltro::testing
