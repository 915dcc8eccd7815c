#include "report/phase/phase_page.h"

#include "sysinfo/system_info.h"
#include "tracer/performance_tracer.h"

#include <gtest/gtest.h>

#include <string>

namespace {

int occurrences(const std::string& text, const std::string& part) {
  int count = 0;
  for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
  return count;
}

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

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
  const std::string twelve = tracer.generatePhaseNameCellCSSStrings(12);
  EXPECT_EQ(occurrences(twelve, "td.phaseNameCell"), 12);
  EXPECT_TRUE(contains(twelve, "td.phaseNameCell11 {"));
}

TEST(PageFrame, ErrorPagesTellTheUserWhatToCall) {
  EXPECT_TRUE(
      contains(generateInstrumentationErrorPage(), "ZezaDazod.Tracer.diagnosticReport('htmlfile', 'mydiag.html')"));
  EXPECT_TRUE(contains(generateMissingDetailedMemStatsPage(), "ZezaDazod.Tracer.enableDetailedMemStats(true)"));
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
