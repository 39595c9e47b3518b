// Runs a check as a user whom file permissions apply to. Root ignores permission bits, so when
// the tests run as root the check runs in a forked child that has become "nobody"; otherwise it
// runs in place. The check returns 0 for success or a code naming what failed.
#pragma once

#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>

namespace veltro::testing {

inline constexpr uid_t kNobodyId = 65534;

// The check's code, or 255 when the child could not drop its privileges or did not exit.
inline int RunUnprivileged(const std::function<int()>& check) {
  if (geteuid() != 0) return check();
  const pid_t child = fork();
  if (child == 0) {
    _exit(setgid(kNobodyId) == 0 && setuid(kNobodyId) == 0 ? check() : 255);
  }
  int status = 0;
  if (waitpid(child, &status, 0) != child || !WIFEXITED(status)) return 255;
  return WEXITSTATUS(status);
}

}  // namespace veltro::testing
