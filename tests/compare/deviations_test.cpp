#include "compare/deviations.h"

#include "analysis/aggregation.h"
#include "analysis/processed_points.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>
#include <tuple>
#include <utility>

namespace {

using ::testing::NanSensitiveDoubleEq;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

TEST(Deviations, ColourLadderHasExclusiveLowerBoundsAndNoThirtyToThirtyFiveBand) {
  const struct {
    double relDev;
    const char* colourClass;
  } cases[] = {
      {50.01, " GT50"},       {50, " BETWN_45_50"},  {35.01, " BETWN_35_40"}, {35, " BETWN_25_30"},
      {30.5, " BETWN_25_30"}, {25, " BETWN_20_25"},  {5, " BETWN_0_5"},       {0.001, " BETWN_0_5"},
      {0, " BETWN_M5_0"},     {-5, " BETWN_M10_M5"}, {-30, " BETWN_M35_M30"}, {-49.99, " BETWN_M50_M45"},
      {-50, " LTM50"},        {kNaN, " LTM50"},
  };
  for (const auto& c : cases) EXPECT_EQ(generateDeviationColor(c.relDev), c.colourClass) << c.relDev;
}

TEST(Deviations, RoundValRoundsHalvesAwayFromZero) {
  // 0.125 and its negative are exact binary halves of a hundredth.
  for (const auto& [value, rounded] :
       {std::pair{0.125, 0.13}, {-0.125, -0.13}, {-3.456, -3.46}, {1.234, 1.23}, {0.004, 0.0}, {-0.004, 0.0}})
    EXPECT_EQ(roundVal(value), rounded) << value;
}

TEST(Deviations, OneMetricPerFormat) {
  const struct {
    const char* format;
    double lhs, rhs, absDev, relDev;
    const char* colourClass;
  } cases[] = {
      {"time", 0, 0, 0, 0, " BETWN_M5_0"},
      {"time", 0.004, 0.2, 0.2, 100, " GT50"},  // a tiny LHS counts as 0
      {"time", 0, 0.0099, 0.01, 100, " GT50"},  // rounded up past the single-precision 0.01
      {"time", 0, 0.004, 0, 0, " BETWN_M5_0"},
      {"time", 1, 1.008, 0.01, 1, " BETWN_0_5"},  // a difference within 0.01 is rounded
      {"time", 2, 3, 1, 50, " BETWN_45_50"},
      {"time", -2, 1, -1, 50, " BETWN_45_50"},  // magnitudes, over the signed LHS
      {"detailedmemory", 4, 2, -2, -50, " LTM50"},
      {"basicmemory", -3.456, 2, 5.46, 100 * 5.46 / 3.46, " GT50"},
      {"basicmemory", -2, 1, 3, 150, " GT50"},  // signed values, over the LHS magnitude
      {"basicmemory", 0, -0.5, -0.5, -100, " LTM50"},
      {"basicmemory", 0, 0.5, 0.5, 100, " GT50"},
      {"basicmemory", 0, 0, 0, 0, " BETWN_M5_0"},
      {"time", kNaN, 1, kNaN, kNaN, " LTM50"},
  };
  for (const auto& c : cases) {
    double absDev = -1;
    double relDev = -1;
    std::string colourClass;
    calculateDeviations(c.lhs, c.rhs, absDev, relDev, colourClass, c.format);
    EXPECT_THAT(absDev, NanSensitiveDoubleEq(c.absDev)) << c.format << " " << c.lhs << " " << c.rhs;
    EXPECT_THAT(relDev, NanSensitiveDoubleEq(c.relDev)) << c.format << " " << c.lhs << " " << c.rhs;
    EXPECT_EQ(colourClass, c.colourClass) << c.format << " " << c.lhs << " " << c.rhs;
  }
}

TEST(Deviations, CountsInSinglePrecisionWithHundredPercentFromZero) {
  const struct {
    std::uint64_t lhs, rhs;
    std::int64_t absDev;
    double approxRelDev;
    const char* colourClass;
  } cases[] = {
      {0, 0, 0, 100, " GT50"},
      {0, 7, 7, 100, " GT50"},
      {10, 0, -10, -100, " LTM50"},
      {4, 3, -1, -25, " BETWN_M30_M25"},
      {3, 4, 1, 100.0 / 3, " BETWN_25_30"},
      {std::uint64_t{1} << 40, (std::uint64_t{1} << 40) - 5, -5, 0, " BETWN_M5_0"},
  };
  for (const auto& c : cases) {
    std::int64_t absDev = 0;
    double relDev = 0;
    std::string colourClass;
    calculateDeviations(c.lhs, c.rhs, absDev, relDev, colourClass, "basicmemory");
    EXPECT_EQ(absDev, c.absDev) << c.lhs << " " << c.rhs;
    EXPECT_NEAR(relDev, c.approxRelDev, 1e-5) << c.lhs << " " << c.rhs;
    EXPECT_EQ(static_cast<double>(static_cast<float>(relDev)), relDev) << "single precision";
    EXPECT_EQ(colourClass, c.colourClass) << c.lhs << " " << c.rhs;
  }
}

TEST(Deviations, RowPairFillsTheFamilyOfTheFormatOnly) {
  PTKAVLORProcessedDataPoint leaf;
  leaf.wcElapsedTime = 2;
  leaf.cpuElapsedTime = 1;
  leaf.basicProcessedMemStats->procMemUsage = 100;
  leaf.basicProcessedMemStats->procMemUsagePeakDelta = 8;
  pt::DetailedProcessedMemStats end;
  end.freeMem = 10;
  end.nonprocessMem = 40;
  leaf.setDetailedProcessedMemStats(end);
  leaf.setStartDetailedMemStats(pt::DetailedMemStats(99, 0, 0, 0, 99));  // ignored: no children

  PTKAVLORProcessedDataPoint parent;
  parent.numChildren = 2;
  parent.wcElapsedTime = 3;
  parent.cpuElapsedTime = 1;
  parent.basicProcessedMemStats->procMemUsage = 150;
  parent.basicProcessedMemStats->procMemUsagePeakDelta = 4;
  end.freeMem = 15;
  parent.setDetailedProcessedMemStats(end);
  parent.setStartDetailedMemStats(pt::DetailedMemStats(5, 0, 0, 0, 20));

  PTComparisonPoint time;
  calculateDeviations(&leaf, &parent, time, "time");
  EXPECT_EQ(std::make_tuple(time.WCSelf.relDev, time.WCSC.relDev, time.CPUSelf.absDev, time.CPUSC.relDev),
            std::make_tuple(-100.0, 50.0, -1.0, 0.0));  // a parent's self columns are 0
  EXPECT_EQ(time.Usage.colourClass, "");

  PTComparisonPoint basic;
  calculateDeviations(&leaf, &parent, basic, "basicmemory");
  EXPECT_EQ(std::make_tuple(basic.Usage.relDev, basic.UsagePeakDelta.absDev, basic.UsageDelta.colourClass),
            std::make_tuple(50.0, -4.0, std::string(" BETWN_M5_0")));
  EXPECT_EQ(basic.WCSC.colourClass, "");

  PTComparisonPoint detailed;
  calculateDeviations(&leaf, &parent, detailed, "detailedmemory");
  EXPECT_EQ(std::make_tuple(detailed.Free.relDev, detailed.NonProcess.absDev, detailed.FreeStart.absDev,
                            detailed.NonProcessStart.relDev),
            std::make_tuple(50.0, 0.0, -5.0, -50.0));  // the leaf's start values are its end values

  PTComparisonPoint missing;  // a missing side measures 0
  calculateDeviations(nullptr, &leaf, missing, "time");
  EXPECT_EQ(std::make_tuple(missing.WCSC.absDev, missing.WCSC.relDev), std::make_tuple(2.0, 100.0));
  calculateDeviations(&leaf, nullptr, missing, "unknown");
  EXPECT_EQ(missing.WCSC.absDev, 2.0);  // an unknown format fills nothing
}

TEST(Deviations, AggregatePairUsesSelfAndTotalTimes) {
  PTAggregateDataPoint lhs;
  lhs.wcElapsedTime = 1;
  lhs.wcTotalTime = 4;
  lhs.procMemUsagePeak = 10;
  lhs.dllsMem = 8;
  PTAggregateDataPoint rhs = lhs;
  rhs.wcElapsedTime = 2;
  rhs.procMemUsagePeak = 12;
  rhs.dllsMem = 6;

  PTAggComparisonPoint time;
  calculateDeviations(&lhs, &rhs, time, "time");
  EXPECT_EQ(std::make_tuple(time.WCSelf.relDev, time.WCSC.relDev), std::make_tuple(100.0, 0.0));
  PTAggComparisonPoint basic;
  calculateDeviations(&lhs, &rhs, basic, "basicmemory");
  EXPECT_EQ(std::make_tuple(basic.UsagePeak.relDev, basic.WCSelf.colourClass), std::make_tuple(20.0, std::string()));
  PTAggComparisonPoint detailed;
  calculateDeviations(&lhs, &rhs, detailed, "detailedmemory");
  EXPECT_EQ(detailed.Dlls.relDev, -25.0);
}

TEST(Deviations, FormatToStringCapsPrecisionAtSix) {
  EXPECT_EQ(formatToString(2.0f / 3, 2), "0.67");
  EXPECT_EQ(formatToString(1234.5f, 3), "1.23e+03");
  EXPECT_EQ(formatToString(1.0f / 3, 9), "0.333333");
  EXPECT_EQ(formatToString(0.1f, 10), "0.1");
}

}  // namespace
