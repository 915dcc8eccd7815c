#include "platform/feature_flags.h"
#include "platform/instrument/listeners.h"
#include "recorder_road.h"
#include "support/point_text.h"
#include "tracer/performance_tracer.h"
#include "tracer/pt_clearing.h"
#include "tracer/pt_groupings.h"
#include "tracer/pt_logging.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <tuple>
#include <vector>

namespace {

using Pairs = std::vector<std::string>;

// Logging while the process ends: the handler is registered before any static
// object exists, so it runs after every one of them has been destroyed.
bool logAtExit = false;

void logWhileTheProcessEnds() {
  if (!logAtExit) return;
  ptClearRawData();
  platform::setFeature(kUsePerformanceTracerRecorderFeature, false);
  ptEnableTracer("Logged At Exit", true);
  ptLogCalvoranData("Logged At Exit", "a_model_name_beyond_small_strings", "ert", "Shutdown", true);
  platform::setFeature(kUsePerformanceTracerRecorderFeature, true);
  ptEnableTracer("Logged At Exit", true);  // takes the feature, attaches the listener
  ptLogTracerDataVecInput("Logged At Exit", "Shutdown", true, {"anIdentifierBeyondSmallStrings", "v"});
  ptLogTracerDataVecInput("Logged At Exit", "Shutdown", false, {"anIdentifierBeyondSmallStrings", "v"});
  const auto points = PerformanceTracer::getInstance()->getRawDataVector();
  if (points == nullptr || points->size() != 3) {
    std::fputs("points logged while the process ended were lost\n", stderr);
    std::_Exit(EXIT_FAILURE);
  }
}

__attribute__((constructor(101))) void registerLogWhileTheProcessEnds() { std::atexit(logWhileTheProcessEnds); }

// Passes or fails when the process ends (a lost point, or a sanitizer's report
// of freed memory, gives a failing exit status).
TEST(LoggingAtExit, PointsLoggedAfterStaticObjectsAreDestroyedAreKept) {
  logAtExit = true;
  ASSERT_TRUE(PerformanceTracer::getInstance()->rawDataVector() != nullptr);
}

using Texts = IdentifierTexts;

class LoggingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::setFeature(kUsePerformanceTracerRecorderFeature, false);
    tracer.initialize();
    tracer.setClock(&clock);
    tracer.setMemoryProbe(&probe);
    tracer.enableGrouping("G", true);
  }
  void TearDown() override { platform::setFeature(kUsePerformanceTracerRecorderFeature, std::nullopt); }

  const PTRawDataVector& points() const { return *tracer.rawDataVector(); }
  const PTTracerDataPoint& point(std::size_t i) const {
    return dynamic_cast<const PTTracerDataPoint&>(*points().at(i));
  }

  CallLog reads;
  FakeClock clock{&reads};
  FakeMemoryProbe probe;
  PerformanceTracer tracer;
};

TEST_F(LoggingTest, TheDirectRoadAppendsASampledTracerPoint) {
  clock.wall = 12.5;
  // Empty values and the last name of an odd list are left out.
  const Pairs pairs{"modelStr", "m1", "TestCase", "c1", "targetStr", "", "dangling"};
  ASSERT_TRUE(tracer.logEvent("G", "Load", true, pairs));
  ASSERT_TRUE(tracer.logEvent("G", "Load", false, pairs));
  const PTTracerDataPoint& start = point(0);
  EXPECT_TRUE(start.isStart && !point(1).isStart);
  EXPECT_EQ(start.grouping, tracer.getNumberForString(EPT_GROUPING, "G", false));
  EXPECT_EQ(start.phase, point(1).phase);
  EXPECT_EQ(std::tie(start.wallClockTime, start.cpuTime), std::make_tuple(12.5, clock.cpu));
  EXPECT_EQ(identifierTexts(tracer, 0), (Texts{{"modelStr", "m1"}, {"TestCase", "c1"}, kUpdate}));
  EXPECT_EQ(tracer.getMapCollections().count("targetStr") + tracer.getMapCollections().count("dangling"), 0u);
}

// The order of a point's identifiers decides the order of its elements in
// saved records: each point gets the map its own inserts make, whatever
// points came before it.
TEST_F(LoggingTest, EachPointGetsTheIdentifierMapItsInsertsMake) {
  const std::vector<Pairs> calls{{"modelStr", "m1", "TestCase", "c1"},
                                 {"modelStr", "m2", "TestCase", "c2"},
                                 {"TestCase", "c3", "modelStr", "m3"},
                                 {"modelStr", "m4", "TestCase", ""},
                                 {"modelStr", "m5", "TestCase", "c5", "modelStr", "m6"},
                                 {"modelStr", "m7", "TestCase", "c7", "modelStr", "m8"},
                                 {"a", "1", "b", "2", "c", "3", "d", "4", "e", "5"},
                                 {"a", "6", "b", "7", "c", "8", "d", "9", "e", "10"},
                                 {"modelStr", "m9", "TestCase", "c9"}};
  for (const Pairs& pairs : calls) ASSERT_TRUE(tracer.logEvent("G", "Load", true, pairs));
  const auto namesOf = [](const PTIdentifierMap& map) {
    std::vector<std::string> names;
    for (const auto& entry : map) names.push_back(entry.first);
    return names;
  };
  for (std::size_t i = 0; i < calls.size(); ++i) {
    PTIdentifierMap inserted = makeIdentifierMap();
    inserted.reserve(calls[i].size() / 2 + 1);
    Texts texts{kUpdate};
    for (std::size_t j = 0; j < calls[i].size(); j += 2) {
      if (calls[i][j + 1].empty()) continue;
      inserted[calls[i][j]] = 0;
      texts[calls[i][j]] = calls[i][j + 1];  // a name given twice keeps its last value
    }
    inserted[kUpdate.first] = 0;
    const PTIdentifierMap& logged = point(i).identifiers;
    EXPECT_EQ(namesOf(logged), namesOf(inserted)) << i;
    EXPECT_EQ(logged.bucket_count(), inserted.bucket_count()) << i;
    EXPECT_EQ(identifierTexts(tracer, i), texts) << i;
  }
}

TEST_F(LoggingTest, TheRoadFollowsTheFeatureOnlyFromARefreshOn) {
  platform::setFeature(kUsePerformanceTracerRecorderFeature, true);
  EXPECT_TRUE(tracer.logEvent("G", "Load", true, Pairs{}));  // the road cached at SetUp
  EXPECT_TRUE(tracer.isPerformanceTracerRecorderUsed());
  EXPECT_FALSE(tracer.logEvent("G", "Load", false, Pairs{}));
  platform::setFeature(kUsePerformanceTracerRecorderFeature, false);
  tracer.enableGlobalLogging(false);
  EXPECT_TRUE(tracer.logEvent("G", "Load", false, Pairs{}));
  EXPECT_EQ(points().size(), 2u);
}

TEST(ExtractIdentifiers, EmptyValuesAndTheLastNameOfAnOddListAreLeftOut) {
  Pairs names, values;
  extractIdentifiers({"a", "1", "b", "", "c"}, names, values);
  EXPECT_EQ(std::tie(names, values), std::make_tuple(Pairs{"a"}, Pairs{"1"}));
}

TEST_F(LoggingTest, ADisabledGroupingIsTurnedAwayWithoutClockOrTableChanges) {
  tracer.enableGrouping("Off", false);
  EXPECT_FALSE(tracer.logEvent("Off", "P", true, Pairs{"modelStr", "m1"}));
  EXPECT_FALSE(tracer.logEvent("Unknown", "P", true, Pairs{}));
  EXPECT_FALSE(tracer.logEvent("H", "P", true, Pairs{}));  // as long as the enabled "G"
  EXPECT_FALSE(tracer.isLoggingAdmitted("Off"));
  EXPECT_TRUE(points().empty());
  EXPECT_TRUE(reads.empty());
  EXPECT_EQ(tracer.getNumberForString(EPT_GROUPING, "Unknown", false), -1);
  EXPECT_EQ(tracer.getNumberForString(EPT_PHASE, "P", false), -1);
}

// Admission is answered from a list of the enabled groupings, looked up by
// hash once they are many; it must follow every change of states and table.
TEST_F(LoggingTest, AdmissionFollowsStatesAndTheGroupingTable) {
  for (int count : {3, 40}) {
    std::vector<std::string> names;
    for (int i = 0; i < count; ++i) {
      names.push_back("Group " + std::string(1, static_cast<char>('A' + i % 26)) + std::to_string(i / 26));
      tracer.enableGrouping(names.back(), true);
    }
    tracer.enableGrouping(names[1], false);
    for (int i = 0; i < count; ++i) EXPECT_EQ(tracer.logEvent(names[i], "P", true, Pairs{}), i != 1) << names[i];
    EXPECT_FALSE(tracer.isLoggingAdmitted("Group ?0"));  // as long as the enabled ones, never named
    for (const std::string& name : names) tracer.enableGrouping(name, false);
    EXPECT_FALSE(tracer.isLoggingAdmitted(names[0])) << count;
  }

  // A new table where G had number 0: the name that now has 0 is the enabled one.
  const std::int32_t g = tracer.getNumberForString(EPT_GROUPING, "G", false);
  *tracer.getMappingByType(EPT_GROUPING) = StringNumberMapping();
  EXPECT_FALSE(tracer.isLoggingAdmitted("G"));
  EXPECT_EQ(tracer.getNumberForString(EPT_GROUPING, "Renamed", true), g);
  EXPECT_TRUE(tracer.logEvent("Renamed", "P", true, Pairs{}));
  EXPECT_EQ(point(points().size() - 1).grouping, g);
}

TEST_F(LoggingTest, GlobalLoggingWithoutARawDataVectorLogsNothing) {
  PerformanceTracer bare;
  bare.enableGlobalLogging(true);
  EXPECT_FALSE(bare.logEvent("G", "P", true, Pairs{"modelStr", "m"}));
}

TEST_F(LoggingTest, ToolSpecificMembersBuildTheirOwnKinds) {
  tracer.setUsePerformanceTracerRecorder(false);
  tracer.setStatisticsTypeForModel("m1", "Accelerated");
  ASSERT_TRUE(tracer.logCalvoranData("G", "m1", "grt", "Build", true));
  ASSERT_TRUE(tracer.logQuorindelData("Unregistered", "m2", "ert", "Machine", "Chart", "Build", false));
  ASSERT_TRUE(tracer.logKAVLORData(7, "Start", true));
  ASSERT_TRUE(tracer.logTracerData("G", "Tracer", true, {"modelStr", "extra"}, {"m1"}));

  // "extra" has no value; a chart point takes no statistics type.
  EXPECT_EQ(
      pt_test::describe(tracer, points()),
      (std::vector<std::string>{
          "1|Build|G|Accelerated|m1|grt|start|100|2|detailed 0 0 0 0 0|basic 1000 2000 3000",
          "2|Build|||m2|ert|Machine|Chart|end|100|2|detailed 0 0 0 0 0|basic 1000 2000 3000",
          "0|Start|||start|100|2|detailed 0 0 0 0 0|basic 1000 2000 3000",
          "3|Tracer|G|modelStr=m1 statisticsTypeStr=Update start|100|2|detailed 0 0 0 0 0|basic 1000 2000 3000"}));
  EXPECT_EQ(std::make_tuple(points()[1]->grouping, points()[2]->grouping), std::make_tuple(-1, 7));
  EXPECT_EQ(reads.size(), 8u);  // wall and CPU time for each
}

class LoggingRecorderTest : public LoggingTest {
 protected:
  void SetUp() override {
    LoggingTest::SetUp();
    platform::setFeature(kUsePerformanceTracerRecorderFeature, true);
    tracer.enableGrouping("G", true);  // mirrors into the control, attaches the listener
  }
  void TearDown() override {
    tracer.enableGrouping("G", false);
    LoggingTest::TearDown();
  }
  std::vector<std::int32_t> kinds() const {
    std::vector<std::int32_t> result;
    for (const auto& event : tracer.recorder().getAllEventPoints()) result.push_back(event.kind);
    return result;
  }
};

TEST_F(LoggingRecorderTest, StartsAndStopsBecomeEventsConvertedOnRead) {
  EXPECT_FALSE(tracer.logEvent("G", "Load", true, Pairs{"modelStr", "m1", "odd"}));
  EXPECT_FALSE(tracer.logEvent("G", "Load", false, Pairs{"modelStr", "m1", "odd"}));
  EXPECT_TRUE(points().empty());
  EXPECT_TRUE(reads.empty());
  EXPECT_EQ(kinds(), (std::vector<std::int32_t>{instrument::kStartEvent, instrument::kStopEvent}));

  ASSERT_EQ(tracer.getRawDataVector()->size(), 2u);
  EXPECT_EQ(identifierTexts(tracer, 1), (Texts{{"modelStr", "m1"}, kUpdate}));
  EXPECT_EQ(tracer.getMapCollections().count("odd"), 0u);
}

TEST_F(LoggingRecorderTest, IdenticalStartsStopLatestFirstAndAnUnmatchedStopIsAnInstant) {
  const Pairs pairs{"modelStr", "m1"};
  tracer.logEvent("G", "Load", true, pairs);
  tracer.logEvent("G", "Load", true, pairs);
  tracer.logEvent("G", "Load", false, pairs);
  tracer.logEvent("G", "Load", false, Pairs{"modelStr", "m2"});  // identifiers differ: no open start
  EXPECT_EQ(kinds(), (std::vector<std::int32_t>{instrument::kStartEvent, instrument::kStartEvent,
                                                instrument::kStopEvent, instrument::kInstantEvent}));
  EXPECT_EQ(tracer.recorder().getAllEventPoints().at(2).id, tracer.recorder().getAllEventPoints().at(1).id);
}

TEST_F(LoggingRecorderTest, GlobalLoggingRecordsAGroupingWhoseControlIsOff) {
  tracer.enableGlobalLogging(true);
  tracer.logEvent("Never Enabled", "Run", true, Pairs{});
  tracer.logEvent("Never Enabled", "Run", false, Pairs{});
  tracer.logEvent("Never Enabled", "Orphan", false, Pairs{});
  EXPECT_EQ(kinds(),
            (std::vector<std::int32_t>{instrument::kStartEvent, instrument::kStopEvent, instrument::kInstantEvent}));
  tracer.enableGlobalLogging(false);
}

// The exported functions work on the process-wide tracer.
class ExportedLoggingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::setFeature(kUsePerformanceTracerRecorderFeature, false);
    ptClearRawData();
    ptEnableTracer("Exported", true);
  }
  void TearDown() override {
    ptEnableTracer("Exported", false);
    ptEnableGlobalLogging(false);
    ptClearRawData();
    platform::setFeature(kUsePerformanceTracerRecorderFeature, std::nullopt);
  }
  PerformanceTracer& tracer = *PerformanceTracer::getInstance();
};

TEST_F(ExportedLoggingTest, EveryFunctionEndsInTheFunnelWithItsIdentifiers) {
  const int exported = tracer.getNumberForString(EPT_GROUPING, "Exported", false);
  EXPECT_TRUE(ptLogCalvoranData("Exported", "m1", "", "Compile", true));
  EXPECT_TRUE(ptLogQuorindelData(exported, "m1", "t", "mach", "chart", "Chart", true));
  EXPECT_TRUE(ptLogKAVLORData(exported, "Plain", true));
  EXPECT_TRUE(ptLogTracerDataVecInput(exported, "Vec", false, {"TestCase", "c"}));
  EXPECT_FALSE(ptLogCLStartupData("Startup", true));
  ptEnableTracer("Calvoran Startup", true);
  EXPECT_TRUE(ptLogCLStartupData("Startup", true));
  ptEnableTracer("Calvoran Startup", false);

  ASSERT_EQ(tracer.rawDataVector()->size(), 5u);
  EXPECT_EQ(identifierTexts(tracer, 0), (Texts{{"modelStr", "m1"}, kUpdate}));
  EXPECT_EQ(identifierTexts(tracer, 1),
            (Texts{{"modelStr", "m1"}, {"targetStr", "t"}, {"machineStr", "mach"}, {"chartStr", "chart"}, kUpdate}));
  EXPECT_EQ(identifierTexts(tracer, 2), Texts{kUpdate});
  EXPECT_EQ(identifierTexts(tracer, 3), (Texts{{"TestCase", "c"}, kUpdate}));
  EXPECT_EQ(tracer.rawDataVector()->at(4)->grouping,
            tracer.getNumberForString(EPT_GROUPING, "Calvoran Startup", false));

  EXPECT_TRUE(ptIsTracerEnabled(exported));
  EXPECT_FALSE(ptIsTracerEnabled("Other"));
  ptEnableGlobalLogging(true);
  EXPECT_TRUE(ptIsTracerEnabled("Other"));
}

}  // namespace
