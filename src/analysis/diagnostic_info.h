// Diagnostic info: one report row, owning the processed point that describes
// it. Pairing makes one for every phase it opens and for every end that
// closes nothing; the diagnostic map and the summary's row list share it. The
// infos of one pairing walk live in one allocation (each row pointer aliases
// it), so any row kept alive keeps the rows of its walk alive.
//
//   auto row = boost::make_shared<PTDiagnosticInfo>(startPoint, rowNumber, depth);
//   row->processedPoint->errorRow = true;
#pragma once

#include "analysis/analysis_types.h"
#include "analysis/processed_points.h"

#include <boost/shared_ptr.hpp>

#include <memory>

class PTDiagnosticInfo {
 public:
  /// A row of the processed class matching the point's kind (an unknown kind,
  /// or a kind its class does not carry, gives the base class), numbered
  /// `rowNumber` at `stackDepth`, a gap row when the point is a gap point.
  PTDiagnosticInfo(const boost::shared_ptr<PTKAVLORDataPoint>& point, int rowNumber, int stackDepth);
  explicit PTDiagnosticInfo(std::unique_ptr<PTKAVLORProcessedDataPoint> point);
  // Exactly one info owns a processed point; rows are shared through
  // boost::shared_ptr<PTDiagnosticInfo> instead of being copied.
  PTDiagnosticInfo(const PTDiagnosticInfo&) = delete;
  PTDiagnosticInfo& operator=(const PTDiagnosticInfo&) = delete;

  /// Never null.
  std::unique_ptr<PTKAVLORProcessedDataPoint> processedPoint;
};

/// The processed point of the raw point's kind, made from that point and named
/// through `tables` (null: the process-wide tracer); a tracer row shares its
/// identifiers through `pool` when one is given.
std::unique_ptr<PTKAVLORProcessedDataPoint> makeProcessedDataPoint(const PTKAVLORDataPoint* point,
                                                                   PerformanceTracer* tables = nullptr,
                                                                   PTIdentifierMapPool* pool = nullptr);
