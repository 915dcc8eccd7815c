#include "analysis/diagnostic_info.h"

#include <utility>

namespace {

// The kind is a plain field (a point read from a record keeps the kind the
// record gave it), so the class is checked before its fields are read.
template <class Processed, class Raw>
std::unique_ptr<PTKAVLORProcessedDataPoint> makeAs(const PTKAVLORDataPoint* point, PerformanceTracer* tables) {
  if (const auto* raw = dynamic_cast<const Raw*>(point)) return std::make_unique<Processed>(raw, tables);
  return std::make_unique<PTKAVLORProcessedDataPoint>(point, tables);
}

}  // namespace

std::unique_ptr<PTKAVLORProcessedDataPoint> makeProcessedDataPoint(const PTKAVLORDataPoint* point,
                                                                   PerformanceTracer* tables,
                                                                   PTIdentifierMapPool* pool) {
  switch (point == nullptr ? PT_KAVLOR : point->type) {
    case PT_CLTGX: return makeAs<PTCLTGXProcessedDataPoint, PTCLTGXDataPoint>(point, tables);
    case PT_QD: return makeAs<PTQDProcessedDataPoint, PTQuorindelDataPoint>(point, tables);
    case PT_TRACER:
      if (const auto* raw = dynamic_cast<const PTTracerDataPoint*>(point); raw != nullptr && pool != nullptr) {
        return std::make_unique<PTTracerProcessedDataPoint>(raw, *pool, tables);
      }
      return makeAs<PTTracerProcessedDataPoint, PTTracerDataPoint>(point, tables);
    default: return std::make_unique<PTKAVLORProcessedDataPoint>(point, tables);
  }
}

PTDiagnosticInfo::PTDiagnosticInfo(const boost::shared_ptr<PTKAVLORDataPoint>& point, int rowNumber, int stackDepth)
    : processedPoint(makeProcessedDataPoint(point.get())) {
  processedPoint->HTMLRowNumber = rowNumber;
  processedPoint->stackDepth = stackDepth;
}

PTDiagnosticInfo::PTDiagnosticInfo(std::unique_ptr<PTKAVLORProcessedDataPoint> point)
    : processedPoint(point ? std::move(point) : std::make_unique<PTKAVLORProcessedDataPoint>()) {}
