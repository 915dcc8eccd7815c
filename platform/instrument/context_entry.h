// Context entries: the name/value pairs that travel with an event.
//
//   instrument::ContextSet context{{"phase", "load"}, {"model", "m1"}};
//   instrument::EventId id = instrument::startEvent(handle, context);
//
// A context set is sorted by name and holds one entry per name.
#pragma once

#include <boost/container/flat_set.hpp>
#include <string>
#include <string_view>

namespace instrument {

struct ContextEntry {
  ContextEntry() = default;
  ContextEntry(std::string_view entryName, std::string entryValue) : name(entryName), value(std::move(entryValue)) {}

  /// A view: the caller's string must outlive the entry. The recorder keeps
  /// its own copies of the names it stores.
  std::string_view name;
  std::string value;

  friend bool operator==(const ContextEntry&, const ContextEntry&) = default;
};

struct ContextEntryLessByName {
  bool operator()(const ContextEntry& a, const ContextEntry& b) const { return a.name < b.name; }
};

using ContextSet = boost::container::flat_set<ContextEntry, ContextEntryLessByName>;

}  // namespace instrument
