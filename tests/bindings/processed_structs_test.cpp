#include "host/processed_point_structs.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "analysis/aggregation.h"
#include "analysis/processed_points.h"
#include "bindings/host_call.h"
#include "tracer/pt_api.h"
#include "tracer/pt_clearing.h"
#include "tracer/pt_groupings.h"

namespace {

using platform::HostArrayPtr;
using pt_test::callTracer;

// Field names with the class of their values, in order: "uint32", "char",
// "double", "logical", "cell".
using Layout = std::vector<std::pair<std::string, std::string>>;

Layout layoutOf(const haArray* s) {
  Layout layout;
  for (int f = 0; f < haGetNumberOfFields(s); ++f)
    layout.emplace_back(haGetFieldNameByNumber(s, f), haGetClassName(haGetFieldByNumber(s, 0, f)));
  return layout;
}

// The fixed row fields with the subject fields after "phaseIDStr".
Layout rowLayout(const std::vector<std::string>& subjects, bool withStatisticsType) {
  Layout layout = {{"pointType", "uint32"}, {"groupingStr", "char"}, {"phaseIDStr", "char"}};
  for (const std::string& subject : subjects) layout.emplace_back(subject, "char");
  if (withStatisticsType) layout.emplace_back("statisticsTypeStr", "char");
  for (const char* name :
       {"wcStartTime",      "wcElapsedTime",  "cpuStartTime",      "cpuElapsedTime",        "freeMem",
        "resMem",           "commitMem",      "dllsMem",           "nonprocessMem",         "freeMemDelta",
        "resMemDelta",      "commitMemDelta", "dllsMemDelta",      "nonprocessMemDelta",    "procMemUsage",
        "procMemUsagePeak", "procVMSize",     "procMemUsageDelta", "procMemUsagePeakDelta", "procVMSizeDelta"})
    layout.emplace_back(name, "double");
  layout.insert(layout.end(), {{"errorRow", "logical"},
                               {"gapRow", "logical"},
                               {"HTMLPhaseNumString", "char"},
                               {"HTMLRowNumber", "uint32"},
                               {"numChildren", "uint32"},
                               {"stackDepth", "uint32"},
                               {"childrenIDs", "cell"}});
  return layout;
}

std::string textField(const haArray* s, const char* name) { return haArrayToStdString(haGetField(s, 0, name)); }
std::vector<std::string> textFields(const haArray* s, std::initializer_list<const char*> names) {
  std::vector<std::string> texts;
  for (const char* name : names) texts.push_back(textField(s, name));
  return texts;
}
double numberField(const haArray* s, const char* name) { return haGetScalar(haGetField(s, 0, name)); }

TEST(ProcessedStructs, EachRowClassHasItsFieldsInOrderWithTheirTypes) {
  PTKAVLORProcessedDataPoint plain;
  PTCLTGXProcessedDataPoint blockDiagram;
  blockDiagram.model = ptGetNumberForString(EPT_MODEL, "vdp");
  blockDiagram.target = ptGetNumberForString(EPT_TARGET, "grt");
  PTQDProcessedDataPoint stateChart;
  stateChart.chart = ptGetNumberForString(EPT_CHART, "Chart1");
  plain.basicProcessedMemStats.reset();  // no statistics at all: zeros

  const HostArrayPtr plainStruct(plain.writeToStructArray("3.1"));
  const HostArrayPtr blockStruct(blockDiagram.writeToStructArray(""));
  const HostArrayPtr chartStruct(stateChart.writeToStructArray(""));
  EXPECT_EQ(layoutOf(plainStruct.get()), rowLayout({}, true));
  EXPECT_EQ(layoutOf(blockStruct.get()), rowLayout({"modelStr", "targetStr"}, true));
  EXPECT_EQ(layoutOf(chartStruct.get()), rowLayout({"modelStr", "targetStr", "machineStr", "chartStr"}, true));
  EXPECT_EQ(textFields(blockStruct.get(), {"modelStr", "targetStr"}), (std::vector<std::string>{"vdp", "grt"}));
  EXPECT_EQ(textField(chartStruct.get(), "chartStr"), "Chart1");
  EXPECT_EQ(numberField(chartStruct.get(), "pointType"), PT_QD);
  EXPECT_EQ(textField(plainStruct.get(), "HTMLPhaseNumString"), "3.1");
  for (int f = 8; f < 24; ++f) EXPECT_EQ(haGetScalar(haGetFieldByNumber(plainStruct.get(), 0, f)), 0.0) << f;
  EXPECT_EQ(haGetDimensions(haGetField(plainStruct.get(), 0, "childrenIDs")), (std::vector<std::size_t>{1, 0}));

  // The cell form: the same values, integers as int32; a tracer row's
  // identifiers follow the phase as a count and name/value pairs.
  const HostArrayPtr plainCell(plain.writeToCellArray("")), chartCell(stateChart.writeToCellArray(""));
  const HostArrayPtr tracerCell(PTTracerProcessedDataPoint().writeToCellArray(""));
  EXPECT_EQ(haGetNumberOfElements(plainCell.get()), 31u);
  EXPECT_EQ(haGetNumberOfElements(HostArrayPtr(blockDiagram.writeToCellArray("")).get()), 33u);
  EXPECT_EQ(haGetNumberOfElements(chartCell.get()), 35u);
  EXPECT_EQ(haGetNumberOfElements(tracerCell.get()), 31u);
  EXPECT_STREQ(haGetClassName(haGetCell(plainCell.get(), 0)), "int32");
  EXPECT_STREQ(haGetClassName(haGetCell(plainCell.get(), 27)), "int32");
  EXPECT_EQ(haArrayToStdString(haGetCell(chartCell.get(), 6)), "Chart1");
  EXPECT_EQ(haGetScalar(haGetCell(tracerCell.get(), 3)), 0.0);  // no identifiers
}

const haArray* rowNamed(const haArray* rows, const std::string& phase, const char* field = "phaseIDStr") {
  for (std::size_t i = 0; i < haGetNumberOfElements(rows); ++i)
    if (textField(haGetCell(rows, i), field) == phase) return haGetCell(rows, i);
  ADD_FAILURE() << "no row of phase " << phase;
  return nullptr;
}

TEST(ProcessedStructsFromHost, RowsCarryFieldsAndPlaceInTheTreeAndAggregatesNineFields) {
  // Outer (Model=m1, Block=b) holding Inner, logged through the host methods.
  ptClearRawData();
  ptEnableTracer("StructG", true);
  callTracer("logTracerData", {"StructG", "Outer", true, "Model", "m1", "Block", "b"});
  callTracer("logKAVLORData", {"StructG", "Inner", true});
  callTracer("logKAVLORData", {"StructG", "Inner", false});
  callTracer("logTracerData", {"StructG", "Outer", false, "Model", "m1", "Block", "b"});
  ptEnableTracer("StructG", false);
  const HostArrayPtr rows = std::move(callTracer("getProcessedData", {"Grouping", "StructG"}, 1).at(0));
  const haArray* outer = rowNamed(rows.get(), "Outer");
  const haArray* inner = rowNamed(rows.get(), "Inner");
  ASSERT_TRUE(outer && inner);

  Layout expected = rowLayout({}, false);  // a tracer row: no statistics type field
  expected.insert(expected.end(), {{"Block", "char"}, {"Model", "char"}, {"statisticsTypeStr", "char"}});
  Layout actual = layoutOf(outer);
  std::sort(actual.begin() + 30, actual.end());
  EXPECT_EQ(actual, expected);
  EXPECT_EQ(textFields(outer, {"Model", "Block", "groupingStr", "HTMLPhaseNumString"}),
            (std::vector<std::string>{"m1", "b", "StructG", "1"}));
  EXPECT_EQ(numberField(outer, "pointType"), PT_TRACER);
  EXPECT_EQ(textField(inner, "HTMLPhaseNumString"), "1.1");
  EXPECT_EQ(numberField(inner, "stackDepth"), 1.0);
  EXPECT_FALSE(haIsLogicalScalarTrue(haGetField(outer, 0, "errorRow")));
  const haArray* children = haGetField(outer, 0, "childrenIDs");
  ASSERT_EQ(haGetNumberOfElements(children), 1u);
  EXPECT_STREQ(haGetClassName(haGetCell(children, 0)), "int32");
  EXPECT_EQ(haGetScalar(haGetCell(children, 0)), numberField(inner, "HTMLRowNumber"));
  EXPECT_GE(numberField(outer, "wcElapsedTime"), numberField(inner, "wcElapsedTime"));

  const HostArrayPtr aggregates =
      std::move(callTracer("getAggregateProcessedData",
                           {"grouping", pt_test::cellRecord({haCreateString("StructG")}).release()}, 1)
                    .at(0));
  const haArray* aggregate = rowNamed(aggregates.get(), "Inner", "phaseID");
  ASSERT_NE(aggregate, nullptr);
  Layout nineFields = {{"pointType", "uint32"}, {"grouping", "char"}, {"phaseID", "char"}};
  for (const char* name :
       {"wcElapsedTime", "cpuElapsedTime", "procMemUsageDelta", "procMemUsagePeakDelta", "procVMSizeDelta"})
    nineFields.emplace_back(name, "double");
  nineFields.emplace_back("Count", "uint32");
  EXPECT_EQ(layoutOf(aggregate), nineFields);
  EXPECT_EQ(textField(aggregate, "grouping"), "StructG");
  EXPECT_EQ(numberField(aggregate, "Count"), 1.0);
}

}  // namespace
