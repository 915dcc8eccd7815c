// Clearing, replacing and reading the raw data vector.
#include "tracer/fixed_texts.h"
#include "tracer/performance_tracer.h"

#include <boost/make_shared.hpp>

#include <algorithm>
#include <utility>

namespace {

template <class Drop>
void eraseIf(PTRawDataVector& points, Drop drop) {
  points.erase(std::remove_if(points.begin(), points.end(),
                              [&](const boost::shared_ptr<PTKAVLORDataPoint>& point) { return point && drop(*point); }),
               points.end());
}

// The stored kind decides what a point is to readers, but a point read from a
// record keeps the kind it was given whatever its class; the cast makes sure
// the fields compared exist.
const PTCLTGXDataPoint* asModelPoint(const PTKAVLORDataPoint& point) {
  if (point.type != PT_CLTGX && point.type != PT_QD) return nullptr;
  return dynamic_cast<const PTCLTGXDataPoint*>(&point);
}

const PTTracerDataPoint* asTracerPoint(const PTKAVLORDataPoint& point) {
  if (point.type != PT_TRACER) return nullptr;
  return dynamic_cast<const PTTracerDataPoint*>(&point);
}

boost::shared_ptr<PTKAVLORDataPoint> deepCopy(const boost::shared_ptr<PTKAVLORDataPoint>& point) {
  if (!point) return point;
  boost::shared_ptr<PTKAVLORDataPoint> copy;
  if (const auto* tracerPoint = dynamic_cast<const PTTracerDataPoint*>(point.get())) {
    copy = boost::make_shared<PTTracerDataPoint>(*tracerPoint);
  } else if (const auto* chartPoint = dynamic_cast<const PTQuorindelDataPoint*>(point.get())) {
    copy = boost::make_shared<PTQuorindelDataPoint>(*chartPoint);
  } else if (const auto* modelPoint = dynamic_cast<const PTCLTGXDataPoint*>(point.get())) {
    copy = boost::make_shared<PTCLTGXDataPoint>(*modelPoint);
  } else {
    copy = boost::make_shared<PTKAVLORDataPoint>(*point);
  }
  copy->type = point->type;  // a copy constructor stamps its own class's kind
  return copy;
}

}  // namespace

void PerformanceTracer::clearRawDataVector() {
  if (rawDataVector_) rawDataVector_->clear();
  if (statisticsTypeForModel_) statisticsTypeForModel_->clear();
  clearIdentifierRawEnum();
  clearStringMappings();
}

void PerformanceTracer::clearRawGroupingData(const std::string& grouping) {
  if (rawDataVector_) {
    const StringNumberMapping* groupings = getMappingByType(EPT_GROUPING);
    const std::int32_t number = groupings == nullptr ? -1 : groupings->getNumber(grouping);
    eraseIf(*rawDataVector_, [number](const PTKAVLORDataPoint& point) { return point.grouping == number; });
  }
  recorder_.clearEventData(grouping);
}

void PerformanceTracer::clearRawModelData(const std::string& model) {
  const std::int32_t number = std::as_const(*this).getNumberForString(pt::kModelIdentifier, model);
  // -1 would match every point without a model: a model never logged has no points.
  if (!rawDataVector_ || number == -1) return;
  eraseIf(*rawDataVector_, [number](const PTKAVLORDataPoint& point) {
    const PTTracerDataPoint* tracerPoint = asTracerPoint(point);
    return tracerPoint != nullptr && tracerPoint->getIdentifierNum(pt::kModelIdentifier) == number;
  });
}

// Logging through the exported functions makes tracer points, whose model and
// target are identifiers: a clear by grouping and model takes those too, or it
// would clear nothing that a tool logged. An identifier value never logged
// (-1) matches no tracer point.
void PerformanceTracer::clearRawDataVector(const std::string& grouping, const std::string& model) {
  if (!rawDataVector_) return;
  const std::int32_t groupingNumber = getNumberForString(EPT_GROUPING, grouping, false);
  const std::int32_t modelNumber = getNumberForString(EPT_MODEL, model, false);
  const std::int32_t modelValue = std::as_const(*this).getNumberForString(pt::kModelIdentifier, model);
  eraseIf(*rawDataVector_, [&](const PTKAVLORDataPoint& point) {
    if (point.grouping != groupingNumber) return false;
    if (const PTCLTGXDataPoint* modelPoint = asModelPoint(point)) return modelPoint->model == modelNumber;
    const PTTracerDataPoint* tracerPoint = asTracerPoint(point);
    return tracerPoint != nullptr && modelValue != -1 &&
           tracerPoint->getIdentifierNum(pt::kModelIdentifier) == modelValue;
  });
}

void PerformanceTracer::clearRawDataVector(const std::string& grouping, const std::string& model,
                                           const std::string& target) {
  if (!rawDataVector_) return;
  const std::int32_t groupingNumber = getNumberForString(EPT_GROUPING, grouping, false);
  const std::int32_t modelNumber = getNumberForString(EPT_MODEL, model, false);
  const std::int32_t targetNumber = getNumberForString(EPT_TARGET, target, false);
  const std::int32_t modelValue = std::as_const(*this).getNumberForString(pt::kModelIdentifier, model);
  const std::int32_t targetValue = std::as_const(*this).getNumberForString(pt::kTargetIdentifier, target);
  eraseIf(*rawDataVector_, [&](const PTKAVLORDataPoint& point) {
    if (point.grouping != groupingNumber) return false;
    if (const PTCLTGXDataPoint* modelPoint = asModelPoint(point))
      return modelPoint->model == modelNumber && modelPoint->target == targetNumber;
    const PTTracerDataPoint* tracerPoint = asTracerPoint(point);
    return tracerPoint != nullptr && modelValue != -1 && targetValue != -1 &&
           tracerPoint->getIdentifierNum(pt::kModelIdentifier) == modelValue &&
           tracerPoint->getIdentifierNum(pt::kTargetIdentifier) == targetValue;
  });
}

void PerformanceTracer::setRawDataVector(const PTRawDataVector& points) {
  rawDataVector_ = std::make_unique<PTRawDataVector>(points);
}

std::unique_ptr<PTRawDataVector> PerformanceTracer::getRawDataVector(const std::string& grouping) {
  if (!rawDataVector_) return nullptr;
  processRecorderDataToRawData();
  const std::int32_t number = getNumberForString(EPT_GROUPING, grouping, true);
  auto points = std::make_unique<PTRawDataVector>();
  for (const boost::shared_ptr<PTKAVLORDataPoint>& point : *rawDataVector_) {
    if (point && point->grouping == number) points->push_back(point);
  }
  return points;
}

std::unique_ptr<PTRawDataVector> PerformanceTracer::getRawDataVector() {
  if (!rawDataVector_) return nullptr;
  processRecorderDataToRawData();
  auto copies = std::make_unique<PTRawDataVector>();
  copies->reserve(rawDataVector_->size());
  for (const boost::shared_ptr<PTKAVLORDataPoint>& point : *rawDataVector_) copies->push_back(deepCopy(point));
  return copies;
}
