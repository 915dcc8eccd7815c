// Memory probe: Linux readings behind the tracer's memory snapshots.
//
//   platform::BasicMemoryReading basic;
//   if (platform::linuxMemoryProbe().readBasic(basic)) use(basic.inUseBytes);
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace platform {

/// What the process uses now; all values in bytes.
struct BasicMemoryReading {
  double inUseBytes = 0;        ///< resident set size
  double peakInUseBytes = 0;    ///< highest resident set size so far; never below inUseBytes
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
  /// Cheap enough to run on every logged point: one system call, plus a
  /// refresh of the kernel's peak at most once per clock tick. False leaves
  /// `out` untouched. Safe to call from several threads.
  virtual bool readBasic(BasicMemoryReading& out) = 0;
  /// Costlier: reads /proc/self/status and /proc/meminfo. False leaves `out` untouched.
  virtual bool readDetailed(DetailedMemoryReading& out) = 0;
};

/// The probe of this machine; lives for the whole process.
MemoryProbe& linuxMemoryProbe();

namespace detail {

/// The first two fields of /proc/<pid>/statm, in pages.
struct StatmPages {
  std::uint64_t size = 0;
  std::uint64_t resident = 0;
};

/// Parses the seven fields of /proc/<pid>/statm; nullopt when any is missing.
std::optional<StatmPages> parseStatm(std::string_view text);
/// Value of a "Key:   123 kB" line of /proc/<pid>/status or /proc/meminfo, in bytes.
std::optional<std::uint64_t> findKibField(std::string_view text, std::string_view key);
/// The detailed reading from the texts of /proc/<pid>/status and /proc/meminfo.
std::optional<DetailedMemoryReading> detailedFromProcText(std::string_view status, std::string_view meminfo);

}  // namespace detail

}  // namespace platform
