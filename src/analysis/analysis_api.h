// Exported analysis functions: native tools ask the process-wide tracer for
// report rows of groupings or models, and for their per-phase aggregates.
//
//   PTProcessedDataStruct summary = ptGetProcessedDataForGroupings(nullptr, {"GLOBAL"});
//   PTAggregateDataMap aggregates = ptGetAggregateProcessedData(summary.diagnosticInfos);
//
// A null raw vector means the tracer's own points (through a deep copy, so
// they never change); a caller's vector receives the gap points. Release the
// results with the ptCleanup functions (tracer/pt_clearing.h).
#pragma once

#include "analysis/aggregation.h"
#include "analysis/processed_data.h"

#include <string>
#include <vector>

PTProcessedDataStruct ptGetProcessedDataForGroupings(PTRawDataVector* rawData,
                                                     const std::vector<std::string>& groupings);
PTProcessedDataStruct ptGetProcessedDataForModels(PTRawDataVector* rawData, const std::vector<std::string>& models);
PTAggregateDataMap ptGetAggregateProcessedData(PTDiagnosticInfoVector& rows);
