// Exchange forms of a trace's paired phases, built from the analysis rows:
// Chrome Trace Event JSON (which trace viewers such as Perfetto open) and
// folded stacks for flame-graph tools.
//
//   nlohmann::json events = ptrace_tool::chromeTrace(pairTrace("GLOBAL"));
//   std::string stacks = ptrace_tool::foldedStacks(pairTrace("GLOBAL").summary);
#pragma once

#include <string>

#include <nlohmann/json.hpp>

#include "analysis/processed_data.h"
#include "apps/ptrace/trace_pairing.h"

namespace ptrace_tool {

/// {"traceEvents": [...], "displayTimeUnit": "ms"}: one complete event ("ph":
/// "X") per paired phase, ts and dur in microseconds from the trace start,
/// name the phase, cat the grouping, args the identifiers; then one instant
/// event ("ph": "i") per point that could not be paired, args its reason.
nlohmann::json chromeTrace(const PairedTrace& trace);

/// One line per distinct stack of the rows, "outer;inner <self microseconds>",
/// sorted by stack; stacks with no self time and gap rows are left out.
std::string foldedStacks(const PTProcessedDataStruct& summary);

}  // namespace ptrace_tool
