#include "report/processed_data_report.h"

#include <utility>

#include "analysis/processed_data.h"
#include "report/phase/phase_page.h"

bool pt::writePhaseReport(PerformanceTracer& tracer, const std::string& fileName, PTProcessedDataStruct summary,
                          const std::string& reportTitle, const std::string& metric, bool aggregateOnly,
                          const PTSystemInfoStruct* systemInfo) {
  const auto kind = aggregateOnly ? detail::PhasePageKind::kAggregateOnly : detail::PhasePageKind::kFull;
  return detail::writePhasePage(tracer, kind, fileName, std::move(summary), reportTitle, metric, systemInfo);
}
