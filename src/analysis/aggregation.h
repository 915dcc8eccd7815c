// Aggregation: every execution of a phase summed into one record — how often
// it ran, its total and self times, its memory deltas and the peak memory seen.
//
//   PTAggregateDataMap aggregates = getAggregateData(tracer, summary.diagnosticInfos);
//   for (const auto& [phase, aggregate] : aggregates) show(phase, aggregate->count, aggregate->wcElapsedTime);
//
// Self time is the time not spent in child rows: the whole time of rows
// without children plus the parent's "_self" gap rows (its own time before a
// child started). Rows of one phase number are merged whatever their subject.
#pragma once

#include "analysis/analysis_types.h"
#include "analysis/processed_points.h"

#include <cstdint>

class PTAggregateDataPoint {
 public:
  PTAggregateDataPoint() = default;
  PTAggregateDataPoint(int grouping, bool isParent) : grouping(grouping), isParent(isParent) {}
  PTAggregateDataPoint(int grouping, int phaseID, bool isParent)
      : grouping(grouping), phaseID(phaseID), isParent(isParent) {}
  virtual ~PTAggregateDataPoint();

  /// Counts the row: totals, maxima, and for a row without children its self
  /// times and deltas. A null row is ignored.
  virtual void addData(const PTKAVLORProcessedDataPoint* row);
  /// Adds the row's times and deltas to the self values only.
  virtual void addSelfData(const PTKAVLORProcessedDataPoint* row);
  /// Takes the row's times and deltas off the self values.
  virtual void subtractMetricValues(const PTKAVLORProcessedDataPoint* row);

  std::int32_t pointType = 0;
  std::int32_t grouping = -1;  ///< grouping number of the first row counted
  std::int32_t phaseID = -1;   ///< phase number
  double wcTotalTime = 0.0;    ///< wall-clock seconds over all rows
  double wcElapsedTime = 0.0;  ///< self wall-clock seconds
  double cpuTotalTime = 0.0;
  double cpuElapsedTime = 0.0;  ///< self CPU seconds
  // Memory in MB: values are maxima over the rows (from 0), deltas are sums
  // over the rows that count as self.
  double procMemUsage = 0.0;
  double procMemUsageDelta = 0.0;
  double procMemUsagePeak = 0.0;
  double procMemUsagePeakDelta = 0.0;
  double procVMSize = 0.0;
  double procVMSizeDelta = 0.0;
  double freeMem = 0.0;
  double resMem = 0.0;
  double commitMem = 0.0;
  double dllsMem = 0.0;
  double nonprocessMem = 0.0;
  std::int32_t count = 0;  ///< rows counted with addData
  bool isParent = false;   ///< the first row counted had children

  /// A new 1-by-1 struct owned by the caller: pointType, grouping, phaseID,
  /// the self times and deltas, Count. Defined in host/processed_point_structs.cpp.
  virtual haArray* writeToStructArray() const;

 private:
  void addSelf(const PTKAVLORProcessedDataPoint& row, double sign);
};

class PerformanceTracer;

/// One aggregate per phase number; "_self" gap rows count as their phase's
/// self time. Adds the names of such phases to the tracer's phase table when
/// missing.
PTAggregateDataMap getAggregateData(const PerformanceTracer& tracer, const PTDiagnosticInfoVector& rows);
