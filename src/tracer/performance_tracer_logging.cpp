// Logging: the funnel every exported logging function ends in, its direct and
// recorder roads, and the members that build each kind of point.
//
// The functions a logged point runs through, here and in the files they call,
// are marked hot: the compiler gathers them in one stretch of the library, so
// that a point runs from a few code pages. After the system calls of its
// samples, every page touched costs a fresh address translation.
#include "tracer/performance_tracer.h"

#include "tracer/fixed_texts.h"

#include "platform/huge_page_pool.h"
#include "platform/instrument/controls.h"
#include "platform/instrument/emit.h"
#include "platform/instrument/listeners.h"

#include <boost/container/small_vector.hpp>
#include <boost/make_shared.hpp>

#include <exception>
#include <utility>

namespace {

const IdentifierName& statisticsTypeName() {
  static const IdentifierName name(pt::statisticsTypeIdentifierText());
  return name;
}

// Whole pairs only: the last name of an odd list has no value and is dropped,
// so no value is ever read past the end of the list.
std::size_t wholePairsLength(const std::vector<std::string>& pairs) { return pairs.size() & ~std::size_t{1}; }

// Tool calls log at most a handful of identifiers; more spill to the heap.
constexpr std::size_t kInlineIdentifiers = 8;

}  // namespace

// ---------------------------------------------------------------- The funnel

[[gnu::hot]] std::int32_t PerformanceTracer::admittedGroupingNumber(const std::string& grouping) const {
  // One look-up serves both the admission and the point.
  if (!globalLoggingEnabled_) return findEnabledGrouping(grouping);
  const StringNumberMapping* groupings = getMappingByType(EPT_GROUPING);
  return groupings == nullptr ? -1 : groupings->getNumber(grouping);
}

[[gnu::hot]] bool PerformanceTracer::logEvent(const std::string& grouping, const std::string& phase, bool isStart,
                                              const std::vector<std::string>& pairs) {
  const std::int32_t number = admittedGroupingNumber(grouping);
  if (number == kNotAdmitted) return false;
  try {
    const std::size_t length = wholePairsLength(pairs);
    boost::container::small_vector<LoggedIdentifier, kInlineIdentifiers> identifiers;
    identifiers.reserve(length / 2);
    for (std::size_t i = 0; i < length; i += 2) {
      identifiers.push_back(LoggedIdentifier{loggedIdentifierName(pairs[i]), pairs[i + 1]});
    }
    return logAdmittedEvent(grouping, number, phase, isStart, {identifiers.data(), identifiers.size()});
  } catch (const std::exception&) {
    return false;
  }
}

[[gnu::hot]] bool PerformanceTracer::logEvent(const std::string& grouping, const std::string& phase, bool isStart,
                                              std::span<const LoggedIdentifier> identifiers) {
  const std::int32_t number = admittedGroupingNumber(grouping);
  return number != kNotAdmitted && logAdmittedEvent(grouping, number, phase, isStart, identifiers);
}

[[gnu::hot]] bool PerformanceTracer::logAdmittedEvent(const std::string& grouping, std::int32_t groupingNumber,
                                                      const std::string& phase, bool isStart,
                                                      std::span<const LoggedIdentifier> identifiers) {
  // The cached switch: reading the feature costs more than the rest of a point.
  if (usePerformanceTracerRecorder_) {
    try {
      logThroughRecorder(grouping, phase, isStart, identifiers);
    } catch (const std::exception&) {
      // Logging never throws; the event is lost like any point that cannot be built.
    }
    return false;
  }
  return appendPoint<PTTracerDataPoint>(groupingNumber, phase, isStart, [&](PTTracerDataPoint& point) {
    fillLoggedIdentifiers(point.identifiers, identifiers);
  });
}

[[gnu::hot]] void PerformanceTracer::fillLoggedIdentifiers(PTIdentifierMap& map,
                                                           std::span<const LoggedIdentifier> identifiers) {
  const auto isNamed = [](const LoggedIdentifier& identifier) { return !identifier.value.empty(); };
  const std::size_t reserved = identifiers.size() + 1;
  LoggedMapLayout& layout = loggedMapLayout_;
  std::size_t named = 0;
  bool sameNames = layout.reserved == reserved;
  for (const LoggedIdentifier& identifier : identifiers) {
    if (!sameNames) break;
    if (!isNamed(identifier)) continue;
    sameNames = named + 1 < layout.entries.size() && layout.entries[named].name == identifier.name;
    ++named;
  }
  if (!sameNames || named + 1 != layout.entries.size()) {
    // Other names: lay them out as inserting them into this fresh map does.
    layout.reserved = 0;  // unusable until complete
    layout.entries.clear();
    for (const LoggedIdentifier& identifier : identifiers) {
      if (isNamed(identifier)) layout.entries.push_back({identifier.name, &loggedIdentifierTable(identifier.name), 0});
    }
    layout.entries.push_back({statisticsTypeName(), &loggedIdentifierTable(statisticsTypeName()), 0});
    layout.map.cloneFrom(map);
    layout.map.reserve(reserved);
    for (const LoggedMapLayout::Entry& entry : layout.entries) layout.map[entry.name] = 0;
    for (LoggedMapLayout::Entry& entry : layout.entries) {
      entry.slot = static_cast<std::size_t>(layout.map.find(entry.name) - layout.map.begin());
    }
    layout.reserved = reserved;
  }

  map.cloneFrom(layout.map);
  // Values are numbered in the order given, then "Update"; a name given twice
  // keeps its last number, as a second insert would.
  const auto place = [&](const LoggedMapLayout::Entry& entry, const std::string& value) {
    map.begin()[entry.slot].second = entry.table->getNumberOrAdd(value);
  };
  const LoggedMapLayout::Entry* entry = layout.entries.data();
  for (const LoggedIdentifier& identifier : identifiers) {
    if (isNamed(identifier)) place(*entry++, identifier.value);
  }
  place(*entry, pt::statisticsTypeUpdateText());
}

namespace {

// An input as the logging call gave it, found among the open starts without
// copying a text.
struct UserInputViews {
  const std::string& grouping;
  const std::string& phase;
  std::span<const PerformanceTracer::LoggedIdentifier> identifiers;

  std::size_t hash() const {
    UserInputHash hash;
    hash.add(grouping);
    hash.add(phase);
    for (const PerformanceTracer::LoggedIdentifier& identifier : identifiers) {
      hash.add(identifier.name.str());
      hash.add(identifier.value);
    }
    return hash.value();
  }

  bool matches(const UserInput& input) const {
    if (input.grouping != grouping || input.phase != phase || input.pairs.size() != 2 * identifiers.size())
      return false;
    for (std::size_t i = 0; i < identifiers.size(); ++i) {
      if (identifiers[i].name != input.pairs[2 * i] || identifiers[i].value != input.pairs[2 * i + 1]) return false;
    }
    return true;
  }
};

std::vector<std::string> pairsOf(std::span<const PerformanceTracer::LoggedIdentifier> identifiers) {
  std::vector<std::string> pairs;
  pairs.reserve(2 * identifiers.size());
  for (const PerformanceTracer::LoggedIdentifier& identifier : identifiers) {
    pairs.push_back(identifier.name.str());
    pairs.push_back(identifier.value);
  }
  return pairs;
}

}  // namespace

void PerformanceTracer::logThroughRecorder(const std::string& grouping, const std::string& phase, bool isStart,
                                           std::span<const LoggedIdentifier> identifiers) {
  instrument::ControlElement& handle = recorderControl(grouping);
  // Global logging records every grouping, as on the direct road: the control
  // of a grouping that was never enabled must not refuse what the funnel let in.
  const bool recordAnyway = globalLoggingEnabled_ && instrument::listeners.isActive();
  if (isStart) {
    UserInput input{grouping, phase, pairsOf(identifiers)};
    const instrument::ContextSet context = makeContextEntriesWithPhase(phase, input.pairs);
    const instrument::EventId id =
        recordAnyway ? instrument::listeners.onEventStart(handle, context) : instrument::startEvent(handle, context);
    // Moved only now: the context's names are views of the input's pairs.
    addEventId(std::move(input), id);
    return;
  }
  const UserInputViews views{grouping, phase, identifiers};
  auto open = recorderEventIds_.find(
      views, [](const UserInputViews& key) { return key.hash(); },
      [](const UserInputViews& key, const UserInput& input) { return key.matches(input); });
  if (const instrument::EventId id = takeLatestEventId(open);
      id != instrument::EventId::none(instrument::kNoOpenEvent)) {
    // A start that was not admitted left a no-event identifier, which stopping ignores.
    instrument::stopEvent(handle, id);
    return;
  }
  const std::vector<std::string> pairs = pairsOf(identifiers);
  const instrument::ContextSet context = makeContextEntriesWithPhase(phase, pairs);
  if (recordAnyway) {
    instrument::listeners.onEventInstant(handle, context);
  } else {
    instrument::instantEvent(handle, context);
  }
}

instrument::ControlElement& PerformanceTracer::recorderControl(const std::string& grouping) {
  // Controls are never destroyed, so the one found last stays good; logging
  // mostly repeats a grouping.
  if (lastRecorderControl_ == nullptr || lastRecorderControl_->name() != grouping) {
    lastRecorderControl_ = &instrument::controls.getHandle(grouping);
  }
  return *lastRecorderControl_;
}

const IdentifierName& PerformanceTracer::loggedIdentifierName(std::string_view text) {
  // IdentifierName hashes its text with hashIdentifierText, so a text finds
  // its interned name here without being interned again.
  auto found = loggedIdentifierTables_.find(
      text, [](std::string_view key) { return pt::detail::hashIdentifierText(key); },
      [](std::string_view key, const IdentifierName& name) { return name == key; });
  if (found != loggedIdentifierTables_.end()) return found->first;
  return loggedIdentifierTables_.emplace(IdentifierName(text), nullptr).first->first;
}

StringNumberMapping& PerformanceTracer::loggedIdentifierTable(const IdentifierName& name) {
  // Tables are never removed, so a pointer found once stays good.
  for (const auto& [recentName, recentTable] : recentIdentifierTables_) {
    if (recentTable != nullptr && recentName == name) return *recentTable;
  }
  StringNumberMapping*& table = loggedIdentifierTables_.try_emplace(name, nullptr).first->second;
  if (table == nullptr) table = &identifierTableOrAdd(name.str());
  recentIdentifierTables_[nextRecentIdentifierTable_] = {name, table};
  nextRecentIdentifierTable_ = (nextRecentIdentifierTable_ + 1) % recentIdentifierTables_.size();
  return *table;
}

// ----------------------------------------------------------- Point builders

template <class Point, class FillFields>
[[gnu::hot]] bool PerformanceTracer::appendPoint(std::int32_t grouping, const std::string& phase, bool isStart,
                                                 FillFields fill) {
  try {
    // One block from the pool for the point and its snapshots: no allocator
    // header, and no search of the heap's bins.
    boost::shared_ptr<Point> point = makePooledPoint<Point>();
    fill(*point);
    // Sampled last, after every table look-up.
    assignCommonData(*point, grouping, phase, isStart);
    return appendRawDataPoint(std::move(point));
  } catch (const std::exception&) {
    return false;
  }
}

std::int32_t PerformanceTracer::statisticsTypeNumberForModel(const std::string& model) {
  if (!statisticsTypeForModel_) statisticsTypeForModel_ = std::make_unique<StatisticsTypeMap>();
  // A model without a type is entered with the empty text.
  return getNumberForString(EPT_STATISTICS_TYPE, (*statisticsTypeForModel_)[model], true);
}

bool PerformanceTracer::logTracerData(const std::string& grouping, const std::string& phase, bool isStart,
                                      const std::vector<std::string>& names, const std::vector<std::string>& values) {
  return logTracerData(getNumberForString(EPT_GROUPING, grouping, false), phase, isStart, names, values);
}

bool PerformanceTracer::logTracerData(std::int32_t grouping, const std::string& phase, bool isStart,
                                      const std::vector<std::string>& names, const std::vector<std::string>& values) {
  return appendPoint<PTTracerDataPoint>(
      grouping, phase, isStart, [&](PTTracerDataPoint& point) { point.identifiers = getMapForStrings(names, values); });
}

bool PerformanceTracer::logKAVLORData(const std::string& grouping, const std::string& phase, bool isStart) {
  return logKAVLORData(getNumberForString(EPT_GROUPING, grouping, false), phase, isStart);
}

bool PerformanceTracer::logKAVLORData(std::int32_t grouping, const std::string& phase, bool isStart) {
  return appendPoint<PTKAVLORDataPoint>(grouping, phase, isStart, [](PTKAVLORDataPoint&) {});
}

bool PerformanceTracer::logCalvoranData(const std::string& grouping, const std::string& model,
                                        const std::string& target, const std::string& phase, bool isStart) {
  return logCalvoranData(getNumberForString(EPT_GROUPING, grouping, false), model, target, phase, isStart);
}

bool PerformanceTracer::logCalvoranData(std::int32_t grouping, const std::string& model, const std::string& target,
                                        const std::string& phase, bool isStart) {
  return appendPoint<PTCLTGXDataPoint>(grouping, phase, isStart, [&](PTCLTGXDataPoint& point) {
    point.model = getNumberForString(EPT_MODEL, model, true);
    point.target = getNumberForString(EPT_TARGET, target, true);
    point.statisticsType = statisticsTypeNumberForModel(model);
  });
}

bool PerformanceTracer::logQuorindelData(const std::string& grouping, const std::string& model,
                                         const std::string& target, const std::string& machine,
                                         const std::string& chart, const std::string& phase, bool isStart) {
  return logQuorindelData(getNumberForString(EPT_GROUPING, grouping, false), model, target, machine, chart, phase,
                          isStart);
}

bool PerformanceTracer::logQuorindelData(std::int32_t grouping, const std::string& model, const std::string& target,
                                         const std::string& machine, const std::string& chart, const std::string& phase,
                                         bool isStart) {
  return appendPoint<PTQuorindelDataPoint>(grouping, phase, isStart, [&](PTQuorindelDataPoint& point) {
    point.model = getNumberForString(EPT_MODEL, model, true);
    point.target = getNumberForString(EPT_TARGET, target, true);
    point.machine = getNumberForString(EPT_MACHINE, machine, true);
    point.chart = getNumberForString(EPT_CHART, chart, true);
    point.statisticsType = statisticsTypeNumberForModel(model);
  });
}
