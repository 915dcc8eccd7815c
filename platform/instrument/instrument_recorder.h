// Instrument recorder: a listener that keeps every event it receives.
//
//   instrument::InstrumentRecorder recorder;  instrument::listeners.add(recorder);
//   for (const instrument::EventPoint& point : recorder.getAllEventPoints()) use(point);
//
// Points are kept in arrival order with their kind and the system-clock time
// of arrival. The recorder keeps its own copies of event and context names, so
// the views in what it returns stay valid while the recorder lives. Every
// operation may be called from any thread.
#pragma once

#include <cstdint>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "platform/instrument/context_entry.h"
#include "platform/instrument/event_id.h"
#include "platform/instrument/instrument_listener.h"

namespace instrument {

/// Kinds of event points.
inline constexpr std::int32_t kInstantEvent = 1;
inline constexpr std::int32_t kStartEvent = 2;
inline constexpr std::int32_t kStopEvent = 3;

/// One received start, stop or instant.
struct EventPoint {
  std::string_view name;  ///< the control's name
  ContextSet context;
  EventId id;
  std::int32_t kind = kInstantEvent;
  TimePoint time;
};

/// The points of one identifier joined: a start with its stop, or an instant.
struct Event {
  std::string_view name;
  EventId id;
  ContextSet context;                  ///< of the start or instant (a stop carries none)
  std::optional<TimePoint> startTime;  ///< absent for a stop whose start was not received
  std::optional<TimePoint> stopTime;   ///< absent while the event is open
  bool isInstant = false;              ///< an instant has both times equal
};

class InstrumentRecorder : public InstrumentListener {
 public:
  using TimeSource = TimePoint (*)();
  static TimePoint systemNow();

  explicit InstrumentRecorder(TimeSource now = &systemNow) : now_(now) {}
  InstrumentRecorder(const InstrumentRecorder&) = delete;
  InstrumentRecorder& operator=(const InstrumentRecorder&) = delete;

  void onEventInstant(std::string_view name, const ContextSet& context, EventId id) override;
  void onEventStart(std::string_view name, const ContextSet& context, EventId id) override;
  void onEventStop(std::string_view name, const ContextSet& context, EventId id) override;
  void historicOnEventInstant(std::string_view name, const ContextSet& context, EventId id, TimePoint time) override;
  void historicOnEventStart(std::string_view name, const ContextSet& context, EventId id, TimePoint time) override;
  void historicOnEventStop(std::string_view name, const ContextSet& context, EventId id, TimePoint time) override;

  /// Every point received since the last clear, in arrival order.
  std::vector<EventPoint> getAllEventPoints() const;
  /// Events in the order their first point arrived.
  std::vector<Event> getAllEvents() const;
  std::vector<Event> getEvents(std::string_view name) const;
  void clearAllEventData();
  void clearEventData(std::string_view name);

 private:
  void record(std::string_view name, const ContextSet& context, EventId id, std::int32_t kind, TimePoint time);
  std::string_view intern(std::string_view text);
  std::vector<Event> joinEvents(const std::string_view* onlyName) const;

  const TimeSource now_;
  mutable std::mutex mutex_;
  std::vector<EventPoint> points_;
  // Never shrinks, even on clear: views into it may still be held by callers.
  std::set<std::string, std::less<>> names_;
};

}  // namespace instrument
