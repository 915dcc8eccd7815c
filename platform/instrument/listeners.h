// Listeners: the registry that hands every emitted event to the attached listeners.
//
//   instrument::listeners.add(recorder);
//   instrument::EventId id = instrument::listeners.onEventStart(handle, context);
//
// These calls emit unconditionally; emit.h applies the admission rules first.
// Every operation may be called from any thread. Once `remove` returns, the
// listener receives nothing more and may be destroyed.
#pragma once

#include <atomic>
#include <cstdint>
#include <shared_mutex>
#include <vector>

#include "platform/instrument/context_entry.h"
#include "platform/instrument/controls.h"
#include "platform/instrument/event_id.h"
#include "platform/instrument/instrument_listener.h"

namespace instrument {

class Listeners {
 public:
  Listeners() = default;
  Listeners(const Listeners&) = delete;
  Listeners& operator=(const Listeners&) = delete;

  /// Attaches `listener`; attaching it twice changes nothing.
  void add(InstrumentListener& listener);
  /// Detaches `listener`, waiting for deliveries to it that are under way.
  void remove(InstrumentListener& listener);
  /// Whether any listener is attached: one load, for the emission path.
  bool isActive() const { return active_.load(std::memory_order_acquire); }

  /// Emits a start with a fresh identifier, whose second word is `source`.
  EventId onEventStart(const ControlElement& handle, const ContextSet& context, std::uint64_t source = 0);
  void onEventStop(const ControlElement& handle, const ContextSet& context, EventId id);
  /// Emits an instant with a fresh identifier, whose second word is `source`.
  EventId onEventInstant(const ControlElement& handle, const ContextSet& context, std::uint64_t source = 0);

 private:
  EventId freshId(std::uint64_t source) { return EventId{nextSerial_.fetch_add(1, std::memory_order_relaxed), source}; }

  // Deliveries hold the lock shared, so emitting threads do not wait for each
  // other; add and remove hold it exclusively.
  std::shared_mutex mutex_;
  std::vector<InstrumentListener*> attached_;
  std::atomic<bool> active_{false};
  std::atomic<std::uint64_t> nextSerial_{1};
};

/// The process's listener registry; never destroyed.
extern Listeners& listeners;

}  // namespace instrument
