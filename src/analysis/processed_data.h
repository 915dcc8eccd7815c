// Processed data: the result of one analysis run — the report rows in the
// order of their start points and the totals every report starts from.
//
//   PTProcessedDataStruct summary = tracer.getProcessedData(nullptr, {"GLOBAL"}, false);
//   if (!summary.hasErrors) writeRows(summary.diagnosticInfos);
//
// The rows come from the tracer's analysis members (`getProcessedData` for
// groupings or models); `hasErrors` means that the trace could not be paired
// cleanly (or held no data): the row list is then empty and the diagnostic
// report shows what went wrong. Row start times are as recorded; subtract the
// base times for times relative to the trace start.
#pragma once

#include "analysis/analysis_types.h"
#include "analysis/diagnostic_info.h"

#include <cstdint>
#include <string>
#include <vector>

/// What a report shows a trace as.
enum PTReportKind : std::int32_t {
  PT_REPORT_PLAIN = 0,
  PT_REPORT_CODE_GENERATION = 1,  ///< first row carries the target "TGX"
  PT_REPORT_TEST_MANAGER = 2,     ///< first row is in the grouping "CLTestManager"
};

struct PTProcessedDataStruct {
  /// The rows, in the order of their start points (gap rows included).
  PTDiagnosticInfoVector diagnosticInfos;
  double reportCpuTime = 0.0;        ///< CPU seconds shown as the trace's total
  double totalWallClockTime = 0.0;   ///< sum over the top-level rows
  double totalCpuTime = 0.0;         ///< sum over the top-level rows
  double reportWallClockTime = 0.0;  ///< wall-clock seconds shown as the trace's total
  std::int32_t numLevels = 0;        ///< deepest nesting seen, in levels
  double baseWallClockTime = 0.0;    ///< wall-clock time of the first raw point
  double baseCpuTime = 0.0;          ///< CPU time of the first raw point
  bool hasErrors = false;            ///< an error row was made, or there was no data
  /// The last point admitted carries detailed statistics with a non-zero free memory.
  bool hasDetailedMemStats = false;
  std::int32_t reportKind = PT_REPORT_PLAIN;  ///< a PTReportKind
};

class PerformanceTracer;

/// Pairs the points of one grouping ("GLOBAL": every point) for the
/// diagnostic report, naming them through the tracer's tables (a null vector:
/// a deep copy of its points); every point stepped maps to its row. True when
/// there is no data or a start was never closed.
bool generateDiagnosticInfo(PerformanceTracer& tracer, PTRawDataVector* rawData, const std::string& grouping,
                            PTDiagnosticMap& diagnosticMap, PTProcessedDataStruct& summary);
/// Pairs the points of the groupings ("GLOBAL": all); rows go to the map only.
void generateProcessedDataForGroupings(PerformanceTracer& tracer, PTRawDataVector* rawData,
                                       const std::vector<std::string>& groupings, PTDiagnosticMap& diagnosticMap,
                                       PTProcessedDataStruct& summary);
/// Pairs the points of the models ("GLOBAL": all models); points without a
/// model field or identifier (kind 0) never take part.
void generateProcessedDataForModels(PerformanceTracer& tracer, PTRawDataVector* rawData,
                                    const std::vector<std::string>& models, PTDiagnosticMap& diagnosticMap,
                                    PTProcessedDataStruct& summary);
