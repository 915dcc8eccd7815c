// Time and memory of aligning two recordings: a LHS recording of block-diagram
// rows (200 phase names, 20 models) and a RHS copy with about 5 % of its rows
// renamed, dropped or joined by new ones, as two runs of the same work differ.
// The time includes building every row's key. peak_MB is the rise of the
// process's peak resident memory during one extra alignment over what was
// resident before it.
#include <benchmark/benchmark.h>

#include <boost/make_shared.hpp>

#include <cstddef>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "analysis/aggregation.h"
#include "analysis/diagnostic_info.h"
#include "compare/alignment.h"
#include "tracer/performance_tracer.h"
#include "tracer/pt_api.h"

#include "bench/resident_memory.h"

namespace {

/// Phase numbers of a recording and of its slightly different second run.
std::pair<std::vector<int>, std::vector<int>> twoRuns(std::size_t size, int names, std::mt19937& random) {
  std::vector<int> lhs(size);
  for (int& phase : lhs) phase = static_cast<int>(random() % static_cast<unsigned>(names));
  std::vector<int> rhs;
  rhs.reserve(size + size / 20);
  const auto renamed = [&] { return names + static_cast<int>(random() % static_cast<unsigned>(names)); };
  for (const int phase : lhs) {
    const unsigned roll = random() % 60;  // 1 in 20 rows differ
    if (roll >= 3) rhs.push_back(phase);
    if (roll == 0) rhs.push_back(renamed());
    if (roll == 1) {
      rhs.push_back(phase);
      rhs.push_back(renamed());
    }
  }
  return {lhs, rhs};
}

PTDiagnosticInfoVector recording(const std::vector<int>& phases) {
  PTDiagnosticInfoVector rows;
  rows.reserve(phases.size());
  const std::int32_t grouping = ptGetNumberForString(EPT_GROUPING, "Simulation");
  for (std::size_t k = 0; k < phases.size(); ++k) {
    auto point = std::make_unique<PTCLTGXProcessedDataPoint>();
    point->phase = ptGetNumberForString(EPT_PHASE, "toolbox/sim/phase_" + std::to_string(phases[k]) + ".m");
    point->grouping = grouping;
    point->model = ptGetNumberForString(EPT_MODEL, "model_" + std::to_string(k % 20));
    point->target = ptGetNumberForString(EPT_TARGET, "rtw");
    rows.push_back(boost::make_shared<PTDiagnosticInfo>(std::move(point)));
  }
  return rows;
}

void BM_Alignment_Phases(benchmark::State& state) {
  std::mt19937 random(7);
  const auto [lhsPhases, rhsPhases] = twoRuns(static_cast<std::size_t>(state.range(0)), 200, random);
  const PTDiagnosticInfoVector lhs = recording(lhsPhases);
  const PTDiagnosticInfoVector rhs = recording(rhsPhases);
  const PerformanceTracer& tracer = *PerformanceTracer::getInstance();
  std::size_t entries = 0;
  for (auto _ : state) {
    const std::vector<PTLCSDiffStruct> aligned = generateLCSDiffInfo(tracer, lhs, rhs);
    entries = aligned.size();
    benchmark::DoNotOptimize(aligned.data());
  }
  state.counters["entries"] = static_cast<double>(entries);
  state.counters["peak_MB"] =
      pt_bench::peakMegabytesAdded([&] { benchmark::DoNotOptimize(generateLCSDiffInfo(tracer, lhs, rhs)); });
}
BENCHMARK(BM_Alignment_Phases)->Arg(20'000)->Arg(100'000)->Unit(benchmark::kMillisecond);

void BM_Alignment_Aggregates(benchmark::State& state) {
  PerformanceTracer tracer;
  tracer.initialize();
  std::mt19937 random(11);
  const auto size = static_cast<int>(state.range(0));
  const auto aggregates = [&](bool secondRun) {
    PTAggregateDataMap map;
    for (int k = 0; k < size; ++k) {
      // The second run renames about 5 % of the phases.
      const bool renamed = secondRun && random() % 20 == 0;
      const std::string name = "toolbox/sim/" + std::string(renamed ? "renamed_" : "phase_") + std::to_string(k);
      const std::int32_t phase = tracer.getNumberForString(EPT_PHASE, name, true);
      map[phase] = std::make_unique<PTAggregateDataPoint>(0, phase, false);
    }
    return map;
  };
  const PTAggregateDataMap lhs = aggregates(false);
  const PTAggregateDataMap rhs = aggregates(true);
  std::size_t entries = 0;
  for (auto _ : state) {
    const std::vector<PTLCSAggDiffStruct> aligned = generateAggLCSDiffInfo(tracer, lhs, rhs);
    entries = aligned.size();
    benchmark::DoNotOptimize(aligned.data());
  }
  state.counters["entries"] = static_cast<double>(entries);
}
BENCHMARK(BM_Alignment_Aggregates)->Arg(5'000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
