#include "analysis/pairing.h"

#include "analysis/outline_labels.h"
#include "analysis/processed_data.h"
#include "analysis/thread_pairing.h"
#include "support/trace_builder.h"
#include "tracer/performance_tracer.h"

#include <gtest/gtest.h>

#include <boost/make_shared.hpp>

#include <string>
#include <tuple>
#include <vector>

namespace {

struct Traced {
  Traced() { tracer.initialize(); }
  PerformanceTracer tracer;
  pt_test::TraceBuilder trace{tracer};
  PTDiagnosticMap rows;
  PTProcessedDataStruct summary;

  bool pair(const std::string& grouping = "GLOBAL") {
    return generateDiagnosticInfo(tracer, &trace.points(), grouping, rows, summary);
  }
  /// The row of the raw point at `index`.
  const PTKAVLORProcessedDataPoint& row(std::size_t index) {
    return *rows.at(trace.points().at(index))->processedPoint;
  }
  std::string phaseName(const PTKAVLORProcessedDataPoint& point) {
    return tracer.getStringForNumber(EPT_PHASE, point.phase);
  }
  /// The outline labels of the rows opened by start points, in their order.
  std::vector<std::string> labels() {
    PTOutlineLabels outline;
    std::vector<std::string> texts;
    for (const auto& point : trace.points()) {
      if (point->isStart) texts.push_back(outline.next(*rows.at(point)->processedPoint));
    }
    return texts;
  }
};

TEST(Pairing, NestsAndNumbersRows) {
  Traced t;
  // A { B { C } E }  D, in steps of 1/64 s (no gaps, exact sums).
  const double s = 1.0 / 64;
  t.trace.start("A", 0).start("B", s).start("C", 2 * s).end("C", 3 * s).end("B", 4 * s);
  t.trace.start("E", 5 * s).end("E", 6 * s).end("A", 8 * s).start("D", 9 * s).end("D", 13 * s);
  EXPECT_FALSE(t.pair());
  EXPECT_FALSE(t.summary.hasErrors);

  const auto& a = t.row(0);
  // numChildren counts B and E; C is B's.
  EXPECT_EQ(std::tie(a.HTMLRowNumber, a.numChildren, a.parentPhaseID, a.wcElapsedTime, a.cpuElapsedTime),
            std::make_tuple(1, 2, -1, 8 * s, 4 * s));
  EXPECT_EQ(a.childrenIDs(), (std::vector<int>{2, 3, 4}));
  EXPECT_EQ(&t.row(7), &a);  // start and end share the row

  EXPECT_EQ(std::tie(t.row(2).stackDepth, t.row(2).parentPhaseID), std::make_tuple(2, t.row(1).phase));  // C in B
  EXPECT_EQ(std::make_pair(t.row(1).childrenIDs(), t.row(8).HTMLRowNumber), std::make_pair(std::vector<int>{3}, 5));
  // E after B closed is 1.2, D is 2.
  EXPECT_EQ(t.labels(), (std::vector<std::string>{"1", "1.1", "1.1.1", "1.2", "2"}));
  EXPECT_EQ(t.summary.numLevels, 4);  // counters up to the level below C

  // Only top-level rows count towards the totals.
  EXPECT_EQ(std::tie(t.summary.totalWallClockTime, t.summary.totalCpuTime, t.summary.reportWallClockTime),
            std::make_tuple(12 * s, 6 * s, 0.0));
}

TEST(Pairing, MeasuresMemoryInMegabytes) {
  Traced t;
  t.trace.start("P", 0, 10).start("Q", 0.01, 11).end("Q", 0.02, 15).end("P", 0.03, 16);
  t.pair();
  const auto& p = t.row(0);
  // A parent keeps its start.
  EXPECT_EQ(std::tie(p.basicProcessedMemStats->procMemUsage, p.basicProcessedMemStats->procMemUsageDelta,
                     p.detailedProcessedMemStats->freeMemDelta, p.startDetailedMemStats->freeMem),
            std::make_tuple(16.0, 6.0, 6.0, 10.0));
  EXPECT_FALSE(t.row(1).startDetailedMemStats);  // a leaf has none
  // Detailed statistics that are all zero (sampling off) take no room.
  Traced unsampled;
  unsampled.trace.start("P", 0).start("Q", 0.01).end("Q", 0.02).end("P", 0.03);
  unsampled.pair();
  EXPECT_FALSE(unsampled.row(0).detailedProcessedMemStats || unsampled.row(0).startDetailedMemStats);
  EXPECT_EQ(std::make_tuple(unsampled.summary.hasDetailedMemStats, t.summary.hasDetailedMemStats),
            std::make_tuple(false, true));
}

TEST(Pairing, EndsThatCloseNothingAndStartsNeverClosedAreErrorRows) {
  Traced t;
  t.trace.end("X", 0).start("A", 0.01).end("A", 0.02);
  EXPECT_FALSE(t.pair());
  EXPECT_TRUE(t.summary.hasErrors);
  EXPECT_EQ(std::make_tuple(bool{t.row(0).errorRow}, t.row(0).HTMLRowNumber), std::make_tuple(true, 1));
  EXPECT_EQ(std::make_tuple(bool{t.row(1).errorRow}, t.row(1).HTMLRowNumber, t.row(1).stackDepth),
            std::make_tuple(false, 2, 0));

  // An interleaved end leaves the phase open as an error.
  Traced interleaved;
  interleaved.trace.start("A", 0).end("B", 0.01);
  EXPECT_TRUE(interleaved.pair());  // A is still open at the end
  EXPECT_EQ(&interleaved.row(1), &interleaved.row(0));
  EXPECT_TRUE(interleaved.row(0).errorRow);
  EXPECT_TRUE(interleaved.summary.hasErrors);

  // A start never closed is an error row, but not an error of the summary here.
  Traced open;
  open.trace.start("A", 0).start("B", 0.01).end("B", 0.02);
  EXPECT_TRUE(open.pair());
  EXPECT_TRUE(open.row(0).errorRow);
  EXPECT_FALSE(open.row(1).errorRow);
  EXPECT_FALSE(open.summary.hasErrors);
}

TEST(Pairing, FillsGapsInsideOpenPhases) {
  Traced t;
  t.trace.start("A", 0, 1).start("B", 0.2, 2).end("B", 0.25, 3).end("A", 0.75, 4);
  t.trace.start("D", 1.25).end("D", 1.3);  // nothing open before D: no gap
  t.pair();
  const PTRawDataVector& raw = t.trace.points();
  ASSERT_EQ(raw.size(), 10u);

  // A, A_self (A's start to B's start), B, B_post (end of B to end of A), D.
  const auto& self = t.row(1);
  EXPECT_TRUE(self.gapRow);
  EXPECT_TRUE(raw[1]->isGapPoint && raw[1]->isStart && !raw[2]->isStart);
  EXPECT_EQ(&t.row(2), &self);
  EXPECT_EQ(std::make_tuple(t.phaseName(self), self.wcStartTime, self.wcElapsedTime,
                            self.basicProcessedMemStats->procMemUsageDelta, self.grouping),
            std::make_tuple("A_self", 0.0, 0.2, 1.0, t.row(0).grouping));
  EXPECT_EQ(t.labels(), (std::vector<std::string>{"1", "1.1", "1.2", "1.3", "2"}));

  const auto& post = t.row(6);
  EXPECT_EQ(t.phaseName(post), "B_post");
  EXPECT_EQ(std::tie(post.wcStartTime, post.wcElapsedTime, t.row(0).numChildren), std::make_tuple(0.25, 0.5, 3));
  EXPECT_EQ(t.row(0).childrenIDs(), (std::vector<int>{2, 3, 4}));
  EXPECT_FALSE(t.row(8).gapRow);
}

TEST(Pairing, GapEndsKeepTheParentsSnapshotsWhereTheirPointHasNone) {
  // The end of B carries no detailed statistics (as read from a record): the
  // B_post gap starts from A's, so its detailed change is A's end minus A's start.
  Traced t;
  t.trace.start("A", 0, 10).start("B", 0.01, 11).end("B", 0.02, 15).end("A", 0.5, 16);
  t.trace.points()[2]->detailedMemStats.reset();
  t.pair();
  const auto& post = t.row(3);
  ASSERT_EQ(t.phaseName(post), "B_post");
  ASSERT_TRUE(post.detailedProcessedMemStats);
  EXPECT_DOUBLE_EQ(post.detailedProcessedMemStats->freeMemDelta, 6);
  EXPECT_DOUBLE_EQ(post.basicProcessedMemStats->procMemUsageDelta, 1);  // B's end had basic statistics
}

TEST(Pairing, DeepNestingKeepsRowsSmallAndLabelsBounded) {
  // 200 phases, each inside the one before, and a start never closed around them.
  Traced t;
  const int depth = 200;
  t.trace.start("Outer", 0);
  for (int level = 0; level < depth; ++level) t.trace.start("P", 0.001 * level);
  for (int level = depth - 1; level >= 0; --level) t.trace.end("P", 0.001 * (2 * depth - level));
  EXPECT_TRUE(t.pair());
  const auto& outer = t.row(0);
  EXPECT_TRUE(outer.errorRow);
  EXPECT_EQ(outer.childrenIDs().size(), static_cast<std::size_t>(depth));
  EXPECT_EQ(t.row(depth).childrenIDs(), std::vector<int>{});
  EXPECT_EQ(t.row(depth - 1).childrenIDs(), std::vector<int>{depth + 1});

  const std::vector<std::string> labels = t.labels();
  ASSERT_EQ(labels.size(), static_cast<std::size_t>(depth + 1));
  std::string allOnes = "1";
  for (int level = 0; level < depth; ++level) allOnes += ".1";
  const auto ones = [&](std::size_t parts) { return allOnes.substr(0, 2 * parts - 1); };
  EXPECT_EQ(labels[kMaxOutlineLabelParts - 1], ones(kMaxOutlineLabelParts));
  // 201 parts: the first 32, the 138 left out, the last 31.
  const std::string abbreviated =
      ones(kOutlineLabelHeadParts) + ".(+138)." + ones(kMaxOutlineLabelParts - kOutlineLabelHeadParts - 1);
  EXPECT_EQ(labels.back(), abbreviated);
}

TEST(Pairing, GapThresholdIsSinglePrecisionTenth) {
  const double threshold = static_cast<double>(0.1f);  // 0.10000000149011612
  for (const auto& [gap, inserted] :
       std::vector<std::pair<double, bool>>{{0.1, false}, {threshold, false}, {0.1000001, true}}) {
    Traced t;
    t.trace.start("A", 0).start("B", gap).end("B", gap).end("A", gap);
    t.pair();
    EXPECT_EQ(t.trace.points().size(), inserted ? 6u : 4u) << "gap " << gap;
  }
}

TEST(Pairing, GapsWithoutMemoryAreUnaccountedEvenWhenThatPhaseIsNew) {
  Traced t;
  t.trace.withoutMemory().start("A", 0).start("B", 0.5).end("B", 0.6).end("A", 0.7);
  // "Unaccounted Phase" is not in the table before the walk; the gap pair is
  // still paired once rather than revisited.
  ASSERT_EQ(t.tracer.getNumberForString(EPT_PHASE, "Unaccounted Phase", false), -1);
  EXPECT_FALSE(t.pair("G"));
  ASSERT_EQ(t.trace.points().size(), 6u);
  const auto& gap = t.row(1);
  EXPECT_EQ(t.phaseName(gap), "Unaccounted Phase");
  EXPECT_EQ(std::tie(gap.grouping, gap.pointType, gap.wcElapsedTime), std::make_tuple(-1, PT_KAVLOR, 0.5));
}

TEST(Pairing, AdmitsTheGroupingAndUnaccountedGaps) {
  Traced t;
  t.trace.grouping("One").start("A", 0).end("A", 0.01);
  t.trace.grouping("Two").start("B", 0.02).end("B", 0.03);
  t.trace.point(boost::make_shared<PTKAVLORDataPoint>());
  t.trace.points().back()->phase = t.tracer.getNumberForString(EPT_PHASE, "Unaccounted Phase", true);
  t.trace.points().back()->isStart = true;

  t.pair("Two");
  const PTRawDataVector& points = t.trace.points();
  EXPECT_EQ(std::make_tuple(t.rows.count(points[0]), t.rows.count(points[2]), t.rows.count(points[4])),
            std::make_tuple(0u, 1u, 1u));

  Traced unknown;
  unknown.trace.grouping("One").start("A", 0).end("A", 0.01);
  unknown.pair("Nobody");
  EXPECT_TRUE(unknown.rows.empty());
  unknown.pair("GLOBAL");
  EXPECT_EQ(unknown.rows.size(), 2u);

  Traced empty;  // no data counts as nothing closed
  EXPECT_TRUE(empty.pair());
  EXPECT_TRUE(generateDiagnosticInfo(empty.tracer, nullptr, "GLOBAL", empty.rows, empty.summary));
}

TEST(Pairing, ReportTypeIsTheRichestKindUpToTheFirstChartOrTracerPoint) {
  Traced t;
  const auto kinds = [&](std::vector<boost::shared_ptr<PTKAVLORDataPoint>> points) {
    for (auto& point : points) point->grouping = t.tracer.getNumberForString(EPT_GROUPING, "G", true);
    return t.tracer.getDiagnosticReportType(&points, "G");
  };
  EXPECT_EQ(kinds({boost::make_shared<PTKAVLORDataPoint>(), boost::make_shared<PTCLTGXDataPoint>()}), PT_CLTGX);
  EXPECT_EQ(kinds({boost::make_shared<PTTracerDataPoint>(), boost::make_shared<PTQuorindelDataPoint>()}), PT_TRACER);
  EXPECT_EQ(kinds({boost::make_shared<PTQuorindelDataPoint>(), boost::make_shared<PTTracerDataPoint>()}), PT_QD);
  EXPECT_EQ(kinds({}), PT_KAVLOR);
  PTRawDataVector other{boost::make_shared<PTTracerDataPoint>()};
  EXPECT_EQ(t.tracer.getDiagnosticReportType(&other, "G"), PT_KAVLOR);  // grouping -1 is not G
  EXPECT_EQ(t.tracer.getDiagnosticReportType(&other, "GLOBAL"), PT_TRACER);
}

}  // namespace

// Each thread pairs on its own; what does not pair is said in logging order,
// and only phases closed by their own end are rows.
TEST(Pairing, PerThreadKeepsClosedPhasesAndSaysWhatDoesNotPair) {
  // Rows as phase@thread in order, paired phases, error rows, problems as "phase@thread: reason".
  using Outcome = std::tuple<std::vector<std::string>, std::size_t, std::size_t, std::vector<std::string>>;
  const auto pairPerThread = [](Traced& t) {
    t.tracer.setRawDataVector(t.trace.points());
    const pt::PairedTrace paired = pt::pairPerThread(t.tracer, "GLOBAL");
    Outcome outcome{{}, paired.pairedPhases, paired.errorRows, {}};
    for (const auto& info : paired.summary.diagnosticInfos) {
      const PTKAVLORProcessedDataPoint& row = *info->processedPoint;
      std::get<0>(outcome).push_back(t.phaseName(row) + "@" + pt::threadOf(t.tracer, row));
    }
    for (const auto& problem : paired.problems)
      std::get<3>(outcome).push_back(problem.phase + "@" + problem.thread + ": " + problem.reason);
    return outcome;
  };
  Traced overlapping;  // threads overlapping in time
  overlapping.trace.start("A", 0.0).identifiers({{"threadStr", "w"}}).start("B", 0.01).identifiers({}).end("A", 0.02);
  overlapping.trace.identifiers({{"threadStr", "w"}}).end("B", 0.03);
  EXPECT_EQ(pairPerThread(overlapping), (Outcome{{"A@", "B@w"}, 2, 0, {}}));
  Traced early;  // an end before any start, on a thread
  early.trace.identifiers({{"threadStr", "w"}}).end("X", 0.0).start("A", 0.01).end("A", 0.02);
  EXPECT_EQ(pairPerThread(early), (Outcome{{"A@w"}, 1, 1, {"X@w: end of 'X' closes no open phase"}}));
}
