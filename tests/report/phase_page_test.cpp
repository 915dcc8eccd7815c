#include "report/phase/phase_page.h"
#include "report/phase/page_parts.h"

#include "sysinfo/system_info.h"

#include <gtest/gtest.h>

#include <string>

namespace {

int occurrences(const std::string& text, const std::string& part) {
  int count = 0;
  for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
  return count;
}

TEST(PageFrame, TitleFollowsTheReportTitleAndIndentationClassesPerNestingLevel) {
  EXPECT_NE(generateHeadAndCSSString(0, "GLOBAL", false).find("<title>Full Tracer Report</title>"), std::string::npos);
  EXPECT_NE(generateHeadAndCSSString(0, "Build <b>", false).find("<title>Build &lt;b&gt;</title>"), std::string::npos);
  const std::string eight = generateHeadAndCSSString(0, "", false);
  EXPECT_NE(eight.find("<title>Performance Tracer Report</title>"), std::string::npos);
  EXPECT_EQ(occurrences(eight, "td.phaseNameCell7 {"), 1);
  EXPECT_EQ(occurrences(eight, "td.phaseNameCell8 {"), 0);
  const std::string twelve = generatePhaseNameCellCSSStrings(12);
  EXPECT_EQ(occurrences(twelve, "td.phaseNameCell"), 12);
  EXPECT_EQ(occurrences(twelve, "td.phaseNameCell11 {"), 1);
}

TEST(PageFrame, SystemInformationIsShownAsText) {
  PTSystemInfoStruct info;
  info.processorStr = "CPU <script>alert(1)</script>";
  info.installedProductsStr = "Tool & \"Friends\"";
  const std::string table = generateSystemInfoTable(&info);
  EXPECT_NE(table.find("<tr><td><b>Processor: </b></td><td>CPU &lt;script&gt;alert(1)&lt;/script&gt;</td></tr>"),
            std::string::npos);
  EXPECT_NE(table.find("<pre class=\"SystemInfoText\">\nTool &amp; &quot;Friends&quot;</pre>"), std::string::npos);
  EXPECT_EQ(table.find("<script>"), std::string::npos);
  EXPECT_EQ(getHardwareInfoHTML(nullptr), "");
  EXPECT_NE(generateSystemInfoTable(nullptr).find("<pre class=\"SystemInfoText\">\n</pre>"), std::string::npos);
}

TEST(PageFrame, TemplateMarkersAreFilledOnceAndTheRestKept) {
  struct Case {
    const char* text;
    const char* expected;
  };
  // A value is never searched again, so trace text spelling a marker stays text.
  const Case cases[] = {
      {"<b>%A%</b>%A%", "<b>%B%</b>%B%"},
      {"%A%%B%", "%B%x"},
      {"width:100%;\"> %UNKNOWN% 50%", "width:100%;\"> %UNKNOWN% 50%"},
      {"%A", "%A"},
      {"%%A%%", "%%B%%"},
      {"", ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(pt::report::filledTemplate(c.text, {{"A", "%B%"}, {"B", "x"}}), c.expected) << c.text;
  }
}

}  // namespace
