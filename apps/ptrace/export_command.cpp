#include <iostream>
#include <memory>
#include <string>

#include "apps/ptrace/commands.h"
#include "apps/ptrace/progress.h"
#include "apps/ptrace/trace_export.h"
#include "apps/ptrace/trace_input.h"
#include "apps/ptrace/trace_pairing.h"
#include "platform/replacing_file.h"

namespace ptrace_tool {
namespace {

struct ExportOptions {
  std::string trace;
  std::string output;
  std::string grouping = kAllGroupings;
  bool chrome = false;
  bool folded = false;
};

// The exported text when it goes to standard output, else the file's name
// once the file is written.
std::string runExport(const ExportOptions& options) {
  const bool toFile = !options.output.empty() && options.output != "-";
  if (toFile) refuseToOverwrite(options.output, options.trace);
  loadTrace(options.trace);
  const Progress exporting("exporting");
  checkGrouping(options.grouping);
  // Phases that pair are exported even when others do not; those become instant events.
  const PairedTrace paired = pairTrace(options.grouping);
  if (paired.summary.diagnosticInfos.empty() && paired.problems.empty()) {
    throw CommandError("'" + options.trace + "' holds no points to export");
  }
  std::string text = options.chrome ? chromeTrace(paired).dump(1) + "\n" : foldedStacks(paired.summary);
  if (!toFile) return text;
  // Written whole or not at all: a failed export leaves an earlier one as it was.
  platform::ReplacingFile file(options.output);
  if (!file.isOpen() || !file.write(text) || !file.commit())
    throw CommandError("cannot write '" + options.output + "': " + file.error());
  return options.output + "\n";
}

}  // namespace

void addExportCommand(CLI::App& app, int& exitCode) {
  auto options = std::make_shared<ExportOptions>();
  CLI::App* command = app.add_subcommand("export", "Export the phases of a saved trace for other viewers");
  command->add_option("trace", options->trace, "Trace data file (.kvd)")->required();
  command->add_option("-o,--output", options->output, "Output file (default: standard output)");
  command->add_option("--grouping", options->grouping, "Grouping to export; GLOBAL admits every point")
      ->capture_default_str();
  auto* chrome = command->add_flag("--chrome", options->chrome, "Chrome Trace Event JSON (opens in Perfetto)");
  auto* folded = command->add_flag("--folded", options->folded, "Folded stacks with self microseconds, for flame graphs");
  chrome->excludes(folded);
  command->callback([options, &exitCode] {
    if (!options->chrome && !options->folded) throw CommandError("export: choose a format, --chrome or --folded");
    // Printed once the step's progress line is gone.
    std::cout << runExport(*options);
    exitCode = 0;
  });
}

}  // namespace ptrace_tool
