// Writing the phase report of a 100,000-row trace, and the comparison report
// of two such traces.
#include "sysinfo/system_info.h"
#include "tracer/data_points.h"
#include "tracer/performance_tracer.h"

#include <benchmark/benchmark.h>
#include <boost/make_shared.hpp>

#include <cstdio>
#include <filesystem>
#include <string>

namespace {

// 100,000 rows: 1,000 parents of 99 leaves each, 50 phase names. The second
// run of the same work is slower in one leaf of twenty and runs another phase
// in one of a hundred.
PTRawDataVector largeTrace(PerformanceTracer& tracer, bool secondRun = false) {
  PTRawDataVector points;
  const std::int32_t grouping = tracer.getNumberForString(EPT_GROUPING, "G", true);
  double now = 0.0;
  auto add = [&](const std::string& phase, bool isStart) {
    auto point = boost::make_shared<PTTracerDataPoint>();
    point->grouping = grouping;
    point->phase = tracer.getNumberForString(EPT_PHASE, phase, true);
    point->isStart = isStart;
    point->wallClockTime = now;
    point->cpuTime = now / 2;
    points.push_back(point);
  };
  for (int parent = 0; parent < 1000; ++parent) {
    add("Parent", true);
    for (int leaf = 0; leaf < 99; ++leaf) {
      const bool renamed = secondRun && (parent * 99 + leaf) % 100 == 0;
      const std::string phase = (renamed ? "Other" : "Phase") + std::to_string(leaf % 49);
      add(phase, true);
      now += secondRun && leaf % 20 == 0 ? 0.0015 : 0.001;
      add(phase, false);
    }
    add("Parent", false);
  }
  return points;
}

void BM_Report_Write100kRows(benchmark::State& state) {
  PerformanceTracer tracer;
  tracer.initialize();
  const PTRawDataVector trace = largeTrace(tracer);
  PTSystemInfoStruct info;
  const std::string file = (std::filesystem::temp_directory_path() / "pt_report_benchmark.html").string();
  for (auto _ : state) {
    PTRawDataVector points = trace;  // the report inserts gap points into the vector it is given
    const bool written = tracer.generateHTMLReport(file, "GLOBAL", "GLOBAL", "time", false, &points, &info);
    benchmark::DoNotOptimize(written);
  }
  state.counters["file_bytes"] = static_cast<double>(std::filesystem::file_size(file));
  std::remove(file.c_str());
}
BENCHMARK(BM_Report_Write100kRows)->Unit(benchmark::kMillisecond);

void BM_ComparisonReport_Write100kRows(benchmark::State& state) {
  PerformanceTracer tracer;
  tracer.initialize();
  const PTRawDataVector before = largeTrace(tracer);
  const PTRawDataVector after = largeTrace(tracer, true);
  PTSystemInfoStruct info;
  const std::string file = (std::filesystem::temp_directory_path() / "pt_comparison_benchmark.html").string();
  for (auto _ : state) {
    PTRawDataVector lhs = before;  // gap points go into the vectors given
    PTRawDataVector rhs = after;
    const bool written = tracer.generateHTMLComparisonReport(file, "GLOBAL", "before.kvd", "after.kvd", &lhs, &rhs,
                                                             &info, &info, "time");
    benchmark::DoNotOptimize(written);
  }
  state.counters["file_bytes"] = static_cast<double>(std::filesystem::file_size(file));
  std::remove(file.c_str());
}
BENCHMARK(BM_ComparisonReport_Write100kRows)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
