// Building the model-based report tree of a recording with 1M phases.
#include "analysis/processed_data.h"
#include "report/model/tree_construction.h"
#include "tracer/data_points.h"
#include "tracer/performance_tracer.h"

#include <benchmark/benchmark.h>
#include <boost/make_shared.hpp>

#include <string>

namespace {

/// Blocks of one phase holding 10 phases of 9 each: 101 rows a block, all of
/// the model "m", numbered in the process-wide tracer's tables.
PTRawDataVector recording(int blocks) {
  PerformanceTracer& tracer = *PerformanceTracer::getInstance();
  tracer.initialize();
  const std::int32_t grouping = tracer.getNumberForString(EPT_GROUPING, "G", true);
  const std::int32_t model = tracer.getNumberForString("modelStr", "m", true);
  PTRawDataVector points;
  points.reserve(static_cast<std::size_t>(blocks) * 202);
  double now = 0;
  const auto add = [&](const char* phase, bool isStart) {
    auto point = boost::make_shared<PTTracerDataPoint>();
    point->grouping = grouping;
    point->phase = tracer.getNumberForString(EPT_PHASE, phase, true);
    point->identifiers[IdentifierName("modelStr")] = model;
    point->isStart = isStart;
    point->wallClockTime = now;
    points.push_back(std::move(point));
  };
  for (int b = 0; b < blocks; ++b) {
    add("A", true);
    for (int i = 0; i < 10; ++i) {
      add("B", true);
      for (int j = 0; j < 9; ++j) {
        add("C", true);
        add("C", false);
      }
      add("B", false);
    }
    add("A", false);
    now += 1;
  }
  return points;
}

void BM_ModelTree_Construct1M(benchmark::State& state) {
  PTRawDataVector points = recording(9901);
  const PTProcessedDataStruct summary =
      PerformanceTracer::getInstance()->generateProcessedData(&points, std::string("GLOBAL"), false);
  for (auto _ : state) {
    PTNodeMap nodes;
    benchmark::DoNotOptimize(
        constructNodes(*PerformanceTracer::getInstance(), summary.diagnosticInfos, PT_REPORT_MODEL, nodes));
  }
  state.counters["rows"] = static_cast<double>(summary.diagnosticInfos.size());
}
BENCHMARK(BM_ModelTree_Construct1M)->Unit(benchmark::kMillisecond)->Repetitions(5);

}  // namespace

BENCHMARK_MAIN();
