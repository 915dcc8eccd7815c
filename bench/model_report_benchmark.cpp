// Writing the model-based report, and the difference report, of recordings
// with 100k phases: analysis, tree, page.
#include "report/model/model_diff_report.h"
#include "report/model/model_report.h"
#include "tracer/data_points.h"
#include "tracer/performance_tracer.h"

#include <benchmark/benchmark.h>
#include <boost/make_shared.hpp>

#include <cstdio>
#include <filesystem>
#include <string>

namespace {

/// Blocks of one phase holding 10 phases of 9 each (101 phases a block), by
/// turns of two models, each phase of the innermost level 1 ms long;
/// `slower` makes every tenth of those 2 ms.
PTRawDataVector recording(int blocks, bool slower = false) {
  PerformanceTracer& tracer = *PerformanceTracer::getInstance();
  const std::int32_t grouping = tracer.getNumberForString(EPT_GROUPING, "G", true);
  const std::int32_t models[] = {tracer.getNumberForString("modelStr", "plant", true),
                                 tracer.getNumberForString("modelStr", "controller", true)};
  const std::int32_t target = tracer.getNumberForString("targetStr", "grt", true);
  PTRawDataVector points;
  points.reserve(static_cast<std::size_t>(blocks) * 202);
  double now = 0;
  std::int32_t model = models[0];
  const auto add = [&](const char* phase, bool isStart) {
    auto point = boost::make_shared<PTTracerDataPoint>();
    point->grouping = grouping;
    point->phase = tracer.getNumberForString(EPT_PHASE, phase, true);
    point->identifiers[IdentifierName("modelStr")] = model;
    point->identifiers[IdentifierName("targetStr")] = target;
    point->isStart = isStart;
    point->wallClockTime = now;
    points.push_back(std::move(point));
  };
  for (int b = 0; b < blocks; ++b) {
    model = models[b % 2];
    add("Pre_Compile", true);
    for (int i = 0; i < 10; ++i) {
      add("Load", true);
      for (int j = 0; j < 9; ++j) {
        add("Parse", true);
        now += slower && j == 0 ? 0.002 : 0.001;
        add("Parse", false);
      }
      add("Load", false);
    }
    add("Pre_Compile", false);
  }
  return points;
}

std::string pagePath() { return (std::filesystem::temp_directory_path() / "pt-model-benchmark.html").string(); }

void report(benchmark::State& state, bool flameGraph) {
  PerformanceTracer& tracer = *PerformanceTracer::getInstance();
  tracer.initialize();
  PTRawDataVector points = recording(990);
  const std::string page = pagePath();
  for (auto _ : state) {
    benchmark::DoNotOptimize(
        generateReport_modelBased(tracer, page, "GLOBAL", "time", {}, &points, PT_REPORT_MODEL, flameGraph));
  }
  state.counters["phases"] = static_cast<double>(points.size() / 2);
  state.counters["bytes"] = static_cast<double>(std::filesystem::file_size(page));
  std::remove(page.c_str());
}

void BM_ModelReport_Write100k(benchmark::State& state) { report(state, false); }
BENCHMARK(BM_ModelReport_Write100k)->Unit(benchmark::kMillisecond)->Repetitions(5);

void BM_ModelReport_Write100kWithFlameGraph(benchmark::State& state) { report(state, true); }
BENCHMARK(BM_ModelReport_Write100kWithFlameGraph)->Unit(benchmark::kMillisecond)->Repetitions(5);

void BM_ModelDiffReport_Write100k(benchmark::State& state) {
  PerformanceTracer& tracer = *PerformanceTracer::getInstance();
  tracer.initialize();
  PTRawDataVector lhs = recording(990);
  PTRawDataVector rhs = recording(990, true);
  const std::string page = pagePath();
  for (auto _ : state) {
    benchmark::DoNotOptimize(
        generateDiffReport_modelBased(tracer, page, "GLOBAL", "lhs", "rhs", &lhs, &rhs, "time", false));
  }
  state.counters["phases"] = static_cast<double>(lhs.size() / 2);
  std::remove(page.c_str());
}
BENCHMARK(BM_ModelDiffReport_Write100k)->Unit(benchmark::kMillisecond)->Repetitions(5);

}  // namespace

BENCHMARK_MAIN();
