#include "platform/instrument/instrument_recorder.h"

#include <chrono>
#include <unordered_map>

namespace instrument {

TimePoint InstrumentRecorder::systemNow() {
  return std::chrono::time_point_cast<std::chrono::nanoseconds>(std::chrono::system_clock::now());
}

void InstrumentRecorder::onEventInstant(std::string_view name, const ContextSet& context, EventId id) {
  record(name, context, id, kInstantEvent, now_());
}

void InstrumentRecorder::onEventStart(std::string_view name, const ContextSet& context, EventId id) {
  record(name, context, id, kStartEvent, now_());
}

void InstrumentRecorder::onEventStop(std::string_view name, const ContextSet& context, EventId id) {
  record(name, context, id, kStopEvent, now_());
}

void InstrumentRecorder::historicOnEventInstant(std::string_view name, const ContextSet& context, EventId id,
                                                TimePoint time) {
  record(name, context, id, kInstantEvent, time);
}

void InstrumentRecorder::historicOnEventStart(std::string_view name, const ContextSet& context, EventId id,
                                              TimePoint time) {
  record(name, context, id, kStartEvent, time);
}

void InstrumentRecorder::historicOnEventStop(std::string_view name, const ContextSet& context, EventId id,
                                             TimePoint time) {
  record(name, context, id, kStopEvent, time);
}

void InstrumentRecorder::record(std::string_view name, const ContextSet& context, EventId id, std::int32_t kind,
                                TimePoint time) {
  std::lock_guard<std::mutex> lock(mutex_);
  ContextSet kept;
  kept.reserve(context.size());
  // Same names in the same order: each entry goes at the end.
  for (const ContextEntry& entry : context) kept.emplace_hint(kept.end(), intern(entry.name), entry.value);
  points_.push_back(EventPoint{intern(name), std::move(kept), id, kind, time});
}

std::string_view InstrumentRecorder::intern(std::string_view text) {
  auto it = names_.find(text);
  if (it == names_.end()) it = names_.emplace(text).first;
  return *it;
}

std::vector<EventPoint> InstrumentRecorder::getAllEventPoints() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return points_;
}

std::vector<Event> InstrumentRecorder::getAllEvents() const { return joinEvents(nullptr); }

std::vector<Event> InstrumentRecorder::getEvents(std::string_view name) const { return joinEvents(&name); }

std::vector<Event> InstrumentRecorder::joinEvents(const std::string_view* onlyName) const {
  std::lock_guard<std::mutex> lock(mutex_);
  std::vector<Event> events;
  std::unordered_map<EventId, std::size_t> indexOf;
  for (const EventPoint& point : points_) {
    if (onlyName != nullptr && point.name != *onlyName) continue;
    auto [it, inserted] = indexOf.try_emplace(point.id, events.size());
    if (inserted) events.push_back(Event{point.name, point.id, {}, {}, {}, false});
    Event& event = events[it->second];
    if (point.kind == kStopEvent) {
      event.stopTime = point.time;
    } else {
      event.context = point.context;
      event.startTime = point.time;
      if (point.kind != kStartEvent) {
        event.isInstant = true;
        event.stopTime = point.time;
      }
    }
  }
  return events;
}

void InstrumentRecorder::clearAllEventData() {
  std::lock_guard<std::mutex> lock(mutex_);
  points_.clear();
}

void InstrumentRecorder::clearEventData(std::string_view name) {
  std::lock_guard<std::mutex> lock(mutex_);
  std::erase_if(points_, [name](const EventPoint& point) { return point.name == name; });
}

}  // namespace instrument
