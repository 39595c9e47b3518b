// veltro-cli's commands as the user sees them: each name with a one-line summary and the forms
// of its command line. The usage message and --help are both printed from this one table, so
// that the two cannot drift apart from each other.
//
// Any thread; the table is constant.
#pragma once

#include <span>
#include <string_view>

namespace veltro::cli {

struct CommandEntry {
  std::string_view name;
  std::string_view summary;
  std::span<const std::string_view> forms;  // the words after "veltro-cli", one form a line
  std::string_view note;                    // a line shown under the forms; empty when none
};

// Every command, in the order the usage message and the help list them.
std::span<const CommandEntry> Commands();

// Prints "usage: " and every form of the command `name` to stderr, or of every command when
// `name` is empty. Returns the usage exit status, 2.
int PrintUsage(std::string_view name = {});

// Prints the help to stdout: the usage line, every command with its summary and forms, the
// options and the exit statuses. Returns 0, or 1 when stdout cannot be written.
int PrintHelp();

}  // namespace veltro::cli
