// Saving and loading a trace of 1,000,000 points through host data files, and
// what the host arrays of such a trace cost in memory.
//
// Each point is a cell record shaped like a raw trace point: kind, grouping,
// phase and statistics type (int32), a start flag, wall and CPU time, three
// basic and five detailed memory values, and a nested cell of three identifier
// numbers. Counters: bytes_per_point (file size or heap growth per point) and
// peak_rss_mb (the process's high-water mark so far).
//
// BM_HostDataFile_RefuseCraftedFile opens hostile files with valid checksums,
// as a load does, and measures how fast they are refused: 20,000 nested
// string-reference namespaces, 40,000 chained references, a struct array of
// 2^62 elements without fields, and a 1 MiB text referenced 6,000 times.
// Counter: peak_rss_mb, the high-water mark during the refusals alone.
#include <benchmark/benchmark.h>
#include <malloc.h>
#include <sys/resource.h>
#include <unistd.h>

#include <openssl/sha.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/cbor_stream.h"
#include "platform/host_array.h"
#include "platform/host_data_file.h"

#include "bench/resident_memory.h"

namespace {

constexpr std::size_t kPoints = 1'000'000;
constexpr const char* kVariable = "PerformanceTracingRawDataVector";

using platform::HostArrayPtr;

std::size_t heapInUse() {
  const struct mallinfo2 info = mallinfo2();
  return info.uordblks + info.hblkhd;
}

double peakRssMegabytes() {
  struct rusage usage {};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_maxrss) / 1024.0;  // ru_maxrss is in kB
}

haArray* int32Scalar(std::int32_t value) {
  haArray* a = haCreateNumericMatrix(1, 1, haINT32_CLASS, haREAL);
  *haGetElements<std::int32_t>(a) = value;
  return a;
}

// Values as a real trace has them: times with fractions, page-multiple memory.
haArray* tracePoint(std::size_t i) {
  haArray* record = haCreateCellMatrix(1, 16);
  std::size_t k = 0;
  haSetCell(record, k++, int32Scalar(3));
  haSetCell(record, k++, int32Scalar(static_cast<std::int32_t>(i % 7)));
  haSetCell(record, k++, int32Scalar(static_cast<std::int32_t>(i % 2000)));
  haSetCell(record, k++, int32Scalar(1));
  haSetCell(record, k++, haCreateLogicalScalar(i % 2 == 0));
  haSetCell(record, k++, haCreateDoubleScalar(1.7e9 + static_cast<double>(i) * 1.234567e-3));
  haSetCell(record, k++, haCreateDoubleScalar(static_cast<double>(i) * 3.21e-4));
  for (int m = 0; m < 8; ++m)
    haSetCell(record, k++, haCreateDoubleScalar(4096.0 * static_cast<double>(20000 + i % 5000 + m)));
  haArray* ids = haCreateCellMatrix(1, 3);
  haSetCell(ids, 0, int32Scalar(static_cast<std::int32_t>(i % 3)));
  haSetCell(ids, 1, int32Scalar(static_cast<std::int32_t>(i % 40)));
  haSetCell(ids, 2, int32Scalar(static_cast<std::int32_t>(i % 500)));
  haSetCell(record, k++, ids);
  return record;
}

HostArrayPtr buildTrace() {
  HostArrayPtr records(haCreateCellMatrix(1, kPoints));
  for (std::size_t i = 0; i < kPoints; ++i) haSetCell(records.get(), i, tracePoint(i));
  return records;
}

const haArray* sharedTrace() {
  static HostArrayPtr trace = buildTrace();
  return trace.get();
}

std::string tracePath() {
  return (std::filesystem::temp_directory_path() / ("host_data_file_benchmark_" + std::to_string(getpid()) + ".kvd"))
      .string();
}

bool save(const std::string& path, const haArray* trace) {
  kvdFile* file = kvdOpen(path.c_str(), "w");
  if (file == nullptr) return false;
  const bool put = kvdPutVariable(file, kVariable, trace) == 0;
  return kvdClose(file) == 0 && put;
}

void BM_HostDataFile_BuildTrace(benchmark::State& state) {
  for (auto _ : state) {
    const std::size_t before = heapInUse();
    HostArrayPtr trace = buildTrace();
    state.counters["bytes_per_point"] = static_cast<double>(heapInUse() - before) / kPoints;
    benchmark::DoNotOptimize(trace.get());
  }
  // One small scalar on its own: handle plus allocator overhead.
  std::vector<HostArrayPtr> scalars(100000);
  const std::size_t before = heapInUse();
  for (auto& s : scalars) s.reset(haCreateDoubleScalar(1.0));
  state.counters["bytes_per_scalar_array"] = static_cast<double>(heapInUse() - before) / scalars.size();
  state.counters["peak_rss_mb"] = peakRssMegabytes();
}
BENCHMARK(BM_HostDataFile_BuildTrace)->Unit(benchmark::kMillisecond)->Iterations(1);

void BM_HostDataFile_Write(benchmark::State& state) {
  const haArray* trace = sharedTrace();
  const std::string path = tracePath();
  for (auto _ : state) {
    if (!save(path, trace)) state.SkipWithError("save failed");
  }
  state.counters["bytes_per_point"] = static_cast<double>(std::filesystem::file_size(path)) / kPoints;
  state.counters["peak_rss_mb"] = peakRssMegabytes();
  std::filesystem::remove(path);
}
BENCHMARK(BM_HostDataFile_Write)->Unit(benchmark::kMillisecond)->Iterations(1);

void BM_HostDataFile_Read(benchmark::State& state) {
  const std::string path = tracePath();
  if (!save(path, sharedTrace())) state.SkipWithError("save failed");
  for (auto _ : state) {
    kvdFile* file = kvdOpen(path.c_str(), "r");
    HostArrayPtr loaded(kvdGetVariable(file, kVariable));
    kvdClose(file);
    if (haGetNumberOfElements(loaded.get()) != kPoints) state.SkipWithError("wrong point count");
    benchmark::DoNotOptimize(loaded.get());
    state.PauseTiming();  // releasing the arrays is not part of reading
    loaded.reset();
    state.ResumeTiming();
  }
  state.counters["bytes_per_point"] = static_cast<double>(std::filesystem::file_size(path)) / kPoints;
  state.counters["peak_rss_mb"] = peakRssMegabytes();
  std::filesystem::remove(path);
}
BENCHMARK(BM_HostDataFile_Read)->Unit(benchmark::kMillisecond)->Iterations(1);

class StringSink : public platform::cbor::ByteSink {
 public:
  void write(const unsigned char* data, std::size_t size) override {
    bytes.append(reinterpret_cast<const char*>(data), size);
  }
  std::string bytes;
};

// The encoded value of one hostile records variable.
std::string craftedValue(int kind) {
  StringSink value;
  {
    platform::cbor::Writer out(value);
    switch (kind) {
      case 0:
        for (int i = 0; i < 20000; ++i) out.tag(256);
        out.arrayStart(0);
        break;
      case 1:
        out.tag(256);
        out.arrayStart(1);
        out.arrayStart(2);
        out.text("phase");
        for (int i = 0; i < 40000; ++i) out.tag(25);
        out.uint(0);
        break;
      case 2:
        out.tag(256);
        out.tag(0x70740003);
        out.arrayStart(3);
        out.arrayStart(2);
        out.uint(1);
        out.uint(std::uint64_t{1} << 62);
        out.arrayStart(0);
        out.arrayStart(0);
        break;
      default:
        out.tag(256);
        out.arrayStart(1);
        out.arrayStart(6001);
        out.text(std::string(1 << 20, 'x'));
        for (int i = 0; i < 6000; ++i) {
          out.tag(25);
          out.uint(0);
        }
        break;
    }
    out.flush();
  }
  return value.bytes;
}

// A version 2 trace data file holding only the crafted records, checksum included.
std::string craftedFile(int kind) {
  const std::string value = craftedValue(kind);
  std::string named = std::string(kVariable) + value;
  unsigned char digest[SHA256_DIGEST_LENGTH];
  SHA256(reinterpret_cast<const unsigned char*>(named.data()), named.size(), digest);
  StringSink file;
  platform::cbor::Writer out(file);
  out.tag(55799);
  out.mapStart(3);
  out.text("format");
  out.text("performance_tracer trace data");
  out.text("version");
  out.uint(2);
  out.text("variables");
  out.mapStart(1);
  out.text(kVariable);
  out.arrayStart(2);
  out.tag(24);
  out.bytes(value.data(), value.size());
  out.bytes(digest, sizeof digest);
  out.flush();
  return file.bytes;
}

void BM_HostDataFile_RefuseCraftedFile(benchmark::State& state) {
  const std::string path = tracePath();
  { std::ofstream(path, std::ios::binary) << craftedFile(static_cast<int>(state.range(0))); }
  pt_bench::resetPeakResident();
  for (auto _ : state) {
    bool refused = false;
    kvdFile* file = nullptr;
    try {
      file = kvdOpen(path.c_str(), "r");
      kvdVisitCellVariable(file, kVariable,
                           [](std::size_t, std::size_t, const haArray* record) { benchmark::DoNotOptimize(record); });
    } catch (const std::exception&) {
      refused = true;
    }
    kvdDiscard(file);
    if (!refused) state.SkipWithError("the crafted file was read");
  }
  state.counters["file_kb"] = static_cast<double>(std::filesystem::file_size(path)) / 1024.0;
  state.counters["peak_rss_mb"] = pt_bench::statusMegabytes("VmHWM");
  std::filesystem::remove(path);
}
BENCHMARK(BM_HostDataFile_RefuseCraftedFile)
    ->ArgName("kind")
    ->DenseRange(0, 3)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

}  // namespace

BENCHMARK_MAIN();
