// Time and memory sampling of the tracer.
#include "tracer/performance_tracer.h"

#include "platform/clock.h"
#include "platform/memory_probe.h"

#include <boost/make_shared.hpp>

#include <ctime>

namespace {

template <class A, class B>
long sameAllocation(const boost::shared_ptr<A>& a, const boost::shared_ptr<B>& b) {
  return a && !a.owner_before(b) && !b.owner_before(a) ? 1 : 0;
}

// Logging a point is the hot path: a snapshot only the point holds (a fresh
// point's default one) is overwritten in place rather than reallocated. That
// is a snapshot in the point's own block (a slot without owner), or one whose
// every reference is one of the point's own two slots (they may share one
// allocation).
template <class Stats>
void storeSnapshot(PTKAVLORDataPoint& point, boost::shared_ptr<Stats>& slot, const Stats& value) {
  const auto onlyThePointHoldsIt = [&] {
    return slot.use_count() == sameAllocation(point.basicMemStats, slot) + sameAllocation(point.detailedMemStats, slot);
  };
  if (slot && (slot.use_count() == 0 || onlyThePointHoldsIt())) {
    *slot = value;
  } else {
    slot = boost::make_shared<Stats>(value);
  }
}

PTSystemTimePoint computeRecorderEpoch() {
  std::tm calendar{};
  calendar.tm_mday = 1;
  calendar.tm_mon = 2;
  calendar.tm_year = 104;
  calendar.tm_isdst = 0;
  return PTSystemTimePoint(std::chrono::seconds(platform::systemClock().localCalendarSeconds(calendar)));
}

}  // namespace

[[gnu::hot]] void PerformanceTracer::getPerformanceStats(PTKAVLORDataPoint& point) const {
  // The detailed reading takes several system calls and is stored at once. The
  // basic one and the times are stored after the last reading: each reading may
  // be a system call, which leaves caches and address translations cold, so the
  // point is touched once after them rather than between them.
  if (isDetailedMemStatsEnabled()) storeSnapshot(point, point.detailedMemStats, getDetailedMemStats());
  const pt::BasicMemStats basic = getBasicMemStats();
  // Times after memory: the phase a start point opens does not pay for the
  // point's own memory reads.
  const double wallClockTime = clock_->wallClockSeconds();
  const double cpuTime = clock_->cpuSeconds();
  storeSnapshot(point, point.basicMemStats, basic);
  point.wallClockTime = wallClockTime;
  point.cpuTime = cpuTime;
}

[[gnu::hot]] pt::BasicMemStats PerformanceTracer::getBasicMemStats() const {
  platform::BasicMemoryReading reading;
  if (isBasicMemStatsEnabled() && memoryProbe_.load(std::memory_order_acquire)->readBasic(reading)) {
    return pt::BasicMemStats(reading.inUseBytes, reading.peakInUseBytes, reading.virtualSizeBytes);
  }
  return pt::BasicMemStats();
}

pt::DetailedMemStats PerformanceTracer::getDetailedMemStats() const {
  std::lock_guard<std::mutex> lock(memStatsModuleMutex_);
  if (!memStatsModule_) return pt::DetailedMemStats();
  pt::MemStatsModule& module = *memStatsModule_;
  module.aggregateMemoryStats();
  return pt::DetailedMemStats(static_cast<double>(module.freeBytes), static_cast<double>(module.reservedBytes),
                              static_cast<double>(module.committedBytes), static_cast<double>(module.dllsBytes),
                              static_cast<double>(module.nonProcessBytes));
}

PTSystemTimePoint PerformanceTracer::getRecorderEpoch() {
  static const PTSystemTimePoint epoch = computeRecorderEpoch();
  return epoch;
}

double PerformanceTracer::getPerfTime(PTSystemTimePoint time) {
  // Subtract in whole nanoseconds first: a double holds nanoseconds since 1970
  // only to about a quarter of a microsecond.
  return static_cast<double>((time - getRecorderEpoch()).count()) / 1e9;
}
