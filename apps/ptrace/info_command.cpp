#include <algorithm>
#include <iostream>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <sstream>
#include <string>

#include "analysis/thread_pairing.h"
#include "apps/ptrace/commands.h"
#include "apps/ptrace/phase_table.h"
#include "apps/ptrace/progress.h"
#include "apps/ptrace/terminal_text.h"
#include "apps/ptrace/trace_input.h"
#include "sysinfo/system_info.h"
#include "tracer/fixed_texts.h"
#include "tracer/performance_tracer.h"

namespace ptrace_tool {
namespace {

std::string joined(const std::set<std::string>& names) {
  std::string text;
  for (const std::string& name : names)
    text += (text.empty() ? "" : ", ") + (name.empty() ? "(none)" : printable(name));
  return text.empty() ? "(none)" : text;
}

void runInfo(const std::string& path) {
  loadTrace(path);
  PerformanceTracer& tracer = *PerformanceTracer::getInstance();
  const PTRawDataVector& points = *tracer.rawDataVector();
  std::optional<Progress> analysing(std::in_place, "analysing");

  std::map<std::string, std::size_t> pointsPerGrouping;
  std::set<std::string> phases, models, targets;
  double first = 0.0, last = 0.0;
  for (const auto& point : points) {
    ++pointsPerGrouping[tracer.getStringForNumber(EPT_GROUPING, point->grouping)];
    phases.insert(tracer.getStringForNumber(EPT_PHASE, point->phase));
    if (const auto* subject = dynamic_cast<const PTCLTGXDataPoint*>(point.get())) {
      if (subject->model != -1) models.insert(tracer.getStringForNumber(EPT_MODEL, subject->model));
      if (subject->target != -1) targets.insert(tracer.getStringForNumber(EPT_TARGET, subject->target));
    } else if (const auto* generic = dynamic_cast<const PTTracerDataPoint*>(point.get())) {
      if (const auto model = generic->getIdentifierNum(pt::kModelIdentifier); model != -1)
        models.insert(tracer.getStringForNumber(pt::kModelIdentifier, model));
      if (const auto target = generic->getIdentifierNum(pt::kTargetIdentifier); target != -1)
        targets.insert(tracer.getStringForNumber(pt::kTargetIdentifier, target));
    }
    first = &point == &points.front() ? point->wallClockTime : std::min(first, point->wallClockTime);
    last = &point == &points.front() ? point->wallClockTime : std::max(last, point->wallClockTime);
  }
  const pt::PairedTrace paired = pt::pairPerThread(tracer, kAllGroupings);
  analysing.reset();  // its line is gone before the summary is printed

  // Every name below comes from the file, and may hold control characters.
  std::cout << "Trace " << printable(path) << "\n";
  std::cout << "  Points: " << points.size() << "\n";
  std::cout << "  Paired phases: " << paired.pairedPhases << "\n";
  std::cout << "  Error rows: " << paired.errorRows
            << (paired.problems.empty() ? "" : " (the trace does not pair cleanly; ptrace diag shows where)") << "\n";
  constexpr std::size_t kProblemsShown = 10;
  for (std::size_t i = 0; i < std::min(kProblemsShown, paired.problems.size()); ++i) {
    const pt::PairingProblem& problem = paired.problems[i];
    std::cout << "    at " << (problem.wallClockTime - first) << " s: " << problem.reason << "\n";
  }
  if (paired.problems.size() > kProblemsShown) {
    std::cout << "    ... and " << (paired.problems.size() - kProblemsShown) << " more\n";
  }
  std::cout << "  Time span: " << (last - first) << " s\n";
  std::istringstream table(topPhasesTable(paired.summary.diagnosticInfos, 8));
  for (std::string line; std::getline(table, line);) std::cout << "  " << line << "\n";
  std::cout << "  Groupings:\n";
  for (const auto& [name, count] : pointsPerGrouping)
    std::cout << "    " << printable(name) << " (" << count << " points)\n";
  std::cout << "  Phases (" << phases.size() << "): " << joined(phases) << "\n";
  std::cout << "  Models: " << joined(models) << "\n";
  std::cout << "  Targets: " << joined(targets) << "\n";
  std::cout << "  Test paths: " << tracer.getMapTestPath().size() << "\n";
  std::cout << "Recorded on\n";
  const PTSystemInfoStruct* info = tracer.getStoredSystemInfo();
  const std::pair<const char*, std::string PTSystemInfoStruct::*> rows[] = {
      {"Processor", &PTSystemInfoStruct::processorStr},
      {"CPU speed", &PTSystemInfoStruct::cpuSpeedStr},
      {"Cores", &PTSystemInfoStruct::numCoresStr},
      {"Physical memory", &PTSystemInfoStruct::totalPhysMemStr},
      {"Operating system", &PTSystemInfoStruct::operatingSystemStr},
      {"Host version", &PTSystemInfoStruct::KAVLORVersionStr},
  };
  for (const auto& [label, field] : rows) {
    const std::string value = info ? info->*field : std::string();
    std::cout << "  " << label << ": " << (value.empty() ? "(not recorded)" : printable(value)) << "\n";
  }
}

}  // namespace

void addInfoCommand(CLI::App& app, int& exitCode) {
  auto path = std::make_shared<std::string>();
  CLI::App* command = app.add_subcommand("info", "Summarise a saved trace: points, groupings, phases, models, machine");
  command->add_option("trace", *path, "Trace data file (.kvd)")->required();
  command->footer(kSelfTimeHelp);
  command->callback([path, &exitCode] {
    runInfo(*path);
    exitCode = 0;
  });
}

}  // namespace ptrace_tool
