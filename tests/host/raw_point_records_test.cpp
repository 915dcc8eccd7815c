#include <gtest/gtest.h>

#include <boost/make_shared.hpp>

#include <algorithm>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "host/cell_records.h"
#include "host/same_point.h"
#include "support/host_array_equal.h"
#include "support/host_records.h"
#include "tracer/data_points.h"
#include "tracer/dynamic_enum.h"
#include "tracer/pt_api.h"
#include "tracer/pt_clearing.h"

namespace {

using platform::HostArrayPtr;

const auto int32 = pt_test::scalar<std::int32_t>;
const auto record = pt_test::cellRecord;

// The older layout: the same elements without the version text in front.
HostArrayPtr withoutVersion(const haArray* current) {
  const std::size_t n = haGetNumberOfElements(current);
  HostArrayPtr older(haCreateCellMatrix(1, n - 1));
  for (std::size_t i = 1; i < n; ++i) haSetCell(older.get(), i - 1, haDuplicateArray(haGetCell(current, i)));
  return older;
}

std::vector<haArray*> zeros(int count) {
  std::vector<haArray*> values;
  for (int i = 0; i < count; ++i) values.push_back(haCreateDoubleScalar(0));
  return values;
}

class RawPointRecords : public ::testing::Test {
 protected:
  void SetUp() override { ptClearRawData(); }
};

TEST_F(RawPointRecords, KAVLORPointWritesItsSixteenElementsAndReadsBack) {
  PTKAVLORDataPoint point;
  point.phase = ptGetNumberForString(EPT_PHASE, "Load");
  point.grouping = ptGetNumberForString(EPT_GROUPING, "G");
  point.statisticsType = ptGetNumberForString(EPT_STATISTICS_TYPE, "Update");
  point.isStart = true;
  point.wallClockTime = 1.5;
  point.cpuTime = 2.0;
  point.detailedMemStats.reset();
  point.basicMemStats = boost::make_shared<pt::BasicMemStats>(100, 200, 300);

  const HostArrayPtr written(point.writeToCellArray());
  std::vector<haArray*> expected = {haCreateString("1"),       int32(0),
                                    haCreateString("Load"),    haCreateString("G"),
                                    haCreateString("Update"),  haCreateLogicalScalar(true),
                                    haCreateDoubleScalar(1.5), haCreateDoubleScalar(2.0)};
  for (haArray* zero : zeros(5)) expected.push_back(zero);
  for (double v : {100.0, 200.0, 300.0}) expected.push_back(haCreateDoubleScalar(v));
  EXPECT_TRUE(pt_test::sameHostArray(record(expected).get(), written.get()));

  const PTKAVLORDataPoint back(written.get());
  EXPECT_TRUE(pt_test::samePoint(point, back));
  EXPECT_EQ(back.detailedMemStats, nullptr);
  const PTKAVLORDataPoint older(withoutVersion(written.get()).get());
  EXPECT_TRUE(pt_test::samePoint(point, older));
}

TEST_F(RawPointRecords, ModelAndStateChartPointsRoundTrip) {
  PTQuorindelDataPoint chart;
  chart.phase = ptGetNumberForString(EPT_PHASE, "Chart Parse");
  chart.grouping = ptGetNumberForString(EPT_GROUPING, "Quorindel");
  chart.statisticsType = ptGetNumberForString(EPT_STATISTICS_TYPE, "Update");
  chart.model = ptGetNumberForString(EPT_MODEL, "vdp");
  chart.target = ptGetNumberForString(EPT_TARGET, "grt");
  chart.machine = ptGetNumberForString(EPT_MACHINE, "m1");
  chart.chart = ptGetNumberForString(EPT_CHART, "c1");
  chart.wallClockTime = 1700000000.123;
  chart.detailedMemStats = boost::make_shared<pt::DetailedMemStats>(1, 2, 3, 4, 5);
  chart.basicMemStats = boost::make_shared<pt::BasicMemStats>(4096, 8192, 1e10);
  const HostArrayPtr chartRecord(chart.writeToCellArray());
  EXPECT_EQ(haGetNumberOfElements(chartRecord.get()), 20u);
  EXPECT_TRUE(pt_test::samePoint(chart, PTQuorindelDataPoint(chartRecord.get())));

  PTCLTGXDataPoint model;
  model.grouping = chart.grouping;
  model.statisticsType = chart.statisticsType;
  model.phase = chart.phase;
  model.model = chart.model;
  model.target = ptGetNumberForString(EPT_TARGET, "ert");
  const HostArrayPtr modelRecord(model.writeToCellArray());
  EXPECT_EQ(haGetNumberOfElements(modelRecord.get()), 18u);
  const PTCLTGXDataPoint back(modelRecord.get());
  EXPECT_EQ(back.detailedMemStats, nullptr);  // all-zero detailed statistics are none
  model.detailedMemStats.reset();
  EXPECT_TRUE(pt_test::samePoint(model, back));
  EXPECT_TRUE(pt_test::samePoint(model, PTCLTGXDataPoint(withoutVersion(modelRecord.get()).get())));
}

TEST_F(RawPointRecords, TracerPointIdentifiersTravelAsEnumeratedNumbers) {
  PTTracerDataPoint none;
  const HostArrayPtr empty(none.writeToCellArray());
  ASSERT_EQ(haGetNumberOfElements(empty.get()), 17u);
  EXPECT_EQ(ptGetIntegerFrom_haArray(haGetCell(empty.get(), 4)), 0);
  EXPECT_TRUE(haIsLogicalScalar(haGetCell(empty.get(), 5)));
  EXPECT_TRUE(haIsDouble(haGetCell(empty.get(), 15)));
  EXPECT_EQ(haGetCell(empty.get(), 16), nullptr);

  const std::int32_t modelNumber = ptInsertIdentifierToMapCollections("modelStr");
  PerformanceTracer::getInstance()->insertIdentifierToMapCollections("blockStr");  // not enumerated yet
  PTTracerDataPoint point;
  point.phase = ptGetNumberForString(EPT_PHASE, "Compile");
  point.grouping = ptGetNumberForString(EPT_GROUPING, "G");
  point.detailedMemStats = boost::make_shared<pt::DetailedMemStats>(0, 0, 0, 0, 1);
  point.identifiers["modelStr"] = ptGetNumberForString("modelStr", "vdp");
  point.identifiers["blockStr"] = ptGetNumberForString("blockStr", "Gain:1");  // a colon in the value
  const HostArrayPtr written(point.writeToCellArray());
  ASSERT_EQ(haGetNumberOfElements(written.get()), 19u);
  std::vector<std::string> elements = {haArrayToStdString(haGetCell(written.get(), 5)),
                                       haArrayToStdString(haGetCell(written.get(), 6))};
  const std::int32_t blockNumber = ptGetNuberFromDynamicEnum("blockStr");
  ASSERT_GE(blockNumber, 0) << "a name written must be enumerated";
  EXPECT_NE(std::find(elements.begin(), elements.end(), std::to_string(modelNumber) + ":vdp"), elements.end());
  EXPECT_NE(std::find(elements.begin(), elements.end(), std::to_string(blockNumber) + ":Gain:1"), elements.end());
  EXPECT_TRUE(pt_test::samePoint(point, PTTracerDataPoint(written.get())));

  // Through a file's enumeration, where 7 stands for Model; 99 names nothing.
  DynamicEnum fileEnum;
  fileEnum.add("Model", 7);
  std::vector<haArray*> elementsIn = {haCreateString("1"),      int32(3), haCreateString("P"),
                                      haCreateString("G"),      int32(2), haCreateString("7:abc"),
                                      haCreateString("99:lost")};
  const HostArrayPtr numbered = record(elementsIn);
  const PTTracerDataPoint read(numbered.get(), fileEnum);
  EXPECT_EQ(read.getIdentifierNum("Model"), ptGetNumberForString("Model", "abc"));
  EXPECT_EQ(read.getIdentifierNum(""), ptGetNumberForString("", "lost"));
}

TEST_F(RawPointRecords, OlderTracerRecordsNameTheirIdentifiers) {
  ptInsertIdentifierToMapCollections("modelStr");
  const std::string number = std::to_string(ptGetNuberFromDynamicEnum("modelStr"));
  std::vector<haArray*> tail = {haCreateLogicalScalar(true), haCreateDoubleScalar(3), haCreateDoubleScalar(1)};
  for (haArray* zero : zeros(8)) tail.push_back(zero);
  std::vector<haArray*> current = {haCreateString("1"), int32(3), haCreateString("P"),
                                   haCreateString("G"), int32(1), haCreateString((number + ":vdp").c_str())};
  std::vector<haArray*> older = {int32(3), haCreateString("P"),        haCreateString("G"),
                                 int32(1), haCreateString("modelStr"), haCreateString("vdp")};
  for (haArray* value : tail) {
    current.push_back(haDuplicateArray(value));
    older.push_back(value);
  }
  const PTTracerDataPoint fromCurrent(record(current).get()), fromOlder(record(older).get());
  EXPECT_TRUE(pt_test::samePoint(fromCurrent, fromOlder));
  EXPECT_EQ(fromOlder.getIdentifierNum("modelStr"), ptGetNumberForString("modelStr", "vdp"));
  EXPECT_TRUE(fromOlder.isStart);
  EXPECT_EQ(fromOlder.wallClockTime, 3.0);
}

TEST_F(RawPointRecords, OnlyTextsTravel) {
  PTKAVLORDataPoint a, b;
  a.phase = ptGetNumberForString(EPT_PHASE, "A");
  b.phase = ptGetNumberForString(EPT_PHASE, "B");
  ASSERT_EQ(a.phase, 0);
  const HostArrayPtr recordA(a.writeToCellArray()), recordB(b.writeToCellArray());
  ptClearRawData();  // a fresh numbering
  EXPECT_EQ(PTKAVLORDataPoint(recordB.get()).phase, 0);
  EXPECT_EQ(PTKAVLORDataPoint(recordA.get()).phase, 1);
}

TEST_F(RawPointRecords, OddRecordsReadSafely) {
  const HostArrayPtr unknownVersion = record({haCreateString("2"), int32(0), haCreateString("P")});
  const PTKAVLORDataPoint unknown(unknownVersion.get());
  EXPECT_EQ(unknown.type, PT_KAVLOR);
  EXPECT_EQ(unknown.phase, -1);
  ASSERT_NE(unknown.basicMemStats, nullptr);
  EXPECT_EQ(unknown.detailedMemStats, nullptr);

  // A count far beyond the record reads only what is there, and the kind
  // is kept as the record gives it.
  const HostArrayPtr hugeCount =
      record({haCreateString("1"), int32(7), haCreateString("P"), haCreateString("G"), int32(2147483647)});
  const PTTracerDataPoint huge(hugeCount.get());
  EXPECT_EQ(huge.type, 7);
  EXPECT_TRUE(huge.identifiers.empty());

  const HostArrayPtr noNumber = record(
      {haCreateString("1"), int32(3), haCreateString("P"), haCreateString("G"), int32(1), haCreateString("x:abc")});
  EXPECT_THROW(PTTracerDataPoint{noNumber.get()}, std::invalid_argument);
  EXPECT_NO_THROW(PTKAVLORDataPoint{nullptr});
}

}  // namespace
