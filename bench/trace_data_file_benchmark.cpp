// Saving and loading a trace of 1,000,000 tracer points with three
// identifiers each through trace data files, end to end: points → records →
// file, and file → records → points in the tracer.
//
// The points look like a real trace: 2,000 phase paths, a few groupings,
// models and targets, page-multiple memory figures and times with fractions.
// Counters: bytes_per_point (file size / points) and peak_rss_mb (the
// process's high-water mark so far, the trace in memory included).
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <unistd.h>

#include <boost/make_shared.hpp>

#include <filesystem>
#include <string>
#include <vector>

#include "host/trace_data_file.h"
#include "tracer/performance_tracer.h"
#include "tracer/pt_api.h"
#include "tracer/pt_clearing.h"

namespace {

constexpr std::size_t kPoints = 1'000'000;

double peakRssMegabytes() {
  struct rusage usage {};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_maxrss) / 1024.0;  // ru_maxrss is in kB
}

std::string tracePath() {
  return (std::filesystem::temp_directory_path() /
          ("trace_data_file_benchmark_" + std::to_string(getpid()) + ".kvd"))
      .string();
}

PerformanceTracer& tracer() { return *PerformanceTracer::getInstance(); }

// Fills the tracer with the trace once per process.
void recordTrace() {
  static const bool recorded = [] {
    ptClearRawData();
    std::vector<std::int32_t> phases, models, targets, groupings;
    for (int i = 0; i < 2000; ++i)
      phases.push_back(ptGetNumberForString(EPT_PHASE, "toolbox/cl/compile/phase_" + std::to_string(i) + ".m"));
    for (const char* g : {"Calvoran Compile", "Calvoran Startup", "Code Generation", "Model Build"})
      groupings.push_back(ptGetNumberForString(EPT_GROUPING, g));
    for (const char* name : {"modelStr", "targetStr", "statisticsTypeStr"}) ptInsertIdentifierToMapCollections(name);
    for (int i = 0; i < 40; ++i) models.push_back(ptGetNumberForString("modelStr", "model_" + std::to_string(i)));
    for (const char* t : {"grt", "ert", "rsim"}) targets.push_back(ptGetNumberForString("targetStr", t));
    const std::int32_t update = ptGetNumberForString("statisticsTypeStr", "Update");
    for (std::size_t i = 0; i < kPoints; ++i) {
      auto point = boost::make_shared<PTTracerDataPoint>();
      point->phase = phases[i / 2 % phases.size()];
      point->grouping = groupings[i / 1000 % groupings.size()];
      point->isStart = i % 2 == 0;
      point->wallClockTime = 1.7e9 + static_cast<double>(i) * 1.234567e-3;
      point->cpuTime = static_cast<double>(i) * 3.21e-4;
      point->basicMemStats->procMemUsage = 4096.0 * static_cast<double>(200000 + i % 5000);
      point->basicMemStats->procMemUsagePeak = 4096.0 * static_cast<double>(210000 + i % 3000);
      point->basicMemStats->procVMSize = 4096.0 * static_cast<double>(900000 + i % 7000);
      point->identifiers["modelStr"] = models[i / 100 % models.size()];
      point->identifiers["targetStr"] = targets[i / 10000 % targets.size()];
      point->identifiers["statisticsTypeStr"] = update;
      tracer().appendRawDataPoint(std::move(point));
    }
    return true;
  }();
  benchmark::DoNotOptimize(recorded);
}

void BM_TraceDataFile_Save(benchmark::State& state) {
  recordTrace();
  const std::string path = tracePath();
  for (auto _ : state) pt::host::saveTraceDataFile(path);
  state.counters["bytes_per_point"] = static_cast<double>(std::filesystem::file_size(path)) / kPoints;
  state.counters["peak_rss_mb"] = peakRssMegabytes();
  std::filesystem::remove(path);
}
BENCHMARK(BM_TraceDataFile_Save)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();

void BM_TraceDataFile_Load(benchmark::State& state) {
  recordTrace();
  const std::string path = tracePath();
  pt::host::saveTraceDataFile(path);
  const PTRawDataVector recorded = *tracer().rawDataVector();
  for (auto _ : state) {
    state.PauseTiming();  // releasing the points held before is not part of loading
    tracer().setRawDataVector({});
    state.ResumeTiming();
    pt::host::loadTraceDataFile(path);
    if (tracer().rawDataVector()->size() != kPoints) state.SkipWithError("wrong point count");
  }
  state.counters["bytes_per_point"] = static_cast<double>(std::filesystem::file_size(path)) / kPoints;
  state.counters["peak_rss_mb"] = peakRssMegabytes();
  tracer().setRawDataVector(recorded);
  std::filesystem::remove(path);
}
BENCHMARK(BM_TraceDataFile_Load)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
