#include "tracer/recorder.h"

#include "fake_platform.h"
#include "platform/instrument/emit.h"
#include "tracer/performance_tracer.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <boost/functional/hash.hpp>

#include <memory>
#include <stdexcept>
#include <string>
#include <tuple>
#include <vector>

namespace {

using instrument::EventId;

std::vector<std::pair<std::string, std::string>> entriesOf(const instrument::ContextSet& context) {
  std::vector<std::pair<std::string, std::string>> entries;
  for (const instrument::ContextEntry& entry : context) entries.emplace_back(entry.name, entry.value);
  return entries;
}

TEST(MakeContextEntriesWithPhase, PhaseAndEveryPairInNameOrderEmptyValuesIncluded) {
  const std::vector<std::string> pairs{"targetStr", "", "modelStr", "m1"};
  const instrument::ContextSet context = makeContextEntriesWithPhase("Load", pairs);
  using Entries = std::vector<std::pair<std::string, std::string>>;
  EXPECT_EQ(entriesOf(context), (Entries{{"modelStr", "m1"}, {"phase", "Load"}, {"targetStr", ""}}));
  // Names are views of the caller's strings, values are copies.
  EXPECT_EQ(context.begin()->name.data(), pairs[2].data());
  EXPECT_EQ(entriesOf(makeContextEntriesWithPhase("Load", {})), (Entries{{"phase", "Load"}}));

  const auto oddPairs = [] { makeContextEntriesWithPhase("Load", {"modelStr", "m1", "targetStr"}); };
  EXPECT_THAT(oddPairs, ::testing::ThrowsMessage<std::invalid_argument>(
                            "makeContextEntriesWithPhase takes name/value pairs of strings."));
}

TEST(UserInput, EqualityCoversGroupingPhaseAndPairs) {
  const UserInput base{"G", "Load", {"modelStr", "m1"}};
  const boost::hash<UserInput> hash;
  EXPECT_EQ(base, (UserInput{"G", "Load", {"modelStr", "m1"}}));
  EXPECT_EQ(hash(base), hash(UserInput{"G", "Load", {"modelStr", "m1"}}));
  for (const UserInput& other : {UserInput{"H", "Load", {"modelStr", "m1"}}, UserInput{"G", "Run", {"modelStr", "m1"}},
                                 UserInput{"G", "Load", {"modelStr", "m2"}}, UserInput{"G", "Load", {}}})
    EXPECT_NE(base, other);
}

class MemStatsRecorderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    tracer.setMemoryProbe(&probe);
    tracer.initialize();
  }
  void setUsage(double bytes, std::uint64_t committed) {
    probe.basic = {bytes, bytes * 2, bytes * 3};
    probe.detailed.committedBytes = committed;
  }

  FakeMemoryProbe probe;
  PerformanceTracer tracer;
  pt::PerformanceTracerMemStatsRecorder recorder{tracer};
  const EventId first{1, 0}, second{2, 0};
};

TEST_F(MemStatsRecorderTest, AStopWhoseStartWasNeverSeenStillGetsAnEntry) {
  setUsage(300, 0);
  EXPECT_FALSE(recorder.getEventDatum(second).has_value());
  recorder.onEventStop("G", {}, second);
  const pt::EventDatum late = recorder.getEventDatum(second).value();
  EXPECT_EQ(std::tie(late.start.procMemUsage, late.stop.procMemUsage), std::make_tuple(0.0, 300.0));
}

// An instant's snapshot is both its start and its stop.
TEST_F(MemStatsRecorderTest, AnInstantsSnapshotIsBothSides) {
  tracer.setDetailedMemStatsEnabled(true);
  setUsage(700, 8192);
  recorder.onEventInstant("G", {}, second);
  const pt::EventDatum instant = recorder.getEventDatum(second).value();
  EXPECT_EQ(std::tie(instant.start.procMemUsage, instant.stop.procMemUsage), std::make_tuple(700.0, 700.0));
  EXPECT_EQ(instant.detailedStop->commitMem, 8192);
}

class TracerRecorderTest : public MemStatsRecorderTest {
 protected:
  pt::PerformanceTracerRecorder& listener = tracer.recorder();
};

TEST_F(TracerRecorderTest, EventPointsCarryTheSnapshotOfTheirSide) {
  const instrument::ContextSet context{{"phase", "Load"}};
  setUsage(100, 0);
  listener.onEventStart("G", context, first);
  setUsage(200, 0);
  listener.onEventInstant("G", context, second);
  setUsage(300, 0);
  listener.onEventStop("G", {}, first);

  const std::vector<pt::PerformanceTracerRecorder::EventPoint> points = listener.getAllEventPoints();
  std::vector<std::pair<std::int32_t, double>> kindsAndUsages;
  for (const auto& point : points) kindsAndUsages.emplace_back(point.kind, point.basic.procMemUsage);
  ASSERT_EQ(kindsAndUsages,
            (std::vector<std::pair<std::int32_t, double>>{
                {instrument::kStartEvent, 100}, {instrument::kInstantEvent, 200}, {instrument::kStopEvent, 300}}));
  EXPECT_EQ(std::tie(points[0].context, points[2].id), std::tie(context, first));
  EXPECT_LE(points[0].time, points[2].time);
  EXPECT_FALSE(points[0].detailed.has_value());

  const std::vector<pt::PerformanceTracerRecorder::Event> events = listener.getAllEvents();
  ASSERT_EQ(events.size(), 2u);
  EXPECT_EQ(events[0].event.id, first);
  EXPECT_TRUE(events[0].event.stopTime.has_value());
  const pt::EventDatum& datum = events[0].datum.value();
  EXPECT_EQ(std::tie(datum.name, datum.start.procMemUsage, datum.stop.procMemUsage, datum.stop.procVMSize),
            std::make_tuple("G", 100.0, 300.0, 900.0));
  EXPECT_FALSE(datum.detailedStart || datum.detailedStop);
  EXPECT_TRUE(events[1].event.isInstant);
}

TEST_F(TracerRecorderTest, ClearingByNameDropsEventsAndSnapshotsOfThatGroupingOnly) {
  tracer.setDetailedMemStatsEnabled(true);
  listener.onEventStart("G", {}, first);
  listener.onEventStart("H", {}, second);
  listener.clearEventData("G");
  ASSERT_EQ(listener.getAllEventPoints().size(), 1u);
  EXPECT_EQ(listener.getEvents("H").size(), 1u);
  EXPECT_TRUE(listener.getEvents("G").empty());
  EXPECT_FALSE(listener.memStatsRecorder().getEventDatum(first).has_value());
  // The detailed side went with the basic one: a late stop starts clean.
  tracer.setDetailedMemStatsEnabled(false);
  listener.onEventStop("G", {}, first);
  EXPECT_FALSE(listener.memStatsRecorder().getEventDatum(first)->detailedStart.has_value());
  listener.clearAllEventData();
  EXPECT_TRUE(listener.getAllEventPoints().empty());
  EXPECT_TRUE(listener.memStatsRecorder().getAllEventData().empty());
}

TEST(PerformanceTracerRecorder, ADestroyedTracerNoLongerReceivesEvents) {
  instrument::ControlElement& handle = instrument::controls.getHandle("RecorderTestDestroyed");
  handle.setEnabled(true);
  auto tracer = std::make_unique<PerformanceTracer>();
  instrument::listeners.add(tracer->recorder());
  EXPECT_TRUE(instrument::startEvent(handle, {}).isEvent());
  tracer.reset();
  // Under AddressSanitizer, a listener left attached would be used after free here.
  EXPECT_FALSE(instrument::startEvent(handle, {}).isEvent());
  handle.setEnabled(false);
}

}  // namespace
