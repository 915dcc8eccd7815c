// A ScopedTracerData start/stop pair as host code makes it: the object created
// through the host object system from two texts, then released. The Python
// front end's figure for the same pair (bench/scoped_tracer_data_timeit.py)
// is measured against this one.
#include <benchmark/benchmark.h>

#include "bindings/module_entry.h"
#include "platform/host_array.h"
#include "platform/object_system.h"
#include "tracer/pt_clearing.h"

namespace {

void BM_ScopedTracerData_StartStop(benchmark::State& state) {
  KVInitialize_performance_tracer();
  const platform::HostArrayPtr grouping(haCreateString("Bench")), on(haCreateLogicalScalar(true));
  const haArray* enable[] = {grouping.get(), on.get()};
  vesk::callStaticMethod("ZezaDazod.Tracer", "enable", enable, 1);
  std::size_t pairs = 0;
  for (auto _ : state) {
    const platform::HostArrayPtr g(haCreateString("Bench")), phase(haCreateString("step"));
    const haArray* inputs[] = {g.get(), phase.get()};
    auto point = vesk::createObject("ZezaDazod.Tracer.ScopedTracerData", inputs);
    point.reset();
    // The same batches as the Python figure: raw data dropped every 4096 pairs, untimed.
    if (++pairs % 4096 == 0) {
      state.PauseTiming();
      ptClearRawData();
      state.ResumeTiming();
    }
  }
  ptClearRawData();
}
BENCHMARK(BM_ScopedTracerData_StartStop);

}  // namespace

BENCHMARK_MAIN();
