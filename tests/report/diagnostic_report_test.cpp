#include "report/phase/diagnostic_report.h"

#include "support/scratch_files.h"
#include "support/trace_builder.h"
#include "tracer/performance_tracer.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <boost/make_shared.hpp>

#include <algorithm>
#include <functional>
#include <regex>
#include <string>
#include <vector>

namespace {

struct Row {
  bool red = false;
  std::vector<std::string> cells;  // header cells for the first row
};

// The table as rows of cell texts; a number cell's padding before its closing tag is dropped.
std::vector<Row> tableRows(const std::string& page) {
  static const std::regex cell("<t[dh]>([^<]*?) *</t[dh]>");
  std::vector<Row> rows;
  for (std::size_t at = page.find("<tr"); at != std::string::npos; at = page.find("<tr", at + 1)) {
    const std::string row = page.substr(at, page.find("</tr>", at) - at);
    rows.push_back({row.starts_with("<tr style=\"background:#FF1A00\">"), {}});
    for (std::sregex_iterator match(row.begin(), row.end(), cell), end; match != end; ++match) {
      rows.back().cells.push_back((*match)[1]);
    }
  }
  return rows;
}

struct Diagnosis {
  Diagnosis() { tracer.initialize(); }

  std::vector<Row> rows(const std::string& grouping = "GLOBAL") {
    EXPECT_TRUE(tracer.diagnosticReport(folder.file("diagnostic.html"), grouping, &trace.points()));
    page = pt_test::fileBytes(folder.file("diagnostic.html"));
    return tableRows(page);
  }

  pt_test::ScratchFolder folder;
  PerformanceTracer tracer;
  pt_test::TraceBuilder trace{tracer};
  std::string page;
};

std::size_t column(const Row& header, const std::string& title) {
  const auto found = std::find(header.cells.begin(), header.cells.end(), title);
  EXPECT_NE(found, header.cells.end()) << title;
  return static_cast<std::size_t>(found - header.cells.begin());
}

TEST(DiagnosticReport, OneRowPerRealPointUnpairedOnesOnRed) {
  struct Case {
    const char* name;
    std::function<void(pt_test::TraceBuilder&)> record;
    std::vector<std::string> rows;  // "<phase> <Start|End>", "!" in front when red
  };
  const std::vector<Case> cases = {
      {"start never closed",
       [](auto& t) { t.start("A", 0.0).start("B", 0.01).end("B", 0.02); },
       {"!A Start", "B Start", "B End"}},
      // The end maps to the open start's row, so both show on red.
      {"end of another phase",
       [](auto& t) { t.start("A", 0.0).end("B", 0.01).end("A", 0.02); },
       {"!A Start", "!B End", "!A End"}},
      {"end without a start",
       [](auto& t) { t.end("A", 0.0).start("B", 0.01).end("B", 0.02).end("B", 0.03); },
       {"!A End", "B Start", "B End", "!B End"}},
      // The pairing fills the 0.5 s before B with a gap pair; it is not a point of the trace.
      {"gap pair",
       [](auto& t) { t.start("A", 0.0).start("B", 0.5).end("B", 0.6).end("A", 1.2); },
       {"A Start", "B Start", "B End", "A End"}},
      {"other grouping left out",
       [](auto& t) { t.start("A", 0.0).grouping("H").start("X", 0.01).grouping("G").end("A", 0.02); },
       {"A Start", "A End"}},
  };
  for (const Case& c : cases) {
    Diagnosis diagnosis;
    c.record(diagnosis.trace);
    const std::vector<Row> rows = diagnosis.rows("G");
    ASSERT_FALSE(rows.empty()) << c.name;
    const std::size_t phase = column(rows[0], "Phase Name");
    const std::size_t isStart = column(rows[0], "isPhaseStart");
    std::vector<std::string> shown;
    for (std::size_t i = 1; i < rows.size(); ++i) {
      shown.push_back((rows[i].red ? "!" : "") + rows[i].cells.at(phase) + " " + rows[i].cells.at(isStart));
    }
    EXPECT_EQ(shown, c.rows) << c.name;
  }
}

TEST(DiagnosticReport, StateChartKindGivesBlockDiagramPointsTwoEmptySubjectCells) {
  Diagnosis diagnosis;
  PerformanceTracer& tracer = diagnosis.tracer;
  diagnosis.trace.model("engine", "TGX").start("Load", 123.456);  // CPU time 61.728
  diagnosis.trace.points().back()->detailedMemStats.reset();
  auto stateChart = boost::make_shared<PTQuorindelDataPoint>();
  stateChart->grouping = tracer.getNumberForString(EPT_GROUPING, "G", false);
  stateChart->phase = tracer.getNumberForString(EPT_PHASE, "Load", false);
  stateChart->machine = tracer.getNumberForString(EPT_MACHINE, "pump", true);
  stateChart->detailedMemStats->freeMem = 1234567.0;
  // A tracer point has no row in this kind.
  diagnosis.trace.point(stateChart).model("", "").start("Ignored", 124.0);

  const std::vector<Row> rows = diagnosis.rows();
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[0].cells, (std::vector<std::string>{"Point Type", "Grouping", "Model", "Target", "Machine", "Chart",
                                                     "Phase Name", "isPhaseStart", "WC Time", "CPU Time", "Free",
                                                     "Committed", "Reserved", "DLLs", "Non-process"}));
  EXPECT_EQ(rows[1].cells, (std::vector<std::string>{"Calvoran", "G", "engine", "TGX", "&nbsp;", "&nbsp;", "Load",
                                                     "Start", "1.2e+02", "62", "0.0", "0.0", "0.0", "0.0", "0.0"}));
  EXPECT_TRUE(rows[1].red);  // a start never closed: the state-chart end does not match it
  EXPECT_EQ(rows[2].cells, (std::vector<std::string>{"Quorindel", "G", "", "", "pump", "", "Load", "End", "0", "0",
                                                     "1.2346e+06", "0", "0", "0", "0"}));
}

TEST(DiagnosticReport, TraceTextsAreEscapedInEveryCell) {
  Diagnosis diagnosis;
  const std::string hostile = "<img src=x onerror=\"alert(1)\">&'";
  diagnosis.trace.grouping("<b>" + hostile).identifiers({{"modelStr", "</td>" + hostile}, {"<i>" + hostile, "v"}});
  diagnosis.trace.start(hostile, 0.0).end(std::string("nul\0bell\a", 9), 0.1);
  const std::vector<Row> rows = diagnosis.rows();
  const std::string escaped = "&lt;img src=x onerror=&quot;alert(1)&quot;&gt;&amp;&#39;";
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_THAT(rows[0].cells, testing::Contains("&lt;i&gt;" + escaped));
  EXPECT_THAT(rows[1].cells, testing::IsSupersetOf({"&lt;b&gt;" + escaped, "&lt;/td&gt;" + escaped, escaped}));
  // Control characters show as their pictures; a NUL would have cut the file short.
  EXPECT_THAT(rows[2].cells, testing::Contains("nul&#x2400;bell&#x2407;"));
  EXPECT_EQ(diagnosis.page.find("<img"), std::string::npos);
  EXPECT_TRUE(diagnosis.page.ends_with("</html>\n"));
}

TEST(DiagnosticReport, ErrorPageLinksToTheDiagnosticReportAndUncreatableFilesAreRefused) {
  const std::string page = generateInstrumentationErrorPage("run #1 \"<x>\"-diagnostic.html");
  EXPECT_THAT(page, testing::HasSubstr("An error has been detected in the PerformanceTracer instrumentation.\n"));
  EXPECT_THAT(page, testing::HasSubstr("href=\"run%20%231%20%22%3Cx%3E%22-diagnostic.html\">"
                                       "run #1 &quot;&lt;x&gt;&quot;-diagnostic.html</a>"));
  EXPECT_TRUE(page.ends_with("    </body>\n</html>\n"));

  // Neither page is written where it cannot be created.
  Diagnosis diagnosis;
  EXPECT_FALSE(diagnosis.tracer.diagnosticReport(diagnosis.folder.file("missing/diagnostic.html"), "GLOBAL",
                                                 &diagnosis.trace.points()));
  EXPECT_FALSE(pt::writeInstrumentationErrorPage(diagnosis.folder.file("missing/page.html"), "d.html"));
}

}  // namespace
