// The tracer's side of the instrumentation recorder: the switch, the open
// start events of the logging road, and the conversion of recorded events into
// raw points.
#include "tracer/performance_tracer.h"

#include "tracer/fixed_texts.h"

#include "platform/feature_flags.h"
#include "platform/instrument/controls.h"
#include "platform/instrument/emit.h"

#include <boost/make_shared.hpp>

#include <cstdio>
#include <stdexcept>
#include <utility>

namespace {

constexpr std::string_view kPhaseEntry = "phase";

bool hasTestPathText(const PTTracerDataPoint& point) {
  for (std::string_view name : {"UserString", "TestPath", "TestResult"}) {
    if (point.getIdentifierNum(name) != -1) return true;
  }
  return false;
}

// A malformed test path must not cost the event, nor stop the conversion of
// the events after it: the point keeps its identifiers unsplit, the raw text
// included. The error is reported once, when the event's last point is made
// (an open start would otherwise report it on every pass).
void splitTestPaths(PerformanceTracer& tracer, PTTracerDataPoint& point, std::string_view grouping,
                    bool lastPointOfEvent) {
  if (!hasTestPathText(point)) return;
  PTIdentifierMap unsplit = point.identifiers;
  try {
    tracer.processTestPathForRawData(&point);
  } catch (const std::runtime_error& error) {
    point.identifiers = std::move(unsplit);
    if (lastPointOfEvent) {
      std::fprintf(stderr, "performance_tracer: test path of an event of grouping \"%.*s\" left unsplit: %s\n",
                   static_cast<int>(grouping.size()), grouping.data(), error.what());
    }
  }
}

}  // namespace

bool PerformanceTracer::isPerformanceTracerRecorderUsed() {
  usePerformanceTracerRecorder_ = platform::isFeatureEnabled(kUsePerformanceTracerRecorderFeature);
  return usePerformanceTracerRecorder_;
}

void PerformanceTracer::addEventId(UserInput input, instrument::EventId id) {
  recorderEventIds_[std::move(input)].push_back(id);
}

instrument::EventId PerformanceTracer::takeLatestEventId(OpenRecorderEvents::iterator found) {
  if (found == recorderEventIds_.end() || found->second.empty()) {
    return instrument::EventId::none(instrument::kNoOpenEvent);
  }
  const instrument::EventId id = found->second.back();
  found->second.pop_back();
  // Every distinct input would otherwise leave an empty entry behind for good.
  if (found->second.empty()) recorderEventIds_.erase(found);
  return id;
}

instrument::EventId PerformanceTracer::getEventId(const UserInput& input) {
  return takeLatestEventId(recorderEventIds_.find(input));
}

void PerformanceTracer::perfTracerRecorderStopEvent(const UserInput& input) {
  instrument::ControlElement& handle = instrument::controls.getHandle(input.grouping);
  const instrument::EventId id = getEventId(input);
  if (id != instrument::EventId::none(instrument::kNoOpenEvent)) {
    // A start that was not admitted left a no-event identifier, which stopping ignores.
    instrument::stopEvent(handle, id);
    return;
  }
  instrument::instantEvent(handle, makeContextEntriesWithPhase(input.phase, input.pairs));
}

PTIdentifierMap PerformanceTracer::getMapForContext(const instrument::ContextSet& context, std::string& phase) {
  static const IdentifierName statisticsTypeKey(pt::statisticsTypeIdentifierText());
  PTIdentifierMap identifiers = makeIdentifierMap();
  for (const instrument::ContextEntry& entry : context) {
    if (entry.name == kPhaseEntry) {
      phase = entry.value;
      continue;
    }
    const std::string name(entry.name);
    insertIdentifierToMapCollections(name);
    if (!entry.value.empty()) identifiers[name] = getNumberForString(name, entry.value, true);
  }
  identifiers[statisticsTypeKey] =
      getNumberForString(pt::statisticsTypeIdentifierText(), pt::statisticsTypeUpdateText(), true);
  return identifiers;
}

void PerformanceTracer::processRecorderDataToRawData() {
  // Without a raw data vector the points would be dropped while their events
  // counted as converted.
  if (!usePerformanceTracerRecorder_ || !rawDataVector_) return;
  const std::vector<pt::PerformanceTracerRecorder::EventPoint> events = recorder_.getAllEventPoints();
  initializeMapCollectionsForStat();
  // The start points of this pass, for their stops to copy.
  boost::unordered_map<instrument::EventId, boost::shared_ptr<PTTracerDataPoint>> started;

  auto pointFromContext = [this](const pt::PerformanceTracerRecorder::EventPoint& event, bool isStart) {
    auto point = makePooledPoint<PTTracerDataPoint>();
    std::string phase;
    point->identifiers = getMapForContext(event.context, phase);
    point->grouping = getNumberForString(EPT_GROUPING, std::string(event.name), true);
    point->phase = getNumberForString(EPT_PHASE, phase, true);
    point->isStart = isStart;
    return point;
  };

  for (const pt::PerformanceTracerRecorder::EventPoint& event : events) {
    if (convertedEventIds_.count(event.id) != 0) continue;
    boost::shared_ptr<PTTracerDataPoint> point;
    if (event.kind == instrument::kStartEvent) {
      point = pointFromContext(event, true);
      started[event.id] = point;
    } else if (event.kind == instrument::kStopEvent) {
      if (auto start = started.find(event.id); start != started.end()) {
        point = boost::make_shared<PTTracerDataPoint>(*start->second);
        point->isStart = false;
      } else if (!event.context.empty()) {
        // Its start was never received (the listener was attached later) or
        // was cleared: the stop's own context is all there is to go by.
        point = pointFromContext(event, false);
      }
      // A stop without start and without context names nothing; marking it
      // converted keeps it from being looked at again on every pass.
    } else {
      point = pointFromContext(event, false);
    }
    const bool lastPointOfEvent = event.kind != instrument::kStartEvent;
    if (lastPointOfEvent) convertedEventIds_.insert(event.id);
    if (!point) continue;

    point->wallClockTime = getPerfTime(event.time);
    // New points and copies own their snapshots, so they are filled in place.
    if (isDetailedMemStatsEnabled() && event.detailed) *point->detailedMemStats = *event.detailed;
    *point->basicMemStats = event.basic;
    splitTestPaths(*this, *point, event.name, lastPointOfEvent);
    rawDataVector_->push_back(point);
  }
}

void PerformanceTracer::clearPerfTracerRecorderEventData() {
  recorder_.clearAllEventData();
  recorderEventIds_.clear();
  convertedEventIds_.clear();
}
