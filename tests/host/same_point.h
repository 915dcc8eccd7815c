// Field-by-field comparison of raw points for record and file tests: kind,
// names (as mapping numbers of one tracer), flags, times, memory statistics
// and the kind's own subject fields.
//
//   EXPECT_TRUE(samePoint(*original, *readBack));
#pragma once

#include <gtest/gtest.h>

#include <sstream>

#include "tracer/data_points.h"

namespace pt_test {

inline ::testing::AssertionResult samePoint(const PTKAVLORDataPoint& expected, const PTKAVLORDataPoint& actual) {
  std::ostringstream differences;
  const auto check = [&](const char* field, auto want, auto got) {
    if (!(want == got)) differences << " " << field << ": expected " << want << ", got " << got << ";";
  };
  check("type", expected.type, actual.type);
  check("grouping", expected.grouping, actual.grouping);
  check("phase", expected.phase, actual.phase);
  check("statisticsType", expected.statisticsType, actual.statisticsType);
  check("isStart", bool(expected.isStart), bool(actual.isStart));
  check("wallClockTime", expected.wallClockTime, actual.wallClockTime);
  check("cpuTime", expected.cpuTime, actual.cpuTime);
  const pt::BasicMemStats noBasic;
  const auto& eb = expected.basicMemStats ? *expected.basicMemStats : noBasic;
  const auto& ab = actual.basicMemStats ? *actual.basicMemStats : noBasic;
  check("procMemUsage", eb.procMemUsage, ab.procMemUsage);
  check("procMemUsagePeak", eb.procMemUsagePeak, ab.procMemUsagePeak);
  check("procVMSize", eb.procVMSize, ab.procVMSize);
  check("has detailed statistics", expected.detailedMemStats != nullptr, actual.detailedMemStats != nullptr);
  if (expected.detailedMemStats && actual.detailedMemStats) {
    const auto& ed = *expected.detailedMemStats;
    const auto& ad = *actual.detailedMemStats;
    check("freeMem", ed.freeMem, ad.freeMem);
    check("resMem", ed.resMem, ad.resMem);
    check("commitMem", ed.commitMem, ad.commitMem);
    check("dllsMem", ed.dllsMem, ad.dllsMem);
    check("nonprocessMem", ed.nonprocessMem, ad.nonprocessMem);
  }
  const auto* ec = dynamic_cast<const PTCLTGXDataPoint*>(&expected);
  const auto* ac = dynamic_cast<const PTCLTGXDataPoint*>(&actual);
  check("is a model point", ec != nullptr, ac != nullptr);
  if (ec && ac) {
    check("model", ec->model, ac->model);
    check("target", ec->target, ac->target);
  }
  const auto* eq = dynamic_cast<const PTQuorindelDataPoint*>(&expected);
  const auto* aq = dynamic_cast<const PTQuorindelDataPoint*>(&actual);
  check("is a state-chart point", eq != nullptr, aq != nullptr);
  if (eq && aq) {
    check("machine", eq->machine, aq->machine);
    check("chart", eq->chart, aq->chart);
  }
  const auto* et = dynamic_cast<const PTTracerDataPoint*>(&expected);
  const auto* at = dynamic_cast<const PTTracerDataPoint*>(&actual);
  check("is a tracer point", et != nullptr, at != nullptr);
  if (et && at && !(et->identifiers == at->identifiers)) differences << " identifiers differ;";
  if (differences.str().empty()) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "points differ:" << differences.str();
}

}  // namespace pt_test
