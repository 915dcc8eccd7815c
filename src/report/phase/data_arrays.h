// Data arrays of the phase pages: the script arrays the page scripts render
// the tables from, names travelling as numbers into the tracer's tables.
//
//   page += generateDataArrayJS(tracer, &summary, "time") + generatePhaseDataArrayJS(tracer, &summary);
//   page += generateAggregateDataArrayJS(getAggregateData(tracer, rows), "time", false);
#pragma once

#include "analysis/analysis_types.h"
#include "tracer/string_mappings.h"

#include <string>

class PerformanceTracer;

/// procData: one record per row of the summary.
std::string generateDataArrayJS(const PerformanceTracer& tracer, const PTProcessedDataStruct* summary,
                                const std::string& statisticsType);
/// The name arrays the records of `summary` index, and the page's text
/// globals. The subject arrays also hold the names that only the summary's
/// tracer rows use; without a summary they are the tables alone.
std::string generatePhaseDataArrayJS(const PerformanceTracer& tracer, const PTProcessedDataStruct* summary = nullptr);
std::string generateJSForStringMapping(const PerformanceTracer& tracer, EPTStringMappings mapping);
/// The value table of an identifier ("modelStr" gives the array "Model").
std::string generateJSForStringMapping(const PerformanceTracer& tracer, const std::string& identifier);
std::string generateJSForStringMapping(const PerformanceTracer& tracer, int) = delete;

/// aggData: one record per phase, and the aggregate table's state.
std::string generateAggregateDataArrayJS(const PTAggregateDataMap& aggregates, const std::string& statisticsType,
                                         bool aggregateOnly);
