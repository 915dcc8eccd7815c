// The pairing of one grouping for the diagnostic report, and the kind of
// point that report describes.
#include "analysis/pairing.h"
#include "analysis/processed_data.h"
#include "tracer/fixed_texts.h"
#include "tracer/performance_tracer.h"

#include <algorithm>

namespace {

// -1 when the name is unknown, which must match no point: points without a
// grouping or phase also carry -1.
std::int32_t lookUp(const PerformanceTracer& tracer, EPTStringMappings mapping, const std::string& name) {
  const StringNumberMapping* table = tracer.getMappingByType(mapping);
  return table == nullptr ? -1 : table->getNumber(name);
}

bool known(std::int32_t number) { return number != -1; }

}  // namespace

bool generateDiagnosticInfo(PerformanceTracer& tracer, PTRawDataVector* rawData, const std::string& grouping,
                            PTDiagnosticMap& diagnosticMap, PTProcessedDataStruct& summary) {
  summary.numLevels = 0;
  // The map keeps the points it refers to; the copy itself can go afterwards.
  std::unique_ptr<PTRawDataVector> copy;
  if (rawData == nullptr) {
    copy = tracer.getRawDataVector();
    rawData = copy.get();
  }
  if (rawData == nullptr || rawData->empty()) return true;

  const std::int32_t groupingNumber = lookUp(tracer, EPT_GROUPING, grouping);
  const bool isGlobal = grouping == pt::kGlobalGrouping;
  const std::int32_t unaccounted = lookUp(tracer, EPT_PHASE, pt::kUnaccountedPhase);
  pt::detail::Pairing pairing(tracer, summary, {.diagnosticMap = &diagnosticMap});
  pairing.walk(*rawData, [&](const PTKAVLORDataPoint& point) {
    return isGlobal || (known(groupingNumber) && point.grouping == groupingNumber) ||
           (known(unaccounted) && point.phase == unaccounted);
  });
  // Starts never closed are error rows; the report shows them without the
  // summary's error flag.
  return pairing.closeOpenStarts() > 0;
}

PTDataPointType PerformanceTracer::getDiagnosticReportType(const PTRawDataVector* rawData,
                                                           const std::string& grouping) const {
  if (rawData == nullptr) return PT_KAVLOR;
  const std::int32_t groupingNumber = lookUp(*this, EPT_GROUPING, grouping);
  const bool isGlobal = grouping == pt::kGlobalGrouping;
  std::int32_t level = PT_KAVLOR;
  for (const boost::shared_ptr<PTKAVLORDataPoint>& point : *rawData) {
    if (!point || point->type <= level || point->type > PT_TRACER) continue;
    if (!isGlobal && !(known(groupingNumber) && point->grouping == groupingNumber)) continue;
    level = point->type;
    // The first state-chart or tracer point decides, even when a richer kind follows.
    if (level >= PT_QD) break;
  }
  return static_cast<PTDataPointType>(level);
}
