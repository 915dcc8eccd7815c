// Time and memory of the analysis: a synthetic trace of tracer points (phases
// nested up to 6 levels, 50 phase names, three identifiers per point, a gap
// over 0.1 s now and then) turned into report rows plus per-phase aggregates.
//
// BM_Analysis_UnclosedOuterPhase puts one start that is never closed in front
// of that trace, and BM_Analysis_DeepNesting nests every phase in the one
// before (as deep as the trace has starts) and writes the rows' page records
// too: both must grow with the points like a balanced, shallow trace.
//
// BM_Analysis_Rows works on a vector handed in (which receives the gap
// points), as a report on loaded trace data does. BM_Analysis_RecordedTrace
// starts from the tracer's own points and includes the deep copy the analysis
// takes of them. The counters give the rows made and, from one extra run in a
// quiet heap, bytes_per_row: the rise of the process's peak resident memory
// over the resident memory before the analysis, divided by the rows.
#include <benchmark/benchmark.h>

#include <boost/make_shared.hpp>

#include <cstddef>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "analysis/aggregation.h"
#include "analysis/processed_data.h"
#include "report/phase/data_arrays.h"
#include "tracer/performance_tracer.h"

#include "bench/resident_memory.h"

namespace {

constexpr int kMaxDepth = 6;
constexpr int kPhaseNames = 50;

PTRawDataVector makeTrace(PerformanceTracer& tracer, std::size_t points) {
  std::vector<std::int32_t> phases;
  for (int i = 0; i < kPhaseNames; ++i) {
    phases.push_back(tracer.getNumberForString(EPT_PHASE, "phase_" + std::to_string(i), true));
  }
  const std::int32_t grouping = tracer.getNumberForString(EPT_GROUPING, "Simulation", true);
  std::vector<PTIdentifierMap> subjects;
  for (int model = 0; model < 5; ++model) {
    for (int target = 0; target < 3; ++target) {
      subjects.push_back(tracer.getMapForStrings(
          {"modelStr", "targetStr"}, {"model_" + std::to_string(model), "target_" + std::to_string(target)}));
    }
  }

  std::mt19937 random(42);
  PTRawDataVector trace;
  trace.reserve(points);
  std::vector<const PTTracerDataPoint*> open;
  std::size_t opened = 0;
  double wall = 1000.0;
  double usage = 200.0 * 1048576.0;
  while (opened < points / 2 || !open.empty()) {
    const bool start = opened < points / 2 &&
                       (open.empty() || (open.size() < static_cast<std::size_t>(kMaxDepth) && random() % 2 == 0));
    wall += 0.001;
    if (random() % 1000 == 0) wall += 0.15;  // a gap worth a gap row when a phase is open
    usage += static_cast<double>(random() % 4096);
    auto point = start ? boost::make_shared<PTTracerDataPoint>() : boost::make_shared<PTTracerDataPoint>(*open.back());
    if (start) {
      point->grouping = grouping;
      point->phase = phases[random() % phases.size()];
      point->identifiers = subjects[random() % subjects.size()];
      open.push_back(point.get());
      ++opened;
    } else {
      open.pop_back();
    }
    point->isStart = start;
    point->wallClockTime = wall;
    point->cpuTime = wall / 2;
    *point->basicMemStats = pt::BasicMemStats(usage, usage * 1.5, usage * 4);
    trace.push_back(std::move(point));
  }
  return trace;
}

struct Result {
  PTProcessedDataStruct summary;
  PTAggregateDataMap aggregates;
};

void BM_Analysis_Rows(benchmark::State& state) {
  PerformanceTracer tracer;
  tracer.initialize();
  const PTRawDataVector trace = makeTrace(tracer, static_cast<std::size_t>(state.range(0)));
  std::size_t rows = 0;
  for (auto _ : state) {
    state.PauseTiming();
    PTRawDataVector rawData = trace;  // shares the points: the analysis never changes them
    Result result;
    state.ResumeTiming();
    result.summary = tracer.generateProcessedData(&rawData, "GLOBAL", false);
    result.aggregates = getAggregateData(tracer, result.summary.diagnosticInfos);
    benchmark::DoNotOptimize(result.aggregates.size());
    state.PauseTiming();
    rows = result.summary.diagnosticInfos.size();
    result = Result();
    state.ResumeTiming();
  }
  state.counters["rows"] = static_cast<double>(rows);
  Result kept;
  PTRawDataVector rawData = trace;
  rawData.shrink_to_fit();
  state.counters["bytes_per_row"] = 1048576.0 * pt_bench::peakMegabytesAdded([&] {
                                      kept.summary = tracer.generateProcessedData(&rawData, "GLOBAL", false);
                                      kept.aggregates = getAggregateData(tracer, kept.summary.diagnosticInfos);
                                    }) /
                                    static_cast<double>(kept.summary.diagnosticInfos.size());
}
BENCHMARK(BM_Analysis_Rows)->Arg(100'000)->Arg(300'000)->Arg(1'000'000)->Unit(benchmark::kMillisecond);

void BM_Analysis_RecordedTrace(benchmark::State& state) {
  PerformanceTracer tracer;
  tracer.initialize();
  tracer.setUsePerformanceTracerRecorder(false);
  tracer.setRawDataVector(makeTrace(tracer, static_cast<std::size_t>(state.range(0))));
  std::size_t rows = 0;
  for (auto _ : state) {
    Result result;
    result.summary = tracer.getProcessedData(nullptr, {"GLOBAL"}, false);
    result.aggregates = getAggregateData(tracer, result.summary.diagnosticInfos);
    benchmark::DoNotOptimize(result.aggregates.size());
    state.PauseTiming();
    rows = result.summary.diagnosticInfos.size();
    result = Result();
    state.ResumeTiming();
  }
  state.counters["rows"] = static_cast<double>(rows);
  Result kept;
  state.counters["bytes_per_row"] = 1048576.0 * pt_bench::peakMegabytesAdded([&] {
                                      kept.summary = tracer.getProcessedData(nullptr, {"GLOBAL"}, false);
                                      kept.aggregates = getAggregateData(tracer, kept.summary.diagnosticInfos);
                                    }) /
                                    static_cast<double>(kept.summary.diagnosticInfos.size());
}
BENCHMARK(BM_Analysis_RecordedTrace)->Arg(100'000)->Arg(1'000'000)->Unit(benchmark::kMillisecond);

// Pairs `trace` and analyses it the way a report does; the counter is the
// starts left unpaired.
void analyseUnbalanced(benchmark::State& state, PerformanceTracer& tracer, const PTRawDataVector& trace) {
  std::size_t errorRows = 0;
  for (auto _ : state) {
    PTRawDataVector rawData = trace;
    PTDiagnosticMap rows;
    PTProcessedDataStruct summary;
    benchmark::DoNotOptimize(generateDiagnosticInfo(tracer, &rawData, "GLOBAL", rows, summary));
    // The summary of an unbalanced trace is its error flag alone.
    benchmark::DoNotOptimize(tracer.getProcessedData(&rawData, {"GLOBAL"}, false).hasErrors);
    state.PauseTiming();
    errorRows = 0;
    for (const auto& [point, info] : rows) errorRows += info->processedPoint->errorRow && point->isStart ? 1 : 0;
    rows.clear();
    state.ResumeTiming();
  }
  state.counters["error_rows"] = static_cast<double>(errorRows);
}

void BM_Analysis_UnclosedOuterPhase(benchmark::State& state) {
  PerformanceTracer tracer;
  tracer.initialize();
  PTRawDataVector trace = makeTrace(tracer, static_cast<std::size_t>(state.range(0)) - 1);
  auto outer = boost::make_shared<PTTracerDataPoint>(dynamic_cast<const PTTracerDataPoint&>(*trace.front()));
  outer->phase = tracer.getNumberForString(EPT_PHASE, "Never closed", true);
  trace.insert(trace.begin(), std::move(outer));
  analyseUnbalanced(state, tracer, trace);
}
BENCHMARK(BM_Analysis_UnclosedOuterPhase)->Arg(100'000)->Arg(300'000)->Unit(benchmark::kMillisecond);

// A tool that opens "Load" every round and never closes it: each round nests
// inside the one before, so the depth grows with the points.
void BM_Analysis_UnclosedStartEveryRound(benchmark::State& state) {
  PerformanceTracer tracer;
  tracer.initialize();
  const std::int32_t grouping = tracer.getNumberForString(EPT_GROUPING, "Rounds", true);
  const std::int32_t load = tracer.getNumberForString(EPT_PHASE, "Load", true);
  const std::int32_t step = tracer.getNumberForString(EPT_PHASE, "Step", true);
  PTRawDataVector trace;
  for (std::size_t i = 0; i + 3 <= static_cast<std::size_t>(state.range(0)); i += 3) {
    for (const auto& [phase, isStart] : {std::pair{load, true}, std::pair{step, true}, std::pair{step, false}}) {
      auto point = boost::make_shared<PTTracerDataPoint>();
      point->grouping = grouping;
      point->phase = phase;
      point->isStart = isStart;
      point->wallClockTime = 0.001 * static_cast<double>(trace.size());
      trace.push_back(std::move(point));
    }
  }
  analyseUnbalanced(state, tracer, trace);
}
BENCHMARK(BM_Analysis_UnclosedStartEveryRound)->Arg(3'000)->Arg(30'000)->Arg(100'000)->Unit(benchmark::kMillisecond);

void BM_Analysis_DeepNesting(benchmark::State& state) {
  PerformanceTracer tracer;
  tracer.initialize();
  const std::int32_t grouping = tracer.getNumberForString(EPT_GROUPING, "Recursion", true);
  const std::size_t depth = static_cast<std::size_t>(state.range(0)) / 2;
  PTRawDataVector trace;
  trace.reserve(2 * depth);
  for (std::size_t i = 0; i < 2 * depth; ++i) {
    const std::size_t level = i < depth ? i : 2 * depth - 1 - i;
    auto point = boost::make_shared<PTTracerDataPoint>();
    point->grouping = grouping;
    point->phase = tracer.getNumberForString(EPT_PHASE, "level_" + std::to_string(level % kPhaseNames), true);
    point->isStart = i < depth;
    point->wallClockTime = 0.001 * static_cast<double>(i);
    point->cpuTime = point->wallClockTime / 2;
    trace.push_back(std::move(point));
  }
  std::size_t recordBytes = 0;
  for (auto _ : state) {
    PTRawDataVector rawData = trace;
    const PTProcessedDataStruct summary = tracer.getProcessedData(&rawData, {"GLOBAL"}, false);
    const std::string records = generateDataArrayJS(tracer, &summary, "time");
    benchmark::DoNotOptimize(records.data());
    recordBytes = records.size();
  }
  state.counters["depth"] = static_cast<double>(depth);
  state.counters["record_bytes_per_row"] = static_cast<double>(recordBytes) / static_cast<double>(depth);
  PTRawDataVector rawData = trace;
  PTProcessedDataStruct kept;
  state.counters["bytes_per_row"] =
      1048576.0 * pt_bench::peakMegabytesAdded([&] { kept = tracer.getProcessedData(&rawData, {"GLOBAL"}, false); }) /
      static_cast<double>(depth);
}
BENCHMARK(BM_Analysis_DeepNesting)->Arg(20'000)->Arg(200'000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
