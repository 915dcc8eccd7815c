#include "compare/deviations.h"

#include "analysis/aggregation.h"
#include "analysis/processed_points.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <sstream>

namespace {

// Differences up to the single-precision 0.01 count as noise.
constexpr double kNoise = 0.01f;

struct ColourStep {
  double above;
  const char* colourClass;
};

// The first step the deviation is above; 25 to 35 is one class.
constexpr std::array<ColourStep, 20> kColourLadder = {{
    {50, " GT50"},           {45, " BETWN_45_50"},    {40, " BETWN_40_45"},    {35, " BETWN_35_40"},
    {25, " BETWN_25_30"},    {20, " BETWN_20_25"},    {15, " BETWN_15_20"},    {10, " BETWN_10_15"},
    {5, " BETWN_5_10"},      {0, " BETWN_0_5"},       {-5, " BETWN_M5_0"},     {-10, " BETWN_M10_M5"},
    {-15, " BETWN_M15_M10"}, {-20, " BETWN_M20_M15"}, {-25, " BETWN_M25_M20"}, {-30, " BETWN_M30_M25"},
    {-35, " BETWN_M35_M30"}, {-40, " BETWN_M40_M35"}, {-45, " BETWN_M45_M40"}, {-50, " BETWN_M50_M45"},
}};
// At or below -50, and NaN, which is above nothing.
constexpr const char* kBottomClass = " LTM50";

template <class Out, std::size_t N>
using Entries = std::array<PTMetricDeviation Out::*, N>;

template <std::size_t N>
pt::MeasuredValues measured(const std::array<double, N>& values) {
  pt::MeasuredValues result;
  std::copy(values.begin(), values.end(), result.values.begin());
  result.count = N;
  return result;
}

template <class Out>
void fill(const pt::MeasuredValues& lhs, const pt::MeasuredValues& rhs,
          std::span<PTMetricDeviation Out::*const> entries, Out& out, const std::string& format) {
  for (std::size_t k = 0; k < entries.size(); ++k) {
    PTMetricDeviation& entry = out.*entries[k];
    calculateDeviations(lhs.values[k], rhs.values[k], entry.absDev, entry.relDev, entry.colourClass, format);
  }
}

// ------------------------------------------------------- Rows' measurements
// A missing row measures 0 everywhere.

constexpr Entries<PTComparisonPoint, 4> kRowTimeEntries = {&PTComparisonPoint::WCSelf, &PTComparisonPoint::WCSC,
                                                           &PTComparisonPoint::CPUSelf, &PTComparisonPoint::CPUSC};
pt::MeasuredValues timeOf(const PTKAVLORProcessedDataPoint* row) {
  if (row == nullptr) return measured(std::array<double, 4>{});
  // A parent's own time is not measured as such: its self columns show 0.
  const bool leaf = row->numChildren < 1;
  return measured(std::array<double, 4>{leaf ? row->wcElapsedTime : 0.0, row->wcElapsedTime,
                                        leaf ? row->cpuElapsedTime : 0.0, row->cpuElapsedTime});
}

constexpr Entries<PTComparisonPoint, 4> kRowBasicEntries = {&PTComparisonPoint::UsageDelta, &PTComparisonPoint::Usage,
                                                            &PTComparisonPoint::UsagePeakDelta,
                                                            &PTComparisonPoint::UsagePeak};
pt::MeasuredValues basicMemoryOf(const PTKAVLORProcessedDataPoint* row) {
  if (row == nullptr || !row->basicProcessedMemStats) return measured(std::array<double, 4>{});
  const pt::BasicProcessedMemStats& stats = *row->basicProcessedMemStats;
  return measured(std::array<double, 4>{stats.procMemUsageDelta, stats.procMemUsage, stats.procMemUsagePeakDelta,
                                        stats.procMemUsagePeak});
}

constexpr Entries<PTComparisonPoint, 10> kRowDetailedEntries = {
    &PTComparisonPoint::Free,           &PTComparisonPoint::Reserved,       &PTComparisonPoint::Committed,
    &PTComparisonPoint::Dlls,           &PTComparisonPoint::NonProcess,     &PTComparisonPoint::FreeStart,
    &PTComparisonPoint::ReservedStart,  &PTComparisonPoint::CommittedStart, &PTComparisonPoint::DllsStart,
    &PTComparisonPoint::NonProcessStart};
std::array<double, 5> detailedValues(const pt::DetailedMemStats* stats) {
  if (stats == nullptr) return {};
  return {stats->freeMem, stats->resMem, stats->commitMem, stats->dllsMem, stats->nonprocessMem};
}
pt::MeasuredValues detailedMemoryOf(const PTKAVLORProcessedDataPoint* row) {
  if (row == nullptr) return measured(std::array<double, 10>{});
  const std::array<double, 5> end = detailedValues(row->detailedProcessedMemStats.get());
  // Only rows with children keep their start values.
  const std::array<double, 5> start = row->numChildren > 0 ? detailedValues(row->startDetailedMemStats.get()) : end;
  std::array<double, 10> values{};
  std::copy(end.begin(), end.end(), values.begin());
  std::copy(start.begin(), start.end(), values.begin() + 5);
  return measured(values);
}

// -------------------------------------------------- Aggregates' measurements

constexpr Entries<PTAggComparisonPoint, 2> kAggregateTimeEntries = {&PTAggComparisonPoint::WCSelf,
                                                                    &PTAggComparisonPoint::WCSC};
pt::MeasuredValues timeOf(const PTAggregateDataPoint* aggregate) {
  if (aggregate == nullptr) return measured(std::array<double, 2>{});
  return measured(std::array<double, 2>{aggregate->wcElapsedTime, aggregate->wcTotalTime});
}

constexpr Entries<PTAggComparisonPoint, 4> kAggregateBasicEntries = {
    &PTAggComparisonPoint::UsageDelta, &PTAggComparisonPoint::Usage, &PTAggComparisonPoint::UsagePeakDelta,
    &PTAggComparisonPoint::UsagePeak};
pt::MeasuredValues basicMemoryOf(const PTAggregateDataPoint* aggregate) {
  if (aggregate == nullptr) return measured(std::array<double, 4>{});
  return measured(std::array<double, 4>{aggregate->procMemUsageDelta, aggregate->procMemUsage,
                                        aggregate->procMemUsagePeakDelta, aggregate->procMemUsagePeak});
}

constexpr Entries<PTAggComparisonPoint, 5> kAggregateDetailedEntries = {
    &PTAggComparisonPoint::Free, &PTAggComparisonPoint::Reserved, &PTAggComparisonPoint::Committed,
    &PTAggComparisonPoint::Dlls, &PTAggComparisonPoint::NonProcess};
pt::MeasuredValues detailedMemoryOf(const PTAggregateDataPoint* aggregate) {
  if (aggregate == nullptr) return measured(std::array<double, 5>{});
  return measured(std::array<double, 5>{aggregate->freeMem, aggregate->resMem, aggregate->commitMem, aggregate->dllsMem,
                                        aggregate->nonprocessMem});
}

}  // namespace

pt::MeasuredValues pt::measuredValues(const PTKAVLORProcessedDataPoint* row, std::optional<Metric> metric) {
  if (!metric) return {};
  switch (*metric) {
    case Metric::kTime: return timeOf(row);
    case Metric::kBasicMemory: return basicMemoryOf(row);
    case Metric::kDetailedMemory: return detailedMemoryOf(row);
  }
  return {};
}

pt::MeasuredValues pt::measuredValues(const PTAggregateDataPoint* aggregate, std::optional<Metric> metric) {
  if (!metric) return {};
  switch (*metric) {
    case Metric::kTime: return timeOf(aggregate);
    case Metric::kBasicMemory: return basicMemoryOf(aggregate);
    case Metric::kDetailedMemory: return detailedMemoryOf(aggregate);
  }
  return {};
}

std::span<PTMetricDeviation PTComparisonPoint::*const> pt::rowMetricEntries(std::optional<Metric> metric) {
  if (!metric) return {};
  switch (*metric) {
    case Metric::kTime: return kRowTimeEntries;
    case Metric::kBasicMemory: return kRowBasicEntries;
    case Metric::kDetailedMemory: return kRowDetailedEntries;
  }
  return {};
}

std::span<PTMetricDeviation PTAggComparisonPoint::*const> pt::aggregateMetricEntries(std::optional<Metric> metric) {
  if (!metric) return {};
  switch (*metric) {
    case Metric::kTime: return kAggregateTimeEntries;
    case Metric::kBasicMemory: return kAggregateBasicEntries;
    case Metric::kDetailedMemory: return kAggregateDetailedEntries;
  }
  return {};
}

void calculateDeviations(const PTKAVLORProcessedDataPoint* lhs, const PTKAVLORProcessedDataPoint* rhs,
                         PTComparisonPoint& out, const std::string& format) {
  const std::optional<pt::Metric> metric = pt::parseMetric(format);
  fill(pt::measuredValues(lhs, metric), pt::measuredValues(rhs, metric), pt::rowMetricEntries(metric), out, format);
}

void calculateDeviations(const PTAggregateDataPoint* lhs, const PTAggregateDataPoint* rhs, PTAggComparisonPoint& out,
                         const std::string& format) {
  const std::optional<pt::Metric> metric = pt::parseMetric(format);
  fill(pt::measuredValues(lhs, metric), pt::measuredValues(rhs, metric), pt::aggregateMetricEntries(metric), out,
       format);
}

void calculateDeviations(double lhsValue, double rhsValue, double& absDev, double& relDev, std::string& colourClass,
                         const std::string& format) {
  // Values below a hundredth (negative ones included) are taken to two decimals.
  const double a = lhsValue < 0.01 ? roundVal(lhsValue) : lhsValue;
  const double b = rhsValue < 0.01 ? roundVal(rhsValue) : rhsValue;
  if (pt::parseMetric(format) == pt::Metric::kBasicMemory) {
    // Deltas carry their sign: growth against shrinkage is a real change.
    absDev = b - a;
    if (a != 0.0) {
      relDev = 100.0 * absDev / std::fabs(a);
    } else {
      relDev = b > 0.0 ? 100.0 : (b < 0.0 ? -100.0 : 0.0);
    }
  } else {
    absDev = std::fabs(b) - std::fabs(a);
    if (a != 0.0) {
      if (std::fabs(std::fabs(b) - std::fabs(a)) <= kNoise) absDev = roundVal(absDev);
      relDev = 100.0 * absDev / a;
    } else {
      relDev = std::fabs(b) > kNoise ? 100.0 : 0.0;
    }
  }
  colourClass = generateDeviationColor(relDev);
}

void calculateDeviations(std::uint64_t lhsValue, std::uint64_t rhsValue, std::int64_t& absDev, double& relDev,
                         std::string& colourClass, const std::string&) {
  // The difference wraps into the signed range, which is exact whenever it fits.
  absDev = static_cast<std::int64_t>(rhsValue - lhsValue);
  // Computed in single precision, as the reports have always shown it.
  relDev =
      lhsValue == 0 ? 100.0 : static_cast<double>(static_cast<float>(absDev) / static_cast<float>(lhsValue) * 100.0f);
  colourClass = generateDeviationColor(relDev);
}

double roundVal(double value) {
  const double hundredths = 100.0 * value;
  return (hundredths >= 0.0 ? std::floor(hundredths + 0.5) : std::ceil(hundredths - 0.5)) / 100.0;
}

std::string generateDeviationColor(double relDev) {
  for (const ColourStep& step : kColourLadder) {
    if (relDev > step.above) return step.colourClass;
  }
  return kBottomClass;
}

std::string formatToString(float value, int digits) {
  std::ostringstream text;
  text.precision(std::clamp(digits, 0, 6));
  text << value;
  return text.str();
}
