// Raw points as text, for record and file tests: one line per point with its
// kind, names (through the tables of `names`), start flag, times, detailed and
// basic memory; a tracer point's identifiers in name order. Equal lines are
// equal points; unequal ones show what differs.
//
//   EXPECT_EQ(describe(tracer, loaded), describe(tracer, saved));
#pragma once

#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "tracer/data_points.h"
#include "tracer/performance_tracer.h"

namespace pt_test {

inline std::string describe(const PerformanceTracer& names, const PTKAVLORDataPoint& p) {
  std::ostringstream line;
  line.precision(17);
  line << p.type << '|' << names.getStringForNumber(EPT_PHASE, p.phase) << '|'
       << names.getStringForNumber(EPT_GROUPING, p.grouping) << '|';
  if (const auto* tracerPoint = dynamic_cast<const PTTracerDataPoint*>(&p)) {
    std::set<std::string> identifiers;
    for (const auto& [name, value] : tracerPoint->identifiers)
      identifiers.insert(name.str() + "=" + names.getStringForNumber(name.str(), value));
    for (const std::string& identifier : identifiers) line << identifier << ' ';
  } else {
    line << names.getStringForNumber(EPT_STATISTICS_TYPE, p.statisticsType) << '|';
  }
  if (const auto* model = dynamic_cast<const PTCLTGXDataPoint*>(&p))
    line << names.getStringForNumber(EPT_MODEL, model->model) << '|'
         << names.getStringForNumber(EPT_TARGET, model->target) << '|';
  if (const auto* chart = dynamic_cast<const PTQuorindelDataPoint*>(&p))
    line << names.getStringForNumber(EPT_MACHINE, chart->machine) << '|'
         << names.getStringForNumber(EPT_CHART, chart->chart) << '|';
  line << (p.isStart ? "start" : "end") << '|' << p.wallClockTime << '|' << p.cpuTime << "|detailed";
  if (const auto& d = p.detailedMemStats) {
    line << ' ' << d->freeMem << ' ' << d->resMem << ' ' << d->commitMem << ' ' << d->dllsMem << ' '
         << d->nonprocessMem;
  } else {
    line << " none";
  }
  if (const auto& b = p.basicMemStats)
    line << "|basic " << b->procMemUsage << ' ' << b->procMemUsagePeak << ' ' << b->procVMSize;
  return line.str();
}

inline std::vector<std::string> describe(const PerformanceTracer& names, const PTRawDataVector& points) {
  std::vector<std::string> lines;
  for (const auto& point : points) lines.push_back(describe(names, *point));
  return lines;
}

}  // namespace pt_test
