#include "report/phase/page_parts.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace pt::report {

std::string scriptBlock(std::string_view body) {
  std::string block = "    <script type=\"text/javascript\">\n";
  block += body;
  block += "    </script>\n";
  return block;
}

void appendScriptNumber(std::string& out, double value) {
  if (std::isnan(value)) {
    out += "NaN";
    return;
  }
  if (std::isinf(value)) {
    out += value > 0 ? "Infinity" : "-Infinity";
    return;
  }
  char buffer[32];
  const int length = std::snprintf(buffer, sizeof buffer, "%.5g", value);
  out.append(buffer, static_cast<std::size_t>(std::max(length, 0)));
}

std::string tabBarDivs(std::span<const PageTab> tabs, std::string_view visibleKey) {
  const std::string blockIndent(25, ' ');
  const std::string itemIndent(33, ' ');
  std::string divs;
  for (const PageTab& block : tabs) {
    divs += blockIndent + "<div id=\"header\" class=\"" + block.blockClass + "\"" +
            (block.key == visibleKey ? "" : " style=\"display:none\"") + ">\n";
    divs += blockIndent + "    <ul id=\"primary\">\n";
    for (const PageTab& tab : tabs) {
      if (&tab == &block) {
        divs += itemIndent + "<li><span>" + tab.name + "</span></li>\n";
      } else {
        divs += itemIndent + "<li><a href=\"javascript:ShowTable('" + tab.key + "')\">" + tab.name + "</a></li>\n";
      }
    }
    divs += blockIndent + "    </ul>\n";
    divs += blockIndent + "</div>\n";
  }
  return divs;
}

}  // namespace pt::report
