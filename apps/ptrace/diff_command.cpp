#include <iostream>
#include <memory>
#include <string>

#include "apps/ptrace/commands.h"
#include "apps/ptrace/progress.h"
#include "apps/ptrace/report_command_support.h"
#include "apps/ptrace/trace_input.h"
#include "platform/host_messages.h"
#include "sysinfo/system_info.h"
#include "tracer/performance_tracer.h"

namespace ptrace_tool {
namespace {

struct DiffOptions {
  std::string lhs;
  std::string rhs;
  std::string output;
  std::string grouping = kAllGroupings;
  std::string metric{pt::metricText(pt::Metric::kTime)};
  bool aggregate = false;
};

struct Side {
  const char* name;  // "LHS" or "RHS"
  const std::string& path;
  PTRawDataVector points;
  PTSystemInfoStruct systemInfo;
};

// A side the comparison cannot use, named by its role and file: no points,
// none of the grouping, or phases that do not pair (the page would be empty).
void checkSide(Side& side, const std::string& grouping) {
  const std::string which = std::string("the ") + side.name + " trace";
  if (side.points.empty()) {
    throw CommandError(which + ": " + platform::hostMessageText("NoRawTracerDataLoaded", {side.path}));
  }
  // Checked on the tracer's deep copy, so that the points compared later
  // have not been through an analysis already.
  PerformanceTracer::getInstance()->setRawDataVector(side.points);
  try {
    if (analyseGrouping(grouping).hasErrors) {
      throw CommandError("the phases of " + which + " '" + side.path + "' do not pair cleanly; 'ptrace diag " +
                         side.path + "' shows where");
    }
  } catch (const CommandError& error) {
    const std::string text = error.what();
    if (text.rfind("unknown grouping", 0) == 0) throw CommandError(which + " '" + side.path + "': " + text);
    throw;
  }
}

// The report's file name.
std::string writeComparisonReport(const DiffOptions& options) {
  const std::string output =
      reportFile(options.output, options.rhs,
                 std::string(options.aggregate ? "-aggregate" : "") + "-diff-" + options.metric + ".html",
                 {options.lhs, options.rhs});
  // Both files are read into the one process-wide set of tables, so a phase
  // has the same number, and the same name, on both sides.
  Side lhs{"LHS", options.lhs, {}, {}};
  Side rhs{"RHS", options.rhs, {}, {}};
  readTrace(lhs.path, lhs.points, lhs.systemInfo);
  readTrace(rhs.path, rhs.points, rhs.systemInfo);
  const Progress comparing("comparing the traces");
  checkSide(lhs, options.grouping);
  checkSide(rhs, options.grouping);
  PerformanceTracer& tracer = *PerformanceTracer::getInstance();
  const bool written =
      options.aggregate
          ? tracer.generateHTMLAggregateComparisonReport(output, options.grouping, lhs.path, rhs.path, &lhs.points,
                                                         &rhs.points, &lhs.systemInfo, &rhs.systemInfo, options.metric)
          : tracer.generateHTMLComparisonReport(output, options.grouping, lhs.path, rhs.path, &lhs.points, &rhs.points,
                                                &lhs.systemInfo, &rhs.systemInfo, options.metric);
  requireWritten(written, output);
  return output;
}

}  // namespace

void addDiffCommand(CLI::App& app, int& exitCode) {
  auto options = std::make_shared<DiffOptions>();
  CLI::App* command = app.add_subcommand(
      "diff", "Write the comparison report of two saved traces: what got slower or bigger, and where");
  command->add_option("lhs", options->lhs, "Trace data file to compare against (.kvd)")->required();
  command->add_option("rhs", options->rhs, "Trace data file compared with it (.kvd)")->required();
  command->add_option("-o,--out", options->output, "Report file (default: beside the RHS trace)");
  addGroupingOption(*command, options->grouping, "compare");
  addMetricOption(*command, options->metric, "What the report compares");
  command->add_flag("--aggregate", options->aggregate, "Compare per-phase aggregates only (one row per phase)");
  runPrintingResult(*command, exitCode, [options] { return writeComparisonReport(*options); });
}

}  // namespace ptrace_tool
