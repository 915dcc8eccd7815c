// Instrumentation recorders: the tracer's listener on the instrumentation
// library. While the feature "UsePerformanceTracerRecorder" is on, logging emits
// start, stop and instant events instead of building points; the listener keeps
// every event with a memory snapshot, and the tracer turns the kept events into
// raw points whenever raw data are read.
//
//   instrument::listeners.add(tracer.recorder());
//   for (const pt::PerformanceTracerRecorder::EventPoint& point : tracer.recorder().getAllEventPoints()) use(point);
//
// Events may arrive from any thread; both recorders serialise themselves.
#pragma once

#include "platform/instrument/context_entry.h"
#include "platform/instrument/event_id.h"
#include "platform/instrument/instrument_listener.h"
#include "platform/instrument/instrument_recorder.h"
#include "tracer/mem_stats.h"

#include <boost/unordered_map.hpp>

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

class PerformanceTracer;

/// The platform feature that routes logging through the instrumentation library.
inline constexpr char kUsePerformanceTracerRecorderFeature[] = "UsePerformanceTracerRecorder";

/// What the logging road remembers an open start event by: the logging call's
/// grouping, phase and identifier pairs, unchanged.
struct UserInput {
  std::string grouping;
  std::string phase;
  std::vector<std::string> pairs;  ///< name, value, name, value, ...

  friend bool operator==(const UserInput&, const UserInput&) = default;
  friend std::size_t hash_value(const UserInput& input);
};

/// Hashes the texts of an input in order (grouping, phase, then each pair's
/// name and value) as hash_value(UserInput) does, so that an input can be
/// found by views of its texts without building one.
class UserInputHash {
 public:
  void add(std::string_view text);
  std::size_t value() const { return seed_; }

 private:
  std::size_t seed_ = 0;
};

/// The context of an event: "phase" → phase, then one entry per pair. Entry
/// names are views of the strings in `pairs` (and of a literal for "phase"), so
/// `pairs` must outlive the result; values are copies. Pairs with empty values
/// stay; a name given twice (or the name "phase") keeps its first value only.
/// Throws std::invalid_argument when `pairs` holds an odd number of strings.
instrument::ContextSet makeContextEntriesWithPhase(const std::string& phase, const std::vector<std::string>& pairs);

namespace pt {

/// The memory snapshots kept for one event.
struct EventDatum {
  std::string_view name;  ///< the control's name, that is the grouping
  instrument::EventId id;
  BasicMemStats start;
  BasicMemStats stop;
  /// Both present when detailed statistics were taken for either side (a side
  /// never taken holds zeros), else both absent.
  std::optional<DetailedMemStats> detailedStart;
  std::optional<DetailedMemStats> detailedStop;
};

/// Takes a memory snapshot of the process for every event it receives.
class PerformanceTracerMemStatsRecorder : public instrument::InstrumentListener {
 public:
  struct BasicMemStatsData {
    std::string_view name;
    instrument::EventId id;
    BasicMemStats start;
    BasicMemStats stop;
  };

  /// Snapshots come from `tracer`, which must outlive the recorder.
  explicit PerformanceTracerMemStatsRecorder(PerformanceTracer& tracer);
  PerformanceTracerMemStatsRecorder(const PerformanceTracerMemStatsRecorder&) = delete;
  PerformanceTracerMemStatsRecorder& operator=(const PerformanceTracerMemStatsRecorder&) = delete;
  ~PerformanceTracerMemStatsRecorder() override;

  /// An instant's one snapshot serves as both its start and its stop.
  void onEventInstant(std::string_view name, const instrument::ContextSet& context, instrument::EventId id) override;
  void onEventStart(std::string_view name, const instrument::ContextSet& context, instrument::EventId id) override;
  void onEventStop(std::string_view name, const instrument::ContextSet& context, instrument::EventId id) override;

  /// Absent when no event with that identifier was received.
  std::optional<EventDatum> getEventDatum(instrument::EventId id) const;
  std::vector<EventDatum> getEventData(std::string_view name) const;
  std::vector<EventDatum> getAllEventData() const;
  void clearAllEventData();
  void clearEventData(std::string_view name);

 private:
  struct DetailedMemStatsData {
    std::optional<DetailedMemStats> start;
    std::optional<DetailedMemStats> stop;
  };
  enum class Side { kStart, kStop, kBoth };

  void record(std::string_view name, instrument::EventId id, Side side);
  /// Callers hold the mutex.
  EventDatum makeDatum(const std::pair<const instrument::EventId, BasicMemStatsData>& entry) const;

  PerformanceTracer& tracer_;
  boost::unordered_map<instrument::EventId, BasicMemStatsData> basicData_;
  boost::unordered_map<instrument::EventId, DetailedMemStatsData> detailedData_;
  mutable std::mutex mutex_;  ///< guards both maps
};

/// The tracer's listener: keeps every event (through the instrumentation
/// library's recorder) together with its memory snapshots.
class PerformanceTracerRecorder : public instrument::InstrumentListener {
 public:
  /// One received start, stop or instant with the snapshot taken for it.
  struct EventPoint {
    std::string_view name;  ///< the control's name, that is the grouping
    instrument::ContextSet context;
    instrument::EventId id;
    std::int32_t kind = instrument::kInstantEvent;  ///< instrument::kStartEvent, kStopEvent or other: instant
    instrument::TimePoint time;
    BasicMemStats basic;  ///< all zero when no snapshot was taken
    std::optional<DetailedMemStats> detailed;
  };

  /// One event, its points joined, with its snapshots when any were taken.
  struct Event {
    instrument::Event event;
    std::optional<EventDatum> datum;
  };

  explicit PerformanceTracerRecorder(PerformanceTracer& tracer);
  PerformanceTracerRecorder(const PerformanceTracerRecorder&) = delete;
  PerformanceTracerRecorder& operator=(const PerformanceTracerRecorder&) = delete;
  /// Detaches itself from instrument::listeners, so that no event reaches a
  /// destroyed recorder.
  ~PerformanceTracerRecorder() override;

  void onEventInstant(std::string_view name, const instrument::ContextSet& context, instrument::EventId id) override;
  void onEventStart(std::string_view name, const instrument::ContextSet& context, instrument::EventId id) override;
  void onEventStop(std::string_view name, const instrument::ContextSet& context, instrument::EventId id) override;

  /// Every point received since the last clear, in arrival order. A start
  /// carries its event's start snapshots, a stop or instant its stop snapshots.
  std::vector<EventPoint> getAllEventPoints() const;
  std::vector<Event> getAllEvents() const;
  std::vector<Event> getEvents(std::string_view name) const;
  void clearAllEventData();
  /// Drops the events whose control has that name.
  void clearEventData(std::string_view name);

  const instrument::InstrumentRecorder& eventRecorder() const { return eventRecorder_; }
  const PerformanceTracerMemStatsRecorder& memStatsRecorder() const { return memStatsRecorder_; }

 private:
  std::vector<Event> joinData(std::vector<instrument::Event> events) const;

  instrument::InstrumentRecorder eventRecorder_;
  PerformanceTracerMemStatsRecorder memStatsRecorder_;
};

}  // namespace pt
