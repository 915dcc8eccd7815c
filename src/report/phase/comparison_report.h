// Comparison pages: two recordings of the same work analysed alike, aligned
// phase by phase (and aggregate by aggregate), and written as one page that
// sets the LHS and RHS values side by side with their deviations.
//
//   page += generateComparisonDataJS(tracer, alignment, "time", &labels);
//   page += generateAggComparisonDataJS(tracer, aggregateAlignment, "time");
#pragma once

#include "tracer/data_points.h"

#include <boost/unordered_map.hpp>

#include <string>
#include <vector>

class PerformanceTracer;
class PTKAVLORProcessedDataPoint;
struct PTLCSDiffStruct;
struct PTLCSAggDiffStruct;
struct PTSystemInfoStruct;

/// Outline label ("1.2.3") of every row of the compared recordings.
using PTOutlineLabelMap = boost::unordered_map<const PTKAVLORProcessedDataPoint*, std::string>;

/// procData of the comparison, names as texts of `tracer`'s tables, the
/// missing side of a one-sided entry -99.99; with it procDataMatch, one digit
/// per entry (its matchKind). Rows without a label have an empty HTMLPhaseNum.
std::string generateComparisonDataJS(const PerformanceTracer& tracer, const std::vector<PTLCSDiffStruct>& alignment,
                                     const std::string& format, const PTOutlineLabelMap* outlineLabels = nullptr);
/// aggData of the comparison and the aggregate table's state, with aggDataMatch.
std::string generateAggComparisonDataJS(const PerformanceTracer& tracer,
                                        const std::vector<PTLCSAggDiffStruct>& alignment, const std::string& format);
/// Both recordings' hardware and product descriptions side by side.
std::string generateComparisonSystemInfoTable(const PTSystemInfoStruct* lhs, const PTSystemInfoStruct* rhs);
/// The tab bars Time, Basic Mem, Detailed Mem and System Info.
std::string generateComparisonHeaderDivs();
/// Style rules of comparison bar graphs.
std::string getComparisonHTMLReportBarCSS();
/// The canvases of the detailed-memory difference charts, or a message when
/// the recordings lack detailed statistics.
std::string generateDiffMemChartDivs(bool hasDetailedMemStats);
/// The script drawing the difference charts from procData.
std::string generateDiffMemChartsJS(bool hasDetailedMemStats);

namespace pt::detail {

enum class ComparisonPageKind { kPhases, kAggregates };

/// Writes the comparison page of the grouping ("GLOBAL": all) in the format
/// ("time", "basicmemory", "detailedmemory"), the labels naming the sides.
/// The file is replaced only once the page is written; false, with the file
/// as it was, when it cannot be opened or written. A recording that does not
/// pair leaves an empty file.
bool writeComparisonPage(PerformanceTracer& tracer, ComparisonPageKind kind, const std::string& htmlFile,
                         const std::string& grouping, const std::string& lhsLabel, const std::string& rhsLabel,
                         PTRawDataVector* lhsRaw, PTRawDataVector* rhsRaw, const PTSystemInfoStruct* lhsSystemInfo,
                         const PTSystemInfoStruct* rhsSystemInfo, const std::string& format);

}  // namespace pt::detail
