#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/instrument/controls.h"
#include "platform/instrument/emit.h"
#include "platform/instrument/instrument_recorder.h"
#include "platform/instrument/listeners.h"

namespace {

using instrument::ContextSet;
using instrument::EventId;

instrument::TimePoint fakeTime(long long ns) { return instrument::TimePoint(std::chrono::nanoseconds(ns)); }

// Hands out 100, 200, 300, ... ns after each restart.
long long gTicks = 0;
instrument::TimePoint steppingClock() { return fakeTime(100 * ++gTicks); }

int verdictFromLevel(const ContextSet& context) {
  auto it = context.find(instrument::ContextEntry("level", ""));
  if (it == context.end()) return 0;
  return it->value == "on" ? 1 : it->value == "off" ? -1 : 0;
}

// A control handle, the listeners, and a recorder on the stepping clock not yet listening.
struct InstrumentEmit : testing::Test {
  instrument::Controls controls;
  instrument::Listeners listeners;
  instrument::InstrumentRecorder recorder{&steppingClock};
  instrument::ControlElement& handle = controls.getHandle("load");
};

TEST_F(InstrumentEmit, StartStatusesFollowTheAdmissionRulesAndOnlyStartedEventsStop) {
  ContextSet context{{"phase", "p"}};

  EXPECT_EQ(instrument::startEvent(handle, context, 0, listeners), EventId::none(instrument::kListenersInactive));
  instrument::stopEvent(handle, EventId{5, 0}, listeners);  // nobody listening
  listeners.add(recorder);
  EXPECT_EQ(instrument::startEvent(handle, context, 0, listeners), EventId::none(instrument::kNotAdmitted));
  controls.enable("load");
  instrument::stopEvent(handle, EventId::none(instrument::kNotAdmitted), listeners);
  EventId first = instrument::startEvent(handle, context, 0, listeners);
  EventId second = instrument::startEvent(handle, context, 7, listeners);
  EXPECT_TRUE(first.isEvent());
  EXPECT_NE(first, second);
  EXPECT_EQ(second.tag, 7u) << "the source travels in the second word";
  controls.disable("load");
  EXPECT_EQ(instrument::startEvent(handle, context, 0, listeners), EventId::none(instrument::kNotAdmitted));
  // Disabling the control between start and stop must not leave the event open.
  instrument::stopEvent(handle, first, listeners);

  std::vector<instrument::EventPoint> points = recorder.getAllEventPoints();
  ASSERT_EQ(points.size(), 3u);
  EXPECT_EQ(points[2].kind, instrument::kStopEvent);
  EXPECT_EQ(points[2].id, first);
  EXPECT_TRUE(points[2].context.empty());
}

TEST_F(InstrumentEmit, ContextFilterOverridesTheFlag) {
  listeners.add(recorder);
  handle.setContextFilter(verdictFromLevel);
  ASSERT_TRUE(handle.hasContextFilter());

  EXPECT_TRUE(instrument::startEvent(handle, {{"level", "on"}}, 0, listeners).isEvent()) << "admitted by context";
  EXPECT_FALSE(instrument::startEvent(handle, {{"level", "any"}}, 0, listeners).isEvent()) << "no opinion, disabled";
  EXPECT_FALSE(instrument::startEvent(handle, {}, 0, listeners).isEvent()) << "empty context skips the filter";
  handle.setEnabled(true);
  EXPECT_EQ(instrument::startEvent(handle, {{"level", "off"}}, 0, listeners), EventId::none(instrument::kNotAdmitted));
  EXPECT_TRUE(instrument::startEvent(handle, {{"level", "any"}}, 0, listeners).isEvent());
  instrument::instantEvent(handle, {{"level", "off"}}, 0, listeners);
  instrument::instantEvent(handle, {{"level", "any"}}, 0, listeners);

  handle.setContextFilter(nullptr);
  EXPECT_FALSE(handle.hasContextFilter());
  EXPECT_TRUE(instrument::startEvent(handle, {{"level", "off"}}, 0, listeners).isEvent());

  std::vector<instrument::EventPoint> points = recorder.getAllEventPoints();
  ASSERT_EQ(points.size(), 4u);
  EXPECT_EQ(points[2].kind, instrument::kInstantEvent);
}

TEST_F(InstrumentEmit, ListenersAreAddedOnceAndRemovalStopsDelivery) {
  instrument::InstrumentRecorder second;
  handle.setEnabled(true);
  listeners.add(recorder);
  listeners.add(recorder);
  listeners.add(second);
  instrument::instantEvent(handle, {}, 0, listeners);
  listeners.remove(recorder);
  EXPECT_TRUE(listeners.isActive());
  instrument::instantEvent(handle, {}, 0, listeners);
  listeners.remove(second);
  EXPECT_FALSE(listeners.isActive());
  EXPECT_EQ(recorder.getAllEventPoints().size(), 1u);
  EXPECT_EQ(second.getAllEventPoints().size(), 2u);
}

TEST_F(InstrumentEmit, RecorderKeepsPointsInArrivalOrderWithKindAndTime) {
  gTicks = 0;
  listeners.add(recorder);
  instrument::ControlElement& save = controls.getHandle("save");
  handle.setEnabled(true);
  save.setEnabled(true);

  EventId outer = instrument::startEvent(handle, {{"phase", "outer"}}, 0, listeners);
  EventId inner = instrument::startEvent(save, {{"phase", "inner"}, {"model", "m1"}}, 0, listeners);
  instrument::instantEvent(handle, {{"phase", "tick"}}, 0, listeners);
  instrument::stopEvent(save, inner, listeners);
  recorder.historicOnEventStop("load", {}, outer, fakeTime(42));

  std::vector<instrument::EventPoint> points = recorder.getAllEventPoints();
  std::vector<std::int32_t> kinds;
  for (const auto& point : points) kinds.push_back(point.kind);
  ASSERT_EQ(kinds,
            (std::vector<std::int32_t>{instrument::kStartEvent, instrument::kStartEvent, instrument::kInstantEvent,
                                       instrument::kStopEvent, instrument::kStopEvent}));
  EXPECT_EQ(points[1].name, "save");
  EXPECT_EQ(points[1].context, (ContextSet{{"model", "m1"}, {"phase", "inner"}}));
  EXPECT_EQ(points[0].time, fakeTime(100));
  EXPECT_EQ(points[3].time, fakeTime(400));
  EXPECT_EQ(points[4].time, fakeTime(42)) << "a historic event keeps its own time";
  EXPECT_EQ(points[3].id, inner);
}

TEST(InstrumentRecorder, NamesOutliveTheCallersStrings) {
  instrument::InstrumentRecorder recorder;
  {
    auto eventName = std::make_unique<std::string>("temporary-event");
    auto entryName = std::make_unique<std::string>("temporary-entry");
    recorder.onEventInstant(*eventName, ContextSet{{*entryName, "value"}}, EventId{1, 0});
  }
  std::vector<instrument::EventPoint> points = recorder.getAllEventPoints();
  ASSERT_EQ(points.size(), 1u);
  EXPECT_EQ(points[0].name, "temporary-event");
  EXPECT_EQ(points[0].context.begin()->name, "temporary-entry");
}

TEST(InstrumentRecorder, JoinsEventsAndClearsByName) {
  instrument::InstrumentRecorder recorder(&steppingClock);
  recorder.onEventStart("a", {{"phase", "one"}}, EventId{1, 0});
  recorder.onEventInstant("b", {{"phase", "two"}}, EventId{2, 0});
  recorder.onEventStop("a", {}, EventId{1, 0});
  recorder.onEventStart("a", {{"phase", "open"}}, EventId{3, 0});
  recorder.onEventStop("b", {}, EventId{9, 0});  // its start was never received

  std::vector<instrument::Event> events = recorder.getAllEvents();
  ASSERT_EQ(events.size(), 4u);
  EXPECT_EQ(events[0].id, (EventId{1, 0}));
  EXPECT_EQ(events[0].context, (ContextSet{{"phase", "one"}}));
  EXPECT_TRUE(events[0].startTime && events[0].stopTime && *events[0].startTime < *events[0].stopTime);
  EXPECT_TRUE(events[1].isInstant && events[1].startTime == events[1].stopTime);
  EXPECT_FALSE(events[2].stopTime);
  EXPECT_FALSE(events[3].startTime);
  EXPECT_EQ(recorder.getEvents("a").size(), 2u);

  recorder.clearEventData("a");
  std::vector<instrument::EventPoint> points = recorder.getAllEventPoints();
  ASSERT_EQ(points.size(), 2u);
  EXPECT_EQ(points[0].name, "b");
  recorder.clearAllEventData();
  EXPECT_TRUE(recorder.getAllEventPoints().empty());
  EXPECT_TRUE(recorder.getAllEvents().empty());
}

}  // namespace
