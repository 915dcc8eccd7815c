#include "tracer/pt_groupings.h"

#include "tracer/performance_tracer.h"

namespace {
PerformanceTracer& tracer() { return *PerformanceTracer::getInstance(); }
}  // namespace

void ptEnableTracer(const std::string& name, bool enable) { tracer().enableTracer(name, enable); }

std::int32_t ptAddGrouping(const std::string& name) { return tracer().addGrouping(name); }

std::string ptAddGrouping(const std::string& name, const std::vector<std::string>& subGroups) {
  return tracer().addGrouping(name, subGroups);
}

bool ptRemoveGrouping(const std::string& name) { return tracer().removeGrouping(name); }

std::vector<std::string> ptGetGroupingList(const std::string& name) { return tracer().getGroupingList(name); }
