#include "tracer/pt_clearing.h"

#include "tracer/performance_tracer.h"

namespace {
PerformanceTracer& tracer() { return *PerformanceTracer::getInstance(); }
}  // namespace

void ptClearRawData() {
  PerformanceTracer& instance = tracer();
  instance.clearRawDataVector();
  instance.clearIdentifierRawEnum();
  instance.clearMapTestPath();
  instance.clearPerfTracerRecorderEventData();
  instance.clearMapCollections();
}

void ptClearRawData(const std::string& grouping, const std::string& model) {
  tracer().clearRawDataVector(grouping, model);
}

void ptClearRawData(const std::string& grouping, const std::string& model, const std::string& target) {
  tracer().clearRawDataVector(grouping, model, target);
}

void ptClearRawGroupingData(const std::string& grouping) { tracer().clearRawGroupingData(grouping); }

void ptClearRawModelData(const std::string& model) { tracer().clearRawModelData(model); }

void ptCleanupRawDataVector(std::unique_ptr<PTRawDataVector>& points) { points.reset(); }

void ptCleanupProcessedDataVector(std::vector<boost::shared_ptr<PTDiagnosticInfo>>& rows) { rows.clear(); }

void ptCleanupDiagnosticMap(
    boost::unordered_map<boost::shared_ptr<PTKAVLORDataPoint>, boost::shared_ptr<PTDiagnosticInfo>>& rows) {
  rows.clear();
}
