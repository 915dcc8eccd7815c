#include "tracer/recorder.h"

#include "platform/instrument/listeners.h"
#include "tracer/performance_tracer.h"

#include <boost/container_hash/hash.hpp>

#include <functional>
#include <stdexcept>
#include <string_view>

// Texts hashed whole: this container hash folds a string in byte by byte,
// which was a tenth of an event's cost. Only look-ups use it; nothing
// iterates the open events.
void UserInputHash::add(std::string_view text) { boost::hash_combine(seed_, std::hash<std::string_view>{}(text)); }

std::size_t hash_value(const UserInput& input) {
  UserInputHash hash;
  hash.add(input.grouping);
  hash.add(input.phase);
  for (const std::string& value : input.pairs) hash.add(value);
  return hash.value();
}

instrument::ContextSet makeContextEntriesWithPhase(const std::string& phase, const std::vector<std::string>& pairs) {
  if (pairs.size() % 2 != 0) {
    throw std::invalid_argument("makeContextEntriesWithPhase takes name/value pairs of strings.");
  }
  instrument::ContextSet entries;
  entries.reserve(pairs.size() / 2 + 1);
  entries.emplace("phase", phase);
  for (std::size_t i = 0; i < pairs.size(); i += 2) entries.emplace(pairs[i], pairs[i + 1]);
  return entries;
}

namespace pt {

// ------------------------------------------------ Memory-statistics recorder

PerformanceTracerMemStatsRecorder::PerformanceTracerMemStatsRecorder(PerformanceTracer& tracer) : tracer_(tracer) {
  basicData_.max_load_factor(1.0f);
}

PerformanceTracerMemStatsRecorder::~PerformanceTracerMemStatsRecorder() = default;

void PerformanceTracerMemStatsRecorder::onEventInstant(std::string_view name, const instrument::ContextSet&,
                                                       instrument::EventId id) {
  record(name, id, Side::kBoth);
}

void PerformanceTracerMemStatsRecorder::onEventStart(std::string_view name, const instrument::ContextSet&,
                                                     instrument::EventId id) {
  record(name, id, Side::kStart);
}

void PerformanceTracerMemStatsRecorder::onEventStop(std::string_view name, const instrument::ContextSet&,
                                                    instrument::EventId id) {
  record(name, id, Side::kStop);
}

void PerformanceTracerMemStatsRecorder::record(std::string_view name, instrument::EventId id, Side side) {
  // Sampled before the lock: the tracer's switches and probe are safe to read
  // from any thread, and the memory module guards itself.
  const BasicMemStats basic = tracer_.getBasicMemStats();
  std::optional<DetailedMemStats> detailed;
  if (tracer_.isDetailedMemStatsEnabled()) detailed = tracer_.getDetailedMemStats();
  std::lock_guard<std::mutex> lock(mutex_);
  BasicMemStatsData& data = basicData_[id];
  data.name = name;
  data.id = id;
  if (side != Side::kStop) data.start = basic;
  if (side != Side::kStart) data.stop = basic;
  if (!detailed) return;
  DetailedMemStatsData& detailedSides = detailedData_[id];
  if (side != Side::kStop) detailedSides.start = *detailed;
  if (side != Side::kStart) detailedSides.stop = *detailed;
}

EventDatum PerformanceTracerMemStatsRecorder::makeDatum(
    const std::pair<const instrument::EventId, BasicMemStatsData>& entry) const {
  EventDatum datum{entry.second.name, entry.first, entry.second.start, entry.second.stop, std::nullopt, std::nullopt};
  if (auto detailed = detailedData_.find(entry.first); detailed != detailedData_.end()) {
    datum.detailedStart = detailed->second.start.value_or(DetailedMemStats());
    datum.detailedStop = detailed->second.stop.value_or(DetailedMemStats());
  }
  return datum;
}

std::optional<EventDatum> PerformanceTracerMemStatsRecorder::getEventDatum(instrument::EventId id) const {
  std::lock_guard<std::mutex> lock(mutex_);
  auto found = basicData_.find(id);
  if (found == basicData_.end()) return std::nullopt;
  return makeDatum(*found);
}

std::vector<EventDatum> PerformanceTracerMemStatsRecorder::getEventData(std::string_view name) const {
  std::lock_guard<std::mutex> lock(mutex_);
  std::vector<EventDatum> data;
  for (const auto& entry : basicData_) {
    if (entry.second.name == name) data.push_back(makeDatum(entry));
  }
  return data;
}

std::vector<EventDatum> PerformanceTracerMemStatsRecorder::getAllEventData() const {
  std::lock_guard<std::mutex> lock(mutex_);
  std::vector<EventDatum> data;
  data.reserve(basicData_.size());
  for (const auto& entry : basicData_) data.push_back(makeDatum(entry));
  return data;
}

void PerformanceTracerMemStatsRecorder::clearAllEventData() {
  std::lock_guard<std::mutex> lock(mutex_);
  basicData_.clear();
  detailedData_.clear();
}

void PerformanceTracerMemStatsRecorder::clearEventData(std::string_view name) {
  std::lock_guard<std::mutex> lock(mutex_);
  for (auto entry = basicData_.begin(); entry != basicData_.end();) {
    if (entry->second.name == name) {
      detailedData_.erase(entry->first);
      entry = basicData_.erase(entry);
    } else {
      ++entry;
    }
  }
}

// ------------------------------------------------------------ Tracer recorder

PerformanceTracerRecorder::PerformanceTracerRecorder(PerformanceTracer& tracer) : memStatsRecorder_(tracer) {}

PerformanceTracerRecorder::~PerformanceTracerRecorder() { instrument::listeners.remove(*this); }

// The snapshot is kept before the event itself: a reader that sees an event
// point then always finds its snapshot too, and, as on the direct road, the
// time is read after the memory.
void PerformanceTracerRecorder::onEventInstant(std::string_view name, const instrument::ContextSet& context,
                                               instrument::EventId id) {
  memStatsRecorder_.onEventInstant(name, context, id);
  eventRecorder_.onEventInstant(name, context, id);
}

void PerformanceTracerRecorder::onEventStart(std::string_view name, const instrument::ContextSet& context,
                                             instrument::EventId id) {
  memStatsRecorder_.onEventStart(name, context, id);
  eventRecorder_.onEventStart(name, context, id);
}

void PerformanceTracerRecorder::onEventStop(std::string_view name, const instrument::ContextSet& context,
                                            instrument::EventId id) {
  memStatsRecorder_.onEventStop(name, context, id);
  eventRecorder_.onEventStop(name, context, id);
}

std::vector<PerformanceTracerRecorder::EventPoint> PerformanceTracerRecorder::getAllEventPoints() const {
  std::vector<instrument::EventPoint> received = eventRecorder_.getAllEventPoints();
  std::vector<EventPoint> points;
  points.reserve(received.size());
  for (instrument::EventPoint& event : received) {
    EventPoint& point = points.emplace_back();
    point.name = event.name;
    point.context = std::move(event.context);
    point.id = event.id;
    point.kind = event.kind;
    point.time = event.time;
    if (std::optional<EventDatum> datum = memStatsRecorder_.getEventDatum(event.id)) {
      const bool isStart = event.kind == instrument::kStartEvent;
      point.basic = isStart ? datum->start : datum->stop;
      point.detailed = isStart ? datum->detailedStart : datum->detailedStop;
    }
  }
  return points;
}

std::vector<PerformanceTracerRecorder::Event> PerformanceTracerRecorder::joinData(
    std::vector<instrument::Event> events) const {
  std::vector<Event> joined;
  joined.reserve(events.size());
  for (instrument::Event& event : events) {
    std::optional<EventDatum> datum = memStatsRecorder_.getEventDatum(event.id);
    joined.push_back(Event{std::move(event), std::move(datum)});
  }
  return joined;
}

std::vector<PerformanceTracerRecorder::Event> PerformanceTracerRecorder::getAllEvents() const {
  return joinData(eventRecorder_.getAllEvents());
}

std::vector<PerformanceTracerRecorder::Event> PerformanceTracerRecorder::getEvents(std::string_view name) const {
  return joinData(eventRecorder_.getEvents(name));
}

void PerformanceTracerRecorder::clearAllEventData() {
  eventRecorder_.clearAllEventData();
  memStatsRecorder_.clearAllEventData();
}

void PerformanceTracerRecorder::clearEventData(std::string_view name) {
  eventRecorder_.clearEventData(name);
  memStatsRecorder_.clearEventData(name);
}

}  // namespace pt
