// Page frame of the phase-based reports: the pages written instead of a report
// when the trace cannot be shown. The frame's other pieces (head, style
// sheet, tab bars, system information, tab script) are members of
// PerformanceTracer.
//
//   if (summary.hasErrors) file.write(generateInstrumentationErrorPage());
//   std::string page = tracer.generateCommonHTMLFileHeader();
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
