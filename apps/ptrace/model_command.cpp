#include <filesystem>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "analysis/processed_data.h"
#include "apps/ptrace/commands.h"
#include "apps/ptrace/progress.h"
#include "apps/ptrace/trace_input.h"
#include "report/model/model_report.h"
#include "tracer/performance_tracer.h"

namespace ptrace_tool {
namespace {

struct ModelOptions {
  std::vector<std::string> traces;
  std::string output;
  std::string grouping = kAllGroupings;
  std::string metric = "time";
  bool flameGraph = false;
  bool diff = false;
};

std::string writeModelReport(const ModelOptions& options) {
  const std::string& trace = options.traces.front();
  std::string output = options.output.empty() ? besideTrace(trace, "-model.html") : options.output;
  refuseToOverwrite(output, trace);
  loadTrace(trace);
  const Progress writing("writing the model report");
  const PTProcessedDataStruct summary = analyseGrouping(options.grouping);
  // Test-manager recordings are shown by test file, suite and case.
  const PTReportType type = summary.reportKind == PT_REPORT_TEST_MANAGER ? PT_REPORT_TEST : PT_REPORT_MODEL;
  PerformanceTracer& tracer = *PerformanceTracer::getInstance();
  if (!generateReport_modelBased(tracer, output, options.grouping, options.metric, {}, nullptr, type,
                                 options.flameGraph)) {
    throw CommandError("cannot write the report file '" + output + "'");
  }
  return output;
}

}  // namespace

void addModelCommand(CLI::App& app, int& exitCode) {
  auto options = std::make_shared<ModelOptions>();
  CLI::App* command =
      app.add_subcommand("model", "Write the model-based report of a saved trace, or of the difference of two");
  command->add_option("traces", options->traces, "Trace data file (.kvd); with --diff the LHS and RHS files")
      ->required()
      ->expected(1, 2);
  command->add_flag("--diff", options->diff, "Compare two traces: LHS.kvd RHS.kvd");
  command->add_option("-o,--out", options->output, "Report file (default: beside the (LHS) trace)");
  command->add_option("--grouping", options->grouping, "Grouping to report; GLOBAL admits every point")
      ->capture_default_str();
  command->add_option("--metric", options->metric, "What the flame graph (and a difference) measures")
      ->check(CLI::IsMember({"time", "basicmemory", "detailedmemory"}))
      ->capture_default_str();
  command->add_flag("--flamegraph", options->flameGraph, "Draw a flame graph of the recording");
  command->callback([options, &exitCode] {
    if (options->diff != (options->traces.size() == 2)) {
      throw CommandError(options->diff ? "--diff needs two trace files: LHS.kvd RHS.kvd"
                                       : "one trace file, or --diff with two");
    }
    std::cout << writeModelReport(*options) << "\n";
    exitCode = 0;
  });
}

}  // namespace ptrace_tool
