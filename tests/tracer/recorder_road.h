// A fresh tracer on the recorder road, for recorder tests: the feature is on,
// the tracer's listener attached and the grouping's control enabled; all three
// are undone on destruction. Starts and ends are logged the way the logging
// road does it. identifierTexts() reads a point's identifiers as texts.
//   RecorderRoad road("Build");
//   road.start("Compile", {"modelStr", "m1"});  road.end("Compile", {"modelStr", "m1"});
#pragma once

#include "fake_platform.h"
#include "platform/feature_flags.h"
#include "platform/instrument/emit.h"
#include "tracer/performance_tracer.h"

#include <map>
#include <string>
#include <vector>

using IdentifierTexts = std::map<std::string, std::string>;
inline const IdentifierTexts::value_type kUpdate{"statisticsTypeStr", "Update"};

/// Every identifier of the tracer's point i as name and value text.
inline IdentifierTexts identifierTexts(const PerformanceTracer& tracer, std::size_t i) {
  IdentifierTexts texts;
  for (const auto& [name, number] : dynamic_cast<const PTTracerDataPoint&>(*tracer.rawDataVector()->at(i)).identifiers)
    texts[name.str()] = tracer.getStringForNumber(name.str(), number);
  return texts;
}

class RecorderRoad {
 public:
  explicit RecorderRoad(std::string grouping) : grouping(std::move(grouping)) {
    platform::setFeature(kUsePerformanceTracerRecorderFeature, true);
    tracer.setMemoryProbe(&probe);
    tracer.initialize();
    tracer.isPerformanceTracerRecorderUsed();
    instrument::controls.enable(this->grouping);
    instrument::listeners.add(tracer.recorder());
  }
  ~RecorderRoad() {
    instrument::listeners.remove(tracer.recorder());
    instrument::controls.disable(grouping);
    platform::setFeature(kUsePerformanceTracerRecorderFeature, std::nullopt);
  }
  RecorderRoad(const RecorderRoad&) = delete;
  RecorderRoad& operator=(const RecorderRoad&) = delete;

  instrument::EventId start(const std::string& phase, const std::vector<std::string>& pairs = {}) {
    const instrument::ContextSet context = makeContextEntriesWithPhase(phase, pairs);
    const instrument::EventId id = instrument::startEvent(instrument::controls.getHandle(grouping), context);
    tracer.addEventId(UserInput{grouping, phase, pairs}, id);
    return id;
  }
  void end(const std::string& phase, const std::vector<std::string>& pairs = {}) {
    tracer.perfTracerRecorderStopEvent(UserInput{grouping, phase, pairs});
  }

  /// Converts pending events; returns how many points the pass appended.
  std::size_t convert() {
    const std::size_t before = points().size();
    tracer.processRecorderDataToRawData();
    return points().size() - before;
  }
  const PTRawDataVector& points() const { return *tracer.rawDataVector(); }
  const PTTracerDataPoint& point(std::size_t i) const {
    return dynamic_cast<const PTTracerDataPoint&>(*points().at(i));
  }

  IdentifierTexts identifiers(std::size_t i) const { return identifierTexts(tracer, i); }

  const std::string grouping;
  FakeMemoryProbe probe;
  PerformanceTracer tracer;
};
