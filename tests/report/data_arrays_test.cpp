#include "report/phase/data_arrays.h"
#include "analysis/aggregation.h"
#include "analysis/processed_data.h"
#include "support/trace_builder.h"
#include "tracer/performance_tracer.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <regex>
#include <string>
#include <vector>

namespace {

struct Trace {
  Trace() { tracer.initialize(); }

  PTProcessedDataStruct summary() { return tracer.getProcessedData(&trace.points(), {"GLOBAL"}, false); }
  std::string number(EPTStringMappings mapping, const std::string& name) {
    return std::to_string(tracer.getNumberForString(mapping, name, false));
  }

  PerformanceTracer tracer;
  pt_test::TraceBuilder trace{tracer};
};

TEST(DataArrays, RecordsOfAParentAndItsChild) {
  Trace t;
  t.trace.start("A", 0.0, 10.0).start("B", 0.0, 10.0).end("B", 0.05, 12.0).end("A", 0.06, 13.0);
  PTProcessedDataStruct summary = t.summary();
  EXPECT_EQ(generateDataArrayJS(t.tracer, &summary, "time"),
            "        var dataStruct = makeStruct(\"isParent HTMLPhaseNum GapRow Phase Grouping Model Target Machine "
            "Chart WCStart WCElapsed WCSelf CPUStart CPUElapsed CPUSelf \");\n"
            "        var numBlankData = 0;\n"
            "        var procData = [new dataStruct(1,\"1\",0," +
                t.number(EPT_PHASE, "A") + "," + t.number(EPT_GROUPING, "G") +
                ", -1, -1, -1, -1,0,0.06,0,0,0.03,0),\n"
                "                    new dataStruct(0,\"1.1\",0," +
                t.number(EPT_PHASE, "B") + "," + t.number(EPT_GROUPING, "G") +
                ", -1, -1, -1, -1,0,0.05,0.05,0,0.025,0.025)];\n");
  const std::string basic = generateDataArrayJS(t.tracer, &summary, "basicmemory");
  // A: usage 13 MB, peak 26 MB, parent so its Self fields are 0; B: a leaf.
  EXPECT_NE(basic.find(", -1, -1, -1, -1,3,0,13,0,6,0,26,0)"), std::string::npos) << basic;
  EXPECT_NE(basic.find(", -1, -1, -1, -1,2,2,12,12,4,4,24,24)"), std::string::npos) << basic;
  const std::string detailed = generateDataArrayJS(t.tracer, &summary, "detailedmemory");
  EXPECT_NE(detailed.find(", -1, -1, -1, -1,12,12,0,0,0,0,0,0,0,0,12,0,0,0,0)"), std::string::npos) << detailed;
}

TEST(DataArrays, NonFiniteValuesAreWrittenAsScriptNumbers) {
  // Trace data files keep NaN and infinite times; printf's "nan" and "inf"
  // would be undefined names in the page script.
  Trace t;
  const double infinity = std::numeric_limits<double>::infinity();
  t.trace.start("A", 0.0).end("A", std::nan("")).start("B", 1.0).end("B", infinity).start("C", infinity).end("C", 1.0);
  PTProcessedDataStruct summary = t.summary();
  const std::string rows = generateDataArrayJS(t.tracer, &summary, "time");
  const std::string aggregates =
      generateAggregateDataArrayJS(getAggregateData(t.tracer, summary.diagnosticInfos), "time", false);
  for (const std::string& js : {rows, aggregates}) {
    EXPECT_EQ(js.find("nan"), std::string::npos) << js;
    EXPECT_EQ(js.find("inf"), std::string::npos) << js;
  }
  EXPECT_NE(rows.find(",0,NaN,NaN,0,NaN,NaN)"), std::string::npos) << rows;
  EXPECT_NE(rows.find(",1,Infinity,Infinity,"), std::string::npos) << rows;
  EXPECT_NE(rows.find(",Infinity,-Infinity,-Infinity,"), std::string::npos) << rows;
}

TEST(DataArrays, NameArraysAreValidScriptStrings) {
  Trace t;
  t.tracer.getNumberForString(EPT_PHASE, "two\nlines", true);
  t.tracer.getNumberForString(EPT_GROUPING, "say \"hi\" \\ </script>", true);
  EXPECT_EQ(generateJSForStringMapping(t.tracer, EPT_PHASE), "        var Phase = [\"two lines\"];\n");
  EXPECT_NE(generateJSForStringMapping(t.tracer, EPT_GROUPING).find("\"say \\\"hi\\\" \\\\ \\x3C/script\\x3E\""),
            std::string::npos);
  EXPECT_EQ(generateJSForStringMapping(t.tracer, EPT_CHART), "        var Chart = [];\n");
  EXPECT_EQ(generateJSForStringMapping(t.tracer, std::string("chartStr")), "        var Chart = [];\n");
}

// The texts of one name array ("Model", "Target"...) of the page script.
std::vector<std::string> nameArray(const std::string& script, const std::string& name) {
  std::smatch array;
  if (!std::regex_search(script, array, std::regex("var " + name + " = \\[([^\\]]*)\\];"))) return {};
  std::vector<std::string> names;
  const std::string items = array[1];
  const std::regex quoted("\"([^\"]*)\"");
  for (auto item = std::sregex_iterator(items.begin(), items.end(), quoted); item != std::sregex_iterator(); ++item) {
    names.push_back((*item)[1]);
  }
  return names;
}

// Each procData record's phase, model and target as the page shows them: the
// names its numbers pick from the arrays ("" for -1, "undefined" past the end).
std::vector<std::vector<std::string>> shownSubjects(const std::string& records, const std::string& arrays) {
  const auto nameOf = [&](const char* array, const std::string& text) -> std::string {
    const std::vector<std::string> names = nameArray(arrays, array);
    const int number = std::stoi(text);
    if (number < 0) return "";
    return number < static_cast<int>(names.size()) ? names[number] : "undefined";
  };
  std::vector<std::vector<std::string>> shown;
  const std::regex record("new dataStruct\\(\\d,\"[^\"]*\",\\d,(-?\\d+),-?\\d+, ?(-?\\d+), ?(-?\\d+),");
  for (auto row = std::sregex_iterator(records.begin(), records.end(), record); row != std::sregex_iterator(); ++row) {
    shown.push_back({nameOf("Phase", (*row)[1]), nameOf("Model", (*row)[2]), nameOf("Target", (*row)[3])});
  }
  return shown;
}

TEST(DataArrays, SubjectCellsNameWhatEachRowWasLoggedWith) {
  // Block-diagram rows of m1 and m2 and a tracer row of m2 logged first: the
  // identifier table numbers m2 before m1, the model mapping m1 before m2.
  Trace t;
  t.trace.identifiers({{"modelStr", "m2"}}).start("Test", 0.0).end("Test", 0.01);
  t.trace.model("m1", "ert").start("Simulate", 0.01).end("Simulate", 0.02);
  t.trace.model("m2", "ert").start("Generate", 0.02).end("Generate", 0.03);
  PTProcessedDataStruct summary = t.summary();
  const std::vector<std::vector<std::string>> expected{
      {"Test", "m2", ""}, {"Simulate", "m1", "ert"}, {"Generate", "m2", "ert"}};
  EXPECT_EQ(
      shownSubjects(generateDataArrayJS(t.tracer, &summary, "time"), generatePhaseDataArrayJS(t.tracer, &summary)),
      expected);

  // A tracer row naming a model no block-diagram row has adds it to the array.
  Trace extra;
  extra.trace.model("m1", "ert").start("Simulate", 0.0).end("Simulate", 0.01);
  extra.trace.model("", "").identifiers({{"modelStr", "solo"}, {"targetStr", "ert"}}).start("Test", 0.01);
  extra.trace.end("Test", 0.02);
  PTProcessedDataStruct mixed = extra.summary();
  const std::string arrays = generatePhaseDataArrayJS(extra.tracer, &mixed);
  EXPECT_EQ(nameArray(arrays, "Model"), (std::vector<std::string>{"m1", "solo"}));
  EXPECT_EQ(shownSubjects(generateDataArrayJS(extra.tracer, &mixed, "time"), arrays),
            (std::vector<std::vector<std::string>>{{"Simulate", "m1", "ert"}, {"Test", "solo", "ert"}}));

  // Without a summary the arrays come from the tracer's own tables.
  Trace plain;
  plain.trace.identifiers({{"modelStr", "engine"}}).start("A", 0.0).end("A", 0.02);
  EXPECT_EQ(nameArray(generatePhaseDataArrayJS(plain.tracer), "Model"), std::vector<std::string>{"engine"});
}

TEST(DataArrays, DeepTracesKeepRecordsSmall) {
  // 1,000 phases, each inside the one before: labels past 64 levels are
  // abbreviated, so a record stays small however deep its row.
  Trace t;
  const int depth = 1000;
  for (int level = 0; level < depth; ++level) t.trace.start("P", 0.0);
  for (int level = 0; level < depth; ++level) t.trace.end("P", 0.0);
  PTProcessedDataStruct summary = t.summary();
  const std::string records = generateDataArrayJS(t.tracer, &summary, "time");
  EXPECT_LT(records.size(), 300u * depth);
  // The deepest row: 1,000 parts, of which the first 32 and the last 31 are written.
  std::string parts;
  for (int part = 0; part < 31; ++part) parts += ".1";
  EXPECT_NE(records.find("\"1" + parts + ".(+937)" + parts + "\","), std::string::npos);
}

TEST(DataArrays, AggregateRecordsAndState) {
  Trace t;
  t.trace.start("A", 0.0).end("A", 0.5).start("A", 0.5).end("A", 1.5);
  PTProcessedDataStruct summary = t.summary();
  const PTAggregateDataMap aggregates = getAggregateData(t.tracer, summary.diagnosticInfos);
  const std::string full = generateAggregateDataArrayJS(aggregates, "time", false);
  EXPECT_THAT(full, testing::HasSubstr("       var aggDataStruct = makeStruct(\"IsParent Phase Count WCElapsed "
                                       "WCSelfPlusChild\");\n       var aggData = [new aggDataStruct(0," +
                                       t.number(EPT_PHASE, "A") + ",2,1.5,1.5)];\n\n"));
  EXPECT_THAT(full, testing::HasSubstr("       numRows['Detail']    = 0;\n"));

  const std::string aggregateOnly = generateAggregateDataArrayJS({}, "basicmemory", true);
  EXPECT_EQ(aggregateOnly.find("numRows['Detail']"), std::string::npos);
  EXPECT_EQ(aggregateOnly.find("numRows['CallTree']"), std::string::npos);
  EXPECT_TRUE(aggregateOnly.ends_with(
      "       var aggDataStruct = makeStruct(\"IsParent Phase Count UsageDelta Usage UsagePeakDelta UsagePeak\");\n"
      "       var aggData = [];\n\n"));
}

}  // namespace
