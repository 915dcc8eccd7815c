// Builds raw traces for analysis and report tests: start and end points of
// named phases at given times, numbered through a tracer's mappings.
//
//   pt_test::TraceBuilder trace(tracer);
//   trace.start("A", 0.0).start("B", 0.01).end("B", 0.05).end("A", 0.06);
#pragma once

#include "sysinfo/system_info.h"
#include "tracer/data_points.h"
#include "tracer/performance_tracer.h"

#include <boost/shared_ptr.hpp>

#include <string>
#include <utility>
#include <vector>

namespace pt_test {

class TraceBuilder {
 public:
  /// Points are numbered in `tracer`'s tables; their grouping is "G" until
  /// `grouping` changes it.
  explicit TraceBuilder(PerformanceTracer& tracer) : tracer_(tracer) {}

  TraceBuilder& grouping(const std::string& name) {
    grouping_ = name;
    return *this;
  }
  /// Identifier name/value pairs every following point carries.
  TraceBuilder& identifiers(std::vector<std::pair<std::string, std::string>> pairs) {
    identifiers_ = std::move(pairs);
    return *this;
  }
  /// Following points are block-diagram points of this model and target;
  /// empty names go back to tracer points.
  TraceBuilder& model(const std::string& model, const std::string& target) {
    model_ = model;
    target_ = target;
    return *this;
  }
  /// Following points carry no basic snapshot (as read from an old record).
  TraceBuilder& withoutMemory() {
    withoutMemory_ = true;
    return *this;
  }

  /// A point (see `model`) at `wall` seconds (CPU time half of it); `usageMB`
  /// becomes the basic usage, peak and virtual size (peak and size scaled by
  /// 2 and 3) and the detailed free memory.
  TraceBuilder& start(const std::string& phase, double wall, double usageMB = 0.0) {
    return add(phase, true, wall, usageMB);
  }
  TraceBuilder& end(const std::string& phase, double wall, double usageMB = 0.0) {
    return add(phase, false, wall, usageMB);
  }
  /// Appends a point made elsewhere.
  TraceBuilder& point(boost::shared_ptr<PTKAVLORDataPoint> point) {
    points_.push_back(std::move(point));
    return *this;
  }

  PTRawDataVector& points() { return points_; }

  /// Writes the phase report of the points (only its Aggregate and System
  /// Info tabs when `aggregateOnly`) to `path`, showing `info` (none given:
  /// the recording's own); false when it cannot be written.
  bool writeReport(const std::string& path, const std::string& statisticsType, bool aggregateOnly = false,
                   const PTSystemInfoStruct* info = &kNoSystemInfo, const std::string& title = "GLOBAL");
  static inline const PTSystemInfoStruct kNoSystemInfo{};

 private:
  TraceBuilder& add(const std::string& phase, bool isStart, double wall, double usageMB);

  PerformanceTracer& tracer_;
  std::string grouping_ = "G";
  std::vector<std::pair<std::string, std::string>> identifiers_;
  std::string model_;
  std::string target_;
  bool withoutMemory_ = false;
  PTRawDataVector points_;
};

}  // namespace pt_test
