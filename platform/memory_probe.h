// Memory probe: Linux readings behind the tracer's memory snapshots.
//
//   platform::BasicMemoryReading basic;
//   if (platform::linuxMemoryProbe().readBasic(basic)) use(basic.inUseBytes);
#pragma once

#include <cstdint>

namespace platform {

/// What the process uses now; all values in bytes.
struct BasicMemoryReading {
  double inUseBytes = 0;        ///< resident set size
  double peakInUseBytes = 0;    ///< highest resident set size so far
  double virtualSizeBytes = 0;  ///< size of the address space
};

/// A finer split of the process's and the system's memory; all values in bytes.
struct DetailedMemoryReading {
  std::uint64_t committedBytes = 0;   ///< resident anonymous memory of the process
  std::uint64_t reservedBytes = 0;    ///< address space reserved but not resident
  std::uint64_t freeBytes = 0;        ///< memory the system can still hand out
  std::uint64_t dllsBytes = 0;        ///< file-backed resident memory (code, mapped files)
  std::uint64_t nonProcessBytes = 0;  ///< memory in use outside this process
};

class MemoryProbe {
 public:
  virtual ~MemoryProbe() = default;
  /// Cheap enough to run on every logged point. False leaves `out` untouched.
  virtual bool readBasic(BasicMemoryReading& out) = 0;
  /// Costlier: reads several /proc files. False leaves `out` untouched.
  virtual bool readDetailed(DetailedMemoryReading& out) = 0;
};

/// The probe of this machine; lives for the whole process.
MemoryProbe& linuxMemoryProbe();

}  // namespace platform
