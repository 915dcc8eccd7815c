// Phase reports of rows the caller has analysed already: a caller that needs
// the analysis itself (to choose between the report and an error page, say)
// need not have the trace paired a second time.
//
//   PTProcessedDataStruct summary = tracer.getProcessedData(nullptr, {"GLOBAL"}, false);
//   if (!summary.hasErrors) pt::writePhaseReport(tracer, "run.html", summary, "run", "time", false, nullptr);
#pragma once

#include <string>

class PerformanceTracer;
struct PTProcessedDataStruct;
struct PTSystemInfoStruct;

namespace pt {

/// Writes the page generateHTMLReport (with `aggregateOnly`, generateAggregateReport)
/// writes for the same rows; a null `systemInfo` shows the recording's own.
/// False, with the file as it was, when it cannot be written.
bool writePhaseReport(PerformanceTracer& tracer, const std::string& fileName, PTProcessedDataStruct summary,
                      const std::string& reportTitle, const std::string& metric, bool aggregateOnly,
                      const PTSystemInfoStruct* systemInfo);

}  // namespace pt
