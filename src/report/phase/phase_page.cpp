#include "report/phase/phase_page.h"

#include "analysis/aggregation.h"
#include "analysis/metric.h"
#include "analysis/processed_data.h"
#include "platform/replacing_file.h"
#include "report/phase/call_tree.h"
#include "report/phase/data_arrays.h"
#include "report/phase/html_escape.h"
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

std::string errorPage(std::string_view bodyText) {
  std::string page = "<html>\n    <body>\n";
  page += bodyText;
  page += "    </body>\n</html>\n";
  return page;
}

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

std::string generateInstrumentationErrorPage() {
  return errorPage(
      "An error has been detected in the PerformanceTracer instrumentation.\n"
      "Please call:<br> ZezaDazod.Tracer.diagnosticReport('htmlfile', 'mydiag.html')<br>\n"
      "to generate a Diagnostic Report to determine where the error(s) occur.\n");
}

std::string generateMissingDetailedMemStatsPage() {
  return errorPage(
      "Detailed memstats was not collected.<br>\n"
      "If generating report from a KVD file, please check if DetailedMemstats was enabled and is collected on a "
      "Windows platform.<br>\n"
      "If generating report with the data collected in the current session, please call:<br> "
      "ZezaDazod.Tracer.clearRawData;<br>\n"
      "ZezaDazod.Tracer.enableDetailedMemStats(true)<br>\n");
}

std::string PerformanceTracer::generateCommonHTMLFileHeader() const {
  return "<!DOCTYPE html PUBLIC \"-//W3C//DTD XHTML 1.0 Strict//EN\"\n"
         "\"http://www.w3.org/TR/xhtml1/DTD/xhtml1-strict.dtd\">\n"
         "<html xmlns=\"http://www.w3.org/1999/xhtml\"xml:lang=\"en\" lang=\"en\">\n";
}

std::string PerformanceTracer::generatePhaseNameCellCSSStrings(int numLevels) const {
  std::string rules;
  for (int level = 0; level < numLevels; ++level) {
    rules += "            table.dataTable td.phaseNameCell" + std::to_string(level) + " {\n";
    rules +=
        level % 2 == 0 ? "                background-color:#FFFFFF;\n" : "                background-color:#E7EBF5;\n";
    rules += "                padding-left:" + std::to_string(10 + 25 * level) + "px;\n            }\n\n";
  }
  return rules;
}

std::string PerformanceTracer::generateHeadAndCSSString(int numLevels, const std::string& title,
                                                        bool comparison) const {
  const std::string shownTitle = title == pt::kGlobalGrouping ? "Full Tracer Report"
                                 : !title.empty()             ? title
                                                              : "Performance Tracer Report";
  std::string head = "    <head>\n        <meta http-equiv=\"Content-type\" content=\"text/html;charset=UTF-8\" />\n";
  head += "        <title>" + ptEscapeForHtml(shownTitle) + "</title>\n";
  head += "        <style type=\"text/css\" media=\"screen\">\n";
  head += pt::assets::report_page_css();
  head += generatePhaseNameCellCSSStrings(numLevels < 1 ? 8 : numLevels);
  head += pt::assets::report_cells_css();
  if (comparison) head += pt::assets::report_comparison_css();
  head += pt::assets::report_tail_css();
  head += "        </style>\n    </head>\n";
  return head;
}

std::string PerformanceTracer::getMemStatsHTMLReportCSS() const {
  return "        <style type=\"text/css\">\n" + std::string(pt::assets::memstats_bar_graph_css()) +
         "        </style>\n";
}

std::string PerformanceTracer::generateHeaderBarTable(bool noCallTree, const std::string& statisticsType,
                                                      bool aggregateOnly) const {
  return "            <table id = \"headerTable\" border=\"0\" cellspacing=\"0\" cellpadding=\"0\" "
         "style=\"width:100%;\"> \n"
         "                <tr>\n"
         "                    <td class=\"headerTable\">\n" +
         generateHeaderDivs(noCallTree, statisticsType, aggregateOnly) +
         "                    </td>\n"
         "                </tr>\n"
         "            </table>\n";
}

std::string PerformanceTracer::generateHeaderDivs(bool noCallTree, const std::string& statisticsType,
                                                  bool aggregateOnly) const {
  return pt::report::tabBarDivs(presentTabs(noCallTree, statisticsType, aggregateOnly), "aggregateSummary");
}

std::string PerformanceTracer::getHardwareInfoHTML(const PTSystemInfoStruct* info) const {
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

std::string PerformanceTracer::generateSystemInfoTable(const PTSystemInfoStruct* info) const {
  std::string html =
      "            <div id=\"systemInfoTableDiv\"  style=\"align:center;overflow:auto;border:2px solid #324678;\">\n"
      "                <table id=\"systemInfoTable\" class=\"dataTable systemInfo\" cellpadding=\"0\" "
      "cellspacing=\"0\">\n"
      "                    <tr><th>Hardware/Software</th></tr>\n"
      "                    <tr><td>";
  html += getHardwareInfoHTML(info);
  html +=
      "</td></tr>\n"
      "                    <tr><th>OS/Product Details</th></tr>\n"
      "                    <tr><td><pre class=\"SystemInfoText\">\n";
  if (info != nullptr) html += ptEscapeForHtml(info->installedProductsStr);
  html += "</pre></td></tr>\n                </table>\n            </div>\n";
  return html;
}

std::string PerformanceTracer::generateJavaScript(const std::string& statisticsType, bool, bool comparison,
                                                  bool noCallTree, bool aggregateOnly) const {
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

std::string PerformanceTracer::generateCommonJSVarsAndFunctions(const std::string& statisticsType, bool comparison,
                                                                const std::string& lhsName, const std::string& rhsName,
                                                                bool aggregateOnly) const {
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

  write(tracer.generateCommonHTMLFileHeader());
  write(tracer.generateHeadAndCSSString(summary.numLevels, reportTitle, false));
  write(withChartEvents ? "    <body onresize=\"onResizeAction()\" onmousemove=\"dialogMove(event)\" "
                          "onload=\"ShowTable('aggregateSummary'); onResizeAction();\">\n"
                        : "    <body onresize=\"onResizeAction()\" "
                          "onload=\"ShowTable('aggregateSummary'); onResizeAction();\">\n");
  write("        <div align=\"center\">\n");
  write(tracer.generateHeaderBarTable(noCallTree, statisticsType, aggregateOnly));
  write(writeAggregateSummaryHTML());
  if (!noCallTree) write(writeCallTreeTableHTML());
  if (!aggregateOnly) write(writePhaseSummaryHTML(statisticsType, false));
  write(tracer.generateSystemInfoTable(shownInfo));
  write("        </div>\n");
  write(generateFakeDataTableDiv(noCallTree, aggregateOnly));
  write("    </body>\n</html>\n");

  write(tracer.generateJavaScript(statisticsType, summary.hasDetailedMemStats, false, noCallTree, aggregateOnly));
  write(generateQSortJS());
  write(tracer.generateCommonJSVarsAndFunctions(statisticsType, false, "none", "none", aggregateOnly));
  write(writeAggregateSummaryJS(statisticsType, false, aggregateOnly));
  if (!aggregateOnly) write(writePhaseSummaryJS(statisticsType, false));
  if (!noCallTree) write(generateCallTreeReportFunctionsJS(statisticsType));
  // A block of its own: however large the tree, a fault in it cannot keep
  // the other tabs' data from loading.
  if (!noCallTree) write(scriptBlock(generateCallTreeReportDataJS(summary.diagnosticInfos)));
  write("    <script type=\"text/javascript\">\n");
  if (!aggregateOnly) write(tracer.generateDataArrayJS(&summary, statisticsType));
  write(tracer.generatePhaseDataArrayJS(&summary));
  write(generateAggregateDataArrayJS(aggregates, statisticsType, aggregateOnly));
  write("    </script>\n");
  if (detailedMemory && !aggregateOnly) {
    write(tracer.generateMemoryCanvasTable(summary.hasDetailedMemStats));
    write(tracer.generateCanvasJavaScript(summary.hasDetailedMemStats));
  }
  return written && file.commit();
}

bool PerformanceTracer::generateHTMLReport(const std::string& fileName, const std::string& grouping,
                                           const std::string& reportTitle, const std::string& statisticsType, bool,
                                           PTRawDataVector* rawData, const PTSystemInfoStruct* systemInfo) {
  return pt::detail::writePhasePage(*this, pt::detail::PhasePageKind::kFull, fileName, grouping, reportTitle,
                                    statisticsType, rawData, systemInfo);
}
