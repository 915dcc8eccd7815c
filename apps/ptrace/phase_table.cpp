#include "apps/ptrace/phase_table.h"

#include <algorithm>
#include <cstdio>
#include <vector>

#include "tracer/performance_tracer.h"

namespace ptrace_tool {

std::string topPhasesTable(const PTAggregateDataMap& aggregates, std::size_t limit) {
  std::vector<const PTAggregateDataPoint*> rows;
  for (const auto& entry : aggregates) rows.push_back(entry.second.get());
  std::stable_sort(rows.begin(), rows.end(), [](const auto* a, const auto* b) {
    return a->wcElapsedTime > b->wcElapsedTime;
  });
  rows.resize(std::min(rows.size(), limit));

  const PerformanceTracer& tracer = *PerformanceTracer::getInstance();
  std::size_t width = 5;
  for (const auto* row : rows) width = std::max(width, tracer.getStringForNumber(EPT_PHASE, row->phaseID).size());
  std::string text;
  char line[512];
  std::snprintf(line, sizeof line, "  %-*s %7s %12s %12s\n", static_cast<int>(width), "Phase", "Count", "Self (ms)",
                "Total (ms)");
  text += line;
  for (const auto* row : rows) {
    std::snprintf(line, sizeof line, "  %-*s %7d %12.2f %12.2f\n", static_cast<int>(width),
                  tracer.getStringForNumber(EPT_PHASE, row->phaseID).c_str(), row->count, row->wcElapsedTime * 1e3,
                  row->wcTotalTime * 1e3);
    text += line;
  }
  return text;
}

}  // namespace ptrace_tool
