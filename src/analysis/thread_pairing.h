// What the points of a trace pair into thread by thread, whether or not they
// pair cleanly: the phases closed by their own end, and every point that could
// not be paired with the reason why. A report shows only its error page for a
// trace that does not pair; a summary or an export still shows what it holds.
// Points that name their thread (the identifier pt::kThreadIdentifier) pair
// with the points of their thread only, so phases of threads that overlap in
// time pair as they were logged.
//
//   pt::PairedTrace paired = pt::pairPerThread(tracer, "GLOBAL");
//   for (const auto& problem : paired.problems) std::cout << problem.reason << "\n";
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "analysis/processed_data.h"

namespace pt {

/// A point that could not be paired cleanly.
struct PairingProblem {
  double wallClockTime = 0.0;  ///< of the point, as recorded
  std::string phase;
  std::string grouping;
  std::string thread;  ///< value of the thread identifier; empty: the host thread
  std::string reason;  ///< one sentence naming the phases concerned
};

struct PairedTrace {
  /// Rows in the order of their start points, thread after thread (the host
  /// thread first): only phases closed by their own end, gap rows included.
  /// The base times are the first point's; row start times are as recorded.
  PTProcessedDataStruct summary;
  std::size_t pairedPhases = 0;          ///< closed rows that are not gap rows
  std::size_t errorRows = 0;             ///< rows the pairing marked as errors
  std::vector<PairingProblem> problems;  ///< in logging order
};

/// Pairs the tracer's points of the grouping ("GLOBAL": all) without changing them.
PairedTrace pairPerThread(PerformanceTracer& tracer, const std::string& grouping);

/// The value of the row's thread identifier; empty: the host thread.
std::string threadOf(const PerformanceTracer& tracer, const PTKAVLORProcessedDataPoint& row);

}  // namespace pt
