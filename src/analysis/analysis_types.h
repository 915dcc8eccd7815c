// Analysis types as the tracer and the reports name them, without their
// definitions: the tracer declares its analysis members with these, and report
// code that only passes results along needs nothing more.
//
//   PTDiagnosticMap rowsByPoint;  // raw point → the row it opened, closed or broke
//   PTAggregateDataMap aggregates = getAggregateData(tracer, summary.diagnosticInfos);
#pragma once

#include "tracer/data_points.h"

#include <boost/shared_ptr.hpp>
#include <boost/unordered_map.hpp>

#include <map>
#include <memory>
#include <vector>

class PTKAVLORProcessedDataPoint;
class PTDiagnosticInfo;
class PTAggregateDataPoint;
struct PTProcessedDataStruct;

/// Raw point (by identity) → the row it belongs to. A start and its end map to
/// one row; an end that closes nothing maps to its own error row, an end that
/// does not close the innermost open phase to that phase's row.
using PTDiagnosticMap = boost::unordered_map<boost::shared_ptr<PTKAVLORDataPoint>, boost::shared_ptr<PTDiagnosticInfo>>;

/// Report rows in the order of their start points.
using PTDiagnosticInfoVector = std::vector<boost::shared_ptr<PTDiagnosticInfo>>;

/// Phase number → aggregate of every row of that phase, in ascending phase number.
using PTAggregateDataMap = std::map<int, std::unique_ptr<PTAggregateDataPoint>>;
