#include <filesystem>
#include <iostream>
#include <memory>
#include <string>

#include "apps/ptrace/commands.h"
#include "apps/ptrace/demo_workload.h"
#include "apps/ptrace/phase_table.h"
#include "apps/ptrace/trace_input.h"
#include "host/trace_data_file.h"
#include "report/model/model_diff_report.h"
#include "report/model/model_report.h"
#include "tracer/dynamic_enum.h"
#include "tracer/fixed_texts.h"
#include "tracer/performance_tracer.h"
#include "tracer/pt_clearing.h"

namespace ptrace_tool {
namespace {

constexpr const char* kSlowerModel = "heat_exchanger";

PTRawDataVector readPoints(const std::string& path) {
  PTRawDataVector points;
  PTSystemInfoStruct systemInfo;
  pt::host::readTraceDataFile(path, points, systemInfo);
  return points;
}

// Returns the number of failed tests of the workload.
int runDemo(const std::string& folder) {
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  if (error) throw CommandError("cannot create the folder '" + folder + "': " + error.message());
  const std::filesystem::path out(folder);

  std::cout << "Running the demo workload (load, compile, code generation for TGX, build, tests) ...\n";
  const int failures = runDemoWorkload();

  const std::string trace = (out / "demo.kvd").string();
  pt::host::saveTraceDataFile(trace);

  PerformanceTracer& tracer = *PerformanceTracer::getInstance();
  const PTSystemInfoStruct* systemInfo = tracer.getSystemInfo();
  struct Report {
    std::string file, metric;
    bool aggregate;
  };
  const Report reports[] = {{"demo-time.html", "time", false},
                            {"demo-aggregate.html", "time", true},
                            {"demo-detailedmemory.html", "detailedmemory", false}};
  for (const Report& report : reports) {
    const std::string file = (out / report.file).string();
    const bool written = report.aggregate ? tracer.generateAggregateReport(file, kAllGroupings, "ptrace demo",
                                                                           report.metric, false, nullptr, systemInfo)
                                          : tracer.generateHTMLReport(file, kAllGroupings, "ptrace demo", report.metric,
                                                                      false, nullptr, systemInfo);
    if (!written) throw CommandError("cannot write the report file '" + file + "'");
  }

  const std::string modelReport = (out / "demo-model.html").string();
  if (!generateReport_modelBased(tracer, modelReport, kAllGroupings, "time", {}, nullptr, PT_REPORT_MODEL, true)) {
    throw CommandError("cannot write the report file '" + modelReport + "'");
  }

  // The test manager's grouping alone makes the test report: runs by test file, suite and case.
  const std::string testReport = (out / "demo-tests.html").string();
  if (!generateReport_modelBased(tracer, testReport, pt::kTestManagerGrouping, "time", {}, nullptr, PT_REPORT_TEST,
                                 false)) {
    throw CommandError("cannot write the report file '" + testReport + "'");
  }

  const PTProcessedDataStruct summary = tracer.getProcessedData(nullptr, {kAllGroupings}, false);
  std::cout << "\n" << topPhasesTable(summary.diagnosticInfos, 8);
  std::cout << "\nTests: " << (failures == 0 ? "all passed" : std::to_string(failures) + " failed") << "\n";

  // A second run, one model's code generation made slower on purpose, to
  // show what the difference report finds.
  std::cout << "\nRunning the workload again with " << kSlowerModel << "'s code generation slowed down ...\n";
  ptClearRawData();
  if (runDemoWorkload(kSlowerModel) != 0) std::cout << "Tests of the second run failed\n";
  const std::string slowerTrace = (out / "demo-slower.kvd").string();
  pt::host::saveTraceDataFile(slowerTrace);
  PTRawDataVector lhs = readPoints(trace);
  PTRawDataVector rhs = readPoints(slowerTrace);
  const std::string diffReport = (out / "demo-model-diff.html").string();
  if (!generateDiffReport_modelBased(tracer, diffReport, kAllGroupings, "demo.kvd", "demo-slower.kvd", &lhs, &rhs,
                                     "time", true)) {
    throw CommandError("cannot write the report file '" + diffReport + "'");
  }
  std::cout << "\nWritten to " << std::filesystem::absolute(out).lexically_normal().string() << ":\n";
  std::cout << "  demo.kvd                  the trace (ptrace info / report / export read it)\n";
  std::cout << "  demo-time.html            phase report: times, call tree\n";
  std::cout << "  demo-aggregate.html       aggregate report: one row per phase\n";
  std::cout << "  demo-detailedmemory.html  phase report with the memory statistics\n";
  std::cout << "  demo-model.html           model-based report: models, sections, flame graph\n";
  std::cout << "  demo-tests.html           test report: the test runs by file, suite and case\n";
  std::cout << "  demo-slower.kvd           the trace of the second run, " << kSlowerModel << " slower\n";
  std::cout << "  demo-model-diff.html      model-based difference of the two runs\n";
  std::cout << "Try: ptrace export " << trace << " --chrome -o trace.json   (open in ui.perfetto.dev)\n";
  return failures;
}

}  // namespace

void addDemoCommand(CLI::App& app, int& exitCode) {
  auto folder = std::make_shared<std::string>("ptrace-demo");
  CLI::App* command = app.add_subcommand("demo", "Trace a built-in workload and write its trace and reports");
  command->add_option("--out", *folder, "Output folder")->capture_default_str();
  command->footer(kSelfTimeHelp);
  command->callback([folder, &exitCode] { exitCode = runDemo(*folder) == 0 ? 0 : 1; });
}

}  // namespace ptrace_tool
