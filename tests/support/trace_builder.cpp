#include "support/trace_builder.h"

#include <boost/make_shared.hpp>

namespace pt_test {

TraceBuilder& TraceBuilder::add(const std::string& phase, bool isStart, double wall, double usageMB) {
  auto point = boost::make_shared<PTTracerDataPoint>();
  point->grouping = tracer_.getNumberForString(EPT_GROUPING, grouping_, true);
  point->phase = tracer_.getNumberForString(EPT_PHASE, phase, true);
  point->isStart = isStart;
  point->wallClockTime = wall;
  point->cpuTime = wall / 2;
  for (const auto& [name, value] : identifiers_) {
    point->identifiers[name] = tracer_.getNumberForString(name, value, true);
  }
  const double bytes = usageMB * 1048576.0;
  if (withoutMemory_) {
    point->basicMemStats.reset();
  } else {
    *point->basicMemStats = pt::BasicMemStats(bytes, 2 * bytes, 3 * bytes);
    point->detailedMemStats->freeMem = bytes;
  }
  points_.push_back(std::move(point));
  return *this;
}

}  // namespace pt_test
