#include "report/phase/memory_chart.h"

#include "support/scratch_files.h"
#include "support/trace_builder.h"
#include "tracer/performance_tracer.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

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
  const std::string withStats = generateMemoryCanvasTable(true);
  // The drawing script (exercised in the browser tests) finds the canvases in this markup.
  EXPECT_TRUE(contains(scriptStringValue(withStats, "memoryCanvasTableMarkup"), R"(id="lockedcanvas")"));
  const std::string notCollected = scriptStringValue(generateMemoryCanvasTable(false), "memoryCanvasTableMarkup");
  EXPECT_TRUE(contains(notCollected, "was not enabled")) << notCollected;
  EXPECT_FALSE(contains(notCollected, "canvas id="));
  EXPECT_TRUE(
      contains(scriptStringValue(withStats, "memoryCanvasNoCanvasMarkup"), "does not support the HTML5 Canvas"));
  // The markup travels inside a script: nothing in it may close the block.
  EXPECT_FALSE(contains(withStats.substr(0, withStats.rfind("</script>")), "</"));
}

TEST(MemoryChart, OnlyDetailedMemoryReportsCarryTheChart) {
  PerformanceTracer tracer;
  tracer.initialize();
  pt_test::TraceBuilder trace(tracer);
  trace.start("Load", 0.0, 100).start("Parse", 0.0, 100).end("Parse", 0.05, 120).end("Load", 0.06, 125);
  const pt_test::ScratchFolder folder;
  const std::string path = folder.file("memory_chart_report.html");
  auto write = [&](const char* type, bool aggregateOnly) {
    EXPECT_TRUE(trace.writeReport(path, type, aggregateOnly));
    return pt_test::fileBytes(path);
  };

  const std::string page = write("detailedmemory", false);
  // The container script anchors the chart to the page's blocks and the
  // drawing script reads procData: both come after the page and its data.
  const std::size_t containerAt = page.find(generateMemoryCanvasTable(true));
  const std::size_t chartAt = page.find(generateCanvasJavaScript(true));
  ASSERT_NE(chartAt, std::string::npos);  // a missing container then fails the order below
  EXPECT_GT(containerAt, page.find("var procData = ["));
  EXPECT_GT(chartAt, containerAt);
  EXPECT_TRUE(contains(page, "onmousemove=\"dialogMove(event)\""));

  for (const auto& [type, aggregateOnly] :
       {std::pair{"time", false}, std::pair{"basicmemory", false}, std::pair{"detailedmemory", true}}) {
    SCOPED_TRACE(std::string(type) + (aggregateOnly ? " aggregate" : ""));
    const std::string other = write(type, aggregateOnly);
    EXPECT_TRUE(contains(other, "var aggData = ["));
    EXPECT_FALSE(contains(other, "var memoryCanvasTableMarkup"));
    EXPECT_FALSE(contains(other, "var hasDetailedMemStats"));
  }
}

}  // namespace
