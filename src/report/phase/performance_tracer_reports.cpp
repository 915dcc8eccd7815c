// The tracer's report members: thin forwards to the report layer, for the host
// methods and the command-line tool.
#include "report/phase/comparison_report.h"
#include "report/phase/diagnostic_report.h"
#include "report/phase/phase_page.h"
#include "tracer/performance_tracer.h"

bool PerformanceTracer::generateHTMLReport(const std::string& fileName, const std::string& grouping,
                                           const std::string& reportTitle, const std::string& statisticsType, bool,
                                           PTRawDataVector* rawData, const PTSystemInfoStruct* systemInfo) {
  return pt::detail::writePhasePage(*this, pt::detail::PhasePageKind::kFull, fileName, grouping, reportTitle,
                                    statisticsType, rawData, systemInfo);
}

bool PerformanceTracer::generateAggregateReport(const std::string& fileName, const std::string& grouping,
                                                const std::string& reportTitle, const std::string& statisticsType, bool,
                                                PTRawDataVector* rawData, const PTSystemInfoStruct* systemInfo) {
  return pt::detail::writePhasePage(*this, pt::detail::PhasePageKind::kAggregateOnly, fileName, grouping, reportTitle,
                                    statisticsType, rawData, systemInfo);
}

bool PerformanceTracer::diagnosticReport(const std::string& fileName, const std::string& grouping,
                                         PTRawDataVector* rawData) {
  return pt::detail::writeDiagnosticReport(*this, fileName, grouping, rawData);
}

bool PerformanceTracer::generateHTMLComparisonReport(const std::string& htmlFile, const std::string& grouping,
                                                     const std::string& lhsLabel, const std::string& rhsLabel,
                                                     PTRawDataVector* lhsRaw, PTRawDataVector* rhsRaw,
                                                     const PTSystemInfoStruct* lhsSystemInfo,
                                                     const PTSystemInfoStruct* rhsSystemInfo,
                                                     const std::string& format) {
  return pt::detail::writeComparisonPage(*this, pt::detail::ComparisonPageKind::kPhases, htmlFile, grouping, lhsLabel,
                                         rhsLabel, lhsRaw, rhsRaw, lhsSystemInfo, rhsSystemInfo, format);
}

bool PerformanceTracer::generateHTMLAggregateComparisonReport(const std::string& htmlFile, const std::string& grouping,
                                                              const std::string& lhsLabel, const std::string& rhsLabel,
                                                              PTRawDataVector* lhsRaw, PTRawDataVector* rhsRaw,
                                                              const PTSystemInfoStruct* lhsSystemInfo,
                                                              const PTSystemInfoStruct* rhsSystemInfo,
                                                              const std::string& format) {
  return pt::detail::writeComparisonPage(*this, pt::detail::ComparisonPageKind::kAggregates, htmlFile, grouping,
                                         lhsLabel, rhsLabel, lhsRaw, rhsRaw, lhsSystemInfo, rhsSystemInfo, format);
}
