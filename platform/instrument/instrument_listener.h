// Instrument listener: the receiver of emitted events.
//
//   class Printer : public instrument::InstrumentListener { ... };
//   instrument::listeners.add(printer);
//
// Events may arrive from any thread at once; a listener serialises itself.
// A callback must not emit events nor add or remove listeners.
#pragma once

#include <chrono>
#include <string_view>

#include "platform/instrument/context_entry.h"
#include "platform/instrument/event_id.h"

namespace instrument {

/// System-clock time in nanoseconds.
using TimePoint = std::chrono::time_point<std::chrono::system_clock, std::chrono::nanoseconds>;

class InstrumentListener {
 public:
  virtual ~InstrumentListener() = default;
  /// `name` is the control's name; it stays valid while the control lives.
  virtual void onEventInstant(std::string_view name, const ContextSet& context, EventId id) = 0;
  virtual void onEventStart(std::string_view name, const ContextSet& context, EventId id) = 0;
  virtual void onEventStop(std::string_view name, const ContextSet& context, EventId id) = 0;

  // Events replayed from the past, with the time they happened. A listener
  // that does not keep times takes them as live events.
  virtual void historicOnEventInstant(std::string_view name, const ContextSet& context, EventId id,
                                      TimePoint /*time*/) {
    onEventInstant(name, context, id);
  }
  virtual void historicOnEventStart(std::string_view name, const ContextSet& context, EventId id, TimePoint /*time*/) {
    onEventStart(name, context, id);
  }
  virtual void historicOnEventStop(std::string_view name, const ContextSet& context, EventId id, TimePoint /*time*/) {
    onEventStop(name, context, id);
  }
};

}  // namespace instrument
