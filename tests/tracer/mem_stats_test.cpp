#include "tracer/mem_stats.h"

#include "fake_platform.h"
#include "tracer/mem_stats_module.h"

#include <gtest/gtest.h>

namespace {

constexpr double kMB = 1048576.0;

TEST(MemStats, BasicProcessedHoldsMegabytesAndDeltas) {
  const pt::BasicProcessedMemStats stats = pt::makeBasicProcessedMemStats(
      pt::BasicMemStats(3 * kMB, 5 * kMB, 7 * kMB), pt::BasicMemStats(1 * kMB, 2 * kMB, 4 * kMB));
  EXPECT_EQ(stats.procMemUsage, 3);
  EXPECT_EQ(stats.procMemUsagePeak, 5);
  EXPECT_EQ(stats.procVMSize, 7);
  EXPECT_EQ(stats.procMemUsageDelta, 2);
  EXPECT_EQ(stats.procMemUsagePeakDelta, 3);
  EXPECT_EQ(stats.peakOverStartUsage, 4);
  EXPECT_EQ(stats.procVMSizeDelta, 3);

  // Points read without snapshots give zeros, never a crash.
  pt::BasicProcessedMemStats fromNull(static_cast<const pt::BasicMemStats*>(nullptr));
  fromNull.setDeltaValues(static_cast<const pt::BasicMemStats*>(nullptr));
  EXPECT_EQ(fromNull.procVMSize + fromNull.peakOverStartUsage, 0);
}

TEST(MemStats, DetailedProcessedHoldsMegabytesAndDeltas) {
  // Constructor arguments: free, reserved, committed, dlls, non-process.
  const pt::DetailedProcessedMemStats both = pt::makeDetailedProcessedMemStats(
      pt::DetailedMemStats(8 * kMB, 6 * kMB, 4 * kMB, 2 * kMB, 10 * kMB),
      pt::DetailedMemStats(9 * kMB, 1 * kMB, 1 * kMB, 2 * kMB, 4 * kMB));
  EXPECT_EQ(both.freeMem, 8);
  EXPECT_EQ(both.commitMem, 4);
  EXPECT_EQ(both.freeMemDelta, -1);
  EXPECT_EQ(both.resMemDelta, 5);
  EXPECT_EQ(both.commitMemDelta, 3);
  EXPECT_EQ(both.dllsMemDelta, 0);
  EXPECT_EQ(both.nonprocessMemDelta, 6);

  const auto noStart = pt::makeDetailedProcessedMemStats(pt::DetailedMemStats(kMB, kMB, kMB, kMB, kMB), {});
  EXPECT_EQ(noStart.commitMem, 1);
  EXPECT_EQ(noStart.commitMemDelta, 0);
  const auto none = pt::makeDetailedProcessedMemStats({}, {});
  EXPECT_EQ(none.freeMem + none.nonprocessMem + none.freeMemDelta + none.nonprocessMemDelta, 0);
}

TEST(MemStatsModule, ZeroesAllButTwoCountersThenReadsTheProbe) {
  FakeMemoryProbe probe;
  pt::MemStatsModule module(probe);
  module.counter1 = module.counter5 = module.nonProcessBytes = 9;
  module.text = "x";
  module.initialize();
  EXPECT_EQ(module.counter1, 9u);
  EXPECT_EQ(module.nonProcessBytes, 9u);
  EXPECT_EQ(module.counter5, 0u);
  EXPECT_EQ(module.text, "");

  module.aggregateMemoryStats();
  EXPECT_EQ(module.reservedBytes, probe.detailed.reservedBytes);
  EXPECT_EQ(module.nonProcessBytes, probe.detailed.nonProcessBytes);

  // A failed read leaves no figure of an earlier one behind.
  probe.detailedFails = true;
  module.aggregateMemoryStats();
  EXPECT_EQ(module.committedBytes + module.nonProcessBytes, 0u);
  EXPECT_EQ(module.counter1, 9u);
}

}  // namespace
