// Memory statistics: the snapshots a trace point carries, in bytes, and their
// processed counterparts in megabytes with the change since a start snapshot.
//
//   pt::BasicProcessedMemStats phase = pt::makeBasicProcessedMemStats(*end.basicMemStats,
//                                                                     *start.basicMemStats);
//   double grewMB = phase.procMemUsageDelta;
#pragma once

#include <boost/shared_ptr.hpp>

#include <optional>

namespace pt {

/// Bytes → megabytes (2^-20).
inline constexpr double kBytesToMegabytes = 1.0 / 1048576.0;

class BaseMemStats {
 public:
  virtual ~BaseMemStats() = default;

 protected:
  BaseMemStats() = default;
  BaseMemStats(const BaseMemStats&) = default;
  BaseMemStats& operator=(const BaseMemStats&) = default;
};

/// What the process uses, in bytes.
class BasicMemStats : public BaseMemStats {
 public:
  BasicMemStats() = default;
  BasicMemStats(double procMemUsage, double procMemUsagePeak, double procVMSize)
      : procMemUsage(procMemUsage), procMemUsagePeak(procMemUsagePeak), procVMSize(procVMSize) {}
  BasicMemStats(const BasicMemStats&) = default;
  BasicMemStats& operator=(const BasicMemStats&) = default;

  double procMemUsage = 0.0;      ///< resident set size
  double procMemUsagePeak = 0.0;  ///< highest resident set size so far
  double procVMSize = 0.0;        ///< size of the address space
};

/// A finer split of process and system memory, in bytes.
class DetailedMemStats : public BaseMemStats {
 public:
  DetailedMemStats() = default;
  /// Arguments in stored-record order, which differs from the field order.
  DetailedMemStats(double freeMem, double resMem, double commitMem, double dllsMem, double nonprocessMem)
      : commitMem(commitMem), resMem(resMem), freeMem(freeMem), dllsMem(dllsMem), nonprocessMem(nonprocessMem) {}
  DetailedMemStats(const DetailedMemStats&) = default;
  DetailedMemStats& operator=(const DetailedMemStats&) = default;

  /// Converts all five values from bytes to megabytes.
  void ScaleValuesToMB();

  double commitMem = 0.0;      ///< resident anonymous memory of the process
  double resMem = 0.0;         ///< address space reserved but not resident
  double freeMem = 0.0;        ///< memory the system can still hand out
  double dllsMem = 0.0;        ///< file-backed resident memory (code, mapped files)
  double nonprocessMem = 0.0;  ///< memory in use outside this process
};

/// An end snapshot in megabytes plus its change since a start snapshot.
class BasicProcessedMemStats : public BasicMemStats {
 public:
  BasicProcessedMemStats() = default;
  /// The end values in megabytes (zero for null); deltas zero.
  explicit BasicProcessedMemStats(const BasicMemStats* end);
  explicit BasicProcessedMemStats(const boost::shared_ptr<BasicMemStats>& end) : BasicProcessedMemStats(end.get()) {}

  /// Deltas against `start` (bytes); a null start gives zero deltas.
  void setDeltaValues(const BasicMemStats* start);
  void setDeltaValues(const boost::shared_ptr<BasicMemStats>& start) { setDeltaValues(start.get()); }

  double procMemUsageDelta = 0.0;
  double procMemUsagePeakDelta = 0.0;
  double peakOverStartUsage = 0.0;  ///< end peak − start usage
  double procVMSizeDelta = 0.0;
};

/// An end snapshot in megabytes plus its change since a start snapshot.
class DetailedProcessedMemStats : public DetailedMemStats {
 public:
  DetailedProcessedMemStats() = default;
  /// The end values in megabytes (zero for null); deltas zero.
  explicit DetailedProcessedMemStats(const DetailedMemStats* end);
  explicit DetailedProcessedMemStats(const boost::shared_ptr<DetailedMemStats>& end)
      : DetailedProcessedMemStats(end.get()) {}

  /// Deltas against `start` (bytes); a null start gives zero deltas.
  void setDeltaValues(const DetailedMemStats* start);
  void setDeltaValues(const boost::shared_ptr<DetailedMemStats>& start) { setDeltaValues(start.get()); }

  double commitMemDelta = 0.0;
  double resMemDelta = 0.0;
  double freeMemDelta = 0.0;
  double dllsMemDelta = 0.0;
  double nonprocessMemDelta = 0.0;
};

BasicProcessedMemStats makeBasicProcessedMemStats(const BasicMemStats& end, const BasicMemStats& start);
/// An absent end gives zero values, an absent start zero deltas.
DetailedProcessedMemStats makeDetailedProcessedMemStats(const std::optional<DetailedMemStats>& end,
                                                        const std::optional<DetailedMemStats>& start);

}  // namespace pt
