#include "apps/ptrace/report_command_support.h"

#include <iostream>
#include <utility>

#include "apps/ptrace/commands.h"
#include "apps/ptrace/trace_input.h"

namespace ptrace_tool {

void addGroupingOption(CLI::App& command, std::string& grouping, const std::string& what) {
  command.add_option("--grouping", grouping, "Grouping to " + what + "; GLOBAL admits every point")
      ->capture_default_str();
}

void addMetricOption(CLI::App& command, std::string& metric, const std::string& help) {
  command.add_option("--metric", metric, help)->check(CLI::IsMember(metricChoices()))->capture_default_str();
}

std::string reportFile(const std::string& chosen, const std::string& besideOf, const std::string& suffix,
                       std::initializer_list<std::string> traces) {
  const std::string output = chosen.empty() ? besideTrace(besideOf, suffix) : chosen;
  for (const std::string& trace : traces) refuseToOverwrite(output, trace);
  return output;
}

void requireWritten(bool written, const std::string& output) {
  if (!written) throw CommandError("cannot write the report file '" + output + "'");
}

void runPrintingResult(CLI::App& command, int& exitCode, std::function<std::string()> work) {
  command.callback([work = std::move(work), &exitCode] {
    std::cout << work() << "\n";
    exitCode = 0;
  });
}

}  // namespace ptrace_tool
