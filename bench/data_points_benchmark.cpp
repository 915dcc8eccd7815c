// Memory and time a raw tracer point costs: a trace of millions of points lives
// in memory, so bytes per point matter as much as the cost of making one.
//
// Memory cases build their points once (one iteration) and report the heap
// growth per point, read from the allocator (chunk sizes, overhead included),
// as the counter bytes_per_point.
#include <benchmark/benchmark.h>
#include <malloc.h>

#include <boost/make_shared.hpp>
#include <boost/unordered_map.hpp>

#include <cstddef>
#include <string>
#include <vector>

#include "tracer/data_points.h"
#include "tracer/performance_tracer.h"

namespace {

constexpr std::size_t kPoints = 1'000'000;

std::size_t heapInUse() {
  const struct mallinfo2 info = mallinfo2();
  return info.uordblks + info.hblkhd;  // small chunks + mmapped blocks
}

template <class Build>
void measureBytesPerPoint(benchmark::State& state, Build build) {
  for (auto _ : state) {
    const std::size_t before = heapInUse();
    auto points = build();
    const std::size_t after = heapInUse();
    benchmark::DoNotOptimize(points.data());
    state.counters["bytes_per_point"] = static_cast<double>(after - before) / kPoints;
  }
}

/// Three identifiers as the block-diagram logging function records them.
PTRawDataVector buildLoggedPoints() {
  PerformanceTracer tracer;
  tracer.initialize();
  const std::vector<std::string> names = {"modelStr", "targetStr"};
  const std::vector<std::string> values = {"model", "target"};
  PTRawDataVector points;
  points.reserve(kPoints);
  for (std::size_t i = 0; i < kPoints; ++i) {
    auto point = boost::make_shared<PTTracerDataPoint>();
    point->identifiers = tracer.getMapForStrings(names, values);
    points.push_back(std::move(point));
  }
  return points;
}

// The whole point as logging stores it, its slot in the raw data vector included.
void BM_DataPoints_TracerPointMemory(benchmark::State& state) { measureBytesPerPoint(state, buildLoggedPoints); }
BENCHMARK(BM_DataPoints_TracerPointMemory)->Iterations(1)->Unit(benchmark::kMillisecond);

// The identifier map alone, per key type and bucket array, for three keys.
template <class MakeMap>
auto buildMaps(MakeMap makeMap) {
  std::vector<decltype(makeMap())> maps;
  maps.reserve(kPoints);
  for (std::size_t i = 0; i < kPoints; ++i) {
    auto map = makeMap();
    map[std::string("modelStr")] = 1;
    map[std::string("targetStr")] = 2;
    map[std::string("statisticsTypeStr")] = 0;
    maps.push_back(std::move(map));
  }
  return maps;
}

using StringKeyedMap = boost::unordered_map<std::string, std::int32_t>;

void BM_DataPoints_MapStringKeysDefaultBuckets(benchmark::State& state) {
  measureBytesPerPoint(state, [] { return buildMaps([] { return StringKeyedMap(); }); });
}
BENCHMARK(BM_DataPoints_MapStringKeysDefaultBuckets)->Iterations(1)->Unit(benchmark::kMillisecond);

void BM_DataPoints_MapInternedKeysDefaultBuckets(benchmark::State& state) {
  measureBytesPerPoint(state, [] { return buildMaps([] { return PTIdentifierMap(); }); });
}
BENCHMARK(BM_DataPoints_MapInternedKeysDefaultBuckets)->Iterations(1)->Unit(benchmark::kMillisecond);

void BM_DataPoints_MapInternedKeysSmallBuckets(benchmark::State& state) {
  measureBytesPerPoint(state, [] { return buildMaps(makeIdentifierMap); });
}
BENCHMARK(BM_DataPoints_MapInternedKeysSmallBuckets)->Iterations(1)->Unit(benchmark::kMillisecond);

// A point's two snapshots: one allocation each, against both in one
// allocation with two aliasing pointers (what the point constructors do).
struct Snapshots {
  boost::shared_ptr<pt::BasicMemStats> basic;
  boost::shared_ptr<pt::DetailedMemStats> detailed;
};

void BM_DataPoints_SnapshotsSeparate(benchmark::State& state) {
  measureBytesPerPoint(state, [] {
    std::vector<Snapshots> snapshots;
    snapshots.reserve(kPoints);
    for (std::size_t i = 0; i < kPoints; ++i) {
      snapshots.push_back({boost::make_shared<pt::BasicMemStats>(), boost::make_shared<pt::DetailedMemStats>()});
    }
    return snapshots;
  });
}
BENCHMARK(BM_DataPoints_SnapshotsSeparate)->Iterations(1)->Unit(benchmark::kMillisecond);

void BM_DataPoints_SnapshotsPaired(benchmark::State& state) {
  struct Pair {
    pt::BasicMemStats basic;
    pt::DetailedMemStats detailed;
  };
  measureBytesPerPoint(state, [] {
    std::vector<Snapshots> snapshots;
    snapshots.reserve(kPoints);
    for (std::size_t i = 0; i < kPoints; ++i) {
      auto pair = boost::make_shared<Pair>();
      snapshots.push_back({{pair, &pair->basic}, {pair, &pair->detailed}});
    }
    return snapshots;
  });
}
BENCHMARK(BM_DataPoints_SnapshotsPaired)->Iterations(1)->Unit(benchmark::kMillisecond);

// Time to build one point the way logging does, sampling aside.
void BM_DataPoints_MakeTracerPoint(benchmark::State& state) {
  PerformanceTracer tracer;
  tracer.initialize();
  const std::vector<std::string> names = {"modelStr", "targetStr"};
  const std::vector<std::string> values = {"model", "target"};
  for (auto _ : state) {
    auto point = boost::make_shared<PTTracerDataPoint>();
    point->identifiers = tracer.getMapForStrings(names, values);
    benchmark::DoNotOptimize(point.get());
  }
}
BENCHMARK(BM_DataPoints_MakeTracerPoint);

// Sampling a point with the machine's clock and probe: basic probe on or off.
void BM_DataPoints_Sample(benchmark::State& state) {
  PerformanceTracer tracer;
  tracer.initialize();
  tracer.setBasicMemStatsEnabled(state.range(0) != 0);
  PTTracerDataPoint point;
  for (auto _ : state) {
    tracer.getPerformanceStats(point);
    benchmark::DoNotOptimize(point.cpuTime);
  }
}
BENCHMARK(BM_DataPoints_Sample)->ArgName("basic_probe")->Arg(0)->Arg(1);

void BM_DataPoints_CopyTracerPoint(benchmark::State& state) {
  PTTracerDataPoint source;
  source.identifiers["modelStr"] = 1;
  source.identifiers["targetStr"] = 2;
  source.identifiers["statisticsTypeStr"] = 0;
  for (auto _ : state) {
    auto copy = boost::make_shared<PTTracerDataPoint>(source);
    benchmark::DoNotOptimize(copy.get());
  }
}
BENCHMARK(BM_DataPoints_CopyTracerPoint);

void BM_DataPoints_MatchTracerPoints(benchmark::State& state) {
  auto start = boost::make_shared<PTTracerDataPoint>();
  start->identifiers["modelStr"] = 1;
  start->identifiers["targetStr"] = 2;
  start->identifiers["statisticsTypeStr"] = 0;
  boost::shared_ptr<PTKAVLORDataPoint> end = boost::make_shared<PTTracerDataPoint>(*start);
  for (auto _ : state) benchmark::DoNotOptimize(start->matchPoint(end));
}
BENCHMARK(BM_DataPoints_MatchTracerPoints);

}  // namespace

BENCHMARK_MAIN();
