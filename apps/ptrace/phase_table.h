// The terminal table of the phases that spent the most time themselves.
//
//   PTAggregateDataMap aggregates = tracer.getAggregateData(summary.diagnosticInfos);
//   std::cout << ptrace_tool::topPhasesTable(aggregates, 8);
#pragma once

#include <cstddef>
#include <string>

#include "analysis/aggregation.h"

namespace ptrace_tool {

/// Phase, count, self and total wall-clock milliseconds, the largest self
/// times first, at most `limit` rows.
std::string topPhasesTable(const PTAggregateDataMap& aggregates, std::size_t limit);

}  // namespace ptrace_tool
