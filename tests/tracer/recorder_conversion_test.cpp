#include "recorder_road.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <tuple>
#include <vector>

namespace {

using instrument::EventId;

TEST(RecorderConversion, AStartAndItsStopBecomeTwoPointsOnce) {
  RecorderRoad road("ConversionPair");
  road.probe.basic = {1000, 2000, 3000};
  road.start("Compile", {"modelStr", "m1", "targetStr", ""});
  road.probe.basic = {5000, 6000, 7000};
  road.end("Compile", {"modelStr", "m1", "targetStr", ""});

  ASSERT_EQ(road.convert(), 2u);
  const PTTracerDataPoint& start = road.point(0);
  const PTTracerDataPoint& end = road.point(1);
  EXPECT_TRUE(start.isStart && !end.isStart);
  EXPECT_EQ(start.grouping, road.tracer.getNumberForString(EPT_GROUPING, "ConversionPair", false));
  EXPECT_EQ(road.tracer.getStringForNumber(EPT_PHASE, end.phase), "Compile");
  EXPECT_EQ(road.identifiers(0), (IdentifierTexts{{"modelStr", "m1"}, kUpdate}));  // an empty value names nothing
  EXPECT_EQ(road.tracer.getMapCollections().count("targetStr"), 1u);
  EXPECT_TRUE(start.matchPoint(road.points()[1]));

  // Detailed statistics are off; the recorder has no CPU time.
  EXPECT_EQ(std::tie(start.basicMemStats->procMemUsage, end.basicMemStats->procMemUsage, end.basicMemStats->procVMSize,
                     end.detailedMemStats->commitMem, start.cpuTime, end.cpuTime),
            std::make_tuple(1000.0, 5000.0, 7000.0, 0.0, 0.0, 0.0));

  // Times are the events' own, on the recorder-epoch scale.
  const std::vector<pt::PerformanceTracerRecorder::EventPoint> events = road.tracer.recorder().getAllEventPoints();
  EXPECT_EQ(start.wallClockTime, PerformanceTracer::getPerfTime(events[0].time));
  EXPECT_EQ(end.wallClockTime, PerformanceTracer::getPerfTime(events[1].time));
  const double now = PerformanceTracer::getPerfTime(
      std::chrono::time_point_cast<std::chrono::nanoseconds>(std::chrono::system_clock::now()));
  EXPECT_NEAR(end.wallClockTime, now, 60.0);

  EXPECT_EQ(road.convert(), 0u);
}

TEST(RecorderConversion, AnOpenStartIsConvertedAgainOnEachPassUntilItsStopArrives) {
  RecorderRoad road("ConversionOpen");
  road.start("Load");
  EXPECT_EQ(road.convert(), 1u);
  EXPECT_EQ(road.convert(), 1u);
  road.end("Load");
  ASSERT_EQ(road.convert(), 2u);
  EXPECT_TRUE(road.point(2).isStart && !road.point(3).isStart);
  EXPECT_EQ(road.point(0).wallClockTime, road.point(2).wallClockTime);
  EXPECT_EQ(road.convert(), 0u);

  // Clearing forgets converted identifiers along with the events.
  road.tracer.clearPerfTracerRecorderEventData();
  EXPECT_TRUE(road.tracer.recorder().getAllEventPoints().empty());
  EXPECT_EQ(road.convert(), 0u);
}

TEST(RecorderConversion, AnEndWithoutStartIsAnInstantConvertedOnceIntoAnEndPoint) {
  RecorderRoad road("ConversionInstant");
  road.start("Load", {"modelStr", "m1"});
  road.end("Load", {"modelStr", "m2"});  // other identifiers: no open start
  road.probe.basic = {4000, 4000, 4000};
  road.end("Save", {"modelStr", "m3"});
  ASSERT_EQ(road.convert(), 3u);
  EXPECT_FALSE(road.point(1).isStart);
  EXPECT_EQ(road.identifiers(1), (IdentifierTexts{{"modelStr", "m2"}, kUpdate}));
  EXPECT_EQ(road.tracer.getStringForNumber(EPT_PHASE, road.point(2).phase), "Save");
  EXPECT_EQ(road.point(2).basicMemStats->procMemUsage, 4000);  // an instant keeps its snapshot
  // The open start comes again; the instants do not.
  EXPECT_EQ(road.convert(), 1u);
}

TEST(RecorderConversion, AStopWhoseStartWasNotRecordedNeitherFailsNorRecurs) {
  RecorderRoad road("ConversionOrphan");
  instrument::ControlElement& handle = instrument::controls.getHandle(road.grouping);
  // Started while only another listener was attached, stopped after the
  // tracer's joined.
  instrument::listeners.remove(road.tracer.recorder());
  instrument::InstrumentRecorder other;
  instrument::listeners.add(other);
  const EventId early = instrument::startEvent(handle, makeContextEntriesWithPhase("Load", {}));
  instrument::listeners.add(road.tracer.recorder());
  instrument::stopEvent(handle, early);
  instrument::listeners.remove(other);
  // A stop that brings a context of its own is converted by it.
  const std::vector<std::string> pairs{"modelStr", "m9"};
  road.tracer.recorder().onEventStop(road.grouping, makeContextEntriesWithPhase("Save", pairs), EventId{1u << 30, 0});
  road.end("Run");

  ASSERT_EQ(road.convert(), 2u);
  EXPECT_EQ(road.tracer.getStringForNumber(EPT_PHASE, road.point(0).phase), "Save");
  EXPECT_FALSE(road.point(0).isStart);
  EXPECT_EQ(road.identifiers(0), (IdentifierTexts{{"modelStr", "m9"}, kUpdate}));
  EXPECT_EQ(road.tracer.getStringForNumber(EPT_PHASE, road.point(1).phase), "Run");
  EXPECT_EQ(road.convert(), 0u);
}

TEST(RecorderConversion, DetailedSnapshotsAreTakenOnlyWhileEnabled) {
  RecorderRoad road("ConversionDetailed");
  road.probe.detailed = {1, 2, 3, 4, 5};
  road.start("Load");
  road.tracer.setDetailedMemStatsEnabled(true);
  road.end("Load");
  ASSERT_EQ(road.convert(), 2u);
  EXPECT_EQ(std::tie(road.point(0).detailedMemStats->commitMem, road.point(1).detailedMemStats->commitMem,
                     road.point(1).detailedMemStats->nonprocessMem),
            std::make_tuple(0.0, 1.0, 5.0));
  // Each point owns its snapshots.
  EXPECT_NE(road.point(0).detailedMemStats.get(), road.point(1).detailedMemStats.get());
}

TEST(RecorderConversion, SplitsTestPathsAndSurvivesMalformedOnes) {
  RecorderRoad road("ConversionTestPaths");
  road.tracer.addTestPathToMap("t1", "a.m > Suite > Case # it1");
  const std::vector<std::string> bad{"TestResult", "Results: run1"};  // no "/": no test file
  road.start("Run", {"UserString", "t1", "TestPath", "f.m > s"});
  road.start("Check", bad);
  road.end("Check", bad);
  road.end("Run", {"UserString", "t1", "TestPath", "f.m > s"});

  testing::internal::CaptureStderr();
  ASSERT_EQ(road.convert(), 4u);
  const std::string diagnostics = testing::internal::GetCapturedStderr();
  // "TestPath" comes after "UserString".
  EXPECT_EQ(road.identifiers(0), (IdentifierTexts{{"UserString", "t1"},
                                                  {"TestPath", "f.m > s"},
                                                  {"TestFile", "f.m"},
                                                  {"TestSuite", "s"},
                                                  {"TestCase", "Case"},
                                                  {"IterationName", "it1"},
                                                  kUpdate}));
  EXPECT_EQ(road.identifiers(3), road.identifiers(0));
  for (std::size_t i : {1u, 2u}) EXPECT_EQ(road.identifiers(i), (IdentifierTexts{{bad[0], bad[1]}, kUpdate}));
  // Reported once, for the event as a whole.
  EXPECT_EQ(diagnostics,
            "performance_tracer: test path of an event of grouping \"ConversionTestPaths\" left unsplit: "
            "Invalid input string format: TestFile not found.\n");
  EXPECT_EQ(road.convert(), 0u);
}

TEST(RecorderConversion, NothingHappensWhileTheRecorderIsNotInUse) {
  RecorderRoad road("ConversionOff");
  road.start("Load");
  road.tracer.setUsePerformanceTracerRecorder(false);
  EXPECT_EQ(road.convert(), 0u);
  road.tracer.setUsePerformanceTracerRecorder(true);
  EXPECT_EQ(road.convert(), 1u);

  PerformanceTracer bare;  // no raw data vector: events wait
  bare.recorder().onEventInstant("G", {}, EventId{5, 0});
  bare.processRecorderDataToRawData();
  EXPECT_EQ(bare.rawDataVector(), nullptr);
  bare.initialize();
  bare.processRecorderDataToRawData();
  EXPECT_EQ(bare.rawDataVector()->size(), 1u);
}

}  // namespace
