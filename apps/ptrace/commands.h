// The subcommands of the ptrace tool; each registers itself on the CLI11 app
// and returns the exit code of the run through `exitCode`.
#pragma once

#include <CLI/CLI.hpp>

namespace ptrace_tool {

/// `ptrace system`: the host and system information a trace records.
void addSystemCommand(CLI::App& app, int& exitCode);

/// Prints the system information record, one labelled line per field.
void printSystemInfo();

}  // namespace ptrace_tool
