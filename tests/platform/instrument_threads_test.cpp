#include <gtest/gtest.h>

#include <atomic>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "platform/instrument/controls.h"
#include "platform/instrument/emit.h"
#include "platform/instrument/instrument_recorder.h"
#include "platform/instrument/listeners.h"

namespace {

constexpr int kThreads = 4;
constexpr int kPairsPerThread = 500;

TEST(InstrumentThreads, ConcurrentEmissionLosesAndDuplicatesNothing) {
  instrument::Controls controls;
  instrument::Listeners listeners;
  instrument::InstrumentRecorder recorder;
  instrument::InstrumentRecorder bystander;  // attached and detached all along
  listeners.add(recorder);

  std::atomic<bool> go{false};
  std::vector<std::thread> emitters;
  for (int t = 0; t < kThreads; ++t) {
    emitters.emplace_back([&, t] {
      instrument::ControlElement& handle = controls.getHandle("thread" + std::to_string(t));
      handle.setEnabled(true);
      while (!go.load()) std::this_thread::yield();
      for (int i = 0; i < kPairsPerThread; ++i) {
        instrument::ContextSet context{{"phase", std::to_string(i)}};
        instrument::EventId id = instrument::startEvent(handle, context, t, listeners);
        ASSERT_TRUE(id.isEvent());
        instrument::instantEvent(handle, context, t, listeners);
        instrument::stopEvent(handle, id, listeners);
      }
    });
  }
  std::thread churn([&] {
    while (!go.load()) std::this_thread::yield();
    for (int i = 0; i < 200; ++i) {
      listeners.add(bystander);
      listeners.remove(bystander);
    }
  });

  // Read while the writers run: every snapshot extends the one before.
  go = true;
  std::vector<instrument::EventPoint> previous;
  for (int i = 0; i < 50; ++i) {
    std::vector<instrument::EventPoint> now = recorder.getAllEventPoints();
    ASSERT_GE(now.size(), previous.size());
    for (std::size_t k = 0; k < previous.size(); ++k) ASSERT_EQ(now[k].id, previous[k].id);
    previous = std::move(now);
    recorder.getAllEvents();
  }
  for (std::thread& emitter : emitters) emitter.join();
  churn.join();

  std::vector<instrument::EventPoint> points = recorder.getAllEventPoints();
  ASSERT_EQ(points.size(), static_cast<std::size_t>(kThreads * kPairsPerThread * 3));
  std::map<instrument::EventId, std::vector<std::int32_t>> kindsById;
  for (const auto& point : points) {
    EXPECT_EQ(point.name, "thread" + std::to_string(point.id.tag));
    kindsById[point.id].push_back(point.kind);
  }
  // Every start met exactly its own stop, after it; every instant stands alone.
  ASSERT_EQ(kindsById.size(), static_cast<std::size_t>(kThreads * kPairsPerThread * 2));
  for (const auto& [id, kinds] : kindsById) {
    bool pair = kinds == std::vector<std::int32_t>{instrument::kStartEvent, instrument::kStopEvent};
    bool instant = kinds == std::vector<std::int32_t>{instrument::kInstantEvent};
    EXPECT_TRUE(pair || instant) << id.word;
  }
  EXPECT_EQ(recorder.getAllEvents().size(), kindsById.size());
}

TEST(InstrumentThreads, HandlesAreSharedAcrossThreads) {
  instrument::Controls controls;
  std::vector<instrument::ControlElement*> seen(kThreads);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < 100; ++i) controls.getHandle(std::string("n").append(std::to_string(i)));
      seen[t] = &controls.getHandle("shared");
      seen[t]->setEnabled(true);
    });
  }
  for (std::thread& thread : threads) thread.join();
  for (instrument::ControlElement* handle : seen) EXPECT_EQ(handle, seen[0]);
  EXPECT_TRUE(controls.getHandle("shared").isEnabled());
}

}  // namespace
