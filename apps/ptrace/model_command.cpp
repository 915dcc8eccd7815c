#include <filesystem>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "analysis/processed_data.h"
#include "apps/ptrace/commands.h"
#include "apps/ptrace/progress.h"
#include "apps/ptrace/report_command_support.h"
#include "apps/ptrace/trace_input.h"
#include "report/model/model_diff_report.h"
#include "report/model/model_report.h"
#include "tracer/performance_tracer.h"

namespace ptrace_tool {
namespace {

struct ModelOptions {
  std::vector<std::string> traces;
  std::string output;
  std::string grouping = kAllGroupings;
  std::string metric{pt::metricText(pt::Metric::kTime)};
  bool flameGraph = false;
  bool diff = false;
};

std::string writeModelReport(const ModelOptions& options) {
  const std::string& trace = options.traces.front();
  const std::string output = reportFile(options.output, trace, "-model.html", {trace});
  loadTrace(trace);
  const Progress writing("writing the model report");
  // Checks the grouping; the page is written from this one analysis.
  const PTProcessedDataStruct summary = analyseGrouping(options.grouping);
  // Test-manager recordings are shown by test file, suite and case.
  const PTReportType type = summary.reportKind == PT_REPORT_TEST_MANAGER ? PT_REPORT_TEST : PT_REPORT_MODEL;
  PerformanceTracer& tracer = *PerformanceTracer::getInstance();
  requireWritten(generateReport_modelBased(tracer, output, summary, options.metric, {}, type, options.flameGraph),
                 output);
  return output;
}

// Both files are read into vectors of their own, numbered through the same
// name tables, so that their trees can be matched by name numbers; the
// tracer holds the last one read, whose groupings --grouping is checked against.
PTRawDataVector readSide(const std::string& path) {
  loadTrace(path);
  std::unique_ptr<PTRawDataVector> copy = PerformanceTracer::getInstance()->getRawDataVector();
  return copy ? std::move(*copy) : PTRawDataVector();
}

std::string writeModelDiffReport(const ModelOptions& options) {
  const std::string& lhsTrace = options.traces[0];
  const std::string& rhsTrace = options.traces[1];
  const std::string output = reportFile(options.output, lhsTrace, "-model-diff.html", {lhsTrace, rhsTrace});
  PTRawDataVector lhs = readSide(lhsTrace);
  PTRawDataVector rhs = readSide(rhsTrace);
  const Progress writing("writing the model difference report");
  PerformanceTracer& tracer = *PerformanceTracer::getInstance();
  checkGrouping(options.grouping);
  requireWritten(generateDiffReport_modelBased(tracer, output, options.grouping, lhsTrace, rhsTrace, &lhs, &rhs,
                                               options.metric, options.flameGraph),
                 output);
  // The report leaves its file empty when a recording does not pair.
  std::error_code error;
  if (std::filesystem::file_size(output, error) == 0 && !error) {
    throw CommandError("the phases of '" + lhsTrace + "' or '" + rhsTrace +
                       "' do not pair cleanly (or one holds none); 'ptrace diag' shows where");
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
  addGroupingOption(*command, options->grouping, "report");
  addMetricOption(*command, options->metric, "What the flame graph (and a difference) measures");
  command->add_flag("--flamegraph", options->flameGraph, "Draw a flame graph of the recording");
  runPrintingResult(*command, exitCode, [options] {
    if (options->diff != (options->traces.size() == 2)) {
      throw CommandError(options->diff ? "--diff needs two trace files: LHS.kvd RHS.kvd"
                                       : "one trace file, or --diff with two");
    }
    if (options->diff && pt::parseMetric(options->metric) == pt::Metric::kDetailedMemory) {
      throw CommandError("a model difference report compares \"time\" or \"basicmemory\"");
    }
    return options->diff ? writeModelDiffReport(*options) : writeModelReport(*options);
  });
}

}  // namespace ptrace_tool
