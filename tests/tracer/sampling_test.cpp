#include "tracer/performance_tracer.h"

#include "fake_platform.h"
#include "platform/environment.h"
#include "support/point_text.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <ctime>
#include <optional>
#include <tuple>

namespace {

class SamplingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    tracer.initialize();
    tracer.setClock(&clock);
    tracer.setMemoryProbe(&probe);
    tracer.setBasicMemStatsEnabled(true);
  }

  CallLog log;
  FakeClock clock{&log};
  FakeMemoryProbe probe{&log};
  PerformanceTracer tracer;
};

// Every figure goes to its own field, in sampling order memory first.
TEST_F(SamplingTest, EachCounterLandsInItsFieldAfterTheMemoryReads) {
  PTTracerDataPoint point;
  const auto detailedBefore = point.detailedMemStats;
  tracer.getPerformanceStats(point);
  EXPECT_EQ(log, (CallLog{"basic", "wall", "cpu"}));
  EXPECT_EQ(point.detailedMemStats, detailedBefore);  // detailed off: untouched
  EXPECT_EQ(pt_test::describe(tracer, point), "3|||end|100|2|detailed 0 0 0 0 0|basic 1000 2000 3000");

  log.clear();
  tracer.setDetailedMemStatsEnabled(true);
  tracer.getPerformanceStats(point);
  EXPECT_EQ(log, (CallLog{"detailed", "basic", "wall", "cpu"}));
  // Free, reserved, committed, DLL and non-process memory.
  EXPECT_EQ(pt_test::describe(tracer, point), "3|||end|100|2|detailed 30 20 10 40 50|basic 1000 2000 3000");
}

TEST_F(SamplingTest, SnapshotsHeldElsewhereAreNeverOverwritten) {
  tracer.setDetailedMemStatsEnabled(true);
  PTTracerDataPoint first;
  tracer.getPerformanceStats(first);
  const auto heldDetailed = first.detailedMemStats;  // shares the basic snapshot's allocation
  probe.detailed.committedBytes = 6;
  tracer.getPerformanceStats(first);
  EXPECT_EQ(std::tie(heldDetailed->commitMem, first.detailedMemStats->commitMem), std::make_tuple(10.0, 6.0));

  PTTracerDataPoint second;
  second.basicMemStats = first.basicMemStats;  // shared, as a careless copy would
  probe.basic.inUseBytes = 5.0;
  tracer.getPerformanceStats(second);
  EXPECT_EQ(std::tie(first.basicMemStats->procMemUsage, second.basicMemStats->procMemUsage),
            std::make_tuple(1000.0, 5.0));
}

TEST_F(SamplingTest, BasicProbeOffOrFailingGivesZeros) {
  tracer.setBasicMemStatsEnabled(false);
  PTTracerDataPoint point;
  tracer.getPerformanceStats(point);
  EXPECT_EQ(log, (CallLog{"wall", "cpu"}));
  EXPECT_EQ(point.basicMemStats->procMemUsage, 0.0);

  tracer.setBasicMemStatsEnabled(true);
  probe.basicFails = true;
  EXPECT_EQ(tracer.getBasicMemStats().procVMSize, 0.0);
}

TEST(Sampling, EnvironmentSwitchesTheBasicProbe) {
  {
    const platform::EnvironmentOverride off("PT_BASIC_MEMORY_PROBE", "OFF");
    EXPECT_FALSE(PerformanceTracer().isBasicMemStatsEnabled());
    {
      const platform::EnvironmentOverride on("PT_BASIC_MEMORY_PROBE", "1");
      EXPECT_TRUE(PerformanceTracer().isBasicMemStatsEnabled());
    }
    EXPECT_FALSE(PerformanceTracer().isBasicMemStatsEnabled()) << "the outer override answers again";
  }
  const platform::EnvironmentOverride unset("PT_BASIC_MEMORY_PROBE", std::nullopt);
  EXPECT_TRUE(PerformanceTracer().isBasicMemStatsEnabled());
}

TEST(Sampling, MachineProbeGivesRealFigures) {
  PerformanceTracer tracer;
  tracer.initialize();
  tracer.setBasicMemStatsEnabled(true);
  tracer.setDetailedMemStatsEnabled(true);
  PTTracerDataPoint point;
  tracer.getPerformanceStats(point);
  EXPECT_GT(point.basicMemStats->procMemUsage, 0.0);
  EXPECT_GE(point.basicMemStats->procMemUsagePeak, point.basicMemStats->procMemUsage);
  EXPECT_GT(point.basicMemStats->procVMSize, point.basicMemStats->procMemUsage);
  EXPECT_GT(point.detailedMemStats->commitMem, 0.0);
  EXPECT_GT(point.detailedMemStats->freeMem, 0.0);
  EXPECT_GT(point.wallClockTime, 1e9);  // seconds since 1970
}

TEST(Sampling, PerfTimeCountsSecondsFromFirstMarch2004) {
  const PTSystemTimePoint epoch = PerformanceTracer::getRecorderEpoch();
  EXPECT_EQ(PerformanceTracer::getPerfTime(epoch), 0.0);
  EXPECT_EQ(PerformanceTracer::getPerfTime(epoch + std::chrono::seconds(1)), 1.0);
  EXPECT_EQ(PerformanceTracer::getPerfTime(epoch + std::chrono::nanoseconds(1'500'000'001)), 1.500000001);

  const std::time_t seconds = std::chrono::system_clock::to_time_t(epoch);
  std::tm local{};
  ::localtime_r(&seconds, &local);
  EXPECT_EQ(std::tie(local.tm_year, local.tm_mon, local.tm_mday), std::make_tuple(104, 2, 1));
}

}  // namespace
