#include "support/trace_builder.h"
#include "tracer/performance_tracer.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "pt_assets_assets.h"

namespace {

// The text of the script string assigned to `name`, decoded as a browser
// decodes it.
std::string scriptStringValue(const std::string& script, const std::string& name) {
  const std::string opening = "var " + name + " = \"";
  std::size_t at = script.find(opening);
  if (at == std::string::npos) return "(missing)";
  std::string value;
  for (at += opening.size(); at < script.size() && script[at] != '"'; ++at) {
    if (script[at] != '\\') {
      value += script[at];
    } else if (script[++at] == 'x') {
      value += static_cast<char>(std::strtol(script.substr(at + 1, 2).c_str(), nullptr, 16));
      at += 2;
    } else {
      value += script[at] == 'n' ? '\n' : script[at];
    }
  }
  return value;
}

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

TEST(MemoryChart, ContainerHoldsTheCanvasesOnlyWithDetailedStatistics) {
  PerformanceTracer tracer;
  const std::string withStats = tracer.generateMemoryCanvasTable(true);
  const std::string chart = scriptStringValue(withStats, "memoryCanvasTableMarkup");
  for (const char* part : {R"(<table id="memoryCanvasTable" class="dataTable blankTable" style="display:none;")",
                           R"(<div id="lockedcanvasdiv")", R"(<canvas id="lockedcanvas")",
                           R"(<canvas id="legendCanvas" width="700" height="400">)",
                           R"m(onclick="statsPopup(event)")m",
                           R"m(onmousemove="divMouseMove(event);showToolTip(event);")m",
                           R"m(onmouseout="divMouseOut(event);")m", R"m(onscroll="swapCanvas(this)")m",
                           R"(<canvas id="fakecanvas")", R"(<div id="tableCanvasDiv">)"}) {
    EXPECT_TRUE(contains(chart, part)) << part;
  }
  EXPECT_FALSE(contains(chart, "was not enabled"));

  const std::string notCollected =
      scriptStringValue(tracer.generateMemoryCanvasTable(false), "memoryCanvasTableMarkup");
  EXPECT_TRUE(contains(notCollected, R"(<table id="memoryCanvasTable" class="dataTable blankTable")"));
  EXPECT_TRUE(contains(notCollected, "<p class=\"style1\">Detailed Memory Statistic collection was not enabled at "
                                     "log time or is not available in this platform.</p>"));
  EXPECT_TRUE(contains(notCollected, "ZezaDazod.Tracer.enableDetailedMemStats(true)</em></b> to collect Detailed "
                                     "Memory Statistics (ONLY for Windows).</p>"));
  EXPECT_TRUE(contains(notCollected, R"(<div id="noSupport" style="display:none;"></div>)"));
  EXPECT_FALSE(contains(notCollected, "canvas id="));

  // Whichever the statistics, a browser without canvas gets the same message.
  const std::string noCanvas = scriptStringValue(withStats, "memoryCanvasNoCanvasMarkup");
  EXPECT_EQ(noCanvas, scriptStringValue(tracer.generateMemoryCanvasTable(false), "memoryCanvasNoCanvasMarkup"));
  EXPECT_TRUE(contains(noCanvas, R"(id="memoryCanvasTable")"));
  EXPECT_TRUE(contains(noCanvas, "width:300px"));
  EXPECT_TRUE(contains(noCanvas, "<p class=\"style1\">Your browser does not support the HTML5 Canvas.</p>"));
  EXPECT_TRUE(contains(noCanvas, "<p class=\"style2\">Browsers that support the HTML5 canvas to view the Memory "
                                 "Statistics chart<br>include Firefox, Safari and Chrome.</p>"));
  // The markup travels inside a script: nothing in it may close the block.
  EXPECT_FALSE(contains(withStats.substr(0, withStats.rfind("</script>")), "</"));
}

TEST(MemoryChart, DrawingScriptCarriesTheChartConstants) {
  PerformanceTracer tracer;
  const std::string script = tracer.generateCanvasJavaScript(true);
  EXPECT_TRUE(contains(script, "var hasDetailedMemStats = true;\n"));
  EXPECT_TRUE(contains(tracer.generateCanvasJavaScript(false), "var hasDetailedMemStats = false;\n"));
  EXPECT_TRUE(contains(script, std::string(pt::assets::memory_chart_js())));
  for (const char* constant :
       {"var marginLeft = 90;", "var marginTop = 80;", "var defaultNumTicksY = 2;",
        "var numTicksY = hasDetailedMemStats ? 11 : defaultNumTicksY;", "var yTickLabelSpacing = 10;",
        "var columnWidth = 23;", "var tickLengthX = 5;", "var tickLengthY = 5;", "var boxSideLength = 10;",
        "var eventLabelVertSpacing = 15;", "var eventLabelRotate = 75;", "var canvasDivHeight = 430;",
        "var minWindowWidth = 916;", "var tickLabelFontSize = 10;", "var maxLabelHeight = 550;",
        "var enlargeCanvasArea = 200;", "var legendFont = '12px Sans-Serif';",
        "var yLabelFont = '14pt Sans-Serif';", "var eventLabelFont = '12px Sans-Serif';"}) {
    EXPECT_TRUE(contains(script, constant)) << constant;
  }
}

std::string writeReport(PerformanceTracer& tracer, pt_test::TraceBuilder& trace, const std::string& statisticsType,
                        bool aggregateOnly) {
  const std::filesystem::path path = std::filesystem::path(::testing::TempDir()) / "memory_chart_report.html";
  PTSystemInfoStruct info;
  const bool written =
      aggregateOnly
          ? tracer.generateAggregateReport(path.string(), "GLOBAL", "GLOBAL", statisticsType, false, &trace.points(),
                                           &info)
          : tracer.generateHTMLReport(path.string(), "GLOBAL", "GLOBAL", statisticsType, false, &trace.points(), &info);
  EXPECT_TRUE(written);
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

TEST(MemoryChart, OnlyDetailedMemoryReportsCarryTheChart) {
  PerformanceTracer tracer;
  tracer.initialize();
  pt_test::TraceBuilder trace(tracer);
  trace.start("Load", 0.0, 100).start("Parse", 0.0, 100).end("Parse", 0.05, 120).end("Load", 0.06, 125);

  const std::string page = writeReport(tracer, trace, "detailedmemory", false);
  const std::string chartScript = tracer.generateCanvasJavaScript(true);
  const std::string container = tracer.generateMemoryCanvasTable(true);
  // The container script anchors the chart to the page's blocks and the
  // drawing script reads procData: both come after the page and its data.
  const std::size_t containerAt = page.find(container);
  const std::size_t chartAt = page.find(chartScript);
  ASSERT_NE(containerAt, std::string::npos);
  ASSERT_NE(chartAt, std::string::npos);
  EXPECT_GT(containerAt, page.find("var procData = ["));
  EXPECT_GT(chartAt, containerAt);
  EXPECT_TRUE(contains(page, "onmousemove=\"dialogMove(event)\""));

  for (const auto& [type, aggregateOnly] : {std::pair{"time", false}, std::pair{"basicmemory", false},
                                            std::pair{"detailedmemory", true}}) {
    const std::string other = writeReport(tracer, trace, type, aggregateOnly);
    EXPECT_TRUE(contains(other, "var aggData = [")) << type;
    EXPECT_FALSE(contains(other, "var memoryCanvasTableMarkup")) << type << aggregateOnly;
    EXPECT_FALSE(contains(other, "var hasDetailedMemStats")) << type << aggregateOnly;
  }
}

}  // namespace
