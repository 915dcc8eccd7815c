#include "analysis/processed_points.h"

#include "analysis/diagnostic_info.h"
#include "analysis/processed_data.h"
#include "support/trace_builder.h"
#include "tracer/performance_tracer.h"
#include "tracer/pt_api.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <tuple>
#include <vector>

namespace {

// Rows made without a tracer name themselves through the process-wide one, so
// the points here are numbered through it too.
template <class Point>
Point rawPoint(const std::string& phase, const std::string& grouping) {
  Point point;
  point.phase = ptGetNumberForString(EPT_PHASE, phase);
  point.grouping = ptGetNumberForString(EPT_GROUPING, grouping);
  return point;
}

PTQuorindelDataPoint chartPoint(const std::string& chart) {
  auto point = rawPoint<PTQuorindelDataPoint>("Step", "Sim");
  point.model = ptGetNumberForString(EPT_MODEL, "m1");
  point.target = ptGetNumberForString(EPT_TARGET, "t1");
  point.machine = ptGetNumberForString(EPT_MACHINE, "sm");
  point.chart = ptGetNumberForString(EPT_CHART, chart);
  return point;
}

TEST(ProcessedPoints, StartPointGivesIdentityAndStartMemoryOnly) {
  auto raw = rawPoint<PTCLTGXDataPoint>("Build", "Gen");
  raw.model = 4;
  raw.isGapPoint = true;
  raw.wallClockTime = 12;
  *raw.basicMemStats = pt::BasicMemStats(2 * 1048576.0, 3 * 1048576.0, 4 * 1048576.0);
  raw.detailedMemStats.reset();

  const PTCLTGXProcessedDataPoint row(&raw);
  EXPECT_EQ(std::make_tuple(row.pointType, row.phase, row.model, bool{row.gapRow}, row.wcStartTime, row.wcElapsedTime),
            std::make_tuple(PT_CLTGX, raw.phase, 4, true, 0.0, 0.0));
  EXPECT_EQ(std::tie(row.basicProcessedMemStats->procVMSize, row.basicProcessedMemStats->procMemUsageDelta),
            std::make_tuple(4.0, 0.0));
  EXPECT_FALSE(row.detailedProcessedMemStats);  // none recorded
  EXPECT_EQ(row.getMachineID(), -1);
}

TEST(ProcessedPoints, StringsEqualComparesSubjectsOfOneKind) {
  const auto c1 = chartPoint("c1");
  const auto c2 = chartPoint("c2");
  const PTQDProcessedDataPoint first(&c1);
  const PTQDProcessedDataPoint same(&c1);
  const PTQDProcessedDataPoint otherChart(&c2);
  EXPECT_TRUE(first.stringsEqual(&same));
  EXPECT_FALSE(first.stringsEqual(&otherChart));
  EXPECT_FALSE(first.stringsEqual(nullptr));

  // A block-diagram row never equals a chart row with the same four fields.
  const PTCLTGXProcessedDataPoint model(static_cast<const PTCLTGXDataPoint*>(&c1));
  EXPECT_FALSE(first.stringsEqual(&model));
  EXPECT_FALSE(model.stringsEqual(&first));

  // The base comparison ignores the other's class, whichever side asks.
  const auto raw = rawPoint<PTTracerDataPoint>("Step", "Sim");
  const PTTracerProcessedDataPoint generic(&raw);
  const PTKAVLORProcessedDataPoint base(&raw);
  EXPECT_TRUE(base.stringsEqual(&generic));
  EXPECT_TRUE(generic.stringsEqual(&base));
}

TEST(ProcessedPoints, ChartRowConvertsToNamedIdentifiers) {
  const auto raw = chartPoint("c9");
  const PTTracerProcessedDataPoint converted{PTQDProcessedDataPoint(&raw)};
  EXPECT_EQ(std::make_tuple(converted.pointType, converted.identifiers.size(), converted.getModelID()),
            std::make_tuple(PT_TRACER, std::size_t{4}, -1));
  // Keys print the identifiers' texts in name order: chart, machine, model, target.
  EXPECT_EQ(converted.getLCSString(), "StepSimc9smm1t1");
}

TEST(ProcessedPoints, KeysAndDetailRowsNameTheSubject) {
  ptGetNumberForString(EPT_MODEL, "first");
  auto raw = rawPoint<PTCLTGXDataPoint>("tools/cl_customization/x/run.m", "Sim");
  raw.model = 0;  // the first model of the process, whichever it is
  const std::string model = ptGetModelStr(0);
  const PTCLTGXProcessedDataPoint row(&raw);
  EXPECT_EQ(row.getLCSString(), "tools/x/run.mSim" + model);
  // Number 0 is the first model, not a missing one; a missing target is left out.
  EXPECT_NE(row.getMetaStringsTDString().find(">Sim/" + model + "</td>"), std::string::npos);

  auto chart = chartPoint("c1");
  chart.machine = -1;
  const PTQDProcessedDataPoint chartRow(&chart);
  EXPECT_NE(chartRow.getMetaStringsTDString().find(">Sim/m1/t1/NO MACHINE SPECIFIED/c1</td>"), std::string::npos);
}

// A row splits a known test path as it is made (see the rows of a second
// tracer below); the tracer's splitting errors (each tested there) reach the caller.
TEST(ProcessedPoints, TestPathSplittingErrorsReachTheCaller) {
  PTTracerProcessedDataPoint plain;
  EXPECT_THROW(plain.addTestPathToIdentifierMap("Suite>Case"), std::runtime_error);
  EXPECT_TRUE(plain.identifiers.empty());
}

// A trace analysed by a tracer of its own (a loaded trace beside the live one)
// names its rows and splits its test paths through that tracer's tables, which
// number the same texts differently.
TEST(ProcessedPoints, RowsOfASecondTracerNameThemselvesThroughItsTables) {
  PerformanceTracer loaded;
  loaded.initialize();
  for (const char* earlier : {"a", "b", "c", "d", "e", "f", "g"}) loaded.getNumberForString(EPT_PHASE, earlier, true);
  loaded.addTestPathToMap("loaded run", "b.m > Suite > Case");
  pt_test::TraceBuilder trace(loaded);
  trace.grouping("Nightly").identifiers({{"UserString", "loaded run"}}).start("Compile", 1.0).end("Compile", 1.05);
  ASSERT_NE(ptGetPhaseStr(trace.points()[0]->phase), "Compile");  // the live tracer numbers otherwise

  const PTProcessedDataStruct summary = loaded.getProcessedData(&trace.points(), {"GLOBAL"}, false);
  ASSERT_EQ(summary.diagnosticInfos.size(), 1u);
  const auto& row = dynamic_cast<const PTTracerProcessedDataPoint&>(*summary.diagnosticInfos[0]->processedPoint);
  EXPECT_EQ(loaded.getStringForNumber("TestFile", row.getIdentifierNum("TestFile")), "b.m");
  // Identifiers in name order: IterationName (empty), TestCase, TestFile, TestSuite, UserString.
  EXPECT_EQ(row.getLCSString(), "CompileNightlyCaseb.mSuiteloaded run");
  EXPECT_NE(row.getMetaStringsTDString().find(">Nightly//Case/b.m/Suite/loaded run</td>"), std::string::npos);
  // Conversions keep naming through the row's tracer.
  EXPECT_EQ(PTTracerProcessedDataPoint(row).getLCSString(), row.getLCSString());
  EXPECT_EQ(makeProcessedDataPoint(trace.points()[0].get(), &loaded)->getLCSString().substr(0, 14), "CompileNightly");
}

TEST(ProcessedPoints, CopiesAreDeepAndKeepTheirKind) {
  auto raw = chartPoint("c1");
  PTQDProcessedDataPoint row(&raw);
  row.HTMLRowNumber = 1;
  row.numDescendants = 2;
  row.outlineNumber = 4;
  row.setStartDetailedMemStats(pt::DetailedMemStats(1, 2, 3, 4, 5));
  PTQDProcessedDataPoint copy(row);
  copy.basicProcessedMemStats->procMemUsage = 9;
  copy.startDetailedMemStats->freeMem = 9;
  EXPECT_EQ(std::tie(row.basicProcessedMemStats->procMemUsage, row.startDetailedMemStats->freeMem),
            std::make_tuple(0.0, 1.0));
  EXPECT_EQ(std::make_tuple(copy.pointType, copy.chart, copy.outlineNumber, copy.childrenIDs()),
            std::make_tuple(PT_QD, row.chart, 4, std::vector<int>{2, 3}));
  EXPECT_EQ(PTKAVLORProcessedDataPoint(row).pointType, PT_KAVLOR);
}

}  // namespace
