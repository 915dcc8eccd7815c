#include "tracer/mem_stats.h"

namespace pt {

void DetailedMemStats::ScaleValuesToMB() {
  commitMem *= kBytesToMegabytes;
  resMem *= kBytesToMegabytes;
  freeMem *= kBytesToMegabytes;
  dllsMem *= kBytesToMegabytes;
  nonprocessMem *= kBytesToMegabytes;
}

BasicProcessedMemStats::BasicProcessedMemStats(const BasicMemStats* end) {
  if (end == nullptr) return;
  procMemUsage = end->procMemUsage * kBytesToMegabytes;
  procMemUsagePeak = end->procMemUsagePeak * kBytesToMegabytes;
  procVMSize = end->procVMSize * kBytesToMegabytes;
}

void BasicProcessedMemStats::setDeltaValues(const BasicMemStats* start) {
  if (start == nullptr) {
    procMemUsageDelta = procMemUsagePeakDelta = peakOverStartUsage = procVMSizeDelta = 0.0;
    return;
  }
  const BasicProcessedMemStats startMB(start);
  procMemUsageDelta = procMemUsage - startMB.procMemUsage;
  procMemUsagePeakDelta = procMemUsagePeak - startMB.procMemUsagePeak;
  peakOverStartUsage = procMemUsagePeak - startMB.procMemUsage;
  procVMSizeDelta = procVMSize - startMB.procVMSize;
}

DetailedProcessedMemStats::DetailedProcessedMemStats(const DetailedMemStats* end) {
  if (end == nullptr) return;
  static_cast<DetailedMemStats&>(*this) = *end;
  ScaleValuesToMB();
}

void DetailedProcessedMemStats::setDeltaValues(const DetailedMemStats* start) {
  if (start == nullptr) {
    commitMemDelta = resMemDelta = freeMemDelta = dllsMemDelta = nonprocessMemDelta = 0.0;
    return;
  }
  const DetailedProcessedMemStats startMB(start);
  commitMemDelta = commitMem - startMB.commitMem;
  resMemDelta = resMem - startMB.resMem;
  freeMemDelta = freeMem - startMB.freeMem;
  dllsMemDelta = dllsMem - startMB.dllsMem;
  nonprocessMemDelta = nonprocessMem - startMB.nonprocessMem;
}

BasicProcessedMemStats makeBasicProcessedMemStats(const BasicMemStats& end, const BasicMemStats& start) {
  BasicProcessedMemStats processed(&end);
  processed.setDeltaValues(&start);
  return processed;
}

DetailedProcessedMemStats makeDetailedProcessedMemStats(const std::optional<DetailedMemStats>& end,
                                                        const std::optional<DetailedMemStats>& start) {
  DetailedProcessedMemStats processed(end ? &*end : nullptr);
  processed.setDeltaValues(start ? &*start : nullptr);
  return processed;
}

}  // namespace pt
