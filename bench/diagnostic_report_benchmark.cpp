// Writing the diagnostic report of a 1,000,000-point trace that does not pair
// cleanly, points as the logging functions record them.
#include "tracer/data_points.h"
#include "tracer/performance_tracer.h"

#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <boost/make_shared.hpp>

#include <cstdio>
#include <filesystem>
#include <string>

namespace {

// An end that closes nothing, then 5,000 parents of 99 leaves each (50 phase
// names, two models), each point with detailed memory statistics.
PTRawDataVector millionPoints(PerformanceTracer& tracer) {
  PTRawDataVector points;
  points.reserve(1'000'001);
  const std::int32_t grouping = tracer.getNumberForString(EPT_GROUPING, "G", true);
  const std::int32_t update = tracer.getNumberForString("statisticsTypeStr", "Update", true);
  const std::int32_t models[] = {tracer.getNumberForString("modelStr", "engine", true),
                                 tracer.getNumberForString("modelStr", "gearbox", true)};
  double now = 0.0;
  auto add = [&](const std::string& phase, bool isStart, int model) {
    auto point = boost::make_shared<PTTracerDataPoint>();
    point->grouping = grouping;
    point->phase = tracer.getNumberForString(EPT_PHASE, phase, true);
    point->isStart = isStart;
    point->wallClockTime = now;
    point->cpuTime = now / 2;
    point->identifiers["statisticsTypeStr"] = update;
    point->identifiers["modelStr"] = models[model];
    *point->detailedMemStats = pt::DetailedMemStats(8e9 - now * 1e6, 2e8, 1e9 + now * 1e5, 3e7, 4e9);
    points.push_back(point);
  };
  add("Stray", false, 0);
  for (int parent = 0; parent < 5000; ++parent) {
    add("Parent", true, parent % 2);
    for (int leaf = 0; leaf < 99; ++leaf) {
      const std::string phase = "Phase" + std::to_string(leaf % 49);
      add(phase, true, parent % 2);
      now += 0.001;
      add(phase, false, parent % 2);
    }
    add("Parent", false, parent % 2);
  }
  return points;
}

void BM_DiagnosticReport_Write1MPoints(benchmark::State& state) {
  PerformanceTracer tracer;
  tracer.initialize();
  PTRawDataVector points = millionPoints(tracer);
  const std::string file = (std::filesystem::temp_directory_path() / "pt_diagnostic_benchmark.html").string();
  for (auto _ : state) {
    const bool written = tracer.diagnosticReport(file, "GLOBAL", &points);
    benchmark::DoNotOptimize(written);
  }
  state.counters["file_MB"] = static_cast<double>(std::filesystem::file_size(file)) / 1048576.0;
  rusage usage{};
  ::getrusage(RUSAGE_SELF, &usage);
  state.counters["peak_rss_MB"] = static_cast<double>(usage.ru_maxrss) / 1024.0;  // trace included
  std::remove(file.c_str());
}
BENCHMARK(BM_DiagnosticReport_Write1MPoints)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
