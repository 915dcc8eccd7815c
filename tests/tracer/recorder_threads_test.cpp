#include "recorder_road.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <string>
#include <thread>
#include <vector>

namespace {

TEST(RecorderThreads, EventsFromSeveralThreadsAreAllKeptWhileTheRecorderIsRead) {
  constexpr int kThreads = 4;
  constexpr int kRounds = 300;
  RecorderRoad road("RecorderThreads");
  road.probe.basic = {1000, 2000, 3000};
  road.probe.detailed.committedBytes = 64;
  road.tracer.setDetailedMemStatsEnabled(true);  // the shared memory module is read on every event
  instrument::ControlElement& handle = instrument::controls.getHandle(road.grouping);

  std::atomic<int> running{kThreads};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      const std::vector<std::string> pairs{"threadStr", std::to_string(t)};
      for (int round = 0; round < kRounds; ++round) {
        const instrument::EventId id = instrument::startEvent(handle, makeContextEntriesWithPhase("Work", pairs));
        instrument::instantEvent(handle, makeContextEntriesWithPhase("Mark", pairs));
        instrument::stopEvent(handle, id);
      }
      running.fetch_sub(1);
    });
  }

  // Whatever a reader sees already carries its snapshot.
  std::size_t reads = 0, pointsWithoutSnapshot = 0;
  while (running.load() > 0 || reads == 0) {
    pointsWithoutSnapshot += std::ranges::count_if(road.tracer.recorder().getAllEventPoints(), [](const auto& point) {
      return point.basic.procMemUsage != 1000 || !point.detailed || point.detailed->commitMem != 64;
    });
    road.tracer.recorder().getAllEvents();
    ++reads;
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(pointsWithoutSnapshot, 0u);

  EXPECT_EQ(road.tracer.recorder().getAllEvents().size(), kThreads * kRounds * 2u);
  EXPECT_EQ(road.tracer.recorder().memStatsRecorder().getEventData(road.grouping).size(), kThreads * kRounds * 2u);
  // One point per event point: a start, an instant's end and a stop's end.
  EXPECT_EQ(road.convert(), kThreads * kRounds * 3u);
  EXPECT_EQ(std::ranges::count_if(road.points(), [](const auto& point) { return point->isStart; }), kThreads * kRounds);
}

// The host thread changes the memory switches and the probe, and samples its
// own points, while listener callbacks take snapshots on the emitting threads.
TEST(RecorderThreads, SwitchesAndProbeChangeWhileListenerThreadsTakeSnapshots) {
  constexpr int kThreads = 2;
  constexpr int kRounds = 400;
  RecorderRoad road("SwitchedThreads");
  FakeMemoryProbe other;
  other.basic = {5000, 6000, 7000};
  other.detailed.committedBytes = 128;
  road.probe.detailed.committedBytes = 64;
  instrument::ControlElement& handle = instrument::controls.getHandle(road.grouping);

  std::atomic<int> running{kThreads};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&] {
      for (int round = 0; round < kRounds; ++round)
        instrument::stopEvent(handle, instrument::startEvent(handle, makeContextEntriesWithPhase("Work", {})));
      running.fetch_sub(1);
    });
  }
  auto isWhole = [](const pt::BasicMemStats& basic) {
    return basic.procMemUsage == 0 ? basic.procMemUsagePeak == 0 && basic.procVMSize == 0
                                   : (basic.procMemUsage == 1000 && basic.procVMSize == 3000) ||
                                         (basic.procMemUsage == 5000 && basic.procVMSize == 7000);
  };
  std::size_t toggles = 0, brokenHostSnapshots = 0;
  while (running.load() > 0 || toggles == 0) {
    road.tracer.setDetailedMemStatsEnabled(toggles % 2 == 0);
    road.tracer.setBasicMemStatsEnabled(toggles % 3 != 0);
    road.tracer.setMemoryProbe(toggles % 4 < 2 ? &other : &road.probe);
    PTKAVLORDataPoint point;
    road.tracer.getPerformanceStats(point);
    if (!isWhole(*point.basicMemStats)) ++brokenHostSnapshots;
    ++toggles;
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(brokenHostSnapshots, 0u);

  const auto points = road.tracer.recorder().getAllEventPoints();
  EXPECT_EQ(points.size(), kThreads * kRounds * 2u);
  EXPECT_TRUE(std::ranges::all_of(points, [&](const pt::PerformanceTracerRecorder::EventPoint& point) {
    return isWhole(point.basic) && (!point.detailed || point.detailed->commitMem == 0 ||
                                    point.detailed->commitMem == 64 || point.detailed->commitMem == 128);
  }));
}

}  // namespace
