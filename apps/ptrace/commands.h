// The subcommands of the ptrace tool; each registers itself on the CLI11 app
// and returns the exit code of the run through `exitCode`. A command that
// cannot do its job throws CommandError (or lets a library error through);
// main prints it as one line on standard error.
#pragma once

#include <stdexcept>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>

#include "analysis/metric.h"

namespace ptrace_tool {

/// A problem with the command's input: the message names the thing at fault.
class CommandError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

/// `ptrace system`: the host and system information a trace records.
void addSystemCommand(CLI::App& app, int& exitCode);
/// `ptrace demo`: records an instrumented workload and writes its trace and reports.
void addDemoCommand(CLI::App& app, int& exitCode);
/// `ptrace report`: the HTML report of a saved trace.
void addReportCommand(CLI::App& app, int& exitCode);
/// `ptrace model`: the model-based report of a saved trace, or of two.
void addModelCommand(CLI::App& app, int& exitCode);
/// `ptrace info`: a readable summary of a saved trace.
void addInfoCommand(CLI::App& app, int& exitCode);
/// `ptrace diag`: the diagnostic report of a saved trace.
void addDiagCommand(CLI::App& app, int& exitCode);
/// `ptrace diff`: the comparison report of two saved traces.
void addDiffCommand(CLI::App& app, int& exitCode);
/// `ptrace export`: a saved trace in Chrome Trace Event or folded-stack form.
void addExportCommand(CLI::App& app, int& exitCode);

/// The texts --metric accepts, in the library's order.
inline std::vector<std::string> metricChoices() { return {pt::kMetricTexts.begin(), pt::kMetricTexts.end()}; }

/// Prints the system information record, one labelled line per field.
void printSystemInfo();

}  // namespace ptrace_tool
