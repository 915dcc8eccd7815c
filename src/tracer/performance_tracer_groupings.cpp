// Groupings: registration, composite trees, enable states and their mirror in
// the instrumentation library.
#include "tracer/fixed_texts.h"
#include "tracer/performance_tracer.h"

#include "platform/instrument/controls.h"
#include "platform/instrument/listeners.h"

#include <algorithm>
#include <cstring>
#include <unordered_set>
#include <utility>

namespace {

constexpr char kCodeGeneration[] = "All Calvoran Code Generation";
constexpr char kCompile[] = "All Calvoran Compile";
constexpr char kTest[] = "Calvoran Test";

}  // namespace

const std::vector<std::string>* PerformanceTracer::findSubGroups(std::int32_t number) const {
  if (!knownGroupingStatus_) return nullptr;
  auto found = knownGroupingStatus_->find(number);
  return found == knownGroupingStatus_->end() ? nullptr : &found->second;
}

bool PerformanceTracer::containsAtAnyDepth(const std::string& group, const std::string& name) const {
  const StringNumberMapping* groupings = getMappingByType(EPT_GROUPING);
  // Names, not registrations, are followed: a sub-group that is not registered
  // now may be later, and must not then close a loop. The visited set only
  // guards against a registry filled by other means.
  std::vector<const std::string*> pending{&group};
  std::unordered_set<std::string> visited;
  while (!pending.empty()) {
    const std::string& current = *pending.back();
    pending.pop_back();
    if (current == name) return true;
    if (groupings == nullptr || !visited.insert(current).second) continue;
    if (const std::vector<std::string>* subGroups = findSubGroups(groupings->getNumber(current))) {
      for (const std::string& sub : *subGroups) pending.push_back(&sub);
    }
  }
  return false;
}

std::int32_t PerformanceTracer::addGrouping(const std::string& name) {
  KnownGroupingMap& registry = getKnownGroupingStatus();
  const std::int32_t number = getNumberForString(EPT_GROUPING, name, true);
  if (number < 0) return -1;
  if (const std::vector<std::string>* subGroups = findSubGroups(number)) {
    return subGroups->empty() ? number : -1;
  }
  registry.emplace(number, std::vector<std::string>());
  enableGroupingIndex(number, EPT_GROUPING_UNKNOWN);
  return number;
}

std::string PerformanceTracer::addGrouping(const std::string& name, const std::vector<std::string>& subGroups) {
  const std::int32_t number = getNumberForString(EPT_GROUPING, name, true);
  if (number < 0) return "No grouping table for: " + name;
  const std::vector<std::string>* registered = findSubGroups(number);
  if (registered != nullptr && !registered->empty()) return "Group: " + name;
  for (const std::string& sub : subGroups) {
    if (containsAtAnyDepth(sub, name)) return "Cycle: " + sub + " already contains " + name;
  }
  // The list is stored before the sub-groups are checked: the built-in trees
  // rely on it to take a composite grouping as a sub-group.
  if (registered != nullptr) {
    getKnownGroupingStatus()[number] = subGroups;
  } else {
    getKnownGroupingStatus().emplace(number, subGroups);
    enableGroupingIndex(number, EPT_GROUPING_UNKNOWN);
  }
  for (const std::string& sub : subGroups) {
    if (addGrouping(sub) == -1) return "Sub group: " + sub;
    const std::vector<EPTGroupingEnabled>& states = getGroupingEnabledStates();
    const EPTGroupingEnabled state =
        static_cast<std::size_t>(number) < states.size() ? states[number] : EPT_GROUPING_UNKNOWN;
    if (state != EPT_GROUPING_UNKNOWN) enableGrouping(sub, state != EPT_GROUPING_DISABLED);
  }
  return std::string();
}

void PerformanceTracer::enableGroupingIndex(std::int32_t number, EPTGroupingEnabled state) {
  if (number < 0) return;
  if (!groupingEnabledStates_) {
    groupingEnabledStates_ =
        std::make_unique<std::vector<EPTGroupingEnabled>>(pt::kInitialGroupingStates, EPT_GROUPING_UNKNOWN);
  }
  std::vector<EPTGroupingEnabled>& states = *groupingEnabledStates_;
  if (states.size() <= static_cast<std::size_t>(number)) states.resize(number + 1, EPT_GROUPING_UNKNOWN);
  const EPTGroupingEnabled previous = states[number];
  states[number] = state;
  noteEnabledStateChange(number, previous, state);
  if (isPerformanceTracerRecorderUsed()) {
    const std::string name = getStringForNumber(EPT_GROUPING, number);
    if (state == EPT_GROUPING_ENABLED) {
      instrument::controls.enable(name);
    } else {
      instrument::controls.disable(name);
    }
  }
}

void PerformanceTracer::enableGrouping(const std::string& name, bool enable) {
  std::unordered_set<std::int32_t> visited;
  enableGroupingTree(name, enable ? EPT_GROUPING_ENABLED : EPT_GROUPING_DISABLED, visited);
  refreshRecorderListener();
}

void PerformanceTracer::enableGroupingTree(const std::string& name, EPTGroupingEnabled state,
                                           std::unordered_set<std::int32_t>& visited) {
  const std::int32_t number = getNumberForString(EPT_GROUPING, name, true);
  if (number < 0) return;
  // A sub-group shared by several branches is set once: following every path
  // to it would cost time exponential in the depth.
  if (!visited.insert(number).second) return;
  if (const std::vector<std::string>* registered = findSubGroups(number)) {
    enableGroupingIndex(number, state);
    // A copy: enabling a sub-group may register it and so rehash the registry.
    const std::vector<std::string> subGroups = *registered;
    for (const std::string& sub : subGroups) enableGroupingTree(sub, state, visited);
  } else {
    getKnownGroupingStatus().emplace(number, std::vector<std::string>());
    enableGroupingIndex(number, state);
  }
}

void PerformanceTracer::refreshRecorderListener() {
  // Attached while anything is recorded through the recorder: detaching it
  // while global logging is on, or while a grouping is still enabled, would
  // drop their events. With the feature off nothing is, and a listener left
  // attached would go on taking snapshots on every emitting thread.
  if (isPerformanceTracerRecorderUsed() && (globalLoggingEnabled_ || isAnyGroupEnabled())) {
    instrument::listeners.add(recorder_);
  } else {
    instrument::listeners.remove(recorder_);
  }
}

bool PerformanceTracer::removeGrouping(const std::string& name) {
  const StringNumberMapping* groupings = getMappingByType(EPT_GROUPING);
  return removeGrouping(groupings == nullptr ? -1 : groupings->getNumber(name));
}

bool PerformanceTracer::removeGrouping(std::int32_t number) {
  const std::vector<std::string>* registered = findSubGroups(number);
  if (registered == nullptr) return false;
  const std::vector<std::string> subGroups = *registered;
  // Unregistered before its sub-groups: a sub-group met again further down
  // the tree is then no longer registered and is not visited twice.
  knownGroupingStatus_->erase(number);
  for (const std::string& sub : subGroups) removeGrouping(sub);
  enableGroupingIndex(number, EPT_GROUPING_UNKNOWN);
  return true;
}

bool PerformanceTracer::updateGrouping(const std::string& name, const std::vector<std::string>& subGroups) {
  const StringNumberMapping* groupings = getMappingByType(EPT_GROUPING);
  const std::int32_t number = groupings == nullptr ? -1 : groupings->getNumber(name);
  if (number < 0) return true;
  if (findSubGroups(number) == nullptr) {
    enableGroupingIndex(number, EPT_GROUPING_UNKNOWN);
    return true;
  }
  for (const std::string& sub : subGroups) {
    if (containsAtAnyDepth(sub, name)) return false;
  }
  const std::vector<std::string> oldSubGroups = *findSubGroups(number);
  for (const std::string& sub : oldSubGroups) removeGrouping(sub);
  // Removing an old sub-group cannot remove this grouping: the tree has no cycle.
  (*knownGroupingStatus_)[number] = subGroups;
  return true;
}

namespace {

std::uint64_t lengthBit(std::size_t length) { return std::uint64_t{1} << std::min<std::size_t>(length, 63); }

// The first eight bytes of `text` as one word, zero past its end: equal words
// and lengths leave only the bytes after the eighth to compare.
std::uint64_t headWord(std::string_view text) {
  std::uint64_t word = 0;
  if (text.size() >= sizeof word) {
    std::memcpy(&word, text.data(), sizeof word);  // one load, the common case
  } else if (!text.empty()) {
    std::memcpy(&word, text.data(), text.size());
  }
  return word;
}

// The last eight bytes of a text of at least eight, else zero: with the head
// word, a name of up to sixteen bytes is compared in two words.
std::uint64_t tailWord(std::string_view text) {
  std::uint64_t word = 0;
  if (text.size() >= sizeof word) std::memcpy(&word, text.data() + text.size() - sizeof word, sizeof word);
  return word;
}

}  // namespace

void PerformanceTracer::noteEnabledStateChange(std::int32_t, EPTGroupingEnabled previous, EPTGroupingEnabled state) {
  if (previous != state) enabledGroupingsVersion_ = kStaleEnabledGroupings;
}

void PerformanceTracer::refreshEnabledGroupings() const {
  const StringNumberMapping* groupings = getMappingByType(EPT_GROUPING);
  enabledGroupings_.clear();
  enabledNameLengths_ = 0;
  const std::vector<EPTGroupingEnabled>& states = getGroupingEnabledStates();
  for (std::size_t number = 0; number < states.size() && groupings != nullptr; ++number) {
    if (states[number] != EPT_GROUPING_ENABLED) continue;
    // A number may be enabled before any name has it.
    auto named = groupings->entries().right.find(static_cast<std::int32_t>(number));
    if (named == groupings->entries().right.end()) continue;
    const std::string& name = named->second;
    enabledGroupings_.push_back(
        EnabledGrouping{headWord(name), tailWord(name), name.size(), static_cast<std::int32_t>(number), name});
    enabledNameLengths_ |= lengthBit(name.size());
  }
  enabledGroupingsVersion_ = groupings == nullptr ? kStaleEnabledGroupings : groupings->version();
}

[[gnu::hot]] std::int32_t PerformanceTracer::findEnabledGrouping(std::string_view name) const {
  // The table may be changed by anyone holding it: the list is rebuilt whenever it did.
  const StringNumberMapping* groupings = mappings_[EPT_GROUPING].get();
  if (groupings == nullptr) return kNotAdmitted;
  if (groupings->version() != enabledGroupingsVersion_) refreshEnabledGroupings();
  if ((enabledNameLengths_ & lengthBit(name.size())) == 0) return kNotAdmitted;
  // Comparing texts beats hashing one only while the enabled groupings are few.
  constexpr std::size_t kComparedGroupings = 16;
  if (enabledGroupings_.size() > kComparedGroupings) {
    const std::int32_t number = groupings->getNumber(name);
    return isGroupingEnabled(number) ? number : kNotAdmitted;
  }
  const std::uint64_t head = headWord(name);
  const std::uint64_t tail = tailWord(name);
  constexpr std::size_t kWordBytes = sizeof head;
  const auto matches = [&](const EnabledGrouping& enabled) {
    if (enabled.length != name.size() || enabled.head != head || enabled.tail != tail) return false;
    // What lies between the two words, in a name longer than sixteen bytes.
    return name.size() <= 2 * kWordBytes ||
           std::memcmp(enabled.name.data() + kWordBytes, name.data() + kWordBytes, name.size() - 2 * kWordBytes) == 0;
  };
  // Logging mostly repeats a grouping: the one found last is tried first.
  if (lastEnabledGrouping_ < enabledGroupings_.size() && matches(enabledGroupings_[lastEnabledGrouping_])) {
    return enabledGroupings_[lastEnabledGrouping_].number;
  }
  for (std::size_t i = 0; i < enabledGroupings_.size(); ++i) {
    if (!matches(enabledGroupings_[i])) continue;
    lastEnabledGrouping_ = i;
    return enabledGroupings_[i].number;
  }
  return kNotAdmitted;
}

bool PerformanceTracer::isGroupingEnabled(const std::string& name) const {
  return findEnabledGrouping(name) != kNotAdmitted;
}

bool PerformanceTracer::isGroupingEnabled(std::int32_t number) const {
  return groupingEnabledStates_ && number >= 0 && static_cast<std::size_t>(number) < groupingEnabledStates_->size() &&
         (*groupingEnabledStates_)[number] == EPT_GROUPING_ENABLED;
}

bool PerformanceTracer::isAnyGroupEnabled() const {
  const std::vector<EPTGroupingEnabled>& states = getGroupingEnabledStates();
  return std::find(states.begin(), states.end(), EPT_GROUPING_ENABLED) != states.end();
}

std::vector<std::string> PerformanceTracer::getGroupingList(const std::string& name) const {
  std::vector<std::string> list;
  const StringNumberMapping* groupings = getMappingByType(EPT_GROUPING);
  if (groupings == nullptr) return list;
  // A sub-group shared by several branches is listed once, where it is first met.
  std::unordered_set<std::int32_t> visited;
  auto append = [&](auto& self, const std::string& group) -> void {
    const std::int32_t number = groupings->getNumber(group);
    const std::vector<std::string>* subGroups = findSubGroups(number);
    if (subGroups == nullptr || !visited.insert(number).second) return;
    for (const std::string& sub : *subGroups) self(self, sub);
    list.push_back(group);
  };
  append(append, name);
  return list;
}

void PerformanceTracer::enableTracer(const std::string& name, bool enable) {
  // The error texts are expected: on a fresh tracer the outer trees stop at
  // their composite sub-group after storing their lists, which is how the
  // nested trees come about; later calls find the trees built.
  const bool test = name == kTest;
  const bool compile = test || name == kCompile;
  if (compile || name == kCodeGeneration) addGrouping(kCodeGeneration, {"TGXCG", "MRV", "CLbuild"});
  if (compile) addGrouping(kCompile, {"Calvoran Compile", kCodeGeneration});
  if (test) addGrouping(kTest, {"Report Generation", pt::kTestManagerGrouping, kCompile});
  enableGrouping(name, enable);
  perfTracerEnabledFlag_ = isAnyGroupEnabled() || globalLoggingEnabled_;
}

void PerformanceTracer::enableGlobalLogging(bool on) {
  globalLoggingEnabled_ = on;
  refreshRecorderListener();
}

const std::vector<EPTGroupingEnabled>& PerformanceTracer::getGroupingEnabledStates() const {
  static const std::vector<EPTGroupingEnabled> none;
  return groupingEnabledStates_ ? *groupingEnabledStates_ : none;
}
