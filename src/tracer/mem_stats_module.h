// Memory statistics module: the counters behind detailed memory snapshots.
//
//   pt::MemStatsModule module;           // reads the machine's memory probe
//   module.aggregateMemoryStats();       // refreshes the counters, in bytes
//   double commit = double(module.committedBytes);
#pragma once

#include "platform/memory_probe.h"

#include <cstdint>
#include <string>

namespace pt {

class MemStatsModule {
 public:
  explicit MemStatsModule(platform::MemoryProbe& probe = platform::linuxMemoryProbe()) : probe_(&probe) {}

  void setProbe(platform::MemoryProbe& probe) { probe_ = &probe; }

  /// Zeroes counters 2–6 and 8 and the text; counters 1 and 7 stay.
  void initialize();
  /// Zeroes as `initialize()`, then fills counters 2, 3, 4, 6 and 7 from the probe.
  void aggregateMemoryStats();
  bool testMetricTotals() const { return false; }

  std::uint64_t counter1 = 0;         ///< not read by the tracer
  std::uint64_t committedBytes = 0;   ///< counter 2
  std::uint64_t reservedBytes = 0;    ///< counter 3
  std::uint64_t freeBytes = 0;        ///< counter 4
  std::uint64_t counter5 = 0;         ///< not read by the tracer
  std::uint64_t dllsBytes = 0;        ///< counter 6
  std::uint64_t nonProcessBytes = 0;  ///< counter 7
  std::uint64_t counter8 = 0;         ///< not read by the tracer
  std::string text;                   ///< not read by the tracer
  std::uint64_t word = 0;             ///< not read by the tracer

 private:
  platform::MemoryProbe* probe_;
};

}  // namespace pt
