// Saving and loading a trace of 1,000,000 tracer points with three
// identifiers each through trace data files, end to end: points → records →
// file, and file → records → points in the tracer. A load is measured twice:
// in this process, where the memory of the points released before is reused,
// and in a fresh process (this program started again with --load-fresh),
// where every page the points take is touched for the first time.
//
// The points look like a real trace: 2,000 phase paths, a few groupings,
// models and targets, page-multiple memory figures and times with fractions.
// Counters: bytes_per_point (file size / points), peak_rss_mb (the process's
// resident high-water mark during the operation, the points in memory
// included) and rss_mb (resident after it).
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <boost/make_shared.hpp>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "host/trace_data_file.h"
#include "tracer/performance_tracer.h"
#include "tracer/pt_api.h"
#include "tracer/pt_clearing.h"

#include "bench/resident_memory.h"

namespace {

constexpr std::size_t kPoints = 1'000'000;

std::string tracePath() {
  return (std::filesystem::temp_directory_path() / ("trace_data_file_benchmark_" + std::to_string(getpid()) + ".kvd"))
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
  pt_bench::resetPeakResident();
  for (auto _ : state) pt::host::saveTraceDataFile(path);
  state.counters["bytes_per_point"] = static_cast<double>(std::filesystem::file_size(path)) / kPoints;
  state.counters["peak_rss_mb"] = pt_bench::statusMegabytes("VmHWM");
  state.counters["rss_mb"] = pt_bench::statusMegabytes("VmRSS");
}
BENCHMARK(BM_TraceDataFile_Save)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();

// Loads into an empty tracer: releasing the points held before is not part
// of loading. The recorded trace is not needed after this (the saves run first).
void BM_TraceDataFile_Load(benchmark::State& state) {
  recordTrace();
  const std::string path = tracePath();
  if (!std::filesystem::exists(path)) pt::host::saveTraceDataFile(path);
  for (auto _ : state) {
    state.PauseTiming();
    tracer().setRawDataVector({});
    pt_bench::resetPeakResident();
    state.ResumeTiming();
    pt::host::loadTraceDataFile(path);
    if (tracer().rawDataVector()->size() != kPoints) state.SkipWithError("wrong point count");
  }
  state.counters["bytes_per_point"] = static_cast<double>(std::filesystem::file_size(path)) / kPoints;
  state.counters["peak_rss_mb"] = pt_bench::statusMegabytes("VmHWM");
  state.counters["rss_mb"] = pt_bench::statusMegabytes("VmRSS");
}
BENCHMARK(BM_TraceDataFile_Load)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();

std::string selfPath;  // this program, started again for a fresh load

// The child's part: one load, then "seconds peak_rss_mb rss_mb points" on stdout.
int loadInFreshProcess(const std::string& path) {
  const auto start = std::chrono::steady_clock::now();
  pt::host::loadTraceDataFile(path);
  const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
  std::printf("%.6f %.3f %.3f %zu\n", took.count(), pt_bench::statusMegabytes("VmHWM"),
              pt_bench::statusMegabytes("VmRSS"), tracer().rawDataVector()->size());
  return 0;
}

void BM_TraceDataFile_LoadFreshProcess(benchmark::State& state) {
  recordTrace();
  const std::string path = tracePath();
  if (!std::filesystem::exists(path)) pt::host::saveTraceDataFile(path);
  double peak = 0, resident = 0;
  for (auto _ : state) {
    FILE* child = ::popen(("'" + selfPath + "' --load-fresh='" + path + "'").c_str(), "r");
    char line[256] = {};
    const bool answered = child != nullptr && std::fgets(line, sizeof line, child) != nullptr;
    if (child != nullptr) ::pclose(child);
    double seconds = 0;
    std::size_t points = 0;
    std::istringstream(line) >> seconds >> peak >> resident >> points;
    if (!answered || points != kPoints) state.SkipWithError("the fresh process did not load the trace");
    state.SetIterationTime(seconds);
  }
  state.counters["bytes_per_point"] = static_cast<double>(std::filesystem::file_size(path)) / kPoints;
  state.counters["peak_rss_mb"] = peak;
  state.counters["rss_mb"] = resident;
}
BENCHMARK(BM_TraceDataFile_LoadFreshProcess)->Unit(benchmark::kMillisecond)->Iterations(1)->UseManualTime();

}  // namespace

int main(int argc, char** argv) {
  const std::string fresh = "--load-fresh=";
  if (argc == 2 && std::string(argv[1]).rfind(fresh, 0) == 0) return loadInFreshProcess(argv[1] + fresh.size());
  selfPath = std::filesystem::canonical("/proc/self/exe").string();
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  std::filesystem::remove(tracePath());
  return 0;
}
