#include "apps/ptrace/trace_pairing.h"

#include <algorithm>

#include <boost/unordered_map.hpp>
#include <boost/unordered_set.hpp>

#include "analysis/diagnostic_info.h"
#include "tracer/performance_tracer.h"

namespace ptrace_tool {
namespace {

struct Found {
  std::size_t index;  ///< of the point in logging order
  PairingProblem problem;
};

std::int32_t threadNumberOf(const PTKAVLORDataPoint* point) {
  const auto* generic = dynamic_cast<const PTTracerDataPoint*>(point);
  return generic == nullptr ? -1 : generic->getIdentifierNum(kThreadIdentifier);
}

void addTotals(PTProcessedDataStruct& into, const PTProcessedDataStruct& from) {
  into.totalWallClockTime += from.totalWallClockTime;
  into.totalCpuTime += from.totalCpuTime;
  into.numLevels = std::max(into.numLevels, from.numLevels);
  into.hasErrors = into.hasErrors || from.hasErrors;
  into.hasDetailedMemStats = into.hasDetailedMemStats || from.hasDetailedMemStats;
  if (into.reportKind == 0) into.reportKind = from.reportKind;
}

// Pairs the points of one thread; `loggedAt` gives each recorded point's
// place in the whole trace, so problems of all threads sort together.
void pairThread(PTRawDataVector points, const std::string& grouping, const std::string& thread,
                const boost::unordered_map<const PTKAVLORDataPoint*, std::size_t>& loggedAt, PairedTrace& paired,
                std::vector<Found>& found) {
  PerformanceTracer& tracer = *PerformanceTracer::getInstance();
  PTDiagnosticMap rowsByPoint;
  PTProcessedDataStruct summary;
  generateProcessedDataForGroupings(tracer, &points, {grouping}, rowsByPoint, summary);
  addTotals(paired.summary, summary);

  const auto name = [&tracer](EPTStringMappings mapping, std::int32_t number) {
    return tracer.getStringForNumber(mapping, number);
  };
  const auto report = [&](const PTKAVLORDataPoint& point, std::string reason) {
    const auto at = loggedAt.find(&point);
    found.push_back({at == loggedAt.end() ? 0 : at->second,
                     {point.wallClockTime, name(EPT_PHASE, point.phase), name(EPT_GROUPING, point.grouping), thread,
                      std::move(reason)}});
  };
  // A start and the end that closes it map to one row; an end that closes
  // nothing has a row of its own, and an end that does not close the innermost
  // open phase maps to that phase's row, which stays open.
  struct Opened {
    const PTKAVLORDataPoint* start;
    boost::shared_ptr<PTDiagnosticInfo> row;
    bool closed = false;
  };
  std::vector<Opened> opened;
  boost::unordered_map<const PTDiagnosticInfo*, std::size_t> openedByRow;
  boost::unordered_set<const PTDiagnosticInfo*> errorRows;
  for (const boost::shared_ptr<PTKAVLORDataPoint>& point : points) {
    const auto entry = point ? rowsByPoint.find(point) : rowsByPoint.end();
    if (entry == rowsByPoint.end()) continue;
    const boost::shared_ptr<PTDiagnosticInfo>& row = entry->second;
    if (row->processedPoint->errorRow) errorRows.insert(row.get());
    if (point->isStart) {
      openedByRow.emplace(row.get(), opened.size());
      opened.push_back({point.get(), row});
      continue;
    }
    const auto start = openedByRow.find(row.get());
    if (start == openedByRow.end()) {
      report(*point, "end of '" + name(EPT_PHASE, point->phase) + "' closes no open phase");
      continue;
    }
    Opened& phase = opened[start->second];
    if (!phase.closed && phase.start->matchPoint(point)) {
      phase.closed = true;
    } else {
      report(*point, "end of '" + name(EPT_PHASE, point->phase) + "' while '" + name(EPT_PHASE, phase.start->phase) +
                         "' is open");
    }
  }
  for (const Opened& phase : opened) {
    if (phase.closed) {
      paired.summary.diagnosticInfos.push_back(phase.row);
      paired.pairedPhases += phase.row->processedPoint->gapRow ? 0 : 1;
    } else {
      report(*phase.start, "start of '" + name(EPT_PHASE, phase.start->phase) + "' is never closed");
    }
  }
  paired.errorRows += errorRows.size();
}

}  // namespace

std::string threadOf(const PTKAVLORProcessedDataPoint& row) {
  const auto* generic = dynamic_cast<const PTTracerProcessedDataPoint*>(&row);
  const std::int32_t number = generic == nullptr ? -1 : generic->getIdentifierNum(kThreadIdentifier);
  return number == -1 ? std::string() : PerformanceTracer::getInstance()->getStringForNumber(kThreadIdentifier, number);
}

PairedTrace pairTrace(const std::string& grouping) {
  PerformanceTracer& tracer = *PerformanceTracer::getInstance();
  PairedTrace paired;
  const PTRawDataVector* recorded = tracer.rawDataVector();
  if (recorded == nullptr || recorded->empty()) return paired;
  // The points are shared with the tracer; the vectors are ours and receive the gap points.
  std::vector<std::pair<std::int32_t, PTRawDataVector>> threads{{-1, {}}};
  boost::unordered_map<const PTKAVLORDataPoint*, std::size_t> loggedAt;
  for (std::size_t index = 0; index < recorded->size(); ++index) {
    const boost::shared_ptr<PTKAVLORDataPoint>& point = (*recorded)[index];
    loggedAt.emplace(point.get(), index);
    const std::int32_t thread = threadNumberOf(point.get());
    auto own =
        std::find_if(threads.begin(), threads.end(), [thread](const auto& each) { return each.first == thread; });
    if (own == threads.end()) own = threads.insert(threads.end(), {thread, {}});
    own->second.push_back(point);
  }
  std::vector<Found> found;
  for (auto& [thread, points] : threads) {
    if (points.empty()) continue;
    const std::string name = thread == -1 ? "" : tracer.getStringForNumber(kThreadIdentifier, thread);
    pairThread(std::move(points), grouping, name, loggedAt, paired, found);
  }
  if (const auto& first = recorded->front()) {
    paired.summary.baseWallClockTime = first->wallClockTime;
    paired.summary.baseCpuTime = first->cpuTime;
  }
  std::stable_sort(found.begin(), found.end(), [](const Found& a, const Found& b) { return a.index < b.index; });
  for (Found& each : found) paired.problems.push_back(std::move(each.problem));
  return paired;
}

}  // namespace ptrace_tool
