// The aggregate report: the phase report reduced to its Aggregate and System
// Info tabs, written along the same road as the full page.
#include "report/phase/phase_page.h"
#include "tracer/performance_tracer.h"

bool PerformanceTracer::generateAggregateReport(const std::string& fileName, const std::string& grouping,
                                                const std::string& reportTitle, const std::string& statisticsType, bool,
                                                PTRawDataVector* rawData, const PTSystemInfoStruct* systemInfo) {
  return pt::detail::writePhasePage(*this, pt::detail::PhasePageKind::kAggregateOnly, fileName, grouping, reportTitle,
                                    statisticsType, rawData, systemInfo);
}
