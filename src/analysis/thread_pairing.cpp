#include "analysis/thread_pairing.h"

#include <algorithm>
#include <utility>

#include <boost/unordered_map.hpp>
#include <boost/unordered_set.hpp>

#include "analysis/pairing.h"
#include "tracer/fixed_texts.h"
#include "tracer/performance_tracer.h"

namespace pt {
namespace {

struct Found {
  std::size_t index;  ///< of the point in logging order
  PairingProblem problem;
};

std::int32_t threadNumberOf(const PTKAVLORDataPoint& point) {
  const auto* generic = dynamic_cast<const PTTracerDataPoint*>(&point);
  return generic == nullptr ? -1 : generic->getIdentifierNum(kThreadIdentifier);
}

void addTotals(PTProcessedDataStruct& into, const PTProcessedDataStruct& from) {
  into.totalWallClockTime += from.totalWallClockTime;
  into.totalCpuTime += from.totalCpuTime;
  into.numLevels = std::max(into.numLevels, from.numLevels);
  into.hasErrors = into.hasErrors || from.hasErrors;
  into.hasDetailedMemStats = into.hasDetailedMemStats || from.hasDetailedMemStats;
}

std::string reasonFor(const PerformanceTracer& tracer, const detail::UnpairedPoint& unpaired) {
  std::string reason = unpaired.point->isStart ? "start of '" : "end of '";
  reason += tracer.getStringForNumber(EPT_PHASE, unpaired.point->phase);
  if (unpaired.point->isStart) {
    reason += "' is never closed";
  } else if (!unpaired.open) {
    reason += "' closes no open phase";
  } else {
    reason += "' while '";
    reason += tracer.getStringForNumber(EPT_PHASE, unpaired.open->phase);
    reason += "' is open";
  }
  return reason;
}

// Pairs the points of one thread; `loggedAt` gives each recorded point's
// place in the whole trace, so problems of all threads sort together.
void pairThread(PerformanceTracer& tracer, PTRawDataVector points, const std::string& grouping,
                const std::string& thread, const boost::unordered_map<const PTKAVLORDataPoint*, std::size_t>& loggedAt,
                PairedTrace& paired, std::vector<Found>& found) {
  PTProcessedDataStruct summary;
  PTDiagnosticInfoVector startRows;
  std::vector<detail::UnpairedPoint> unpaired;
  detail::pairGroupings(tracer, &points, {grouping}, summary,
                        {.startRows = &startRows, .insertGapPoints = false, .unpaired = &unpaired});
  addTotals(paired.summary, summary);

  boost::unordered_set<const PTDiagnosticInfo*> errorRows, neverClosed;
  for (const detail::UnpairedPoint& each : unpaired) {
    errorRows.insert(each.row.get());
    if (each.point->isStart) neverClosed.insert(each.row.get());
    const auto at = loggedAt.find(each.point.get());
    found.push_back({at == loggedAt.end() ? 0 : at->second,
                     {each.point->wallClockTime, tracer.getStringForNumber(EPT_PHASE, each.point->phase),
                      tracer.getStringForNumber(EPT_GROUPING, each.point->grouping), thread, reasonFor(tracer, each)}});
  }
  for (boost::shared_ptr<PTDiagnosticInfo>& row : startRows) {
    if (neverClosed.count(row.get()) != 0) continue;
    paired.pairedPhases += row->processedPoint->gapRow ? 0 : 1;
    paired.summary.diagnosticInfos.push_back(std::move(row));
  }
  paired.errorRows += errorRows.size();
}

}  // namespace

std::string threadOf(const PerformanceTracer& tracer, const PTKAVLORProcessedDataPoint& row) {
  const auto* generic = dynamic_cast<const PTTracerProcessedDataPoint*>(&row);
  const std::int32_t number = generic == nullptr ? -1 : generic->getIdentifierNum(kThreadIdentifier);
  return number == -1 ? std::string() : tracer.getStringForNumber(kThreadIdentifier, number);
}

PairedTrace pairPerThread(PerformanceTracer& tracer, const std::string& grouping) {
  PairedTrace paired;
  const PTRawDataVector* recorded = tracer.rawDataVector();
  if (recorded == nullptr || recorded->empty()) return paired;
  // The points are shared with the tracer; the vectors are ours.
  std::vector<std::pair<std::int32_t, PTRawDataVector>> threads{{-1, {}}};
  boost::unordered_map<const PTKAVLORDataPoint*, std::size_t> loggedAt;
  for (std::size_t index = 0; index < recorded->size(); ++index) {
    const boost::shared_ptr<PTKAVLORDataPoint>& point = (*recorded)[index];
    loggedAt.emplace(point.get(), index);
    const std::int32_t thread = point ? threadNumberOf(*point) : -1;
    auto own =
        std::find_if(threads.begin(), threads.end(), [thread](const auto& each) { return each.first == thread; });
    if (own == threads.end()) own = threads.insert(threads.end(), {thread, {}});
    own->second.push_back(point);
  }
  std::vector<Found> found;
  for (auto& [thread, points] : threads) {
    if (points.empty()) continue;
    const std::string name = thread == -1 ? "" : tracer.getStringForNumber(kThreadIdentifier, thread);
    pairThread(tracer, std::move(points), grouping, name, loggedAt, paired, found);
  }
  if (const auto& first = recorded->front()) {
    paired.summary.baseWallClockTime = first->wallClockTime;
    paired.summary.baseCpuTime = first->cpuTime;
  }
  std::stable_sort(found.begin(), found.end(), [](const Found& a, const Found& b) { return a.index < b.index; });
  for (Found& each : found) paired.problems.push_back(std::move(each.problem));
  return paired;
}

}  // namespace pt
