#include "analysis/aggregation.h"

#include "analysis/processed_data.h"
#include "support/trace_builder.h"
#include "tracer/performance_tracer.h"

#include <gtest/gtest.h>

#include <boost/make_shared.hpp>

#include <string>
#include <tuple>

namespace {

struct Rows {
  Rows() { tracer.initialize(); }

  /// A closed row of `phase` taking `seconds` (CPU half of it).
  PTKAVLORProcessedDataPoint& add(const std::string& phase, double seconds, int children = 0, bool gap = false) {
    auto point = std::make_unique<PTKAVLORProcessedDataPoint>();
    point->phase = tracer.getNumberForString(EPT_PHASE, phase, true);
    point->grouping = 7;
    point->wcElapsedTime = seconds;
    point->cpuElapsedTime = seconds / 2;
    point->numChildren = children;
    point->gapRow = gap;
    PTKAVLORProcessedDataPoint& row = *point;
    rows.push_back(boost::make_shared<PTDiagnosticInfo>(std::move(point)));
    return row;
  }
  const PTAggregateDataPoint* of(const PTAggregateDataMap& aggregates, const std::string& phase) {
    const auto found = aggregates.find(tracer.getNumberForString(EPT_PHASE, phase, false));
    return found == aggregates.end() ? nullptr : found->second.get();
  }

  PerformanceTracer tracer;
  PTDiagnosticInfoVector rows;
};

TEST(Aggregation, ParentSelfTimeComesFromItsSelfGapRows) {
  Rows r;
  r.add("P", 10.0, 2);
  r.add("P_self", 1.0, 0, true);
  r.add("Q", 4.0);
  r.add("Q", 2.0);
  r.add("Orphan_self", 3.0, 0, true);  // no aggregate of Orphan to credit
  r.add("_selfish", 2.0);              // "_self" at the start is part of the name
  r.add("Gap", 5.0, 1, true);          // gap rows with children are skipped
  const PTAggregateDataMap aggregates = getAggregateData(r.tracer, r.rows);

  const PTAggregateDataPoint* parent = r.of(aggregates, "P");
  EXPECT_EQ(
      std::tie(parent->count, parent->wcTotalTime, parent->wcElapsedTime, parent->cpuElapsedTime, parent->isParent),
      std::make_tuple(1, 10.0, 1.0, 0.5, true));
  const PTAggregateDataPoint* leaf = r.of(aggregates, "Q");  // a repeated leaf sums its times
  EXPECT_EQ(std::tie(leaf->count, leaf->wcTotalTime, leaf->wcElapsedTime, leaf->cpuElapsedTime, leaf->grouping,
                     leaf->isParent),
            std::make_tuple(2, 6.0, 6.0, 3.0, 7, false));
  EXPECT_EQ(r.of(aggregates, "_selfish")->count, 1);
  for (const char* absent : {"P_self", "Orphan_self", "Orphan", "Gap"})
    EXPECT_EQ(r.of(aggregates, absent), nullptr) << absent;
}

TEST(Aggregation, PeaksAreMaximaAndDeltasSumOverSelfRows) {
  Rows r;
  auto& parent = r.add("P", 10.0, 1);
  parent.basicProcessedMemStats->procMemUsagePeak = 50;
  parent.basicProcessedMemStats->procMemUsageDelta = 40;  // its children's too: not self
  auto& self = r.add("P_self", 1.0, 0, true);
  self.basicProcessedMemStats->procMemUsageDelta = 3;
  for (double peak : {20.0, 30.0}) {
    auto& leaf = r.add("L", 1.0);
    leaf.basicProcessedMemStats->procMemUsagePeak = peak;
    leaf.basicProcessedMemStats->procMemUsageDelta = 5;
    leaf.detailedProcessedMemStats = std::make_unique<pt::DetailedProcessedMemStats>();
    leaf.detailedProcessedMemStats->freeMem = -peak;
  }
  const PTAggregateDataMap aggregates = getAggregateData(r.tracer, r.rows);
  const PTAggregateDataPoint &p = *r.of(aggregates, "P"), &l = *r.of(aggregates, "L");
  // Maxima start at 0.
  EXPECT_EQ(std::tie(p.procMemUsagePeak, p.procMemUsageDelta, l.procMemUsagePeak, l.procMemUsageDelta, l.freeMem),
            std::make_tuple(50.0, 3.0, 30.0, 10.0, 0.0));
}

TEST(Aggregation, SelfTimeOfAPairedTraceIsItsGapRow) {
  PerformanceTracer tracer;
  tracer.initialize();
  pt_test::TraceBuilder trace(tracer);
  trace.start("A", 0).start("B", 0.25).end("B", 0.5).end("A", 0.5);
  const PTProcessedDataStruct summary = tracer.generateProcessedData(&trace.points(), "GLOBAL", false);
  const PTAggregateDataMap aggregates = getAggregateData(tracer, summary.diagnosticInfos);
  const auto& a = aggregates.at(tracer.getNumberForString(EPT_PHASE, "A", false));
  EXPECT_EQ(std::make_tuple(a->wcTotalTime, a->wcElapsedTime, aggregates.size()), std::make_tuple(0.5, 0.25, 2u));

  PTAggregateDataPoint counted;
  counted.addSelfData(summary.diagnosticInfos[2]->processedPoint.get());
  counted.subtractMetricValues(summary.diagnosticInfos[2]->processedPoint.get());
  EXPECT_EQ(std::tie(counted.wcElapsedTime, counted.count), std::make_tuple(0.0, 0));
}

}  // namespace
