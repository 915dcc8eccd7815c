#include "platform/feature_flags.h"
#include "support/point_text.h"
#include "tracer/performance_tracer.h"
#include "tracer/pt_api.h"
#include "tracer/pt_clearing.h"
#include "tracer/pt_groupings.h"
#include "tracer/pt_logging.h"

#include <boost/make_shared.hpp>

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

namespace {

using Pairs = std::vector<std::string>;

class ClearingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::setFeature(kUsePerformanceTracerRecorderFeature, false);
    tracer.initialize();
    tracer.enableGrouping("A", true);
    tracer.enableGrouping("B", true);
    tracer.setUsePerformanceTracerRecorder(false);
  }
  void TearDown() override { platform::setFeature(kUsePerformanceTracerRecorderFeature, std::nullopt); }

  /// Phase names of the remaining points, in order.
  Pairs phases() const {
    Pairs names;
    for (const auto& point : *tracer.rawDataVector())
      names.push_back(tracer.getStringForNumber(EPT_PHASE, point->phase));
    return names;
  }

  PerformanceTracer tracer;
};

TEST_F(ClearingTest, ByGroupingModelAndTargetEachRemoveTheirPoints) {
  tracer.logCalvoranData("A", "m1", "t1", "cl-a-m1-t1", true);
  tracer.logCalvoranData("A", "m1", "t2", "cl-a-m1-t2", true);
  tracer.logQuorindelData("A", "m2", "t1", "mach", "chart", "qd-a-m2", true);
  tracer.logEvent("A", "tr-a-m1", true, Pairs{"modelStr", "m1"});
  // Tracer points, as the exported logging functions make them, go by their identifiers.
  tracer.logEvent("A", "tr-a-m1-t2", true, Pairs{"modelStr", "m1", "targetStr", "t2"});
  tracer.logEvent("A", "tr-a-m2", true, Pairs{"modelStr", "m2"});
  tracer.logEvent("B", "tr-b-m2", true, Pairs{"modelStr", "m2"});
  tracer.logEvent("B", "tr-b", true, Pairs{});
  tracer.logKAVLORData("B", "kv-b", true);
  tracer.enableGlobalLogging(true);
  tracer.logEvent("Unregistered", "tr-none", true, Pairs{});

  tracer.clearRawDataVector("A", "m1", "t2");
  tracer.clearRawDataVector("A", "m2");
  EXPECT_EQ(phases(), (Pairs{"cl-a-m1-t1", "tr-a-m1", "tr-b-m2", "tr-b", "kv-b", "tr-none"}));

  tracer.clearRawModelData("never logged");  // must not take the points without a model
  tracer.clearRawModelData("m1");            // tracer points only
  EXPECT_EQ(phases(), (Pairs{"cl-a-m1-t1", "tr-b-m2", "tr-b", "kv-b", "tr-none"}));

  tracer.clearRawGroupingData("Also Unregistered");  // the points logged without a known grouping
  tracer.clearRawGroupingData("B");
  EXPECT_EQ(phases(), (Pairs{"cl-a-m1-t1"}));
}

TEST_F(ClearingTest, AFullClearRestartsNumberingButKeepsGroupingsAndSwitches) {
  tracer.setDetailedMemStatsEnabled(true);
  tracer.enableGlobalLogging(true);
  tracer.setStatisticsTypeForModel("m", "Normal");
  tracer.logEvent("B", "First", true, Pairs{"modelStr", "m"});
  const std::int32_t grouping = tracer.getNumberForString(EPT_GROUPING, "B", false);
  const std::int32_t update = tracer.getNumberForString("statisticsTypeStr", "Update");
  tracer.getIdentifierRawEnum();

  tracer.clearRawDataVector();
  tracer.clearMapCollections();
  EXPECT_TRUE(tracer.rawDataVector()->empty());
  EXPECT_EQ((std::tuple{tracer.getNumberForString(EPT_PHASE, "Second", true),
                        tracer.getNumberForString(EPT_GROUPING, "B", false)}),
            std::make_tuple(0, grouping));
  EXPECT_EQ((std::vector<bool>{tracer.isGroupingEnabled("B"), tracer.isGlobalLoggingEnabled(),
                               tracer.isDetailedMemStatsEnabled()}),
            std::vector<bool>(3, true));
  // Identifier names stay known, their values go; statistics types stay.
  EXPECT_EQ((std::tuple{tracer.identifierRawEnum().getInt("modelStr"), tracer.getMapCollections().count("modelStr"),
                        tracer.getNumberForString("modelStr", "m"),
                        tracer.getNumberForString("statisticsTypeStr", "Update")}),
            std::make_tuple(-1, std::size_t{1}, -1, update));
  tracer.logCalvoranData("B", "m", "t", "P", true);  // the model's statistics type went too
  EXPECT_EQ(tracer.getStringForNumber(EPT_STATISTICS_TYPE, tracer.rawDataVector()->back()->statisticsType), "");
}

TEST_F(ClearingTest, SetKeepsItsOwnVectorFilteredReadsShareAndFullReadsCopy) {
  tracer.logCalvoranData("A", "m", "t", "P", true);
  tracer.logEvent("B", "Q", true, Pairs{"modelStr", "m"});
  auto readBack = boost::make_shared<PTQuorindelDataPoint>();
  readBack->type = PT_KAVLOR;  // as a record may give it
  PTRawDataVector given{tracer.rawDataVector()->at(0), tracer.rawDataVector()->at(1), readBack};
  tracer.setRawDataVector(given);
  given.clear();  // the tracer keeps a vector of its own
  ASSERT_EQ(tracer.rawDataVector()->size(), 3u);
  EXPECT_EQ(tracer.rawDataVector()->back(), readBack);

  EXPECT_EQ(*tracer.getRawDataVector("B"), PTRawDataVector{tracer.rawDataVector()->at(1)});  // shared points
  EXPECT_TRUE(tracer.getRawDataVector("Never Seen")->empty());

  // Equal lines are points of the same class and content.
  std::unique_ptr<PTRawDataVector> copies = tracer.getRawDataVector();
  EXPECT_EQ(pt_test::describe(tracer, *copies), pt_test::describe(tracer, *tracer.rawDataVector()));
  for (std::size_t i = 0; i < copies->size(); ++i) {
    EXPECT_NE(copies->at(i)->basicMemStats, tracer.rawDataVector()->at(i)->basicMemStats) << i;
  }

  ptCleanupRawDataVector(copies);
  EXPECT_TRUE(copies == nullptr);
  EXPECT_TRUE(PerformanceTracer().getRawDataVector() == nullptr);
}

// The exported full clear also empties the test paths and the recorder's events.
TEST(ExportedClearing, FullClearEmptiesEveryTableButTheGroupings) {
  platform::setFeature(kUsePerformanceTracerRecorderFeature, false);
  PerformanceTracer& tracer = *PerformanceTracer::getInstance();
  ptEnableTracer("Cleared", true);
  ptAddTestPathToMap("user", "file > suite > case");
  ASSERT_TRUE(ptLogCalvoranData("Cleared", "m", "t", "Phase", true));
  const std::int32_t grouping = tracer.getNumberForString(EPT_GROUPING, "Cleared", false);

  ptClearRawData();
  EXPECT_TRUE(tracer.rawDataVector()->empty() && tracer.getMapTestPath().empty());
  EXPECT_EQ(std::make_tuple(tracer.getNumberForString("modelStr", "m"), ptGetPhaseStr(0)), std::make_tuple(-1, ""));
  EXPECT_EQ(tracer.getNumberForString(EPT_GROUPING, "Cleared", false), grouping);
  EXPECT_TRUE(ptIsTracerEnabled("Cleared"));
  ptEnableTracer("Cleared", false);
  platform::setFeature(kUsePerformanceTracerRecorderFeature, std::nullopt);
}

}  // namespace
