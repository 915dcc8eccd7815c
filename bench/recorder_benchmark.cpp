// Cost of the recorder road: logging a start and its end with the tracer's
// listener attached, and converting recorded events into raw points.
#include <benchmark/benchmark.h>

#include "platform/feature_flags.h"
#include "tracer/performance_tracer.h"
#include "tracer/pt_groupings.h"
#include "tracer/pt_logging.h"

#include <string>
#include <vector>

namespace {

// Through the exported funnel, as a tool logs: event emission, the listener's
// memory snapshot and the open-start bookkeeping.
void BM_Recorder_StartStop(benchmark::State& state) {
  platform::setFeature(kUsePerformanceTracerRecorderFeature, true);
  ptEnableTracer("BenchRecorder", true);
  PerformanceTracer& tracer = *PerformanceTracer::getInstance();
  const std::vector<std::string> pairs{"modelStr", "vdp", "targetStr", "grt"};
  std::size_t n = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(ptLogTracerDataVecInput("BenchRecorder", "Compile", true, pairs));
    benchmark::DoNotOptimize(ptLogTracerDataVecInput("BenchRecorder", "Compile", false, pairs));
    // Keep the recorder's memory bounded over millions of iterations.
    if (++n % 100000 == 0) {
      state.PauseTiming();
      tracer.clearPerfTracerRecorderEventData();
      state.ResumeTiming();
    }
  }
  ptEnableTracer("BenchRecorder", false);
  tracer.clearPerfTracerRecorderEventData();
  platform::setFeature(kUsePerformanceTracerRecorderFeature, std::nullopt);
}
BENCHMARK(BM_Recorder_StartStop);

// Records `pairs` completed start/stop pairs on the tracer's listener.
void recordPairs(PerformanceTracer& tracer, std::int64_t pairs) {
  static const std::vector<std::string> identifiers{"modelStr", "vdp", "TestPath", "f.m > suite"};
  const instrument::ContextSet context = makeContextEntriesWithPhase("Compile", identifiers);
  for (std::int64_t i = 1; i <= pairs; ++i) {
    const instrument::EventId id{static_cast<std::uint64_t>(i), 0};
    tracer.recorder().onEventStart("BenchRecorder", context, id);
    tracer.recorder().onEventStop("BenchRecorder", {}, id);
  }
}

// The first pass over freshly recorded events: every point is built.
void BM_Recorder_ConvertNew(benchmark::State& state) {
  PerformanceTracer tracer;
  tracer.initialize();
  tracer.setUsePerformanceTracerRecorder(true);
  for (auto _ : state) {
    state.PauseTiming();
    tracer.clearPerfTracerRecorderEventData();
    tracer.clearRawDataVector();
    recordPairs(tracer, state.range(0));
    state.ResumeTiming();
    tracer.processRecorderDataToRawData();
  }
  state.SetItemsProcessed(state.iterations() * state.range(0) * 2);
}
BENCHMARK(BM_Recorder_ConvertNew)->Arg(1000)->Unit(benchmark::kMicrosecond);

// Every later read of raw data: all events already converted, none appended.
void BM_Recorder_ConvertAgain(benchmark::State& state) {
  PerformanceTracer tracer;
  tracer.initialize();
  tracer.setUsePerformanceTracerRecorder(true);
  recordPairs(tracer, state.range(0));
  tracer.processRecorderDataToRawData();
  for (auto _ : state) tracer.processRecorderDataToRawData();
  state.SetItemsProcessed(state.iterations() * state.range(0) * 2);
}
BENCHMARK(BM_Recorder_ConvertAgain)->Arg(1000)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
