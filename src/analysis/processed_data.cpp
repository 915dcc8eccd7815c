#include "analysis/processed_data.h"

#include "analysis/pairing.h"
#include "tracer/fixed_texts.h"
#include "tracer/performance_tracer.h"

#include <boost/unordered_map.hpp>

#include <algorithm>
#include <utility>

namespace {

// Whether the text of a number is one of the wanted names, worked out once per
// number: a trace has millions of points but few distinct groupings or models.
class NameMatch {
 public:
  explicit NameMatch(const std::vector<std::string>& names) : names_(names) {}

  template <class TextOf>
  bool operator()(std::int32_t number, TextOf textOf) {
    auto [entry, isNew] = memo_.try_emplace(number, false);
    if (isNew) entry->second = PerformanceTracer::matchVectorString(names_, textOf(number));
    return entry->second;
  }

 private:
  const std::vector<std::string>& names_;
  boost::unordered_map<std::int32_t, bool> memo_;
};

// Gap rows of traces without memory statistics are always admitted. A phase
// of -1 is no phase at all, so an unknown "Unaccounted Phase" admits nothing.
class UnaccountedPhase {
 public:
  explicit UnaccountedPhase(PerformanceTracer& tracer)
      : number_(tracer.getNumberForString(EPT_PHASE, pt::kUnaccountedPhase, false)) {}
  bool operator()(const PTKAVLORDataPoint& point) const { return number_ != -1 && point.phase == number_; }

 private:
  std::int32_t number_;
};

// The walk shared by both loops.
template <class Admit>
void pairAdmittedPoints(PerformanceTracer& tracer, PTRawDataVector& rawData, Admit&& admit,
                        PTProcessedDataStruct& summary, pt::detail::PairingSinks sinks) {
  pt::detail::Pairing pairing(tracer, summary, sinks);
  pairing.walk(rawData, admit);
  summary.reportWallClockTime = summary.totalWallClockTime;
  summary.reportCpuTime = summary.totalCpuTime;
  if (pairing.closeOpenStarts() > 0) summary.hasErrors = true;
}

}  // namespace

void pt::detail::pairGroupings(PerformanceTracer& tracer, PTRawDataVector* rawData,
                               const std::vector<std::string>& groupings, PTProcessedDataStruct& summary,
                               PairingSinks sinks) {
  if (rawData == nullptr || rawData->empty()) {
    summary.hasErrors = true;
    return;
  }
  const bool isGlobal = PerformanceTracer::matchVectorString(groupings, pt::kGlobalGrouping);
  const UnaccountedPhase unaccounted(tracer);
  NameMatch wanted(groupings);
  const auto groupingText = [&](std::int32_t number) { return tracer.getStringForNumber(EPT_GROUPING, number); };
  pairAdmittedPoints(
      tracer, *rawData,
      [&](const PTKAVLORDataPoint& point) {
        return isGlobal || unaccounted(point) || wanted(point.grouping, groupingText);
      },
      summary, sinks);
}

namespace {

// The caller owns rawData; a null one is replaced by the tracer's own copy.
void modelLoop(PerformanceTracer& tracer, PTRawDataVector& rawData, const std::vector<std::string>& models,
               PTProcessedDataStruct& summary, pt::detail::PairingSinks sinks) {
  if (rawData.empty()) {
    summary.hasErrors = true;
    return;
  }
  std::string modelIdentifier;
  for (const char* candidate : pt::kModelIdentifierCandidates) {
    if (tracer.getMapCollections().count(candidate) != 0) {
      modelIdentifier = candidate;
      break;
    }
  }
  const bool isGlobal = PerformanceTracer::matchVectorString(models, pt::kGlobalGrouping);
  const UnaccountedPhase unaccounted(tracer);
  NameMatch wantedModel(models);
  NameMatch wantedIdentifier(models);
  const auto modelText = [&](std::int32_t number) { return tracer.getStringForNumber(EPT_MODEL, number); };
  const auto identifierText = [&](std::int32_t number) {
    return modelIdentifier.empty() ? std::string() : tracer.getStringForNumber(modelIdentifier, number);
  };
  pairAdmittedPoints(
      tracer, rawData,
      [&](const PTKAVLORDataPoint& point) {
        // Points without a model field or identifier never take part, except
        // the gap points an earlier analysis of this vector put in: without
        // memory statistics they are plain points, and skipping them would
        // fill their gap once more on every analysis.
        const bool hasSubject = point.type == PT_CLTGX || point.type == PT_QD || point.type == PT_TRACER;
        if (!hasSubject && !point.isGapPoint) return false;
        if (isGlobal || unaccounted(point)) return true;
        if (point.type == PT_TRACER) {
          const auto* tracerPoint = dynamic_cast<const PTTracerDataPoint*>(&point);
          const std::int32_t value =
              tracerPoint == nullptr || modelIdentifier.empty() ? -1 : tracerPoint->getIdentifierNum(modelIdentifier);
          return wantedIdentifier(value, identifierText);
        }
        const auto* modelPoint = dynamic_cast<const PTCLTGXDataPoint*>(&point);
        return wantedModel(modelPoint == nullptr ? -1 : modelPoint->model, modelText);
      },
      summary, sinks);
}

// Pairs, classifies and collects the rows. A caller's vector receives the gap
// points; a private copy (dropped afterwards) does not need them.
PTProcessedDataStruct summarise(PerformanceTracer& tracer, PTRawDataVector* rawData,
                                const std::vector<std::string>& names, bool forModels, bool callersVector) {
  PTProcessedDataStruct summary;
  // The rows are collected as they are made, in the order of their start
  // points; no point → row map is needed for a summary.
  PTDiagnosticInfoVector rows;
  const pt::detail::PairingSinks sinks{.startRows = &rows, .insertGapPoints = callersVector};
  if (rawData == nullptr) {
    summary.hasErrors = true;
  } else if (forModels) {
    modelLoop(tracer, *rawData, names, summary, sinks);
  } else {
    pt::detail::pairGroupings(tracer, rawData, names, summary, sinks);
  }
  if (summary.hasErrors) return summary;

  // The first raw point, admitted or not, is where the trace starts.
  if (const boost::shared_ptr<PTKAVLORDataPoint>& first = rawData->front()) {
    summary.baseWallClockTime = first->wallClockTime;
    summary.baseCpuTime = first->cpuTime;
  }
  const std::int32_t testManagerGrouping = tracer.getNumberForString(EPT_GROUPING, pt::kTestManagerGrouping, true);
  const std::int32_t codeGenerationTarget =
      tracer.getNumberForString(pt::kTargetIdentifier, pt::kCodeGenerationTarget, true);
  // The first rows decide the kind; only the rows looked at are converted.
  for (const boost::shared_ptr<PTDiagnosticInfo>& row : rows) {
    if (summary.reportKind != PT_REPORT_PLAIN) break;
    tracer.convertProcessedDataPoint(row->processedPoint);
    const auto* converted = dynamic_cast<const PTTracerProcessedDataPoint*>(row->processedPoint.get());
    if (row->processedPoint->grouping == testManagerGrouping) {
      summary.reportKind = PT_REPORT_TEST_MANAGER;
    } else if (converted != nullptr && converted->getIdentifierNum(pt::kTargetIdentifier) == codeGenerationTarget) {
      summary.reportKind = PT_REPORT_CODE_GENERATION;
    }
  }
  summary.diagnosticInfos = std::move(rows);
  return summary;
}

}  // namespace

bool PerformanceTracer::matchVectorString(const std::vector<std::string>& list, const std::string& text) {
  return std::find(list.begin(), list.end(), text) != list.end();
}

void generateProcessedDataForGroupings(PerformanceTracer& tracer, PTRawDataVector* rawData,
                                       const std::vector<std::string>& groupings, PTDiagnosticMap& diagnosticMap,
                                       PTProcessedDataStruct& summary) {
  pt::detail::pairGroupings(tracer, rawData, groupings, summary, {.diagnosticMap = &diagnosticMap});
}

void generateProcessedDataForModels(PerformanceTracer& tracer, PTRawDataVector* rawData,
                                    const std::vector<std::string>& models, PTDiagnosticMap& diagnosticMap,
                                    PTProcessedDataStruct& summary) {
  // The map keeps the points it refers to; a copy of our own can go afterwards.
  std::unique_ptr<PTRawDataVector> copy;
  if (rawData == nullptr) {
    copy = tracer.getRawDataVector();
    rawData = copy.get();
  }
  if (rawData == nullptr) {
    summary.hasErrors = true;
    return;
  }
  modelLoop(tracer, *rawData, models, summary, {.diagnosticMap = &diagnosticMap});
}

PTProcessedDataStruct PerformanceTracer::generateProcessedData(PTRawDataVector* rawData,
                                                               const std::vector<std::string>& names, bool forModels) {
  if (rawData != nullptr || !forModels) return summarise(*this, rawData, names, forModels, true);
  std::unique_ptr<PTRawDataVector> copy = getRawDataVector();
  return summarise(*this, copy.get(), names, forModels, false);
}

PTProcessedDataStruct PerformanceTracer::generateProcessedData(PTRawDataVector* rawData, const std::string& name,
                                                               bool forModels) {
  return generateProcessedData(rawData, std::vector<std::string>{name}, forModels);
}

PTProcessedDataStruct PerformanceTracer::getProcessedData(PTRawDataVector* rawData,
                                                          const std::vector<std::string>& names, bool forModels) {
  if (rawData != nullptr) return generateProcessedData(rawData, names, forModels);
  // A copy, so the recorded points never receive gap points; it goes when the
  // rows are made (they keep nothing of it).
  std::unique_ptr<PTRawDataVector> copy = getRawDataVector();
  if (!copy) return PTProcessedDataStruct();
  return summarise(*this, copy.get(), names, forModels, false);
}

void PerformanceTracer::convertProcessedDataPoint(std::unique_ptr<PTKAVLORProcessedDataPoint>& point) {
  if (!point) return;
  // The kind is a plain field; each conversion checks that the class carries it.
  switch (point->pointType) {
    case PT_KAVLOR: point = std::make_unique<PTTracerProcessedDataPoint>(std::as_const(*point)); return;
    case PT_CLTGX:
      if (const auto* model = dynamic_cast<const PTCLTGXProcessedDataPoint*>(point.get())) {
        point = std::make_unique<PTTracerProcessedDataPoint>(*model, *this);
      } else {
        point = std::make_unique<PTTracerProcessedDataPoint>(std::as_const(*point));
      }
      return;
    case PT_QD:
      if (const auto* chart = dynamic_cast<const PTQDProcessedDataPoint*>(point.get())) {
        point = std::make_unique<PTTracerProcessedDataPoint>(*chart, *this);
      } else {
        point = std::make_unique<PTTracerProcessedDataPoint>(std::as_const(*point));
      }
      return;
    default: return;
  }
}
