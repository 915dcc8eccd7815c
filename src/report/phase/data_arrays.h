// Data arrays of the phase pages: the script arrays the page scripts render
// the tables from.
//
//   page += generateAggregateDataArrayJS(getAggregateData(tracer, rows), "time", false);
#pragma once

#include "analysis/analysis_types.h"

#include <string>

/// aggData: one record per phase, and the aggregate table's state.
std::string generateAggregateDataArrayJS(const PTAggregateDataMap& aggregates, const std::string& statisticsType,
                                         bool aggregateOnly);
