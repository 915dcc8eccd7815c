// Deviations: how far the RHS recording's measurements of a matched phase (or
// aggregate) are from the LHS recording's, absolute and in percent, with the
// colour class of the report cell that shows them.
//
//   PTComparisonPoint deviation;
//   calculateDeviations(entry.lhsPoint, entry.rhsPoint, deviation, "time");
//   cell(deviation.WCSC.relDev, deviation.WCSC.colourClass);  // " GT50" when more than 50 % slower
//
// Only the metric family of the report format is filled; the other entries
// stay at 0 with an empty class. Positive deviations (the RHS used more) get
// red classes, negative ones green; the classes step by 5 % between -50 % and
// 50 %, except that 25 % to 35 % is one class.
#pragma once

#include "analysis/metric.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

class PTKAVLORProcessedDataPoint;
class PTAggregateDataPoint;

/// The deviation of one metric.
struct PTMetricDeviation {
  double relDev = 0.0;      ///< percent of the LHS value
  double absDev = 0.0;      ///< RHS − LHS, in the metric's unit
  std::string colourClass;  ///< a class name preceded by a blank, or empty when not computed
};

/// The deviations of a matched pair of rows; entries are named as the report
/// columns they fill.
struct PTComparisonPoint {
  // "time": self time (rows without children only) and self plus children.
  PTMetricDeviation WCSelf, WCSC, CPUSelf, CPUSC;
  // "detailedmemory": values at the end, then at the start (rows with
  // children; the end values again for the others).
  PTMetricDeviation Free, Reserved, Committed, Dlls, NonProcess;
  PTMetricDeviation FreeStart, ReservedStart, CommittedStart, DllsStart, NonProcessStart;
  // "basicmemory"
  PTMetricDeviation UsageDelta, Usage, UsagePeakDelta, UsagePeak;
};

/// The deviations of a matched pair of aggregates.
struct PTAggComparisonPoint {
  PTMetricDeviation WCSelf, WCSC;                                  // "time"
  PTMetricDeviation Free, Reserved, Committed, Dlls, NonProcess;   // "detailedmemory"
  PTMetricDeviation UsageDelta, Usage, UsagePeakDelta, UsagePeak;  // "basicmemory"
};

namespace pt {

/// What a comparison of one format measures of a row or an aggregate, in the
/// order of the metric entries it fills; `count` values are used.
struct MeasuredValues {
  std::array<double, 10> values{};
  std::size_t count = 0;
};

/// The metric's values of the row; a null row measures 0, no metric nothing.
MeasuredValues measuredValues(const PTKAVLORProcessedDataPoint* row, std::optional<Metric> metric);
MeasuredValues measuredValues(const PTAggregateDataPoint* aggregate, std::optional<Metric> metric);
/// The entries the metric fills, in the order of measuredValues.
std::span<PTMetricDeviation PTComparisonPoint::*const> rowMetricEntries(std::optional<Metric> metric);
std::span<PTMetricDeviation PTAggComparisonPoint::*const> aggregateMetricEntries(std::optional<Metric> metric);

}  // namespace pt

/// Fills the metric family of `format` ("time", "basicmemory",
/// "detailedmemory"; anything else fills nothing). A null side measures 0.
void calculateDeviations(const PTKAVLORProcessedDataPoint* lhs, const PTKAVLORProcessedDataPoint* rhs,
                         PTComparisonPoint& out, const std::string& format);
void calculateDeviations(const PTAggregateDataPoint* lhs, const PTAggregateDataPoint* rhs, PTAggComparisonPoint& out,
                         const std::string& format);
/// One metric. Values below 0.01 are rounded to two decimals first;
/// "basicmemory" compares signed values, the other formats magnitudes.
void calculateDeviations(double lhsValue, double rhsValue, double& absDev, double& relDev, std::string& colourClass,
                         const std::string& format);
/// One count; the percentage is computed in single precision, and is 100
/// when the LHS count is 0. The format is not consulted.
void calculateDeviations(std::uint64_t lhsValue, std::uint64_t rhsValue, std::int64_t& absDev, double& relDev,
                         std::string& colourClass, const std::string& format);
/// Two decimals, halves away from zero.
double roundVal(double value);
/// The colour class of a relative deviation in percent (" GT50", ...,
/// " LTM50"; NaN gives " LTM50").
std::string generateDeviationColor(double relDev);

/// `value` as a standard stream writes it with precision min(digits, 6) (a
/// negative `digits` counts as 0): (2.0f / 3, 2) gives "0.67", (1234.5f, 3)
/// "1.23e+03".
std::string formatToString(float value, int digits);
