// Running a process from a test: a command line through the shell, as a user would type it (the
// tests that start the real veltro-cli binary), for its output and exit status or for its peak
// memory.
#pragma once

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
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

// Runs a command line through the shell in a child process of its own and returns the largest
// resident memory, in MiB (at most 255), that any process of the command reached: the child's
// peak over the processes it waited for (RUSAGE_CHILDREN after they ended). -1 when the child
// did not exit normally. The command's own status and output are not kept: redirect them.
inline int PeakMemoryMiB(const std::string& command) {
  const pid_t child = fork();
  if (child == 0) {
    const int ignored = std::system(command.c_str());
    (void)ignored;
    struct rusage usage {};
    getrusage(RUSAGE_CHILDREN, &usage);
    _exit(static_cast<int>(std::min<long>(usage.ru_maxrss / 1024, 255)));
  }
  int status = 0;
  if (child < 0 || waitpid(child, &status, 0) != child || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
}

}  // namespace veltro::testing
