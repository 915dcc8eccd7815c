// Exchange forms of a trace's paired phases, built from the analysis rows:
// Chrome Trace Event JSON (which trace viewers such as Perfetto open) and
// folded stacks for flame-graph tools. Both take every time from the same
// whole nanoseconds, so a phase's self time is the same in both.
//
//   std::size_t repairedNames = 0;
//   nlohmann::json events = ptrace_tool::chromeTrace(pt::pairPerThread(tracer, "GLOBAL"), "GLOBAL", repairedNames);
#pragma once

#include <cstddef>
#include <string>

#include <nlohmann/json.hpp>

#include "analysis/thread_pairing.h"

namespace ptrace_tool {

/// {"traceEvents": [...], "displayTimeUnit": "ms"}: process and thread name
/// metadata; per paired phase a begin and an end event (a complete event of
/// duration 0 for a phase without time), ts in microseconds with three
/// decimals counted from midnight UTC before the trace's first point, name the
/// phase, cat the grouping, args the identifiers; then one instant event per
/// point that could not be paired, args its reason. Points naming their thread
/// (the identifier "threadStr") get a tid of their own. Names are valid UTF-8
/// (a bad byte becomes U+FFFD); `repairedNames` counts the names repaired.
nlohmann::json chromeTrace(const pt::PairedTrace& trace, const std::string& grouping, std::size_t& repairedNames);

/// One line per distinct stack of the paired phases, "outer;inner <self
/// nanoseconds>", sorted by stack; stacks without self time are left out.
/// In frame names "%", ";" and control characters are written as %XX, an empty
/// name as "(unnamed)" and a name that reads "(unnamed)" as "%28unnamed)";
/// names are repaired as in chromeTrace. Points that do not pair are left out.
std::string foldedStacks(const pt::PairedTrace& trace, std::size_t& repairedNames);

}  // namespace ptrace_tool
