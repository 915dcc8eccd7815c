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

std::string scriptString(std::string_view text) {
  // Appended, not "\"" + temporary: that trips a false -Wrestrict of GCC 12 at -O3.
  std::string quoted = "\"";
  quoted += ptEscapeForScriptString(text);
  quoted += '"';
  return quoted;
}

}  // namespace

std::string generateMemoryCanvasTable(bool hasDetailedMemStats) {
  // Canvas sizes in the chart markup are those of the default layout: the drawing
  // script enlarges and widens them to the window. Its cell lets popups reach
  // past the chart.
  std::string script = "        var memoryCanvasTableMarkup = " +
                       scriptString(hasDetailedMemStats ? pt::assets::memory_chart_canvases_html()
                                                        : pt::assets::memory_chart_not_collected_html()) +
                       ";\n";
  script +=
      "        var memoryCanvasNoCanvasMarkup = " + scriptString(pt::assets::memory_chart_no_canvas_html()) + ";\n";
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
