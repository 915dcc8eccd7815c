// A trace for the export tests, with the figures a viewer should show for it:
// nested phases, 200 phases of about 4 µs, hostile and invalid UTF-8 names, a
// grouping with a comma, a second thread overlapping the host thread, and two
// phases that cross after the rest (the first of them cannot pair).
//
//   pt_test::TraceBuilder builder(tracer);
//   pt_test::ExportTrace trace = pt_test::recordExportTrace(builder);
//   tracer.setRawDataVector(builder.points());
#pragma once

#include "support/trace_builder.h"

#include <cstddef>
#include <string>
#include <vector>

namespace pt_test {

/// A phase that pairs.
struct ExportPhase {
  std::string thread;  ///< value of the identifier "threadStr"; empty: the host thread
  std::string name;    ///< as recorded
  std::string text;    ///< as the JSON writes it
  std::string frame;   ///< as a folded stack writes it
  double start = 0.0, end = 0.0;
  int parent = -1;  ///< index of the enclosing phase
};

struct ExportTrace {
  std::vector<ExportPhase> phases;

  /// Seconds of the phase not spent in its child phases.
  double selfSeconds(std::size_t phase) const;
  /// How many phases' ends that self time is taken from: its own and its children's.
  int ends(std::size_t phase) const;
  /// The phase's frames (or texts) from the outermost, joined by ";".
  std::string stack(std::size_t phase, std::string ExportPhase::*name = &ExportPhase::frame) const;
};

/// Adds the trace's points to `builder` in logging order, with those of the
/// crossing phase that cannot pair; the phase named "Grouped" has the grouping
/// "Load, Compile".
ExportTrace recordExportTrace(TraceBuilder& builder);

}  // namespace pt_test
