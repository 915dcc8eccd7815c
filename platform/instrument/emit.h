// Emission: the admission rules applied before an event reaches the listeners.
//
//   instrument::EventId id = instrument::startEvent(instrument::controls.getHandle("load"), context);
//   instrument::stopEvent(instrument::controls.getHandle("load"), id);
//
// With no listener attached or the control disabled, a call costs one or two
// atomic loads and emits nothing.
#pragma once

#include <cstdint>

#include "platform/instrument/context_entry.h"
#include "platform/instrument/controls.h"
#include "platform/instrument/event_id.h"
#include "platform/instrument/listeners.h"

namespace instrument {

/// Whether a start or instant on `handle` with `context` is let through. A
/// non-empty context is put to the control's filter first: 1 admits the event
/// even on a disabled control, 0 leaves the decision to the control's flag,
/// any other verdict refuses it.
inline bool isAdmitted(const ControlElement& handle, const ContextSet& context) {
  if (!context.empty() && handle.hasContextFilter()) {
    int verdict = handle.getContextEnabledImpl(context);
    if (verdict == 1) return true;
    if (verdict != 0) return false;
  }
  return handle.isEnabled();
}

/// Emits a start if admitted; otherwise returns a no-event identifier with
/// kListenersInactive or kNotAdmitted.
inline EventId startEvent(const ControlElement& handle, const ContextSet& context, std::uint64_t source = 0,
                          Listeners& to = listeners) {
  if (!to.isActive()) return EventId::none(kListenersInactive);
  if (!isAdmitted(handle, context)) return EventId::none(kNotAdmitted);
  return to.onEventStart(handle, context, source);
}

/// Emits the stop of an event that `startEvent` emitted, whenever a listener
/// is attached. A started event always gets its stop, even if its control was
/// disabled meanwhile or the start was admitted by its context alone: dropping
/// it would leave the event open for good. No-event identifiers are ignored.
inline void stopEvent(const ControlElement& handle, EventId id, Listeners& to = listeners) {
  if (!id.isEvent() || !to.isActive()) return;
  to.onEventStop(handle, ContextSet{}, id);
}

/// Emits an instant event if admitted, by the same rules as a start.
inline void instantEvent(const ControlElement& handle, const ContextSet& context, std::uint64_t source = 0,
                         Listeners& to = listeners) {
  if (!to.isActive() || !isAdmitted(handle, context)) return;
  to.onEventInstant(handle, context, source);
}

}  // namespace instrument
