#include <iostream>
#include <memory>
#include <string>

#include "apps/ptrace/commands.h"
#include "apps/ptrace/progress.h"
#include "apps/ptrace/report_command_support.h"
#include "apps/ptrace/trace_input.h"
#include "tracer/performance_tracer.h"

namespace ptrace_tool {
namespace {

struct DiagOptions {
  std::string trace;
  std::string output;
  std::string grouping = kAllGroupings;
};

// The report's file name.
std::string writeDiagnosticReport(const DiagOptions& options) {
  const std::string output = reportFile(options.output, options.trace, "-diagnostic.html", {options.trace});
  loadTrace(options.trace);
  checkGrouping(options.grouping);
  const Progress writing("writing the diagnostic report");
  requireWritten(PerformanceTracer::getInstance()->diagnosticReport(output, options.grouping, nullptr), output);
  return output;
}

}  // namespace

void addDiagCommand(CLI::App& app, int& exitCode) {
  auto options = std::make_shared<DiagOptions>();
  CLI::App* command =
      app.add_subcommand("diag", "Write the diagnostic report: every point of a saved trace, unpaired ones on red");
  command->add_option("trace", options->trace, "Trace data file (.kvd)")->required();
  command->add_option("-o,--out", options->output, "Report file (default: beside the trace)");
  addGroupingOption(*command, options->grouping, "show");
  runPrintingResult(*command, exitCode, [options] { return writeDiagnosticReport(*options); });
}

}  // namespace ptrace_tool
