// What the commands that write a report page share: their --grouping and
// --metric options, the report file's name and the check that it is not a
// trace, the error for a page that could not be written, and printing the
// file's name once the work is done.
//
//   addGroupingOption(*command, options->grouping, "report");
//   runPrintingResult(*command, exitCode, [options] { return writeReport(*options); });
//   std::string output = reportFile(options.output, options.trace, "-model.html", {options.trace});
#pragma once

#include <functional>
#include <initializer_list>
#include <string>

#include <CLI/CLI.hpp>

namespace ptrace_tool {

/// --grouping, "Grouping to <what>; GLOBAL admits every point", showing its default.
void addGroupingOption(CLI::App& command, std::string& grouping, const std::string& what);

/// --metric, accepting the library's metric texts, showing its default.
void addMetricOption(CLI::App& command, std::string& metric, const std::string& help);

/// `chosen`, or when empty the name beside `besideOf` ending in `suffix`;
/// CommandError when it would overwrite one of `traces`.
std::string reportFile(const std::string& chosen, const std::string& besideOf, const std::string& suffix,
                       std::initializer_list<std::string> traces);

/// CommandError naming `output` when the page was not written.
void requireWritten(bool written, const std::string& output);

/// Runs `work` as the command's action, then prints the text it returns as a
/// line of its own (after the work's progress line is gone) and succeeds.
void runPrintingResult(CLI::App& command, int& exitCode, std::function<std::string()> work);

}  // namespace ptrace_tool
