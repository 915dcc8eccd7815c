// Cost of the recorder road: logging a start and its end with the tracer's
// listener attached, and converting recorded events into raw points.
#include <benchmark/benchmark.h>

#include "platform/feature_flags.h"
#include "platform/instrument/emit.h"
#include "platform/instrument/listeners.h"
#include "tracer/performance_tracer.h"
#include "tracer/pt_groupings.h"
#include "tracer/pt_logging.h"

#include <string>
#include <thread>
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

// Two threads emit start/stop pairs with the tracer's listener attached until
// 1M points are recorded, which are then converted; every point must arrive.
// Items per second is the throughput of emitting and converting them.
void BM_Recorder_TwoThreadsMillionPoints(benchmark::State& state) {
  constexpr int kThreads = 2;
  constexpr std::int64_t kPoints = 1'000'000;
  constexpr std::int64_t kPairsPerThread = kPoints / (2 * kThreads);
  PerformanceTracer tracer;
  tracer.initialize();
  tracer.setUsePerformanceTracerRecorder(true);
  instrument::controls.enable("BenchThreads");
  instrument::listeners.add(tracer.recorder());
  instrument::ControlElement& handle = instrument::controls.getHandle("BenchThreads");
  for (auto _ : state) {
    state.PauseTiming();
    tracer.clearPerfTracerRecorderEventData();
    tracer.clearRawDataVector();
    state.ResumeTiming();
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
      threads.emplace_back([&, t] {
        const std::vector<std::string> pairs{"threadStr", std::to_string(t)};
        const instrument::ContextSet context = makeContextEntriesWithPhase("Work", pairs);
        for (std::int64_t i = 0; i < kPairsPerThread; ++i) {
          instrument::stopEvent(handle, instrument::startEvent(handle, context));
        }
      });
    }
    for (std::thread& thread : threads) thread.join();
    tracer.processRecorderDataToRawData();
    if (static_cast<std::int64_t>(tracer.rawDataVector()->size()) != kPoints) state.SkipWithError("points were lost");
  }
  state.SetItemsProcessed(state.iterations() * kPoints);
  instrument::listeners.remove(tracer.recorder());
  instrument::controls.disable("BenchThreads");
}
BENCHMARK(BM_Recorder_TwoThreadsMillionPoints)->Iterations(1)->UseRealTime()->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
