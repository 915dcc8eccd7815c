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

}  // namespace

PairedTrace pairTrace(const std::string& grouping) {
  PerformanceTracer& tracer = *PerformanceTracer::getInstance();
  PairedTrace paired;
  // The points are shared with the tracer; the vector is ours and receives the gap points.
  PTRawDataVector points;
  if (const PTRawDataVector* recorded = tracer.rawDataVector()) points = *recorded;
  if (points.empty()) return paired;
  PTDiagnosticMap rowsByPoint;
  tracer.generateProcessedDataForGroupings(&points, {grouping}, rowsByPoint, paired.summary);
  if (const auto& first = points.front()) {
    paired.summary.baseWallClockTime = first->wallClockTime;
    paired.summary.baseCpuTime = first->cpuTime;
  }

  const auto name = [&tracer](EPTStringMappings mapping, std::int32_t number) {
    return tracer.getStringForNumber(mapping, number);
  };
  std::vector<Found> found;
  const auto report = [&](std::size_t index, const PTKAVLORDataPoint& point, std::string reason) {
    found.push_back({index, {point.wallClockTime, name(EPT_PHASE, point.phase), name(EPT_GROUPING, point.grouping),
                             std::move(reason)}});
  };
  // A start and the end that closes it map to one row; an end that closes
  // nothing has a row of its own, and an end that does not close the innermost
  // open phase maps to that phase's row, which stays open.
  struct Opened {
    std::size_t index;
    const PTKAVLORDataPoint* start;
    boost::shared_ptr<PTDiagnosticInfo> row;
    bool closed = false;
  };
  std::vector<Opened> opened;
  boost::unordered_map<const PTDiagnosticInfo*, std::size_t> openedByRow;
  boost::unordered_set<const PTDiagnosticInfo*> errorRows;
  for (std::size_t index = 0; index < points.size(); ++index) {
    const boost::shared_ptr<PTKAVLORDataPoint>& point = points[index];
    const auto entry = point ? rowsByPoint.find(point) : rowsByPoint.end();
    if (entry == rowsByPoint.end()) continue;
    const boost::shared_ptr<PTDiagnosticInfo>& row = entry->second;
    if (row->processedPoint->errorRow) errorRows.insert(row.get());
    if (point->isStart) {
      openedByRow.emplace(row.get(), opened.size());
      opened.push_back({index, point.get(), row});
      continue;
    }
    const auto start = openedByRow.find(row.get());
    if (start == openedByRow.end()) {
      report(index, *point, "end of '" + name(EPT_PHASE, point->phase) + "' closes no open phase");
      continue;
    }
    Opened& phase = opened[start->second];
    if (!phase.closed && phase.start->matchPoint(point)) {
      phase.closed = true;
    } else {
      report(index, *point,
             "end of '" + name(EPT_PHASE, point->phase) + "' while '" + name(EPT_PHASE, phase.start->phase) +
                 "' is open");
    }
  }
  for (const Opened& phase : opened) {
    if (phase.closed) {
      paired.summary.diagnosticInfos.push_back(phase.row);
      paired.pairedPhases += phase.row->processedPoint->gapRow ? 0 : 1;
    } else {
      report(phase.index, *phase.start, "start of '" + name(EPT_PHASE, phase.start->phase) + "' is never closed");
    }
  }
  std::stable_sort(found.begin(), found.end(), [](const Found& a, const Found& b) { return a.index < b.index; });
  for (Found& each : found) paired.problems.push_back(std::move(each.problem));
  paired.errorRows = errorRows.size();
  return paired;
}

}  // namespace ptrace_tool
