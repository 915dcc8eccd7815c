#include "analysis/aggregation.h"

#include "analysis/diagnostic_info.h"
#include "tracer/performance_tracer.h"

#include <boost/unordered_map.hpp>

#include <algorithm>
#include <string>

namespace {

const std::string kSelfSuffix = "_self";

void raiseTo(double& maximum, double value) { maximum = std::max(maximum, value); }

}  // namespace

PTAggregateDataPoint::~PTAggregateDataPoint() = default;

void PTAggregateDataPoint::addSelf(const PTKAVLORProcessedDataPoint& row, double sign) {
  wcElapsedTime += sign * row.wcElapsedTime;
  cpuElapsedTime += sign * row.cpuElapsedTime;
  if (const auto& basic = row.basicProcessedMemStats) {
    procMemUsageDelta += sign * basic->procMemUsageDelta;
    procMemUsagePeakDelta += sign * basic->procMemUsagePeakDelta;
    procVMSizeDelta += sign * basic->procVMSizeDelta;
  }
}

void PTAggregateDataPoint::addData(const PTKAVLORProcessedDataPoint* row) {
  if (row == nullptr) return;
  // A parent's own time is in its "_self" rows; its whole time includes its children.
  if (row->numChildren == 0) addSelf(*row, 1.0);
  wcTotalTime += row->wcElapsedTime;
  cpuTotalTime += row->cpuElapsedTime;
  if (const auto& basic = row->basicProcessedMemStats) {
    raiseTo(procMemUsage, basic->procMemUsage);
    raiseTo(procMemUsagePeak, basic->procMemUsagePeak);
    raiseTo(procVMSize, basic->procVMSize);
  }
  if (const auto& detailed = row->detailedProcessedMemStats) {
    raiseTo(freeMem, detailed->freeMem);
    raiseTo(resMem, detailed->resMem);
    raiseTo(commitMem, detailed->commitMem);
    raiseTo(dllsMem, detailed->dllsMem);
    raiseTo(nonprocessMem, detailed->nonprocessMem);
  }
  count += 1;
}

void PTAggregateDataPoint::addSelfData(const PTKAVLORProcessedDataPoint* row) {
  if (row != nullptr) addSelf(*row, 1.0);
}

void PTAggregateDataPoint::subtractMetricValues(const PTKAVLORProcessedDataPoint* row) {
  if (row != nullptr) addSelf(*row, -1.0);
}

PTAggregateDataMap getAggregateData(const PerformanceTracer& tracer, const PTDiagnosticInfoVector& rows) {
  // Per phase number, once: the phase whose self time a "_self" row carries,
  // or -2 for an ordinary phase (-1 being a valid answer for an odd table).
  constexpr std::int32_t kOrdinary = -2;
  boost::unordered_map<std::int32_t, std::int32_t> selfOf;
  const auto parentOfSelfRow = [&](std::int32_t phase) {
    auto [entry, isNew] = selfOf.try_emplace(phase, kOrdinary);
    if (!isNew) return entry->second;
    std::string name = tracer.getStringForNumber(EPT_PHASE, phase);
    // "_self" at the very start is part of an ordinary name.
    const std::size_t suffix = name.size() > 4 ? name.find(kSelfSuffix) : std::string::npos;
    if (suffix != std::string::npos && suffix > 0) {
      name.erase(suffix, kSelfSuffix.size());
      StringNumberMapping* phases = tracer.getMappingByType(EPT_PHASE);
      entry->second = phases == nullptr ? -1 : phases->getNumberOrAdd(name);
    }
    return entry->second;
  };

  PTAggregateDataMap aggregates;
  for (const boost::shared_ptr<PTDiagnosticInfo>& info : rows) {
    if (!info || !info->processedPoint) continue;
    const PTKAVLORProcessedDataPoint& row = *info->processedPoint;
    if (row.gapRow && row.numChildren > 0) continue;
    int key = -1;
    int unusedModel = -1;
    int unusedChart = -1;
    row.getAggregationIDs(key, unusedModel, unusedChart);

    if (const std::int32_t parent = parentOfSelfRow(key); parent != kOrdinary) {
      if (auto found = aggregates.find(parent); found != aggregates.end()) found->second->addSelfData(&row);
      continue;
    }
    std::unique_ptr<PTAggregateDataPoint>& aggregate = aggregates[key];
    if (!aggregate) aggregate = std::make_unique<PTAggregateDataPoint>(row.grouping, row.phase, row.numChildren > 0);
    aggregate->addData(&row);
  }
  return aggregates;
}
