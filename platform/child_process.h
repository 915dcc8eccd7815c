// Child processes: runs a program with an argument vector, never through a
// shell, so no argument is ever split, expanded or run as a command.
//
//   platform::ProcessResult r = platform::runProcess({"perl", script, "in.txt"}, "out.svg", "err.txt");
//   if (!r.ok()) complain(r.describe());
#pragma once

#include <string>
#include <vector>

namespace platform {

struct ProcessResult {
  bool started = false;  ///< the program could be started at all
  int exitStatus = -1;   ///< its exit status; -1 when it did not exit normally
  int signal = 0;        ///< the signal that ended it, or 0
  std::string error;     ///< why it could not be started or waited for

  bool ok() const { return started && exitStatus == 0; }
  /// One line naming what went wrong: "could not be started: ...",
  /// "exited with status 2", "ended by signal 9"; "succeeded" when ok().
  std::string describe() const;
};

/// Runs argv[0] (looked up in PATH when it holds no slash) with `argv` and
/// waits for it. Its standard output goes to `stdoutPath` and its standard
/// error to `stderrPath` (created or truncated); an empty path leaves the
/// stream as this process has it. Standard input is /dev/null.
ProcessResult runProcess(const std::vector<std::string>& argv, const std::string& stdoutPath,
                         const std::string& stderrPath);

}  // namespace platform
