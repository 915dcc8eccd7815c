#include "report/phase/page_frame.h"

#include "tracer/performance_tracer.h"

#include <gtest/gtest.h>

#include <string>

namespace {

int occurrences(const std::string& text, const std::string& part) {
  int count = 0;
  for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
  return count;
}

TEST(PageFrame, TitleFollowsTheReportTitle) {
  PerformanceTracer tracer;
  EXPECT_NE(tracer.generateHeadAndCSSString(0, "GLOBAL", false).find("<title>Full Tracer Report</title>"),
            std::string::npos);
  EXPECT_NE(tracer.generateHeadAndCSSString(0, "", false).find("<title>Performance Tracer Report</title>"),
            std::string::npos);
  EXPECT_NE(tracer.generateHeadAndCSSString(0, "Build <b>", false).find("<title>Build &lt;b&gt;</title>"),
            std::string::npos);
}

TEST(PageFrame, IndentationClassesPerNestingLevel) {
  PerformanceTracer tracer;
  const std::string eight = tracer.generateHeadAndCSSString(0, "", false);
  EXPECT_EQ(occurrences(eight, "td.phaseNameCell7 {"), 1);
  EXPECT_EQ(occurrences(eight, "td.phaseNameCell8 {"), 0);
  EXPECT_NE(eight.find("            table.dataTable td.phaseNameCell1 {\n"
                       "                background-color:#E7EBF5;\n"
                       "                padding-left:35px;\n            }\n\n"),
            std::string::npos);
  const std::string twelve = tracer.generatePhaseNameCellCSSStrings(12);
  EXPECT_EQ(occurrences(twelve, "td.phaseNameCell"), 12);
  EXPECT_TRUE(twelve.ends_with("            table.dataTable td.phaseNameCell11 {\n"
                               "                background-color:#E7EBF5;\n"
                               "                padding-left:285px;\n            }\n\n"));
  EXPECT_EQ(tracer.generatePhaseNameCellCSSStrings(1),
            "            table.dataTable td.phaseNameCell0 {\n                background-color:#FFFFFF;\n"
            "                padding-left:10px;\n            }\n\n");
}

TEST(PageFrame, ComparisonRulesOnlyForComparisons) {
  PerformanceTracer tracer;
  EXPECT_EQ(tracer.generateHeadAndCSSString(3, "", false).find("BETWN_M50_M45"), std::string::npos);
  EXPECT_NE(tracer.generateHeadAndCSSString(3, "", true).find("table.dataTable td.BETWN_M50_M45 { background-color: #14FF14; }"),
            std::string::npos);
}

TEST(PageFrame, TabBarsListThePresentTabs) {
  PerformanceTracer tracer;
  const std::string full = tracer.generateHeaderDivs(false, "detailedmemory", false);
  EXPECT_EQ(occurrences(full, "<div id=\"header\""), 5);
  EXPECT_EQ(occurrences(full, "ShowTable('memCanvas')"), 4);  // linked from every other block
  EXPECT_EQ(occurrences(full, "style=\"display:none\""), 4);

  const std::string time = tracer.generateHeaderDivs(false, "time", false);
  EXPECT_EQ(occurrences(time, "<div id=\"header\""), 4);
  EXPECT_EQ(time.find("MemChart"), std::string::npos);
  EXPECT_EQ(tracer.generateHeaderDivs(true, "time", false).find("Call Tree"), std::string::npos);

  const std::string blanks25(25, ' ');
  const std::string blanks33(33, ' ');
  EXPECT_EQ(tracer.generateHeaderDivs(false, "detailedmemory", true),
            blanks25 + "<div id=\"header\" class=\"aggregateSumHeader\">\n" + blanks25 + "    <ul id=\"primary\">\n" +
                blanks33 + "<li><span>Aggregate</span></li>\n" + blanks33 +
                "<li><a href=\"javascript:ShowTable('systemInfo')\">System Info</a></li>\n" + blanks25 +
                "    </ul>\n" + blanks25 + "</div>\n" + blanks25 +
                "<div id=\"header\" class=\"sysInfoHeader\" style=\"display:none\">\n" + blanks25 +
                "    <ul id=\"primary\">\n" + blanks33 +
                "<li><a href=\"javascript:ShowTable('aggregateSummary')\">Aggregate</a></li>\n" + blanks33 +
                "<li><span>System Info</span></li>\n" + blanks25 + "    </ul>\n" + blanks25 + "</div>\n");
  const std::string bar = tracer.generateHeaderBarTable(true, "time", true);
  EXPECT_TRUE(bar.starts_with("            <table id = \"headerTable\" border=\"0\" cellspacing=\"0\""));
  EXPECT_TRUE(bar.ends_with("                    </td>\n                </tr>\n            </table>\n"));
}

TEST(PageFrame, DocumentHeaderAndErrorPages) {
  PerformanceTracer tracer;
  EXPECT_EQ(tracer.generateCommonHTMLFileHeader(),
            "<!DOCTYPE html PUBLIC \"-//W3C//DTD XHTML 1.0 Strict//EN\"\n"
            "\"http://www.w3.org/TR/xhtml1/DTD/xhtml1-strict.dtd\">\n"
            "<html xmlns=\"http://www.w3.org/1999/xhtml\"xml:lang=\"en\" lang=\"en\">\n");
  EXPECT_EQ(generateInstrumentationErrorPage(),
            "<html>\n    <body>\nAn error has been detected in the PerformanceTracer instrumentation.\n"
            "Please call:<br> ZezaDazod.Tracer.diagnosticReport('htmlfile', 'mydiag.html')<br>\n"
            "to generate a Diagnostic Report to determine where the error(s) occur.\n    </body>\n</html>\n");
  EXPECT_EQ(generateMissingDetailedMemStatsPage(),
            "<html>\n    <body>\nDetailed memstats was not collected.<br>\n"
            "If generating report from a KVD file, please check if DetailedMemstats was enabled and is collected on "
            "a Windows platform.<br>\n"
            "If generating report with the data collected in the current session, please call:<br> "
            "ZezaDazod.Tracer.clearRawData;<br>\nZezaDazod.Tracer.enableDetailedMemStats(true)<br>\n"
            "    </body>\n</html>\n");
}

TEST(PageFrame, SystemInformationIsShownAsText) {
  PerformanceTracer tracer;
  PTSystemInfoStruct info;
  info.processorStr = "CPU <script>alert(1)</script>";
  info.installedProductsStr = "Tool & \"Friends\"";
  const std::string table = tracer.generateSystemInfoTable(&info);
  EXPECT_NE(table.find("<tr><td><b>Processor: </b></td><td>CPU &lt;script&gt;alert(1)&lt;/script&gt;</td></tr>"),
            std::string::npos);
  EXPECT_NE(table.find("<pre class=\"SystemInfoText\">\nTool &amp; &quot;Friends&quot;</pre>"), std::string::npos);
  EXPECT_EQ(table.find("<script>"), std::string::npos);
  EXPECT_EQ(tracer.getHardwareInfoHTML(nullptr), "");
  EXPECT_NE(tracer.generateSystemInfoTable(nullptr).find("<pre class=\"SystemInfoText\">\n</pre>"), std::string::npos);
}

}  // namespace
