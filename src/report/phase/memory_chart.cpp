// The MemChart tab of the phase report: its container and its drawing script.
// The markup holds no trace text; the drawing script reads names from the
// page's arrays and puts them on the page only as text.
#include "report/phase/memory_chart.h"

#include "report/phase/html_escape.h"

#include "pt_assets_assets.h"
#include "report/phase/page_parts.h"

#include <string>
#include <string_view>

using pt::report::scriptBlock;

namespace {

// Canvas sizes are those of the default layout; the drawing script enlarges
// and widens them to the window. The cell lets popups reach past the chart.
constexpr std::string_view kChartTable =
    "<table id=\"memoryCanvasTable\" class=\"dataTable blankTable\" style=\"display:none;\" cellpadding=\"0\" "
    "cellspacing=\"0\"><tr><td style=\"overflow:visible;\">\n"
    "<div id=\"canvasdiv\">\n"
    "<div id=\"legendCanvasDiv\"><canvas id=\"legendCanvas\" width=\"700\" height=\"400\"></canvas></div>\n"
    "<div id=\"lockedcanvasdiv\" style=\"width:110px;height:400px;\">"
    "<canvas id=\"lockedcanvas\" width=\"110\" height=\"400\"></canvas></div>\n"
    "<div id=\"scrollcanvasdiv\"><canvas id=\"scrollcanvas\" width=\"818\" height=\"400\" "
    "onclick=\"statsPopup(event)\" onmousemove=\"divMouseMove(event);showToolTip(event);\" "
    "onmouseout=\"divMouseOut(event);\"></canvas></div>\n"
    "<div id=\"fakecanvasdiv\" onscroll=\"swapCanvas(this)\"><canvas id=\"fakecanvas\" width=\"1\" height=\"1\">"
    "</canvas></div>\n"
    "<div id=\"tableCanvasDiv\"></div>\n"
    "</div>\n"
    "</td></tr></table>\n";

constexpr std::string_view kNotCollectedTable =
    "<table id=\"memoryCanvasTable\" class=\"dataTable blankTable\" style=\"display:none;\" border=\"1\" "
    "cellpadding=\"10\" cellspacing=\"0\"><tr><td>\n"
    "<p class=\"style1\">Detailed Memory Statistic collection was not enabled at log time or is not available in "
    "this platform.</p>\n"
    "<p class=\"style2\">Call <b><em>ZezaDazod.Tracer.enableDetailedMemStats(true)</em></b> to collect Detailed "
    "Memory Statistics (ONLY for Windows).</p>\n"
    "<div id=\"noSupport\" style=\"display:none;\"></div>\n"
    "</td></tr></table>\n";

constexpr std::string_view kNoCanvasTable =
    "<table id=\"memoryCanvasTable\" class=\"dataTable blankTable\" style=\"display:none;width:300px;\" "
    "cellpadding=\"0\" cellspacing=\"0\"><tr><td>\n"
    "<div id=\"noSupport\" style=\"display:none;\">\n"
    "<p class=\"style1\">Your browser does not support the HTML5 Canvas.</p>\n"
    "<p class=\"style2\">Browsers that support the HTML5 canvas to view the Memory Statistics chart<br>include "
    "Firefox, Safari and Chrome.</p>\n"
    "</div>\n"
    "</td></tr></table>\n";

std::string scriptString(std::string_view text) {
  // Appended, not "\"" + temporary: that trips a false -Wrestrict of GCC 12 at -O3.
  std::string quoted = "\"";
  quoted += ptEscapeForScriptString(text);
  quoted += '"';
  return quoted;
}

}  // namespace

std::string generateMemoryCanvasTable(bool hasDetailedMemStats) {
  std::string script =
      "        var memoryCanvasTableMarkup = " + scriptString(hasDetailedMemStats ? kChartTable : kNotCollectedTable) +
      ";\n";
  script += "        var memoryCanvasNoCanvasMarkup = " + scriptString(kNoCanvasTable) + ";\n";
  script += pt::assets::memory_chart_table_js();
  return scriptBlock(script);
}

std::string generateCanvasJavaScript(bool hasDetailedMemStats) {
  std::string script = "        var hasDetailedMemStats = ";
  script += hasDetailedMemStats ? "true" : "false";
  script += ";\n";
  script += pt::assets::memory_chart_js();
  return scriptBlock(script);
}
