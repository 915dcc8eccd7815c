// Resident memory of the benchmark process, for the peak-memory counters:
//
//   state.counters["peak_mb"] = pt_bench::peakMegabytesAdded([&] { work(); });
#pragma once

#include <malloc.h>

#include <fstream>
#include <string>

namespace pt_bench {

/// "VmHWM" (the resident high-water mark) or "VmRSS" of this process in MB;
/// 0 where the kernel does not say.
inline double statusMegabytes(const std::string& field) {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);)
    if (line.rfind(field + ":", 0) == 0) return std::stod(line.substr(field.size() + 1)) / 1024.0;  // kB
  return 0.0;
}

/// Starts a new high-water mark from what is resident now.
inline void resetPeakResident() { std::ofstream("/proc/self/clear_refs") << "5"; }

/// The rise of the peak resident memory that `work` causes over what is
/// resident before it, in MB, measured from a trimmed heap.
template <class Work>
double peakMegabytesAdded(Work&& work) {
  malloc_trim(0);
  resetPeakResident();
  const double before = statusMegabytes("VmRSS");
  work();
  return statusMegabytes("VmHWM") - before;
}

}  // namespace pt_bench
