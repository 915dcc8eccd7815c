#include "tracer/mem_stats_module.h"

namespace pt {

void MemStatsModule::initialize() {
  committedBytes = reservedBytes = freeBytes = counter5 = dllsBytes = counter8 = 0;
  text.clear();
}

void MemStatsModule::aggregateMemoryStats() {
  initialize();
  // The Linux reading behind each counter:
  //   2 committed   resident anonymous memory (status RssAnon: heap, stacks);
  //   3 reserved    virtual size not resident (status VmSize − VmRSS);
  //   4 free        what the system can still hand out (meminfo MemAvailable);
  //   6 dlls        file-backed resident memory (status RssFile + RssShmem: code,
  //                 libraries, mapped files);
  //   7 non-process memory used outside this process (meminfo MemTotal − MemAvailable,
  //                 less this process's VmRSS).
  platform::DetailedMemoryReading reading;
  if (!probe_->readDetailed(reading)) {
    // Counter 7 survives the zeroing; a failed read must not leave a stale figure.
    nonProcessBytes = 0;
    return;
  }
  committedBytes = reading.committedBytes;
  reservedBytes = reading.reservedBytes;
  freeBytes = reading.freeBytes;
  dllsBytes = reading.dllsBytes;
  nonProcessBytes = reading.nonProcessBytes;
}

}  // namespace pt
