// Page frame of the phase-based reports: the pieces every phase and
// comparison page shares (document header, head and style sheet, tab bars,
// system information, tab script, script globals), and the pages written
// instead of a report when the trace cannot be shown.
//
//   if (summary.hasErrors) file.write(generateInstrumentationErrorPage());
//   std::string page = generateCommonHTMLFileHeader() + generateHeadAndCSSString(levels, title, false);
#pragma once

#include <string>

#include "tracer/data_points.h"

class PerformanceTracer;
struct PTProcessedDataStruct;
struct PTSystemInfoStruct;

/// The page of a trace that could not be paired (or held no data), pointing
/// to the diagnostic report.
std::string generateInstrumentationErrorPage();
/// The page of a "detailedmemory" report whose trace carries no detailed
/// memory statistics.
std::string generateMissingDetailedMemStatsPage();

/// The document type line and the opening html element.
std::string generateCommonHTMLFileHeader();
/// The head: title ("GLOBAL" gives "Full Tracer Report", empty gives
/// "Performance Tracer Report") and the style sheet.
std::string generateHeadAndCSSString(int numLevels, const std::string& title, bool comparison);
/// One indentation class per nesting level.
std::string generatePhaseNameCellCSSStrings(int numLevels);
std::string generateHeaderBarTable(bool noCallTree, const std::string& statisticsType, bool aggregateOnly);
/// One tab bar per present tab, each naming its own tab and linking the others.
std::string generateHeaderDivs(bool noCallTree, const std::string& statisticsType, bool aggregateOnly);
std::string generateSystemInfoTable(const PTSystemInfoStruct* info);
/// Empty for a null record.
std::string getHardwareInfoHTML(const PTSystemInfoStruct* info);
/// The tab-switching script.
std::string generateJavaScript(const std::string& statisticsType, bool comparison, bool noCallTree, bool aggregateOnly);
/// Page globals and the helpers every table script uses.
std::string generateCommonJSVarsAndFunctions(const std::string& statisticsType, bool comparison,
                                             const std::string& lhsName, const std::string& rhsName,
                                             bool aggregateOnly);
/// Style rules for memory bar graphs.
std::string getMemStatsHTMLReportCSS();

namespace pt::detail {

enum class PhasePageKind { kFull, kAggregateOnly };

/// Writes the phase page of the kind into the file, replacing it only once the
/// whole page is written; false, with the file as it was, when it cannot be
/// opened or written.
bool writePhasePage(PerformanceTracer& tracer, PhasePageKind kind, const std::string& fileName,
                    const std::string& grouping, const std::string& reportTitle, const std::string& statisticsType,
                    PTRawDataVector* rawData, const PTSystemInfoStruct* systemInfo);
/// The same page of rows already analysed (the rows' points may be converted on the way).
bool writePhasePage(PerformanceTracer& tracer, PhasePageKind kind, const std::string& fileName,
                    PTProcessedDataStruct summary, const std::string& reportTitle, const std::string& statisticsType,
                    const PTSystemInfoStruct* systemInfo);

}  // namespace pt::detail
