#include "analysis/processed_data.h"

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

  PTProcessedDataStruct rows(std::vector<std::string> names, bool forModels = false) {
    return tracer.generateProcessedData(&trace.points(), names, forModels);
  }
  std::vector<std::string> phases(const PTProcessedDataStruct& summary) {
    std::vector<std::string> names;
    for (const auto& info : summary.diagnosticInfos)
      names.push_back(tracer.getStringForNumber(EPT_PHASE, info->processedPoint->phase));
    return names;
  }
  /// Appends a block-diagram point of model "m" without a target.
  Traced& modelPoint(const std::string& grouping, const std::string& phase, bool isStart, double wall) {
    auto point = boost::make_shared<PTCLTGXDataPoint>();
    point->grouping = tracer.getNumberForString(EPT_GROUPING, grouping, true);
    point->phase = tracer.getNumberForString(EPT_PHASE, phase, true);
    point->model = tracer.getNumberForString(EPT_MODEL, "m", true);
    point->isStart = isStart;
    point->wallClockTime = wall;
    trace.point(point);
    return *this;
  }
};

TEST(ProcessedData, GroupingsKeepTheirRowsInStartOrderWithGaps) {
  Traced t;
  t.trace.grouping("Two").start("X", 5.0).end("X", 5.01);
  t.trace.grouping("One").start("A", 5.25).start("B", 5.5).end("B", 5.5).end("A", 5.5);
  t.trace.withoutMemory().start("C", 6).start("D", 6.5).end("D", 6.5).end("C", 6.5);

  const PTProcessedDataStruct summary = t.rows({"One"});
  ASSERT_FALSE(summary.hasErrors);
  EXPECT_EQ(t.phases(summary), (std::vector<std::string>{"A", "A_self", "B", "C", "Unaccounted Phase", "D"}));
  // The base is the first raw point, though not admitted.
  EXPECT_EQ(
      std::tie(summary.baseWallClockTime, summary.baseCpuTime, summary.reportWallClockTime, summary.reportCpuTime),
      std::make_tuple(5.0, 2.5, 0.75, 0.375));
  EXPECT_EQ(t.trace.points().size(), 14u);  // the caller's vector keeps the gap points

  EXPECT_EQ(t.rows({"GLOBAL"}).diagnosticInfos.size(), 7u);
}

TEST(ProcessedData, LoopsWithAMapMapEveryPointToItsRow) {
  Traced t;
  t.trace.identifiers({{"modelStr", "m1"}}).start("A", 0).start("B", 0.5).end("B", 0.5).end("A", 0.5);
  PTDiagnosticMap rowsByPoint;
  PTProcessedDataStruct summary;
  generateProcessedDataForModels(t.tracer, &t.trace.points(), {"m1"}, rowsByPoint, summary);
  EXPECT_FALSE(summary.hasErrors);
  EXPECT_TRUE(summary.diagnosticInfos.empty());  // rows are collected by the assembly only
  const PTRawDataVector& raw = t.trace.points();
  ASSERT_EQ((std::vector{raw.size(), rowsByPoint.size()}), std::vector<std::size_t>(2, 6));
  EXPECT_EQ(rowsByPoint.at(raw[0]), rowsByPoint.at(raw[5]));
  EXPECT_EQ(rowsByPoint.at(raw[1]), rowsByPoint.at(raw[2]));  // the gap pair
  EXPECT_EQ(summary.reportWallClockTime, 0.5);

  // A row kept alone outlives the summary and the map.
  const boost::shared_ptr<PTDiagnosticInfo> kept = rowsByPoint.at(raw[3]);
  rowsByPoint.clear();
  EXPECT_EQ(t.tracer.getStringForNumber(EPT_PHASE, kept->processedPoint->phase), "B");
}

TEST(ProcessedData, ErrorsLeaveNoRows) {
  Traced open;
  open.trace.start("A", 0).start("B", 0.01).end("B", 0.02);
  const PTProcessedDataStruct unclosed = open.rows({"GLOBAL"});
  EXPECT_TRUE(unclosed.hasErrors && unclosed.diagnosticInfos.empty());

  Traced interleaved;
  interleaved.trace.start("A", 0).end("B", 0.01).end("A", 0.02);
  EXPECT_TRUE(interleaved.rows({"GLOBAL"}).hasErrors);

  Traced empty;
  EXPECT_TRUE(empty.rows({"GLOBAL"}).hasErrors);
  EXPECT_TRUE(empty.tracer.generateProcessedData(nullptr, "GLOBAL", false).hasErrors);
}

TEST(ProcessedData, ModelsAdmitByModelIdentifierOrModelField) {
  Traced t;
  t.trace.identifiers({{"modelStr", "m1"}}).start("A", 0).end("A", 0.01);
  t.trace.identifiers({{"modelStr", "m2"}}).start("B", 0.02).end("B", 0.03);
  t.modelPoint("G", "C", true, 0.04).modelPoint("G", "C", false, 0.05);
  EXPECT_EQ(t.phases(t.rows({"m1", "m"}, true)), (std::vector<std::string>{"A", "C"}));
  EXPECT_EQ(t.phases(t.rows({"GLOBAL"}, true)), (std::vector<std::string>{"A", "B", "C"}));

  // Gap points without memory statistics are plain points, yet the walk
  // pairs them once and moves on.
  Traced gaps;
  gaps.trace.withoutMemory().identifiers({{"modelStr", "m1"}});
  gaps.trace.start("A", 0).start("B", 0.5).end("B", 0.5).end("A", 0.5);
  EXPECT_EQ(gaps.phases(gaps.rows({"m1"}, true)), (std::vector<std::string>{"A", "Unaccounted Phase", "B"}));
  // The vector now holds that pair: a second analysis pairs it again, it adds no other.
  EXPECT_EQ(gaps.phases(gaps.rows({"m1"}, true)), (std::vector<std::string>{"A", "Unaccounted Phase", "B"}));
  EXPECT_EQ(gaps.trace.points().size(), 6u);

  Traced plain;
  plain.trace.point(boost::make_shared<PTKAVLORDataPoint>());
  plain.trace.points()[0]->isStart = true;
  const PTProcessedDataStruct none = plain.rows({"GLOBAL"}, true);
  EXPECT_TRUE(!none.hasErrors && none.diagnosticInfos.empty());
}

TEST(ProcessedData, FirstRowsDecideTheReportKind) {
  Traced testManager;
  testManager.modelPoint("CLTestManager", "Run", true, 0).modelPoint("G", "Case", true, 0.01);
  testManager.modelPoint("G", "Case", false, 0.02).modelPoint("CLTestManager", "Run", false, 0.03);
  const PTProcessedDataStruct managed = testManager.rows({"GLOBAL"});
  EXPECT_EQ(managed.reportKind, PT_REPORT_TEST_MANAGER);
  // Only the row that decided was converted.
  EXPECT_EQ(managed.diagnosticInfos[0]->processedPoint->pointType, PT_TRACER);
  EXPECT_EQ(managed.diagnosticInfos[1]->processedPoint->pointType, PT_CLTGX);

  Traced codeGeneration;
  codeGeneration.trace.start("Plain", 0).end("Plain", 0.01);
  codeGeneration.trace.identifiers({{"targetStr", "TGX"}}).start("Build", 0.02).end("Build", 0.03);
  EXPECT_EQ(codeGeneration.rows({"GLOBAL"}).reportKind, PT_REPORT_CODE_GENERATION);

  Traced plain;
  plain.modelPoint("G", "A", true, 0).modelPoint("G", "A", false, 1);
  const PTProcessedDataStruct summary = plain.rows({"GLOBAL"});
  EXPECT_EQ(summary.reportKind, PT_REPORT_PLAIN);
  EXPECT_EQ(summary.diagnosticInfos[0]->processedPoint->pointType, PT_TRACER);
}

TEST(ProcessedData, MalformedTestPathIsLeftUnsplitAndReportedOnce) {
  // Rows read the process-wide test-path map and tables.
  PerformanceTracer& tracer = *PerformanceTracer::getInstance();
  tracer.addTestPathToMap("malformed run", "no separators here");
  pt_test::TraceBuilder trace(tracer);
  trace.identifiers({{"UserString", "malformed run"}}).start("Case", 0).end("Case", 0.01);
  trace.start("Case", 0.01).end("Case", 0.02);

  testing::internal::CaptureStderr();
  const PTProcessedDataStruct summary = tracer.getProcessedData(&trace.points(), {"GLOBAL"}, false);
  PTDiagnosticMap rowsByPoint;
  PTProcessedDataStruct diagnosed;
  generateDiagnosticInfo(tracer, &trace.points(), "GLOBAL", rowsByPoint, diagnosed);
  const std::string reported = testing::internal::GetCapturedStderr();
  tracer.clearMapTestPath();

  ASSERT_EQ(summary.diagnosticInfos.size(), 2u);
  const auto& row = dynamic_cast<const PTTracerProcessedDataPoint&>(*summary.diagnosticInfos[1]->processedPoint);
  EXPECT_EQ(tracer.getStringForNumber("UserString", row.getIdentifierNum("UserString")), "malformed run");
  EXPECT_EQ(row.getIdentifierNum("TestFile"), -1);
  EXPECT_EQ(rowsByPoint.size(), 4u);
  // One line for the path, however many rows and analyses meet it.
  EXPECT_NE(reported.find("\"no separators here\""), std::string::npos) << reported;
  EXPECT_EQ(reported.find('\n'), reported.size() - 1) << reported;
}

TEST(ProcessedData, RecordedPointsNeverChange) {
  Traced t;
  t.trace.start("A", 0).start("B", 0.5).end("B", 0.5).end("A", 0.5);
  t.tracer.setRawDataVector(t.trace.points());
  const PTProcessedDataStruct summary = t.tracer.getProcessedData(nullptr, {"GLOBAL"}, false);
  EXPECT_EQ(summary.diagnosticInfos.size(), 3u);  // with the gap row
  ASSERT_EQ(t.tracer.rawDataVector()->size(), 4u);
  for (const auto& point : *t.tracer.rawDataVector()) EXPECT_FALSE(point->isGapPoint);

  PerformanceTracer uninitialised;
  const PTProcessedDataStruct nothing = uninitialised.getProcessedData(nullptr, {"GLOBAL"}, false);
  EXPECT_TRUE(!nothing.hasErrors && nothing.diagnosticInfos.empty());
}

}  // namespace
