// Processed data for host code: report rows and aggregates as host structs.
//
//   PTProcessedDataStruct summary = ptGetProcessedDataForGroupings(nullptr, {"GLOBAL"});
//   haArray* rows = ptProcessedRowsToStructCell(summary.diagnosticInfos);  // 1-by-K cell of structs
//
// The members that write one row or one aggregate are declared with their
// classes (analysis/processed_points.h, analysis/aggregation.h) and defined
// here. Names are written as the texts of the process-wide tracer's mappings.
#pragma once

#include "analysis/analysis_types.h"

struct haArray;

/// A new 1-by-K cell owned by the caller: the struct of each row, in order,
/// each with its outline label.
haArray* ptProcessedRowsToStructCell(const PTDiagnosticInfoVector& rows);
/// A new 1-by-A cell owned by the caller: the struct of each aggregate, in
/// ascending phase number.
haArray* ptAggregatesToStructCell(const PTAggregateDataMap& aggregates);
