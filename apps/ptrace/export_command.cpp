#include <iostream>
#include <memory>
#include <string>

#include "apps/ptrace/commands.h"
#include "apps/ptrace/progress.h"
#include "apps/ptrace/report_command_support.h"
#include "apps/ptrace/terminal_text.h"
#include "apps/ptrace/trace_export.h"
#include "apps/ptrace/trace_input.h"
#include "platform/replacing_file.h"
#include "tracer/performance_tracer.h"

namespace ptrace_tool {
namespace {

struct ExportOptions {
  std::string trace;
  std::string output;
  std::string grouping = kAllGroupings;
  bool chrome = false;
  bool folded = false;
};

struct Exported {
  std::string text;  ///< for standard output; the file's name once the file is written
  std::string warnings;
};

Exported runExport(const ExportOptions& options) {
  const bool toFile = !options.output.empty() && options.output != "-";
  if (toFile) refuseToOverwrite(options.output, options.trace);
  loadTrace(options.trace);
  const Progress exporting("exporting");
  checkGrouping(options.grouping);
  // Phases that pair are exported even when others do not.
  const pt::PairedTrace paired = pt::pairPerThread(*PerformanceTracer::getInstance(), options.grouping);
  if (paired.summary.diagnosticInfos.empty() && paired.problems.empty()) {
    throw CommandError("'" + options.trace + "' holds no points to export");
  }
  std::size_t repairedNames = 0;
  // Every name is valid UTF-8 by now; replacing is a guard, never a failure.
  std::string text = options.chrome ? chromeTrace(paired, options.grouping, repairedNames)
                                              .dump(1, ' ', false, nlohmann::json::error_handler_t::replace) +
                                          "\n"
                                    : foldedStacks(paired, repairedNames);
  if (text.empty()) {
    // Only folded stacks can come out empty: no phase pairs, or none takes time.
    throw CommandError("nothing to export from '" + options.trace + "': " +
                       (paired.problems.empty() ? "its phases take no time"
                                                : "no phase of it pairs (" + paired.problems.front().reason + ")"));
  }
  Exported exported;
  if (repairedNames > 0) {
    exported.warnings += "ptrace: warning: " + std::to_string(repairedNames) +
                         " name(s) were not valid UTF-8; each bad byte is written as U+FFFD\n";
  }
  if (!paired.problems.empty()) {
    exported.warnings += "ptrace: warning: " + std::to_string(paired.problems.size()) + " point(s) do not pair and " +
                         (options.chrome ? "are written as instant events" : "are left out") + ", the first because " +
                         printable(paired.problems.front().reason) + " (ptrace info lists them)\n";
  }
  if (!toFile) {
    exported.text = std::move(text);
    return exported;
  }
  // Written whole or not at all: a failed export leaves an earlier one as it was.
  platform::ReplacingFile file(options.output);
  if (!file.isOpen() || !file.write(text) || !file.commit())
    throw CommandError("cannot write '" + options.output + "': " + file.error());
  exported.text = options.output + "\n";
  return exported;
}

}  // namespace

void addExportCommand(CLI::App& app, int& exitCode) {
  auto options = std::make_shared<ExportOptions>();
  CLI::App* command = app.add_subcommand("export", "Export the phases of a saved trace for other viewers");
  command->add_option("trace", options->trace, "Trace data file (.kvd)")->required();
  command->add_option("-o,--output", options->output, "Output file (default: standard output)");
  addGroupingOption(*command, options->grouping, "export");
  auto* chrome = command->add_flag("--chrome", options->chrome, "Chrome Trace Event JSON (opens in Perfetto)");
  auto* folded =
      command->add_flag("--folded", options->folded, "Folded stacks with self nanoseconds, for flame graphs");
  chrome->excludes(folded);
  command->footer(
      "Times are whole nanoseconds in both forms (JSON: microseconds with three decimals from midnight UTC "
      "before the trace starts). Points naming their thread (identifier threadStr) are paired per thread. "
      "Points that do not pair become instant events with the reason in JSON and are left out of folded "
      "stacks; names that are not valid UTF-8 are repaired. Either is said on standard error.");
  command->callback([options, &exitCode] {
    if (!options->chrome && !options->folded) throw CommandError("export: choose a format, --chrome or --folded");
    const Exported exported = runExport(*options);
    // Printed once the step's progress line is gone.
    std::cerr << exported.warnings;
    std::cout << exported.text;
    exitCode = 0;
  });
}

}  // namespace ptrace_tool
