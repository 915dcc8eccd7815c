// Exported clearing functions: emptying the raw data, all of it or the points
// of one grouping, model or target, and releasing containers handed out to
// callers.
//
//   ptClearRawData();  // points and string tables; groupings and switches stay
//   ptClearRawGroupingData("Calvoran Compile");
#pragma once

#include "tracer/data_points.h"

#include <boost/shared_ptr.hpp>
#include <boost/unordered_map.hpp>

#include <memory>
#include <string>
#include <vector>

class PTDiagnosticInfo;

/// Every point and string table (except the groupings'), the identifier
/// enumeration, the test-path map, the recorder's events and every
/// identifier's values except those of "statisticsTypeStr".
void ptClearRawData();
/// The block-diagram and state-chart points of the grouping and model.
void ptClearRawData(const std::string& grouping, const std::string& model);
/// As above, of the target too.
void ptClearRawData(const std::string& grouping, const std::string& model, const std::string& target);
/// The grouping's points and recorded events.
void ptClearRawGroupingData(const std::string& grouping);
/// The tracer points of the model.
void ptClearRawModelData(const std::string& model);

/// Releases the points and the vector; the pointer becomes null.
void ptCleanupRawDataVector(std::unique_ptr<PTRawDataVector>& points);
/// Releases every row; the vector stays, empty.
void ptCleanupProcessedDataVector(std::vector<boost::shared_ptr<PTDiagnosticInfo>>& rows);
/// Empties a map from raw point to its report row.
void ptCleanupDiagnosticMap(
    boost::unordered_map<boost::shared_ptr<PTKAVLORDataPoint>, boost::shared_ptr<PTDiagnosticInfo>>& rows);
/// Empties an aggregate map (phase number → owned aggregate), destroying the
/// aggregates. A template so that this header needs no analysis types.
template <class AggregateMap>
void ptCleanupAggregateData(AggregateMap& aggregates) {
  aggregates.clear();
}
