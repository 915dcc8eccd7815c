#include "platform/clock.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <thread>

namespace {

double spinFor(std::chrono::milliseconds span) {
  auto end = std::chrono::steady_clock::now() + span;
  volatile double sink = 0;
  while (std::chrono::steady_clock::now() < end) {
    for (int i = 0; i < 1000; ++i) sink = sink + std::sqrt(static_cast<double>(i));
  }
  return sink;
}

TEST(Clock, WallClockIsUnixTimeAndAdvancesWhileAsleep) {
  platform::Clock& clock = platform::systemClock();
  double reference = std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count();
  double before = clock.wallClockSeconds();
  EXPECT_NEAR(before, reference, 1.0);
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  double slept = clock.wallClockSeconds() - before;
  EXPECT_GE(slept, 0.045);
  EXPECT_LT(slept, 5.0);
}

TEST(Clock, CpuTimeFollowsWorkNotSleep) {
  platform::Clock& clock = platform::systemClock();
  double start = clock.cpuSeconds();
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  double afterSleep = clock.cpuSeconds();
  EXPECT_LT(afterSleep - start, 0.1) << "sleeping must not count as CPU time";

  spinFor(std::chrono::milliseconds(200));
  double busy = clock.cpuSeconds() - afterSleep;
  // A loaded machine may deschedule us for part of the spin, but not for most of it.
  EXPECT_GT(busy, 0.05);
  EXPECT_LT(busy, 1.0);
}

TEST(Clock, CpuTimeCountsEveryThread) {
  platform::Clock& clock = platform::systemClock();
  double start = clock.cpuSeconds();
  std::thread worker([] { spinFor(std::chrono::milliseconds(200)); });
  worker.join();
  EXPECT_GT(clock.cpuSeconds() - start, 0.05);
}

}  // namespace
