#include "report/phase/page_parts.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace pt::report {

std::string filledTemplate(std::string_view text, std::initializer_list<TemplateMarker> markers) {
  const auto isNameChar = [](char c) { return (c >= 'A' && c <= 'Z') || c == '_'; };
  std::string out;
  out.reserve(text.size());
  std::size_t at = 0;
  while (at < text.size()) {
    const std::size_t open = text.find('%', at);
    if (open == std::string_view::npos) break;
    std::size_t close = open + 1;
    while (close < text.size() && isNameChar(text[close])) ++close;
    const std::string_view name = text.substr(open + 1, close - open - 1);
    const auto marker = std::find_if(markers.begin(), markers.end(),
                                     [name](const TemplateMarker& entry) { return entry.first == name; });
    if (close < text.size() && text[close] == '%' && !name.empty() && marker != markers.end()) {
      out += text.substr(at, open - at);
      out += marker->second;
      at = close + 1;
    } else {
      out += text.substr(at, open + 1 - at);
      at = open + 1;
    }
  }
  out += text.substr(at);
  return out;
}

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
