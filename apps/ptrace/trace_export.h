// Exchange forms of a trace's paired phases, built from the analysis rows:
// Chrome Trace Event JSON (which trace viewers such as Perfetto open) and
// folded stacks for flame-graph tools.
//
//   nlohmann::json events = ptrace_tool::chromeTrace(summary);
//   std::string stacks = ptrace_tool::foldedStacks(summary);
#pragma once

#include <string>

#include <nlohmann/json.hpp>

#include "analysis/processed_data.h"

namespace ptrace_tool {

/// {"traceEvents": [...], "displayTimeUnit": "ms"}: one complete event ("ph":
/// "X") per paired phase, ts and dur in microseconds from the trace start,
/// name the phase, cat the grouping, args the identifiers.
nlohmann::json chromeTrace(const PTProcessedDataStruct& summary);

/// One line per distinct stack, "outer;inner <self microseconds>", sorted by
/// stack; stacks with no self time are left out.
std::string foldedStacks(const PTProcessedDataStruct& summary);

}  // namespace ptrace_tool
