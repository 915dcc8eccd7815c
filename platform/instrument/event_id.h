// Event identifiers: what an emitted event is known by, from its start to its stop.
//
//   instrument::EventId id = instrument::startEvent(handle, context);
//   if (id.isEvent()) instrument::stopEvent(handle, id);
//
// An identifier is two words. An emitted event has a non-zero serial number in
// the first word and the source that emitted it in the second. A no-event
// identifier has 0 in the first word and the reason there is no event in the
// second (see NoEventStatus).
#pragma once

#include <compare>
#include <cstddef>
#include <cstdint>
#include <functional>

namespace instrument {

/// Why an identifier names no event.
enum NoEventStatus : std::uint64_t {
  kListenersInactive = 1,  ///< no listener was attached, so nothing was emitted
  kNotAdmitted = 2,        ///< the control (or its context filter) refused the event
  kNoOpenEvent = 3,        ///< for callers: no open event was found for the request
};

struct EventId {
  std::uint64_t word = 0;  ///< serial number of an emitted event; 0 for none
  std::uint64_t tag = 0;   ///< emitting source of an event, else a NoEventStatus

  static constexpr EventId none(NoEventStatus status) { return EventId{0, status}; }
  constexpr bool isEvent() const { return word != 0; }

  friend constexpr bool operator==(const EventId&, const EventId&) = default;
  friend constexpr auto operator<=>(const EventId&, const EventId&) = default;
  /// Found by boost::hash.
  friend constexpr std::size_t hash_value(const EventId& id) noexcept {
    // Serial numbers are dense, so mix the words instead of adding them.
    std::uint64_t h = id.word * 0x9e3779b97f4a7c15ULL ^ (id.tag + 0x632be59bd9b4e019ULL);
    return static_cast<std::size_t>(h ^ (h >> 29));
  }
};

}  // namespace instrument

template <>
struct std::hash<instrument::EventId> {
  std::size_t operator()(const instrument::EventId& id) const noexcept { return hash_value(id); }
};
