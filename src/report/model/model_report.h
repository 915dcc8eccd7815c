// Model-based report page: one recording (or the merged tree of two) shown as
// a checkable tree of models, sections, tests and phases, with a summary, a
// call tree, a detail table and optionally a flame graph of the checked items.
//
//   generateReport_modelBased(tracer, "models.html", "GLOBAL", "time", {}, nullptr, PT_REPORT_MODEL, true);
//   std::string rows = generateSummaryTreeStr(tracer, navigationNodes, PT_REPORT_MODEL, "time");
//
// The page is a template from the library's embedded assets with named
// markers filled in, followed by script blocks holding the node records and
// name tables, those of the tracer the page is written for. Every trace text
// lands escaped for the place it lands in.
#pragma once

#include "report/model/flame_graph.h"
#include "report/model/tree_construction.h"
#include "tracer/data_points.h"
#include "tracer/string_mappings.h"

#include <optional>
#include <string>
#include <vector>

class PerformanceTracer;
struct PTProcessedDataStruct;

/// Writes the model-based report of one recording (the tracer's own points
/// when rawData is null). A test report (PT_REPORT_TEST) of data without test
/// information warns and becomes a model report. The page always shows times
/// and memory; `format` only decides the flame graph's counts. False when the
/// file cannot be written; a trace that does not pair gives the error page.
bool generateReport_modelBased(PerformanceTracer& tracer, const std::string& htmlFile, const std::string& grouping,
                               const std::string& format, const std::vector<std::string>& arguments,
                               PTRawDataVector* rawData, PTReportType type, bool includeFlameGraph);
/// The same page of rows already analysed, numbered in `tracer`'s tables.
bool generateReport_modelBased(PerformanceTracer& tracer, const std::string& htmlFile,
                               const PTProcessedDataStruct& summary, const std::string& format,
                               const std::vector<std::string>& arguments, PTReportType type, bool includeFlameGraph);

/// The page up to its scripts: style, left and right panes, the flame graph
/// block when there is a drawing.
std::string generateHTMLTemplateStr(PTReportType type, const PTFlameGraph* flameGraph);
/// "var leftTreeData = [ ...]" of the navigation nodes, then the phase, model,
/// target (and, for test kinds, harness model) name tables.
std::string generateSummaryTreeStr(const PerformanceTracer& tracer, const PTNodeVector& nodes, PTReportType type,
                                   const std::string& format);
/// "var rightTreeData = [ ...]": the phase subtrees of the selectable items.
std::string generateDetailedTreeStr(const PTNodeVector& nodes, PTReportType type, const std::string& format);
/// " phase = [" ... of EPT_PHASE, EPT_MODEL or EPT_TARGET, names escaped.
std::string generateMapStr(const PerformanceTracer& tracer, EPTStringMappings mapping);
/// "name = [" ... of an identifier's value table; "name= []" without one.
std::string generateMapStr(const PerformanceTracer& tracer, const std::string& identifierName);
/// The left tree's script: node class, tree building, checkable table.
std::string generateSummaryJSStr(PTReportType type, const std::string& lhsLabel, const std::string& rhsLabel,
                                 const std::string& format, bool withFlameGraph);
/// The right pane's scripts: tabs and tables; call tree; flame graph glue and start-up.
std::string generateDetailedJSStrPart1(PTReportType type, const std::string& lhsLabel, const std::string& rhsLabel,
                                       const std::string& format);
std::string generateDetailedJSStrPart2(PTReportType type);
std::string generateDetailedJSStrPart3(PTReportType type, const std::string& lhsLabel, const std::string& rhsLabel,
                                       const std::string& format, bool withFlameGraph);
/// The host call's arguments as the suggestion of the NoCLTestInfo warning:
/// "'htmlfile', 'r.html', 'format', 'modelBased'".
std::string transformInput(const std::vector<std::string>& arguments, PTReportType type);

namespace pt::detail {

/// The whole page of a built tree (single or merged difference tree).
std::vector<std::string> modelPagePieces(const PerformanceTracer& tracer, const PTNodeVector& nodes, PTReportType type,
                                         const std::string& lhsLabel, const std::string& rhsLabel,
                                         const std::string& format, const std::optional<PTFlameGraph>& flameGraph);

}  // namespace pt::detail
