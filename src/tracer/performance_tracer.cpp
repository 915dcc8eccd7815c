#include "tracer/performance_tracer.h"
#include "sysinfo/system_info.h"
#include "tracer/fixed_texts.h"

#include "platform/clock.h"
#include "platform/environment.h"
#include "platform/memory_probe.h"
#include "platform/replacing_file.h"

#include <algorithm>
#include <cctype>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

namespace {

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
  });
}

bool basicProbeWantedByEnvironment() {
  const std::optional<std::string> value = platform::environmentVariable("PT_BASIC_MEMORY_PROBE");
  if (!value) return true;
  return !(equalsIgnoringCase(*value, "0") || equalsIgnoringCase(*value, "off") || equalsIgnoringCase(*value, "false"));
}

}  // namespace

// ---------------------------------------------------------------- Lifetime

PerformanceTracer* PerformanceTracer::getInstance() {
  // Deliberately never destroyed: host code may log from destructors of other
  // static objects while the process ends.
  static PerformanceTracer* const instance = [] {
    auto* tracer = new PerformanceTracer;
    tracer->initialize();
    return tracer;
  }();
  return instance;
}

PerformanceTracer::PerformanceTracer()
    : basicMemStatsEnabled_(basicProbeWantedByEnvironment()),
      clock_(&platform::systemClock()),
      memoryProbe_(&platform::linuxMemoryProbe()),
      fileCalls_(&platform::systemFileCalls()) {}

PerformanceTracer::~PerformanceTracer() = default;

void PerformanceTracer::initialize() {
  rawDataVector_ = std::make_unique<PTRawDataVector>();
  systemInfo_ = std::make_unique<PTSystemInfoStruct>();
  recordingSystemInfoSet_ = false;
  statisticsTypeForModel_ = std::make_unique<StatisticsTypeMap>();
  knownGroupingStatus_ = std::make_unique<KnownGroupingMap>();
  for (auto& mapping : mappings_) mapping = std::make_unique<StringNumberMapping>();
  {
    std::lock_guard<std::mutex> lock(memStatsModuleMutex_);
    memStatsModule_ = std::make_unique<pt::MemStatsModule>(*memoryProbe_.load(std::memory_order_acquire));
  }
  groupingEnabledStates_ =
      std::make_unique<std::vector<EPTGroupingEnabled>>(pt::kInitialGroupingStates, EPT_GROUPING_UNKNOWN);
  enabledGroupingsVersion_ = kStaleEnabledGroupings;
}

// ---------------------------------------------------------- Platform seams

void PerformanceTracer::setClock(platform::Clock* clock) {
  clock_ = clock != nullptr ? clock : &platform::systemClock();
}

void PerformanceTracer::setFileCalls(platform::FileCalls* calls) {
  fileCalls_ = calls != nullptr ? calls : &platform::systemFileCalls();
}

void PerformanceTracer::setMemoryProbe(platform::MemoryProbe* probe) {
  platform::MemoryProbe& next = probe != nullptr ? *probe : platform::linuxMemoryProbe();
  std::lock_guard<std::mutex> lock(memStatsModuleMutex_);
  memoryProbe_.store(&next, std::memory_order_release);
  if (memStatsModule_) memStatsModule_->setProbe(next);
}

// --------------------------------------------------------- String mappings

StringNumberMapping* PerformanceTracer::getMappingByType(EPTStringMappings mapping) const {
  return isStringMapping(mapping) ? mappings_[mapping].get() : nullptr;
}

std::int32_t PerformanceTracer::getNumberForString(EPTStringMappings mapping, const std::string& text,
                                                   bool addIfMissing) {
  StringNumberMapping* table = getMappingByType(mapping);
  if (table == nullptr) return -1;
  return addIfMissing ? table->getNumberOrAdd(text) : table->getNumber(text);
}

std::string PerformanceTracer::getStringForNumber(EPTStringMappings mapping, std::int32_t number) const {
  const StringNumberMapping* table = getMappingByType(mapping);
  return table == nullptr ? std::string() : table->getString(number);
}

std::string PerformanceTracer::getNameForMappingID(EPTStringMappings mapping) {
  switch (mapping) {
    case EPT_PHASE: return "Phase";
    case EPT_GROUPING: return "Grouping";
    case EPT_MODEL: return "Model";
    case EPT_TARGET: return "Target";
    case EPT_MACHINE: return "Machine";
    case EPT_CHART: return "Chart";
    case EPT_STATISTICS_TYPE: break;
  }
  return std::string();
}

void PerformanceTracer::clearStringMappings() {
  for (int mapping = 0; mapping < kStringMappingCount; ++mapping) {
    if (mapping != EPT_GROUPING && mappings_[mapping]) mappings_[mapping]->clear();
  }
}

// --------------------------------------------------------- Map collections

StringNumberMapping* PerformanceTracer::identifierTable(const std::string& identifier) const {
  auto found = mapCollections_.find(identifier);
  return found == mapCollections_.end() ? nullptr : found->second.get();
}

void PerformanceTracer::initializeMapCollectionsForStat() {
  insertIdentifierToMapCollections(pt::statisticsTypeIdentifierText());
}

void PerformanceTracer::insertIdentifierToMapCollections(const std::vector<std::string>& names) {
  for (const std::string& name : names) insertIdentifierToMapCollections(name);
}

void PerformanceTracer::insertIdentifierToMapCollections(const std::string& name) { identifierTableOrAdd(name); }

StringNumberMapping& PerformanceTracer::identifierTableOrAdd(const std::string& identifier) {
  std::unique_ptr<StringNumberMapping>& table = mapCollections_.try_emplace(identifier).first->second;
  if (!table) table = std::make_unique<StringNumberMapping>();
  return *table;
}

std::int32_t PerformanceTracer::getNumberForString(const std::string& identifier, const std::string& value) const {
  const StringNumberMapping* table = identifierTable(identifier);
  return table == nullptr ? -1 : table->getNumber(value);
}

std::int32_t PerformanceTracer::getNumberForString(const std::string& identifier, const std::string& value,
                                                   bool addIfMissing) {
  if (!addIfMissing) return std::as_const(*this).getNumberForString(identifier, value);
  return identifierTableOrAdd(identifier).getNumberOrAdd(value);
}

std::string PerformanceTracer::getStringForNumber(const std::string& identifier, std::int32_t number) const {
  const StringNumberMapping* table = identifierTable(identifier);
  return table == nullptr ? std::string() : table->getString(number);
}

PTIdentifierMap PerformanceTracer::getMapForStrings(const std::vector<std::string>& names,
                                                    const std::vector<std::string>& values) {
  // Interned once: every logged point carries this key.
  static const IdentifierName statisticsTypeKey(pt::statisticsTypeIdentifierText());
  PTIdentifierMap identifiers = makeIdentifierMap();
  // An odd pair list leaves its last name without a value; no value is read
  // past the end of the list.
  const std::size_t pairs = std::min(names.size(), values.size());
  for (std::size_t i = 0; i < pairs; ++i) {
    identifiers[names[i]] = getNumberForString(names[i], values[i], true);
  }
  identifiers[statisticsTypeKey] =
      getNumberForString(pt::statisticsTypeIdentifierText(), pt::statisticsTypeUpdateText(), true);
  return identifiers;
}

void PerformanceTracer::clearMapCollections() {
  for (auto& [name, table] : mapCollections_) {
    if (name != pt::statisticsTypeIdentifierText()) table->clear();
  }
}

// -------------------------------------------------- Identifier enumeration

DynamicEnum& PerformanceTracer::getIdentifierRawEnum() {
  // Hash order depends on the table's history; text order keeps the numbers of
  // new names the same in every run.
  std::vector<std::string> newNames;
  for (const auto& entry : mapCollections_) {
    if (identifierRawEnum_.getInt(entry.first) == -1) newNames.push_back(entry.first);
  }
  std::sort(newNames.begin(), newNames.end());
  for (const std::string& name : newNames) identifierRawEnum_.add(name);
  return identifierRawEnum_;
}

void PerformanceTracer::setIdentifierRawEnum(const DynamicEnum& identifierEnum) {
  if (&identifierEnum != &identifierRawEnum_) identifierRawEnum_ = identifierEnum;
}

// -------------------------------------------------------------- Raw data

void PerformanceTracer::assignCommonData(PTKAVLORDataPoint& point, const std::string& grouping,
                                         const std::string& phase, bool isStart) {
  assignCommonData(point, getNumberForString(EPT_GROUPING, grouping, true), phase, isStart);
}

[[gnu::hot]] void PerformanceTracer::assignCommonData(PTKAVLORDataPoint& point, std::int32_t grouping,
                                                      const std::string& phase, bool isStart) {
  point.grouping = grouping;
  point.phase = getNumberForString(EPT_PHASE, phase, true);
  point.isStart = isStart;
  // With the recorder in use, times and memory come from the recorded event.
  if (!usePerformanceTracerRecorder_) getPerformanceStats(point);
}

[[gnu::hot]] bool PerformanceTracer::appendRawDataPoint(boost::shared_ptr<PTKAVLORDataPoint> point) {
  if (!rawDataVector_) return false;
  rawDataVector_->push_back(std::move(point));
  return true;
}

// ------------------------------------------------------------ Other state

void PerformanceTracer::setSystemInfo(const PTSystemInfoStruct* info) {
  if (info == nullptr) return;
  if (!systemInfo_) systemInfo_ = std::make_unique<PTSystemInfoStruct>();
  *systemInfo_ = *info;
  recordingSystemInfoSet_ = true;
}

void PerformanceTracer::setStatisticsTypeForModel(const std::string& model, const std::string& type) {
  if (!statisticsTypeForModel_) statisticsTypeForModel_ = std::make_unique<StatisticsTypeMap>();
  (*statisticsTypeForModel_)[model] = type;
}

// -------------------------------------------------------------- Groupings

PerformanceTracer::KnownGroupingMap& PerformanceTracer::getKnownGroupingStatus() {
  if (!knownGroupingStatus_) knownGroupingStatus_ = std::make_unique<KnownGroupingMap>();
  return *knownGroupingStatus_;
}
