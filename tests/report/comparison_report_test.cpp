// The comparison pages read by their data: the records of the aligned rows and
// aggregates, with values, deviations and the marks of one-sided entries.
#include "analysis/processed_data.h"
#include "compare/alignment.h"
#include "support/scratch_files.h"
#include "support/trace_builder.h"
#include "tracer/performance_tracer.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <string>
#include <vector>

namespace {

using Record = std::vector<std::string>;

// "a|b|c" as a record.
Record fields(const std::string& text) {
  Record record(1);
  for (const char c : text) c == '|' ? record.emplace_back() : record.back() += c;
  return record;
}

std::string matchDigits(const std::string& page, const std::string& name) {
  const std::string head = "var " + name + " = \"";
  const std::size_t at = page.find(head);
  if (at == std::string::npos) return "absent";
  return page.substr(at + head.size(), page.find('"', at + head.size()) - at - head.size());
}

// The records of `array` ("procData", "aggData") as the page builds them
// from its columns: numbers and texts as JSON spells them, texts with their
// quotes, and "absent" for what the data leaves out for a one-sided entry.
std::vector<Record> records(const std::string& page, const std::string& array) {
  std::vector<Record> result;
  const std::size_t begin = page.find(array + " = recordsFromColumns(");
  if (begin == std::string::npos) return result;
  const std::string head = "JSON.parse('";
  const std::size_t from = page.find(head, begin) + head.size();
  std::string json;
  for (std::size_t at = from; page[at] != '\''; ++at) {
    if (page[at] == '\\') ++at;  // the script string doubles the JSON's backslashes
    json += page[at];
  }
  const nlohmann::json data = nlohmann::json::parse(json);
  const std::string kinds = data["kinds"];
  const std::string matches = matchDigits(page, array + "Match");
  std::vector<std::size_t> next(kinds.size());
  for (const char match : matches) {
    Record fields;
    for (std::size_t field = 0; field < kinds.size(); ++field) {
      const char kind = kinds[field];
      const bool present = (kind != 'l' || match != '2') && (kind != 'r' || match != '1') &&
                           ((kind != 'd' && kind != 'c') || match == '0');
      if (!present) {
        fields.emplace_back("absent");
        continue;
      }
      const nlohmann::json& value = data["columns"][field].at(next[field]++);
      fields.push_back(kind == 't' || kind == 'c' ? data["texts"].at(value.get<std::size_t>()).dump() : value.dump());
    }
    result.push_back(fields);
  }
  return result;
}

class ComparisonReport : public testing::Test {
 protected:
  ComparisonReport() { tracer.initialize(); }

  // The page for two recordings made by `record`, in the tracer's tables.
  std::string page(const auto& recordLhs, const auto& recordRhs, const std::string& format = "time",
                   bool aggregateOnly = false, const std::string& grouping = "GLOBAL") {
    pt_test::TraceBuilder lhs(tracer);
    pt_test::TraceBuilder rhs(tracer);
    recordLhs(lhs);
    recordRhs(rhs);
    const std::string file = folder.file("comparison.html");
    const auto generate = aggregateOnly ? &PerformanceTracer::generateHTMLAggregateComparisonReport
                                        : &PerformanceTracer::generateHTMLComparisonReport;
    EXPECT_TRUE((tracer.*generate)(file, grouping, "before.kvd", "after.kvd", &lhs.points(), &rhs.points(), nullptr,
                                   nullptr, format));
    return pt_test::fileBytes(file);
  }

  PerformanceTracer tracer;
  pt_test::ScratchFolder folder;
};

// Session { Load, Solve } and the same run twice as slow in Solve, with a Check.
void before(pt_test::TraceBuilder& trace) {
  trace.start("Session", 0.0, 10).start("Load", 0.0, 10).end("Load", 1.0, 20);
  trace.start("Solve", 1.0, 20).end("Solve", 2.0, 30).end("Session", 2.0, 30);
}
void after(pt_test::TraceBuilder& trace) {
  trace.start("Session", 0.0, 10).start("Load", 0.0, 10).end("Load", 1.0, 20);
  trace.start("Check", 1.0, 20).end("Check", 1.5, 20);
  trace.start("Solve", 1.5, 20).end("Solve", 3.5, 40).end("Session", 3.5, 40);
}

TEST_F(ComparisonReport, RowsCarryBothSidesTheirDeviationsAndTheirMatch) {
  const std::string html = page(before, after);
  EXPECT_NE(html.find("<title>Performance Comparison</title>"), std::string::npos);
  // Difference charts are on detailed memory phase pages only.
  const std::string chart = "<canvas id=\"absDevCanvasDiff\"";
  EXPECT_EQ(html.find(chart), std::string::npos);
  EXPECT_NE(page(before, after, "detailedmemory").find(chart), std::string::npos);
  EXPECT_EQ(page(before, after, "detailedmemory", true).find(chart), std::string::npos);
  EXPECT_EQ(matchDigits(html, "procDataMatch"), "0020");
  const std::vector<Record> rows = records(html, "procData");
  ASSERT_EQ(rows.size(), 4u);
  // isParent HTMLPhaseNum GapRow Phase Grouping Model Target Machine Chart, then
  // LHS WCSelf WCSC CPUSelf CPUSC, RHS the same, and per metric AbsDev RelDev BkgColor.
  EXPECT_EQ(rows[0], fields(R"(1|"1"|0|"Session"|"G"|""|""|""|""|0|2|0|1|0|3.5|0|1.75|0|0|" BETWN_M5_0"|)"
                            R"(1.5|75|" GT50"|0|0|" BETWN_M5_0"|0.75|75|" GT50")"));
  EXPECT_EQ(rows[3], fields(R"(0|"1.2"|0|"Solve"|"G"|""|""|""|""|1|1|0.5|0.5|2|2|1|1|1|100|" GT50"|1|100|" GT50"|)"
                            R"(0.5|100|" GT50"|0.5|100|" GT50")"));
  // The one-sided row: its own side's values, nothing else.
  EXPECT_EQ(rows[2], fields(R"(0|"1.2"|0|"Check"|"G"|""|""|""|""|absent|absent|absent|absent|0.5|0.5|0.25|0.25|)"
                            "absent|absent|absent|absent|absent|absent|absent|absent|absent|absent|absent|absent"));
}

TEST_F(ComparisonReport, AggregatesCountRunsOnEachSide) {
  const auto twice = [](pt_test::TraceBuilder& trace) {
    trace.start("Run", 0.0).end("Run", 1.0).start("Run", 1.0).end("Run", 2.0);
  };
  const auto thriceAndMore = [](pt_test::TraceBuilder& trace) {
    trace.start("Run", 0.0).end("Run", 1.0).start("Run", 1.0).end("Run", 2.0).start("Run", 2.0).end("Run", 3.0);
    trace.start("New", 3.0).end("New", 3.5);
  };
  for (const bool aggregateOnly : {false, true}) {
    const std::string html = page(twice, thriceAndMore, "time", aggregateOnly);
    EXPECT_EQ(matchDigits(html, "aggDataMatch"), "02");
    const std::vector<Record> aggregates = records(html, "aggData");
    ASSERT_EQ(aggregates.size(), 2u);
    // IsParent Phase LHS_Count RHS_Count CountAbsDev, LHS and RHS self and total, deviations.
    EXPECT_EQ(aggregates[0], fields(R"(0|"Run"|2|3|1|2|2|3|3|1|50|" BETWN_45_50"|1|50|" BETWN_45_50")"));
    // Only in the RHS: its RHS self and total, no LHS values, no deviations.
    EXPECT_EQ(aggregates[1],
              fields(R"(0|"New"|0|1|1|absent|absent|0.5|0.5|absent|absent|absent|absent|absent|absent)"));
    // The aggregate page has no rows of its own.
    EXPECT_EQ(html.find("var procData") == std::string::npos, aggregateOnly);
  }
}

TEST_F(ComparisonReport, SameRecordingMatchesEverywhereWithoutDeviation) {
  for (const char* format : {"time", "basicmemory"}) {
    const std::string html = page(before, before, format);
    EXPECT_EQ(matchDigits(html, "procDataMatch"), "000") << format;
    for (const Record& row : records(html, "procData")) {
      // Four metrics in both formats: the last twelve fields are their deviations.
      for (std::size_t field = row.size() - 1; field + 12 >= row.size(); field -= 3) {
        EXPECT_EQ(row[field], "\" BETWN_M5_0\"") << format;
        EXPECT_EQ(row[field - 1], "0") << format;
      }
    }
  }
}

TEST_F(ComparisonReport, NumbersAreTheShownValuesInTheirShortestSpelling) {
  const auto longRun = [](pt_test::TraceBuilder& trace) { trace.start("Long", 0.0).end("Long", 123456.7); };
  const std::string html = page(longRun, longRun);
  const std::vector<Record> rows = records(html, "procData");
  ASSERT_EQ(rows.size(), 1u);
  // Five significant digits, as the page shows them: 1.2346e+05 is 123460.
  EXPECT_EQ(Record(rows[0].begin() + 9, rows[0].begin() + 11), (Record{"123460", "123460"}));
  EXPECT_EQ(html.find("e+05"), std::string::npos);
}

TEST_F(ComparisonReport, TracesThatCannotBeComparedGiveNoTable) {
  const auto unclosed = [](pt_test::TraceBuilder& trace) { trace.start("Open", 0.0); };
  EXPECT_EQ(page(before, unclosed), "");  // the file is made, and stays empty
  EXPECT_EQ(page(unclosed, before), "");
  // No detailed statistics on a side: the page says what to do instead.
  const auto withoutMemory = [](pt_test::TraceBuilder& trace) { trace.start("Run", 0.0).end("Run", 1.0); };
  const std::string html = page(before, withoutMemory, "detailedmemory");
  EXPECT_NE(html.find("Detailed memstats was not collected.<br>\n"), std::string::npos);
  EXPECT_EQ(html.find("procData"), std::string::npos);
  EXPECT_NE(page(before, after, "time", false, "Load").find("<title>Load Performance Comparison</title>"),
            std::string::npos);
}

TEST_F(ComparisonReport, HostileNamesStayInsideTheirTexts) {
  const std::string hostile = "</script><img src=x onerror=alert(1)>\"'";
  const auto named = [&](pt_test::TraceBuilder& trace) {
    trace.grouping(hostile + "\\").start(hostile, 0.0).end(hostile, 1.0);
  };
  const std::string html = page(named, named);
  EXPECT_EQ(html.find("<img"), std::string::npos);
  EXPECT_EQ(html.find("</script><"), std::string::npos);
  const std::vector<Record> rows = records(html, "procData");
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0][3], nlohmann::json(hostile).dump());
  EXPECT_EQ(rows[0][4], nlohmann::json(hostile + "\\").dump());
}

// The rows of a recording analysed by a tracer of its own name themselves in
// that tracer's tables, and are aligned by those names.
TEST(PhaseAlignment, KeysComeFromTheComparingTracersTables) {
  PerformanceTracer tracer;
  tracer.initialize();
  // Numbers the process-wide tables are unlikely to have handed out.
  for (int k = 0; k < 5000; ++k) tracer.getNumberForString(EPT_PHASE, "filler " + std::to_string(k), true);
  pt_test::TraceBuilder lhs(tracer);
  pt_test::TraceBuilder rhs(tracer);
  lhs.start("A", 0.0).end("A", 1.0).start("B", 1.0).end("B", 2.0);
  rhs.start("B", 0.0).end("B", 1.0).start("A", 1.0).end("A", 2.0);
  const PTProcessedDataStruct left = tracer.getProcessedData(&lhs.points(), {"GLOBAL"}, false);
  const PTProcessedDataStruct right = tracer.getProcessedData(&rhs.points(), {"GLOBAL"}, false);
  std::string kinds;
  for (const PTLCSDiffStruct& entry : generateLCSDiffInfo(tracer, left.diagnosticInfos, right.diagnosticInfos)) {
    kinds += std::to_string(entry.matchKind);
  }
  EXPECT_EQ(kinds, "102");
}

}  // namespace
