#include "report/model/model_report.h"
#include "tracer/fixed_texts.h"

#include "analysis/metric.h"
#include "analysis/processed_data.h"
#include "platform/host_messages.h"
#include "platform/replacing_file.h"
#include "report/phase/html_escape.h"
#include "report/phase/phase_page.h"
#include "tracer/performance_tracer.h"
#include "tracer/string_number_mapping.h"

#include "pt_assets_assets.h"

#include <optional>
#include <string_view>

namespace {

/// Every occurrence of `marker` replaced by `value`, taken literally: a value
/// holding "$" or "\" stays as it is.
std::string replaced(std::string_view text, std::string_view marker, std::string_view value) {
  std::string out;
  out.reserve(text.size() + value.size());
  std::size_t from = 0;
  for (std::size_t at = text.find(marker); at != std::string_view::npos; at = text.find(marker, from)) {
    out.append(text, from, at - from);
    out.append(value);
    from = at + marker.size();
  }
  out.append(text, from);
  return out;
}

bool isTestType(PTReportType type) { return type == PT_REPORT_TEST || type == PT_REPORT_TEST_DIFF; }

std::string compareUnit(const std::string& format) {
  const std::optional<pt::Metric> metric = pt::parseMetric(format);
  if (metric == pt::Metric::kTime) return "Secs";
  if (metric == pt::Metric::kBasicMemory) return "MB";
  return "";
}

std::string scriptBlock(const std::string& body) { return "<script type=text/javascript>\n" + body + "</script>\n"; }

/// The markers the page scripts share: report kind, labels, unit, keys.
std::string fillCommonMarkers(std::string_view script, PTReportType type, const std::string& lhsLabel,
                              const std::string& rhsLabel, const std::string& format) {
  std::string text = replaced(script, "%REPORT_TYPE%", std::to_string(static_cast<int>(type)));
  text = replaced(text, "%COMPARE_UNIT%", compareUnit(format));
  const bool test = isTestType(type);
  text =
      replaced(text, "%PLACEHOLDER_KEY%", test ? "let key = node.phase;" : "let key = node.phase + '@' + node.target;");
  text = replaced(text, "%PLACEHOLDER_CURRENTKEY%",
                  test ? "let key = currentNode.phase;" : "let key = currentNode.phase + '@' + currentNode.target;");
  // Labels go in last, so that no marker inside a label is filled.
  text = replaced(text, "%LHSLABEL%", ptEscapeForScriptString(lhsLabel));
  return replaced(text, "%RHSLABEL%", ptEscapeForScriptString(rhsLabel));
}

std::string quotedNames(const StringNumberMapping* table, const char* separator) {
  std::string out;
  if (table == nullptr) return out;
  const auto count = static_cast<std::int32_t>(table->size());
  for (std::int32_t number = 0; number < count; ++number) {
    out += '"';
    out += ptEscapeForScriptString(table->getString(number));
    out += '"';
    out += separator;
  }
  return out;
}

// The records of a tree as `var name = JSON.parse('...');`: the browser
// parses 100k records as JSON a good deal faster than as script array
// literals. The records are script arrays of numbers, null and strings
// escaped for a script string; JSON spells two things otherwise: no comma
// before "]", and \u escapes where the strings have \x and \'. The JSON has
// no quote, angle bracket or line break of its own, so only its backslashes
// are doubled for the script string; a \n escape keeps a record to a line.
std::string parsedRecords(const char* name, std::string_view records) {
  std::string literal = "var ";
  literal += name;
  literal += " = JSON.parse('[";
  literal.reserve(records.size() + 64);
  const auto nextSignificant = [&](std::size_t at) {
    while (at < records.size() && (records[at] == '\n' || records[at] == ' ')) ++at;
    return at;
  };
  bool inString = false;
  for (std::size_t i = 0; i < records.size(); ++i) {
    const char c = records[i];
    if (inString) {
      if (c == '"') {
        inString = false;
        literal += c;
      } else if (c == '\\' && i + 1 < records.size()) {
        const char escaped = records[++i];
        if (escaped == 'x' && i + 2 < records.size()) {
          literal += "\\\\u00";
          literal += records[i + 1];
          literal += records[i + 2];
          i += 2;
        } else if (escaped == '\'') {
          literal += "\\\\u0027";
        } else {
          literal += "\\\\";
          literal += escaped == '\\' ? "\\\\" : std::string(1, escaped);
        }
      } else {
        literal += c;
      }
      continue;
    }
    if (c == '"') {
      inString = true;
      literal += c;
    } else if (c == '\n') {
      if (nextSignificant(i) < records.size()) literal += "\\n";
    } else if (c == ',') {
      const std::size_t next = nextSignificant(i + 1);
      if (next < records.size() && records[next] != ']') literal += c;
    } else if (c != ' ') {
      literal += c;
    }
  }
  literal += "]');\n";
  return literal;
}

}  // namespace

std::string transformInput(const std::vector<std::string>& arguments, PTReportType type) {
  std::vector<std::string> kept;
  if (type == PT_REPORT_TEST) {
    for (std::size_t i = 0; i < arguments.size(); ++i) {
      if (arguments[i] == "format") {
        ++i;  // the format's value goes with it
      } else {
        kept.push_back(arguments[i]);
      }
    }
  } else {
    kept = arguments;
    if (type == PT_REPORT_MODEL) {
      bool hasFormat = false;
      for (const std::string& argument : arguments) hasFormat = hasFormat || argument == "format";
      if (!hasFormat) {
        kept.emplace_back("format");
        kept.emplace_back("modelBased");
      }
    }
  }
  std::string out;
  for (const std::string& argument : kept) {
    if (!out.empty()) out += ", ";
    out += "'" + argument + "'";
  }
  return out;
}

std::string generateMapStr(const PerformanceTracer& tracer, EPTStringMappings mapping) {
  const char* head = mapping == EPT_MODEL    ? " modelStr = [\n"
                     : mapping == EPT_TARGET ? " targetStr = [\n"
                                             : " phase = [\n";
  std::string out = head;
  out += quotedNames(tracer.getMappingByType(mapping), ",\n");
  out += "\n]\n";
  return out;
}

std::string generateMapStr(const PerformanceTracer& tracer, const std::string& identifierName) {
  const auto& collections = tracer.getMapCollections();
  const auto found = collections.find(identifierName);
  if (found == collections.end() || !found->second) return identifierName + "= []\n";
  return identifierName + " = [\n" + quotedNames(found->second.get(), ", \n") + "\n]\n";
}

std::string generateSummaryTreeStr(const PerformanceTracer& tracer, const PTNodeVector& nodes, PTReportType type,
                                   const std::string& format) {
  std::string records;
  for (const auto& node : nodes) {
    if (node) records += node->generateJSONStrSummary(type, format);
  }
  std::string out = parsedRecords("leftTreeData", records);
  out += generateMapStr(tracer, EPT_PHASE);
  out += generateMapStr(tracer, std::string(pt::kModelIdentifier));
  out += generateMapStr(tracer, std::string(pt::kTargetIdentifier));
  if (isTestType(type)) out += generateMapStr(tracer, std::string("harnessModel"));
  return out;
}

std::string generateDetailedTreeStr(const PTNodeVector& nodes, PTReportType type, const std::string& format) {
  std::string records;
  for (const auto& node : nodes) {
    if (!node) continue;
    const auto mark = findNodeIdentifier(*node, "leftTree");
    if (!mark || *mark != 2) continue;
    for (const auto& child : node->children) {
      if (child) records += child->generateJSONStrDetailed_tree(type, format);
    }
  }
  return parsedRecords("rightTreeData", records);
}

std::string generateHTMLTemplateStr(PTReportType, const PTFlameGraph* flameGraph) {
  std::string page =
      replaced(pt::assets::model_report_template_html(), "%PLACEHOLDER_STYLE%", pt::assets::model_report_css());
  std::string block;
  if (flameGraph != nullptr) {
    // The page starts the drawing's script itself, once its data is in.
    block = replaced(pt::assets::model_flamegraph_block_html(), "%SVGLINE%",
                     replaced(flameGraph->svgLine, " onload=\"init(evt)\"", ""));
  }
  page = replaced(page, "%PLACEHOLDER_FG_TEMPLATE%", block);
  // The frames go in last, so that no marker inside a drawing is replaced.
  std::string frames;
  if (flameGraph != nullptr)
    frames = flameGraph->staticContent + "<g id=\"frames\">>\n" + flameGraph->frames + "\n</g>\n";
  return replaced(page, "%PLACEHOLDER_FG_CONTENT%", frames);
}

std::string generateSummaryJSStr(PTReportType type, const std::string& lhsLabel, const std::string& rhsLabel,
                                 const std::string& format, bool withFlameGraph) {
  std::string script =
      replaced(pt::assets::model_report_tree_js(), "%PLACEHOLDER_NODE%",
               isDiffReportType(type) ? pt::assets::model_node_diff_js() : pt::assets::model_node_single_js());
  script = replaced(script, "%PLACEHOLDER_CLICKFG%", withFlameGraph ? "clearzoom(); clickFGNode(ele.id);" : "");
  return fillCommonMarkers(script, type, lhsLabel, rhsLabel, format);
}

std::string generateDetailedJSStrPart1(PTReportType type, const std::string& lhsLabel, const std::string& rhsLabel,
                                       const std::string& format) {
  std::string script =
      replaced(pt::assets::model_report_tables_js(), "%PLACEHOLDERTABTIME%",
               isDiffReportType(type) ? pt::assets::model_tab_time_diff_js() : pt::assets::model_tab_time_single_js());
  return fillCommonMarkers(script, type, lhsLabel, rhsLabel, format);
}

std::string generateDetailedJSStrPart2(PTReportType type) {
  return fillCommonMarkers(pt::assets::model_report_call_tree_js(), type, "", "", "time");
}

std::string generateDetailedJSStrPart3(PTReportType type, const std::string& lhsLabel, const std::string& rhsLabel,
                                       const std::string& format, bool withFlameGraph) {
  std::string script = replaced(pt::assets::model_report_start_js(), "%PLACEHOLDER_FGFUNCTIONS%",
                                withFlameGraph ? pt::assets::model_flamegraph_js() : "");
  script = replaced(script, "%DIFFREPORT_FG%", isDiffReportType(type) ? "colourFramesByDifference();" : "");
  script = replaced(script, "%PLACEHOLDER_INIT%", withFlameGraph ? "init();" : "");
  script = replaced(script, "%PLACEHOLDER_MESSAGE%",
                    withFlameGraph ? "setLoadingMessage('Content loaded! Click on the flame graph or the table on "
                                     "the left to view detailed data.');"
                                   : "setLoadingMessage('Content loaded! Click on the table on the left to view "
                                     "detailed data.');");
  return fillCommonMarkers(script, type, lhsLabel, rhsLabel, format);
}

std::vector<std::string> pt::detail::modelPagePieces(const PerformanceTracer& tracer, const PTNodeVector& nodes,
                                                     PTReportType type, const std::string& lhsLabel,
                                                     const std::string& rhsLabel, const std::string& format,
                                                     const std::optional<PTFlameGraph>& flameGraph) {
  const bool withFlameGraph = flameGraph.has_value();
  std::vector<std::string> pieces;
  pieces.push_back(generateHTMLTemplateStr(type, withFlameGraph ? &*flameGraph : nullptr));
  pieces.push_back(scriptBlock(generateSummaryTreeStr(tracer, nodes, type, format) +
                               generateSummaryJSStr(type, lhsLabel, rhsLabel, format, withFlameGraph)));
  pieces.push_back(scriptBlock(
      generateDetailedTreeStr(nodes, type, format) + generateDetailedJSStrPart1(type, lhsLabel, rhsLabel, format) +
      generateDetailedJSStrPart2(type) + generateDetailedJSStrPart3(type, lhsLabel, rhsLabel, format, withFlameGraph)));
  pieces.emplace_back("</body>\n</html>\n");
  return pieces;
}

namespace {

bool writeModelPage(PerformanceTracer& tracer, platform::ReplacingFile& file, const PTProcessedDataStruct& summary,
                    const std::string& format, const std::vector<std::string>& arguments, PTReportType type,
                    bool includeFlameGraph) {
  bool written = true;
  const auto write = [&file, &written](const std::string& piece) { written = file.write(piece) && written; };
  if (summary.hasErrors) {
    write(generateInstrumentationErrorPage());
    return written && file.commit();
  }
  PTNodeMap nodeMap;
  PTNodeVector nodes;
  if (type == PT_REPORT_TEST && summary.reportKind == PT_REPORT_TEST_MANAGER) {
    nodes = constructNodes_CLTestReport(tracer, summary.diagnosticInfos, nodeMap);
  } else {
    if (type == PT_REPORT_TEST) {
      haWarningMsgId("performance_tracer:PerformanceTracer:NoCLTestInfo", transformInput(arguments, PT_REPORT_MODEL));
    }
    if (summary.reportKind == PT_REPORT_CODE_GENERATION) {
      type = PT_REPORT_CODEGEN;
      nodes = constructNodes_TGX(tracer, summary.diagnosticInfos, type, nodeMap);
    } else {
      type = PT_REPORT_MODEL;
      nodes = constructNodes(tracer, summary.diagnosticInfos, type, nodeMap);
    }
  }
  std::optional<PTFlameGraph> flameGraph;
  if (includeFlameGraph) flameGraph = makeFlameGraph(nodeMap, type, format);
  for (const std::string& piece : pt::detail::modelPagePieces(tracer, nodes, type, "", "", "time", flameGraph)) {
    write(piece);
  }
  return written && file.commit();
}

}  // namespace

bool generateReport_modelBased(PerformanceTracer& tracer, const std::string& htmlFile, const std::string& grouping,
                               const std::string& format, const std::vector<std::string>& arguments,
                               PTRawDataVector* rawData, PTReportType type, bool includeFlameGraph) {
  platform::ReplacingFile file(htmlFile, tracer.fileCalls());
  if (!file.isOpen()) return false;
  return writeModelPage(tracer, file, tracer.getProcessedData(rawData, {grouping}, false), format, arguments, type,
                        includeFlameGraph);
}

bool generateReport_modelBased(PerformanceTracer& tracer, const std::string& htmlFile,
                               const PTProcessedDataStruct& summary, const std::string& format,
                               const std::vector<std::string>& arguments, PTReportType type, bool includeFlameGraph) {
  platform::ReplacingFile file(htmlFile, tracer.fileCalls());
  if (!file.isOpen()) return false;
  return writeModelPage(tracer, file, summary, format, arguments, type, includeFlameGraph);
}
