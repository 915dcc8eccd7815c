#include "apps/ptrace/phase_table.h"

#include <algorithm>
#include <cstdio>
#include <set>
#include <vector>

#include "analysis/aggregation.h"
#include "analysis/diagnostic_info.h"
#include "analysis/thread_pairing.h"
#include "apps/ptrace/terminal_text.h"
#include "tracer/performance_tracer.h"

namespace ptrace_tool {
namespace {

// Wall-clock seconds of the phases that no other phase holds: rows come
// thread by thread in start order, so the open phases are a stack cut back
// to each row's depth and start (a parent that did not pair leaves its
// children on top).
double timeInAll(const PTDiagnosticInfoVector& rows) {
  struct Open {
    std::int32_t depth;
    double end;
  };
  double total = 0.0;
  std::vector<Open> open;
  std::string openThread;
  for (const auto& info : rows) {
    const PTKAVLORProcessedDataPoint& row = *info->processedPoint;
    if (row.gapRow) continue;
    if (std::string thread = pt::threadOf(*PerformanceTracer::getInstance(), row); thread != openThread) {
      open.clear();
      openThread = std::move(thread);
    }
    while (!open.empty() && (open.back().depth >= row.stackDepth || open.back().end < row.wcStartTime)) open.pop_back();
    if (open.empty()) total += row.wcElapsedTime;
    open.push_back({row.stackDepth, row.wcStartTime + row.wcElapsedTime});
  }
  return total;
}

}  // namespace

std::string topPhasesTable(const PTDiagnosticInfoVector& rows, std::size_t limit) {
  if (rows.empty()) return "";
  const PerformanceTracer& tracer = *PerformanceTracer::getInstance();
  // Gap rows of their own phase ("Unaccounted Phase", "_post") are time no
  // phase was logged for; "_self" rows are already their parent's self time.
  std::set<std::int32_t> loggedPhases;
  for (const auto& info : rows) {
    if (!info->processedPoint->gapRow) loggedPhases.insert(info->processedPoint->phase);
  }
  const PTAggregateDataMap aggregates = getAggregateData(tracer, rows);
  std::vector<const PTAggregateDataPoint*> phases;
  for (const auto& entry : aggregates) {
    if (loggedPhases.count(entry.second->phaseID) > 0) phases.push_back(entry.second.get());
  }
  std::stable_sort(phases.begin(), phases.end(),
                   [](const auto* a, const auto* b) { return a->wcElapsedTime > b->wcElapsedTime; });
  const double inAll = timeInAll(rows);
  double unaccounted = inAll, others = 0.0;
  for (const auto* phase : phases) unaccounted -= phase->wcElapsedTime;
  for (std::size_t i = limit; i < phases.size(); ++i) others += phases[i]->wcElapsedTime;
  const std::size_t notListed = phases.size() - std::min(phases.size(), limit);
  phases.resize(phases.size() - notListed);

  std::vector<std::string> names;
  for (const auto* phase : phases) names.push_back(printable(tracer.getStringForNumber(EPT_PHASE, phase->phaseID)));
  const std::string othersName = std::to_string(notListed).insert(0, 1, '(').append(" other phases)");
  std::size_t width = std::string("(unaccounted)").size();
  for (const std::string& name : names) width = std::max(width, name.size());
  if (notListed > 0) width = std::max(width, othersName.size());

  // Names are padded apart from the numbers: they may be longer than a line buffer.
  const auto padded = [width](const std::string& name) {
    std::string cell(2, ' ');
    cell.append(name).append(width - name.size(), ' ');
    return cell;
  };
  char line[96];
  std::snprintf(line, sizeof line, "Top phases by self time (%.2f ms in all):\n", inAll * 1e3);
  std::string text = line;
  std::snprintf(line, sizeof line, " %7s %12s %12s\n", "Count", "Self (ms)", "Total (ms)");
  text += padded("Phase") + line;
  for (std::size_t i = 0; i < phases.size(); ++i) {
    std::snprintf(line, sizeof line, " %7d %12.2f %12.2f\n", phases[i]->count, phases[i]->wcElapsedTime * 1e3,
                  phases[i]->wcTotalTime * 1e3);
    text += padded(names[i]) + line;
  }
  if (notListed > 0) {
    std::snprintf(line, sizeof line, " %7s %12.2f\n", "", others * 1e3);
    text += padded(othersName) + line;
  }
  std::snprintf(line, sizeof line, " %7s %12.2f\n", "", unaccounted * 1e3);
  text += padded("(unaccounted)") + line;
  return text;
}

}  // namespace ptrace_tool
