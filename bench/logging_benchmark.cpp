// Cost of a logged point through the exported functions, on both roads, and of
// a call the funnel turns away.
//
// A recorded point must read the wall clock and the process CPU time (a
// system call), which no logging code can avoid. So each case also measures
// those reads right before its own loop and reports its time as a ratio to
// them (counter vs_clock_reads; vs_clock_and_probe adds the basic memory
// probe's reading). Both are measured in thread CPU time, so that the ratios
// stay meaningful on a loaded machine. Cases that store points also report
// the heap a stored point takes (bytes_per_point, its slot in the raw vector
// not counted).
#include <benchmark/benchmark.h>

#include "platform/clock.h"
#include "platform/feature_flags.h"
#include "platform/huge_page_pool.h"
#include "platform/instrument/listeners.h"
#include "platform/memory_probe.h"
#include "tracer/performance_tracer.h"
#include "tracer/pt_api.h"
#include "tracer/pt_clearing.h"
#include "tracer/pt_groupings.h"
#include "tracer/pt_logging.h"

#include <malloc.h>

#include <ctime>
#include <string>
#include <vector>

namespace {

const std::string kGrouping = "Calvoran Compile";
const std::string kModel = "vehicle_dynamics_model";
const std::string kTarget = "grt";
const std::string kPhase = "Compile model";

// Points kept between clears: enough to include the raw vector's growth, few
// enough for the clear (paused) to stay out of the figures.
constexpr std::int64_t kPointsPerClear = 1 << 16;

// Thread CPU time: on a shared machine the wall clock also counts the time
// other processes ran, which would swamp the ratios.
double threadCpuNs() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) * 1e9 + static_cast<double>(now.tv_nsec);
}

double nanosecondsPerCall(int calls, auto&& call) {
  const double start = threadCpuNs();
  for (int i = 0; i < calls; ++i) call();
  return (threadCpuNs() - start) / calls;
}

double clockReadsNs() {
  platform::Clock& clock = platform::systemClock();
  return nanosecondsPerCall(20000, [&] {
    benchmark::DoNotOptimize(clock.wallClockSeconds());
    benchmark::DoNotOptimize(clock.cpuSeconds());
  });
}

double probeReadNs() {
  platform::MemoryProbe& probe = platform::linuxMemoryProbe();
  return nanosecondsPerCall(20000, [&] {
    platform::BasicMemoryReading reading;
    benchmark::DoNotOptimize(probe.readBasic(reading));
  });
}

// Memory taken so far: the heap in use, as the allocator counts it (chunk
// headers included), plus what this thread carved from the point pool.
double heapBytesInUse() {
  return static_cast<double>(mallinfo2().uordblks) + static_cast<double>(platform::hugePageBytesCarvedByThisThread());
}

// Heap taken per point stored by `logPoint`, measured once the raw vector has
// the capacity for them, so that only the points themselves are counted.
template <class LogPoint>
double bytesPerStoredPoint(LogPoint& logPoint) {
  constexpr int kPoints = 1 << 14;
  for (int i = 0; i < kPoints; ++i) logPoint();
  ptClearRawData();
  const double before = heapBytesInUse();
  for (int i = 0; i < kPoints; ++i) logPoint();
  const double bytes = (heapBytesInUse() - before) / kPoints;
  ptClearRawData();
  return bytes;
}

// A traced session: the built-in test tree enabled, global logging off.
void setUpTracer(bool recorder, bool basicProbe) {
  platform::setFeature("UsePerformanceTracerRecorder", recorder);
  ptEnableGlobalLogging(false);
  ptEnableTracer("Calvoran Test", true);
  ptEnableBasicMemStats(basicProbe);
  ptEnableDetailedMemStats(false);
  ptClearRawData();
}

void tearDownTracer() {
  ptEnableTracer("Calvoran Test", false);
  ptClearRawData();
  platform::setFeature("UsePerformanceTracerRecorder", std::nullopt);
}

// Runs `logPoint` in the benchmark loop and reports its time against the clock reads.
template <class LogPoint>
void runLogging(benchmark::State& state, bool withProbe, LogPoint logPoint, bool storesPoints = true) {
  if (storesPoints) state.counters["bytes_per_point"] = bytesPerStoredPoint(logPoint);
  const double clocks = clockReadsNs();
  const double probe = withProbe ? probeReadNs() : 0.0;
  std::int64_t sinceClear = 0;
  double loopNs = 0;
  std::int64_t calls = 0;
  double start = threadCpuNs();
  for (auto _ : state) {
    benchmark::DoNotOptimize(logPoint());
    if (++sinceClear == kPointsPerClear) {
      state.PauseTiming();
      loopNs += threadCpuNs() - start;
      calls += sinceClear;
      sinceClear = 0;
      ptClearRawData();
      start = threadCpuNs();
      state.ResumeTiming();
    }
  }
  loopNs += threadCpuNs() - start;
  calls += sinceClear;
  const double perCall = loopNs / static_cast<double>(calls);
  state.counters["clock_reads_ns"] = clocks;
  state.counters["vs_clock_reads"] = perCall / clocks;
  if (withProbe) state.counters["vs_clock_and_probe"] = perCall / (clocks + probe);
}

void BM_Logging_ClockReads(benchmark::State& state) {
  platform::Clock& clock = platform::systemClock();
  for (auto _ : state) {
    benchmark::DoNotOptimize(clock.wallClockSeconds());
    benchmark::DoNotOptimize(clock.cpuSeconds());
  }
}
BENCHMARK(BM_Logging_ClockReads);

// Argument: basic memory probe off (0) or on (1).
void BM_Logging_CalvoranDirect(benchmark::State& state) {
  const bool probe = state.range(0) != 0;
  setUpTracer(false, probe);
  bool isStart = true;
  runLogging(state, probe, [&] {
    isStart = !isStart;
    return ptLogCalvoranData(kGrouping, kModel, kTarget, kPhase, isStart);
  });
  tearDownTracer();
}
BENCHMARK(BM_Logging_CalvoranDirect)->Arg(0)->Arg(1);

void BM_Logging_VecInputFourPairs(benchmark::State& state) {
  setUpTracer(false, false);
  const std::vector<std::string> pairs = {"modelStr",   kModel,       "targetStr", kTarget,
                                          "machineStr", "Controller", "TestCase",  "brake_step"};
  bool isStart = true;
  runLogging(state, false, [&] {
    isStart = !isStart;
    return ptLogTracerDataVecInput(kGrouping, kPhase, isStart, pairs);
  });
  tearDownTracer();
}
BENCHMARK(BM_Logging_VecInputFourPairs);

// Turned away by the funnel: global logging off, grouping not enabled (other
// groupings are). No clock is read, so the ratio is how small a share of a
// recorded point it costs. First argument 0: a name whose length no enabled
// grouping has; 1: one as long as an enabled grouping, which needs a look-up.
// Second argument: the recorder feature off (0) or on (1).
void BM_Logging_DisabledGrouping(benchmark::State& state) {
  setUpTracer(state.range(1) != 0, false);
  const std::string disabled = state.range(0) == 0 ? "Simulation Run" : "Simulation Build";
  runLogging(
      state, false, [&] { return ptLogCalvoranData(disabled, kModel, kTarget, kPhase, true); }, false);
  if (PerformanceTracer::getInstance()->rawDataVector()->size() != 0) state.SkipWithError("a point was recorded");
  tearDownTracer();
}
BENCHMARK(BM_Logging_DisabledGrouping)->Args({0, 0})->Args({1, 0})->Args({0, 1})->Args({1, 1});

// The recorder road: a start and its stop per iteration, the tracer's
// listener attached (it keeps each event and takes a memory snapshot).
void BM_Logging_RecorderStartStop(benchmark::State& state) {
  setUpTracer(true, false);
  if (!instrument::listeners.isActive()) state.SkipWithError("listener not attached");
  runLogging(
      state, false,
      [&] {
        ptLogCalvoranData(kGrouping, kModel, kTarget, kPhase, true);
        return ptLogCalvoranData(kGrouping, kModel, kTarget, kPhase, false);
      },
      false);
  tearDownTracer();
}
BENCHMARK(BM_Logging_RecorderStartStop);

}  // namespace

BENCHMARK_MAIN();
