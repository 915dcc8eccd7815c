#include "support/trace_builder.h"

#include <boost/make_shared.hpp>

namespace pt_test {

bool TraceBuilder::writeReport(const std::string& path, const std::string& statisticsType, bool aggregateOnly,
                               const PTSystemInfoStruct* info, const std::string& title) {
  return aggregateOnly ? tracer_.generateAggregateReport(path, "GLOBAL", title, statisticsType, false, &points_, info)
                       : tracer_.generateHTMLReport(path, "GLOBAL", title, statisticsType, false, &points_, info);
}

TraceBuilder& TraceBuilder::add(const std::string& phase, bool isStart, double wall, double usageMB) {
  boost::shared_ptr<PTKAVLORDataPoint> point;
  if (model_.empty() && target_.empty()) {
    auto generic = boost::make_shared<PTTracerDataPoint>();
    for (const auto& [name, value] : identifiers_)
      generic->identifiers[name] = tracer_.getNumberForString(name, value, true);
    point = generic;
  } else {
    auto subject = boost::make_shared<PTCLTGXDataPoint>();
    subject->model = tracer_.getNumberForString(EPT_MODEL, model_, true);
    subject->target = tracer_.getNumberForString(EPT_TARGET, target_, true);
    point = subject;
  }
  point->grouping = tracer_.getNumberForString(EPT_GROUPING, grouping_, true);
  point->phase = tracer_.getNumberForString(EPT_PHASE, phase, true);
  point->isStart = isStart;
  point->wallClockTime = wall;
  point->cpuTime = wall / 2;
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
