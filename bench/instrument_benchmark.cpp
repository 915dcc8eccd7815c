// Cost of emitting instrumentation events: refused early, and recorded.
#include <benchmark/benchmark.h>

#include "platform/instrument/controls.h"
#include "platform/instrument/emit.h"
#include "platform/instrument/instrument_recorder.h"
#include "platform/instrument/listeners.h"

namespace {

void BM_Instrument_StartNoListener(benchmark::State& state) {
  instrument::Controls controls;
  instrument::Listeners listeners;
  instrument::ControlElement& handle = controls.getHandle("bench");
  handle.setEnabled(true);
  instrument::ContextSet context{{"phase", "p"}};
  for (auto _ : state) benchmark::DoNotOptimize(instrument::startEvent(handle, context, 0, listeners));
}
BENCHMARK(BM_Instrument_StartNoListener);

void BM_Instrument_StartDisabled(benchmark::State& state) {
  instrument::Controls controls;
  instrument::Listeners listeners;
  instrument::InstrumentRecorder recorder;
  listeners.add(recorder);
  instrument::ControlElement& handle = controls.getHandle("bench");
  instrument::ContextSet context{{"phase", "p"}};
  for (auto _ : state) benchmark::DoNotOptimize(instrument::startEvent(handle, context, 0, listeners));
}
BENCHMARK(BM_Instrument_StartDisabled);

void BM_Instrument_StartStopRecorded(benchmark::State& state) {
  instrument::Controls controls;
  instrument::Listeners listeners;
  instrument::InstrumentRecorder recorder;
  listeners.add(recorder);
  instrument::ControlElement& handle = controls.getHandle("bench");
  handle.setEnabled(true);
  instrument::ContextSet context{{"phase", "p"}, {"model", "m1"}};
  std::size_t n = 0;
  for (auto _ : state) {
    instrument::stopEvent(handle, instrument::startEvent(handle, context, 0, listeners), listeners);
    // Keep the recorder's memory bounded over millions of iterations.
    if (++n % 100000 == 0) {
      state.PauseTiming();
      recorder.clearAllEventData();
      state.ResumeTiming();
    }
  }
}
BENCHMARK(BM_Instrument_StartStopRecorded);

void BM_Instrument_GetHandle(benchmark::State& state) {
  instrument::Controls controls;
  for (int i = 0; i < 30; ++i) controls.getHandle("grouping" + std::to_string(i));
  for (auto _ : state) benchmark::DoNotOptimize(&controls.getHandle("grouping17"));
}
BENCHMARK(BM_Instrument_GetHandle);

}  // namespace

BENCHMARK_MAIN();
