// Building, folding and writing the call tree of a large trace.
#include "analysis/diagnostic_info.h"
#include "analysis/processed_data.h"
#include "report/phase/call_tree.h"
#include "tracer/data_points.h"
#include "tracer/performance_tracer.h"

#include <benchmark/benchmark.h>
#include <boost/make_shared.hpp>

#include <memory>
#include <string>

namespace {

class TraceWriter {
 public:
  explicit TraceWriter(PerformanceTracer& tracer)
      : tracer_(tracer), grouping_(tracer.getNumberForString(EPT_GROUPING, "G", true)) {}

  // A binary subtree six levels deep (63 rows); the variant changes the names
  // of some levels, so eight variants repeat across the trace and fold.
  void subtree(int depth, int variant, int sibling) {
    std::string phase = "L";
    phase += std::to_string(depth);
    phase += '_';
    phase += std::to_string((variant >> (depth % 3)) % 2 + sibling);
    add(phase, true);
    if (depth < 5) {
      for (int child = 0; child < 2; ++child) {
        // Now and then a pause long enough to become a gap row.
        if (depth == 2 && variant == 3 && child == 1) now_ += 0.2;
        subtree(depth + 1, variant, child);
      }
    }
    add(phase, false);
  }

  PTRawDataVector points;

 private:
  void add(const std::string& phase, bool isStart) {
    auto point = boost::make_shared<PTTracerDataPoint>();
    point->grouping = grouping_;
    point->phase = tracer_.getNumberForString(EPT_PHASE, phase, true);
    point->isStart = isStart;
    now_ += 0.0005;
    point->wallClockTime = now_;
    point->cpuTime = now_ / 2;
    points.push_back(point);
  }

  PerformanceTracer& tracer_;
  std::int32_t grouping_;
  double now_ = 0.0;
};

void BM_CallTree_GenerateDataJS(benchmark::State& state) {
  PerformanceTracer tracer;
  tracer.initialize();
  TraceWriter trace(tracer);
  for (int top = 0; 63 * top < state.range(0); ++top) trace.subtree(0, top % 8, 0);
  const PTProcessedDataStruct summary = tracer.getProcessedData(&trace.points, {"GLOBAL"}, false);
  std::size_t bytes = 0;
  for (auto _ : state) {
    const std::string script = generateCallTreeReportDataJS(summary.diagnosticInfos);
    bytes = script.size();
    benchmark::DoNotOptimize(script.data());
  }
  state.counters["rows"] = static_cast<double>(summary.diagnosticInfos.size());
  state.counters["script_bytes"] = static_cast<double>(bytes);
}
BENCHMARK(BM_CallTree_GenerateDataJS)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

// Two identical chains of nested rows, as deep as the argument: building,
// folding and writing stay linear in the rows at any depth.
void BM_CallTree_DeepChains(benchmark::State& state) {
  const auto depth = static_cast<int>(state.range(0));
  PTDiagnosticInfoVector rows;
  for (int chain = 0; chain < 2; ++chain) {
    for (int level = 0; level < depth; ++level) {
      auto row = std::make_unique<PTKAVLORProcessedDataPoint>();
      row->grouping = 0;
      row->phase = level % 7;
      row->HTMLRowNumber = static_cast<int>(rows.size()) + 1;
      row->stackDepth = level;
      row->numChildren = level + 1 < depth ? 1 : 0;
      rows.push_back(boost::make_shared<PTDiagnosticInfo>(std::move(row)));
    }
  }
  std::size_t bytes = 0;
  for (auto _ : state) {
    const std::string script = generateCallTreeReportDataJS(rows);
    bytes = script.size();
    benchmark::DoNotOptimize(script.data());
  }
  state.counters["rows"] = static_cast<double>(rows.size());
  state.counters["script_bytes"] = static_cast<double>(bytes);
}
BENCHMARK(BM_CallTree_DeepChains)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
