#include "platform/clock.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <thread>

#include <time.h>

namespace {

double threadCpuSeconds() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + 1e-9 * static_cast<double>(now.tv_nsec);
}

// Burns `seconds` of this thread's CPU time, however long a loaded machine
// takes to grant it (given up after a minute of wall time).
double burnCpu(double seconds) {
  const double start = threadCpuSeconds();
  const auto giveUp = std::chrono::steady_clock::now() + std::chrono::minutes(1);
  volatile double sink = 0;
  while (threadCpuSeconds() - start < seconds && std::chrono::steady_clock::now() < giveUp) {
    for (int i = 0; i < 1000; ++i) sink = sink + std::sqrt(static_cast<double>(i));
  }
  return threadCpuSeconds() - start;
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

  double burnt = burnCpu(0.2);
  double busy = clock.cpuSeconds() - afterSleep;
  EXPECT_GE(busy, burnt - 0.001);
  EXPECT_LT(busy, burnt + 0.1);
}

TEST(ClockThreads, CpuTimeCountsEveryThread) {
  platform::Clock& clock = platform::systemClock();
  double start = clock.cpuSeconds();
  double burnt = 0;
  std::thread worker([&burnt] { burnt = burnCpu(0.2); });
  worker.join();
  EXPECT_GE(clock.cpuSeconds() - start, burnt - 0.001);
}

}  // namespace
