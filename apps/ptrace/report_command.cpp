#include <filesystem>
#include <iostream>
#include <memory>
#include <string>
#include <utility>

#include "apps/ptrace/commands.h"
#include "apps/ptrace/progress.h"
#include "apps/ptrace/report_command_support.h"
#include "apps/ptrace/trace_input.h"
#include "report/phase/diagnostic_report.h"
#include "report/processed_data_report.h"
#include "tracer/performance_tracer.h"

namespace ptrace_tool {
namespace {

struct ReportOptions {
  std::string trace;
  std::string output;
  std::string grouping = kAllGroupings;
  std::string metric{pt::metricText(pt::Metric::kTime)};
  bool aggregate = false;
};

// Phases that do not pair give the error page instead of the report. Beside
// it goes the diagnostic report, which the page links to; its file name.
std::string writeErrorPageAndDiagnosticReport(const std::string& output, const ReportOptions& options) {
  std::filesystem::path diagnostic = output;
  if (diagnostic.extension() == ".html") diagnostic.replace_extension();
  diagnostic += "-diagnostic.html";
  refuseToOverwrite(diagnostic.string(), options.trace);
  PerformanceTracer& tracer = *PerformanceTracer::getInstance();
  requireWritten(tracer.diagnosticReport(diagnostic.string(), options.grouping, nullptr), diagnostic.string());
  requireWritten(pt::writeInstrumentationErrorPage(output, diagnostic.filename().string()), output);
  return diagnostic.string();
}

// The report's file name, then a line naming the diagnostic report when one was written.
std::string writeReport(const ReportOptions& options) {
  const std::string output =
      reportFile(options.output, options.trace,
                 std::string(options.aggregate ? "-aggregate" : "") + "-" + options.metric + ".html", {options.trace});
  loadTrace(options.trace);
  const Progress writing("writing the report");
  // Checks the grouping; the page is written from this one analysis.
  PTProcessedDataStruct summary = analyseGrouping(options.grouping);
  PerformanceTracer& tracer = *PerformanceTracer::getInstance();
  // Without points there is nothing to diagnose; the page says there is no data.
  if (const PTRawDataVector* points = tracer.rawDataVector(); summary.hasErrors && points && !points->empty()) {
    const std::string diagnostic = writeErrorPageAndDiagnosticReport(output, options);
    return output + "\n" + diagnostic + ": diagnostic report (the phases do not pair cleanly, so the page is an " +
           "error page that links to this report of where)";
  }
  // The recording machine's description, not this one's.
  requireWritten(pt::writePhaseReport(tracer, output, std::move(summary), options.trace, options.metric,
                                      options.aggregate, tracer.getStoredSystemInfo()),
                 output);
  return output;
}

}  // namespace

void addReportCommand(CLI::App& app, int& exitCode) {
  auto options = std::make_shared<ReportOptions>();
  CLI::App* command = app.add_subcommand("report", "Write the HTML report of a saved trace");
  command->add_option("trace", options->trace, "Trace data file (.kvd)")->required();
  command->add_option("-o,--output", options->output, "Report file (default: beside the trace)");
  addGroupingOption(*command, options->grouping, "report");
  addMetricOption(*command, options->metric, "What the report measures");
  command->add_flag("--aggregate", options->aggregate, "Write the aggregate report (one row per phase)");
  runPrintingResult(*command, exitCode, [options] { return writeReport(*options); });
}

}  // namespace ptrace_tool
