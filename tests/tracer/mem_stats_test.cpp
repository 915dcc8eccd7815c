#include "tracer/mem_stats.h"

#include "fake_platform.h"
#include "tracer/mem_stats_module.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>

namespace {

constexpr double kMB = 1048576.0;

TEST(MemStats, BasicProcessedHoldsMegabytesAndDeltas) {
  const pt::BasicProcessedMemStats stats = pt::makeBasicProcessedMemStats(pt::BasicMemStats(3 * kMB, 5 * kMB, 7 * kMB),
                                                                          pt::BasicMemStats(1 * kMB, 2 * kMB, 4 * kMB));
  EXPECT_EQ(std::tie(stats.procMemUsage, stats.procMemUsagePeak, stats.procVMSize, stats.procMemUsageDelta,
                     stats.procMemUsagePeakDelta, stats.peakOverStartUsage, stats.procVMSizeDelta),
            std::make_tuple(3.0, 5.0, 7.0, 2.0, 3.0, 4.0, 3.0));

  // Points read without snapshots give zeros, never a crash.
  pt::BasicProcessedMemStats fromNull(static_cast<const pt::BasicMemStats*>(nullptr));
  fromNull.setDeltaValues(static_cast<const pt::BasicMemStats*>(nullptr));
  EXPECT_EQ(fromNull.procVMSize + fromNull.peakOverStartUsage, 0);
}

TEST(MemStats, DetailedProcessedHoldsMegabytesAndDeltas) {
  // Constructor arguments: free, reserved, committed, dlls, non-process.
  const pt::DetailedProcessedMemStats both =
      pt::makeDetailedProcessedMemStats(pt::DetailedMemStats(8 * kMB, 6 * kMB, 4 * kMB, 2 * kMB, 10 * kMB),
                                        pt::DetailedMemStats(9 * kMB, 1 * kMB, 1 * kMB, 2 * kMB, 4 * kMB));
  EXPECT_EQ(std::tie(both.freeMem, both.commitMem, both.freeMemDelta, both.resMemDelta, both.commitMemDelta,
                     both.dllsMemDelta, both.nonprocessMemDelta),
            std::make_tuple(8.0, 4.0, -1.0, 5.0, 3.0, 0.0, 6.0));

  const auto noStart = pt::makeDetailedProcessedMemStats(pt::DetailedMemStats(kMB, kMB, kMB, kMB, kMB), {});
  EXPECT_EQ(std::tie(noStart.commitMem, noStart.commitMemDelta), std::make_tuple(1.0, 0.0));
  const auto none = pt::makeDetailedProcessedMemStats({}, {});
  EXPECT_EQ(none.freeMem + none.nonprocessMem + none.freeMemDelta + none.nonprocessMemDelta, 0);
}

TEST(MemStatsModule, ZeroesAllButTwoCountersThenReadsTheProbe) {
  FakeMemoryProbe probe;
  pt::MemStatsModule module(probe);
  module.counter1 = module.counter5 = module.nonProcessBytes = 9;
  module.text = "x";
  module.initialize();
  EXPECT_EQ(std::tie(module.counter1, module.nonProcessBytes, module.counter5, module.text),
            std::make_tuple(9u, 9u, 0u, std::string()));

  module.aggregateMemoryStats();
  EXPECT_EQ(module.reservedBytes, probe.detailed.reservedBytes);
  EXPECT_EQ(module.nonProcessBytes, probe.detailed.nonProcessBytes);

  // A failed read leaves no figure of an earlier one behind.
  probe.detailedFails = true;
  module.aggregateMemoryStats();
  EXPECT_EQ(std::make_tuple(module.committedBytes + module.nonProcessBytes, module.counter1), std::make_tuple(0u, 9u));
}

}  // namespace
