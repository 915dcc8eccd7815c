// What a loaded trace's phases pair into, whether or not they pair cleanly:
// the phases closed by their own end, and every point that could not be
// paired with the reason why. A report shows nothing but its error page for
// such a trace; the commands still show what the recording holds.
// Points that name their thread (the identifier "threadStr") are paired per
// thread, so phases of threads that overlap in time pair as they were logged.
//
//   ptrace_tool::PairedTrace paired = ptrace_tool::pairTrace("GLOBAL");
//   for (const auto& problem : paired.problems) std::cout << problem.reason << "\n";
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "analysis/processed_data.h"

namespace ptrace_tool {

/// A point that could not be paired cleanly.
struct PairingProblem {
  double wallClockTime = 0.0;  ///< of the point, as recorded
  std::string phase;
  std::string grouping;
  std::string thread;  ///< value of the thread identifier; empty: the host thread
  std::string reason;  ///< one sentence naming the phases concerned
};

/// The identifier that names the thread a point was logged on.
inline constexpr const char* kThreadIdentifier = "threadStr";

struct PairedTrace {
  /// Rows in the order of their start points, thread after thread (the
  /// host thread first): only phases closed by their own end, gap rows
  /// included. The base times are the first point's.
  PTProcessedDataStruct summary;
  std::size_t pairedPhases = 0;          ///< closed rows that are not gap rows
  std::size_t errorRows = 0;             ///< rows the pairing marked as errors
  std::vector<PairingProblem> problems;  ///< in logging order
};

/// The value of the row's thread identifier; empty: the host thread.
std::string threadOf(const PTKAVLORProcessedDataPoint& row);

/// Pairs the tracer's points of the grouping ("GLOBAL": all) without changing them.
PairedTrace pairTrace(const std::string& grouping);

}  // namespace ptrace_tool
