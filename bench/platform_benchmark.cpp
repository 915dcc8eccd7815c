// Costs of the platform readings taken on every logged point, beside the
// alternatives they were chosen over.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <chrono>
#include <ctime>

#include "platform/clock.h"
#include "platform/feature_flags.h"
#include "platform/memory_probe.h"

namespace {

void BM_Clock_Wall(benchmark::State& state) {
  platform::Clock& clock = platform::systemClock();
  for (auto _ : state) benchmark::DoNotOptimize(clock.wallClockSeconds());
}
BENCHMARK(BM_Clock_Wall);

void BM_Clock_Cpu(benchmark::State& state) {
  platform::Clock& clock = platform::systemClock();
  for (auto _ : state) benchmark::DoNotOptimize(clock.cpuSeconds());
}
BENCHMARK(BM_Clock_Cpu);

// Alternative wall source.
void BM_Clock_WallSystemClockNow(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(std::chrono::system_clock::now());
}
BENCHMARK(BM_Clock_WallSystemClockNow);

// Alternative CPU source: microsecond resolution, user/system split by ticks.
void BM_Clock_CpuGetrusage(benchmark::State& state) {
  for (auto _ : state) {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    benchmark::DoNotOptimize(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec);
  }
}
BENCHMARK(BM_Clock_CpuGetrusage);

// The floor of any reading that enters the kernel, for scale.
void BM_Platform_NullSystemCall(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(syscall(SYS_getppid));
}
BENCHMARK(BM_Platform_NullSystemCall);

void BM_MemoryProbe_Basic(benchmark::State& state) {
  platform::MemoryProbe& probe = platform::linuxMemoryProbe();
  platform::BasicMemoryReading reading;
  for (auto _ : state) {
    benchmark::DoNotOptimize(probe.readBasic(reading));
    benchmark::DoNotOptimize(reading);
  }
}
BENCHMARK(BM_MemoryProbe_Basic);

void BM_MemoryProbe_Detailed(benchmark::State& state) {
  platform::MemoryProbe& probe = platform::linuxMemoryProbe();
  platform::DetailedMemoryReading reading;
  for (auto _ : state) {
    benchmark::DoNotOptimize(probe.readDetailed(reading));
    benchmark::DoNotOptimize(reading);
  }
}
BENCHMARK(BM_MemoryProbe_Detailed);

// The parts of the basic reading, and the alternatives to them.
void BM_MemoryProbe_StatmKeptOpen(benchmark::State& state) {
  int fd = open("/proc/self/statm", O_RDONLY | O_CLOEXEC);
  char buffer[256];
  for (auto _ : state) benchmark::DoNotOptimize(pread(fd, buffer, sizeof buffer, 0));
  close(fd);
}
BENCHMARK(BM_MemoryProbe_StatmKeptOpen);

void BM_MemoryProbe_PeakGetrusage(benchmark::State& state) {
  for (auto _ : state) {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    benchmark::DoNotOptimize(usage.ru_maxrss);
  }
}
BENCHMARK(BM_MemoryProbe_PeakGetrusage);

void BM_MemoryProbe_StatusKeptOpen(benchmark::State& state) {
  int fd = open("/proc/self/status", O_RDONLY | O_CLOEXEC);
  char buffer[8192];
  for (auto _ : state) benchmark::DoNotOptimize(pread(fd, buffer, sizeof buffer, 0));
  close(fd);
}
BENCHMARK(BM_MemoryProbe_StatusKeptOpen);

void BM_MemoryProbe_StatusReopened(benchmark::State& state) {
  char buffer[8192];
  for (auto _ : state) {
    int fd = open("/proc/self/status", O_RDONLY | O_CLOEXEC);
    benchmark::DoNotOptimize(read(fd, buffer, sizeof buffer));
    close(fd);
  }
}
BENCHMARK(BM_MemoryProbe_StatusReopened);

void BM_MemoryProbe_StatmReopened(benchmark::State& state) {
  char buffer[256];
  for (auto _ : state) {
    int fd = open("/proc/self/statm", O_RDONLY | O_CLOEXEC);
    benchmark::DoNotOptimize(read(fd, buffer, sizeof buffer));
    close(fd);
  }
}
BENCHMARK(BM_MemoryProbe_StatmReopened);

void BM_FeatureFlags_IsEnabled(benchmark::State& state) {
  for (auto _ : state) {
    benchmark::DoNotOptimize(platform::isFeatureEnabled("UsePerformanceTracerRecorder"));
  }
}
BENCHMARK(BM_FeatureFlags_IsEnabled);

}  // namespace

BENCHMARK_MAIN();
