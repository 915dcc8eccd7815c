#include "report/phase/phase_page.h"

#include "analysis/aggregation.h"
#include "analysis/metric.h"
#include "analysis/processed_data.h"
#include "platform/replacing_file.h"
#include "report/phase/call_tree.h"
#include "report/phase/data_arrays.h"
#include "report/phase/html_escape.h"
#include "report/phase/memory_chart.h"
#include "report/phase/summary_tables.h"
#include "sysinfo/system_info.h"
#include "tracer/fixed_texts.h"
#include "tracer/performance_tracer.h"

#include "pt_assets_assets.h"
#include "report/phase/page_parts.h"

#include <array>
#include <optional>
#include <string_view>

using pt::report::scriptBlock;

namespace {

std::vector<pt::report::PageTab> presentTabs(bool noCallTree, const std::string& statisticsType, bool aggregateOnly) {
  std::vector<pt::report::PageTab> tabs{{"Aggregate", "aggregateSummary", "aggregateSumHeader"}};
  if (!noCallTree && !aggregateOnly) tabs.push_back({"Call Tree", "callTreeSummary", "callTreeHeader"});
  if (!aggregateOnly) tabs.push_back({"Details", "phaseSummary", "phaseSumHeader"});
  if (pt::parseMetric(statisticsType) == pt::Metric::kDetailedMemory && !aggregateOnly) {
    tabs.push_back({"MemChart", "memCanvas", "memoryCanvasHeader"});
  }
  tabs.push_back({"System Info", "systemInfo", "sysInfoHeader"});
  return tabs;
}

const char* jsBool(bool value) { return value ? "true" : "false"; }

}  // namespace

std::string generateInstrumentationErrorPage() { return std::string(pt::assets::instrumentation_error_page_html()); }

std::string generateMissingDetailedMemStatsPage() {
  return std::string(pt::assets::missing_detailed_memstats_page_html());
}

std::string generateCommonHTMLFileHeader() { return std::string(pt::assets::page_document_header_html()); }

std::string generatePhaseNameCellCSSStrings(int numLevels) {
  std::string rules;
  for (int level = 0; level < numLevels; ++level) {
    rules += "            table.dataTable td.phaseNameCell" + std::to_string(level) + " {\n";
    rules +=
        level % 2 == 0 ? "                background-color:#FFFFFF;\n" : "                background-color:#E7EBF5;\n";
    rules += "                padding-left:" + std::to_string(10 + 25 * level) + "px;\n            }\n\n";
  }
  return rules;
}

std::string generateHeadAndCSSString(int numLevels, const std::string& title, bool comparison) {
  const std::string shownTitle = title == pt::kGlobalGrouping ? "Full Tracer Report"
                                 : !title.empty()             ? title
                                                              : "Performance Tracer Report";
  std::string style(pt::assets::report_page_css());
  style += generatePhaseNameCellCSSStrings(numLevels < 1 ? 8 : numLevels);
  style += pt::assets::report_cells_css();
  if (comparison) style += pt::assets::report_comparison_css();
  style += pt::assets::report_tail_css();
  return pt::report::filledTemplate(pt::assets::page_head_html(),
                                    {{"TITLE", ptEscapeForHtml(shownTitle)}, {"STYLE", style}});
}

std::string getMemStatsHTMLReportCSS() {
  return "        <style type=\"text/css\">\n" + std::string(pt::assets::memstats_bar_graph_css()) +
         "        </style>\n";
}

std::string generateHeaderBarTable(bool noCallTree, const std::string& statisticsType, bool aggregateOnly) {
  return pt::report::filledTemplate(pt::assets::header_bar_table_html(),
                                    {{"TAB_BARS", generateHeaderDivs(noCallTree, statisticsType, aggregateOnly)}});
}

std::string generateHeaderDivs(bool noCallTree, const std::string& statisticsType, bool aggregateOnly) {
  return pt::report::tabBarDivs(presentTabs(noCallTree, statisticsType, aggregateOnly), "aggregateSummary");
}

std::string getHardwareInfoHTML(const PTSystemInfoStruct* info) {
  if (info == nullptr) return {};
  const std::array<std::pair<const char*, const std::string*>, 7> fields{{
      {"Processor: ", &info->processorStr},
      {"CPU Speed: ", &info->cpuSpeedStr},
      {"Cores: ", &info->numCoresStr},
      {"Total Physical Memory (MB): ", &info->totalPhysMemStr},
      {"Operating System: ", &info->operatingSystemStr},
      {"KAVLOR Version: ", &info->KAVLORVersionStr},
      {"Java VM Version: ", &info->javaVMVersionStr},
  }};
  std::string html = "<table class=\"SystemInfoText\" align=\"left\">\n";
  for (const auto& [label, value] : fields) {
    html += std::string("<tr><td><b>") + label + "</b></td><td>" + ptEscapeForHtml(*value) + "</td></tr>\n";
  }
  html += "<tr><td>&nbsp;</td></tr>\n</table>\n";
  return html;
}

std::string generateSystemInfoTable(const PTSystemInfoStruct* info) {
  return pt::report::filledTemplate(
      pt::assets::system_info_table_html(),
      {{"HARDWARE", getHardwareInfoHTML(info)},
       {"PRODUCTS", info != nullptr ? ptEscapeForHtml(info->installedProductsStr) : std::string()}});
}

std::string generateJavaScript(const std::string& statisticsType, bool comparison, bool noCallTree,
                               bool aggregateOnly) {
  std::string script = "        var pageNoCallTree = ";
  script += jsBool(noCallTree);
  script += ";\n        var pageAggregateOnly = ";
  script += jsBool(aggregateOnly);
  script += ";\n        var pageHasMemChart = ";
  script += jsBool(pt::parseMetric(statisticsType) == pt::Metric::kDetailedMemory && !aggregateOnly);
  script += ";\n        var pageComparison = ";
  script += jsBool(comparison);
  script += ";\n";
  script += pt::assets::tab_helpers_js();
  script += comparison ? pt::assets::comparison_tabs_js() : pt::assets::tabs_js();
  return scriptBlock(script);
}

std::string generateCommonJSVarsAndFunctions(const std::string& statisticsType, bool comparison,
                                             const std::string& lhsName, const std::string& rhsName,
                                             bool aggregateOnly) {
  std::string script = "        var statisticsType = \"" + ptEscapeForScriptString(statisticsType) + "\";\n";
  script += "        var comparison = ";
  script += jsBool(comparison);
  script += ";\n        var lhsName = \"" + ptEscapeForScriptString(lhsName) + "\";\n";
  script += "        var rhsName = \"" + ptEscapeForScriptString(rhsName) + "\";\n";
  script += "        var aggregateOnly = ";
  script += jsBool(aggregateOnly);
  script += ";\n";
  script += pt::assets::common_js();
  return scriptBlock(script);
}

namespace {

// The record the page shows when the caller gives none: a loaded trace's
// own (none when it stored nothing), and for live data this machine's.
const PTSystemInfoStruct* recordingSystemInfo(PerformanceTracer& tracer) {
  if (!tracer.hasRecordingSystemInfo()) return tracer.getSystemInfo();
  const PTSystemInfoStruct* stored = tracer.getStoredSystemInfo();
  if (stored == nullptr) return nullptr;
  for (const std::string* field : {&stored->processorStr, &stored->cpuSpeedStr, &stored->numCoresStr,
                                   &stored->totalPhysMemStr, &stored->operatingSystemStr, &stored->KAVLORVersionStr,
                                   &stored->javaVMVersionStr, &stored->installedProductsStr}) {
    if (!field->empty()) return stored;
  }
  return nullptr;
}

}  // namespace

// Both reports share one road; the aggregate-only page leaves out the Call
// Tree and Details tabs, their data and their scripts. The page goes into a
// file that replaces the target only once every piece is written, so a
// failure (or an exception from the analysis, which runs first) leaves the
// previous report.
bool pt::detail::writePhasePage(PerformanceTracer& tracer, PhasePageKind kind, const std::string& fileName,
                                const std::string& grouping, const std::string& reportTitle,
                                const std::string& statisticsType, PTRawDataVector* rawData,
                                const PTSystemInfoStruct* systemInfo) {
  return writePhasePage(tracer, kind, fileName, tracer.getProcessedData(rawData, {grouping}, false), reportTitle,
                        statisticsType, systemInfo);
}

bool pt::detail::writePhasePage(PerformanceTracer& tracer, PhasePageKind kind, const std::string& fileName,
                                PTProcessedDataStruct summary, const std::string& reportTitle,
                                const std::string& statisticsType, const PTSystemInfoStruct* systemInfo) {
  platform::ReplacingFile file(fileName, tracer.fileCalls());
  if (!file.isOpen()) return false;
  const PTSystemInfoStruct* shownInfo = systemInfo != nullptr ? systemInfo : recordingSystemInfo(tracer);
  bool written = true;
  auto write = [&file, &written](const std::string& piece) { written = file.write(piece) && written; };

  if (summary.hasErrors) {
    write(generateInstrumentationErrorPage());
    return written && file.commit();
  }
  const bool detailedMemory = pt::parseMetric(statisticsType) == pt::Metric::kDetailedMemory;
  if (detailedMemory && !summary.hasDetailedMemStats) {
    write(generateMissingDetailedMemStatsPage());
    return written && file.commit();
  }
  const PTAggregateDataMap aggregates = getAggregateData(tracer, summary.diagnosticInfos);
  const bool aggregateOnly = kind == PhasePageKind::kAggregateOnly;
  const bool noCallTree = aggregateOnly;
  const bool withChartEvents = detailedMemory && summary.hasDetailedMemStats;

  write(generateCommonHTMLFileHeader());
  write(generateHeadAndCSSString(summary.numLevels, reportTitle, false));
  write(withChartEvents ? "    <body onresize=\"onResizeAction()\" onmousemove=\"dialogMove(event)\" "
                          "onload=\"ShowTable('aggregateSummary'); onResizeAction();\">\n"
                        : "    <body onresize=\"onResizeAction()\" "
                          "onload=\"ShowTable('aggregateSummary'); onResizeAction();\">\n");
  write("        <div align=\"center\">\n");
  write(generateHeaderBarTable(noCallTree, statisticsType, aggregateOnly));
  write(writeAggregateSummaryHTML());
  if (!noCallTree) write(writeCallTreeTableHTML());
  if (!aggregateOnly) write(writePhaseSummaryHTML(statisticsType, false));
  write(generateSystemInfoTable(shownInfo));
  write("        </div>\n");
  write(generateFakeDataTableDiv(noCallTree, aggregateOnly));
  write("    </body>\n</html>\n");

  write(generateJavaScript(statisticsType, false, noCallTree, aggregateOnly));
  write(generateQSortJS());
  write(generateCommonJSVarsAndFunctions(statisticsType, false, "none", "none", aggregateOnly));
  write(writeAggregateSummaryJS(statisticsType, false, aggregateOnly));
  if (!aggregateOnly) write(writePhaseSummaryJS(statisticsType, false));
  if (!noCallTree) write(generateCallTreeReportFunctionsJS(statisticsType));
  // A block of its own: however large the tree, a fault in it cannot keep
  // the other tabs' data from loading.
  if (!noCallTree) write(scriptBlock(generateCallTreeReportDataJS(summary.diagnosticInfos)));
  write("    <script type=\"text/javascript\">\n");
  if (!aggregateOnly) write(generateDataArrayJS(tracer, &summary, statisticsType));
  write(generatePhaseDataArrayJS(tracer, &summary));
  write(generateAggregateDataArrayJS(aggregates, statisticsType, aggregateOnly));
  write("    </script>\n");
  if (detailedMemory && !aggregateOnly) {
    write(generateMemoryCanvasTable(summary.hasDetailedMemStats));
    write(generateCanvasJavaScript(summary.hasDetailedMemStats));
  }
  return written && file.commit();
}
