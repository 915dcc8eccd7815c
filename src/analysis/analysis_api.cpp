#include "analysis/analysis_api.h"

#include "tracer/performance_tracer.h"

PTProcessedDataStruct ptGetProcessedDataForGroupings(PTRawDataVector* rawData,
                                                     const std::vector<std::string>& groupings) {
  return PerformanceTracer::getInstance()->getProcessedData(rawData, groupings, false);
}

PTProcessedDataStruct ptGetProcessedDataForModels(PTRawDataVector* rawData, const std::vector<std::string>& models) {
  return PerformanceTracer::getInstance()->getProcessedData(rawData, models, true);
}

PTAggregateDataMap ptGetAggregateProcessedData(PTDiagnosticInfoVector& rows) {
  return getAggregateData(*PerformanceTracer::getInstance(), rows);
}
