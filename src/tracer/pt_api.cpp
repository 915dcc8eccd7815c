#include "tracer/pt_api.h"

namespace {
PerformanceTracer& tracer() { return *PerformanceTracer::getInstance(); }
}  // namespace

// ------------------------------------------------- Mappings and identifiers

std::string ptGetStringForNumber(EPTStringMappings mapping, int number) {
  return tracer().getStringForNumber(mapping, number);
}

std::string ptGetStringForNumber(const std::string& identifier, int number) {
  return tracer().getStringForNumber(identifier, number);
}

std::int32_t ptGetNumberForString(EPTStringMappings mapping, const std::string& text) {
  return tracer().getNumberForString(mapping, text, true);
}

std::int32_t ptGetNumberForString(const std::string& identifier, const std::string& value) {
  return tracer().getNumberForString(identifier, value, true);
}

std::string ptGetPhaseStr(int number) { return ptGetStringForNumber(EPT_PHASE, number); }
std::string ptGetStatisticsTypeStr(int number) { return ptGetStringForNumber(EPT_STATISTICS_TYPE, number); }
std::string ptGetModelStr(int number) { return ptGetStringForNumber(EPT_MODEL, number); }
std::string ptGetTargetStr(int number) { return ptGetStringForNumber(EPT_TARGET, number); }
std::string ptGetMachineStr(int number) { return ptGetStringForNumber(EPT_MACHINE, number); }
std::string ptGetChartStr(int number) { return ptGetStringForNumber(EPT_CHART, number); }

std::size_t ptGetIdentifierAmount() { return tracer().getIdentifierAmount(); }

void ptInitializeMapCollectionForStat() { tracer().initializeMapCollectionsForStat(); }

void ptSetStatisticsTypeForModel(const std::string& model, const std::string& statisticsType) {
  tracer().setStatisticsTypeForModel(model, statisticsType);
}

std::int32_t ptGetNuberFromDynamicEnum(const std::string& name) { return tracer().identifierRawEnum().getInt(name); }

std::string ptGetStringFromDynamicEnum(const int& number) { return tracer().identifierRawEnum().getString(number); }

void ptSetIdentifierRawEnum(const DynamicEnum& identifierEnum) { tracer().setIdentifierRawEnum(identifierEnum); }

bool ptGetPerfTracerEnabledFlag() { return tracer().getPerfTracerEnabledFlag(); }

std::int32_t ptInsertIdentifierToMapCollections(const std::string& name) {
  tracer().insertIdentifierToMapCollections(name);
  return tracer().addToIdentifierRawEnum(name);
}

void ptAddIdentifierToMapCollectionsOnly(const std::string& name) { tracer().insertIdentifierToMapCollections(name); }

// ------------------------------------------------ Groupings and test paths

PerformanceTracer::KnownGroupingMap& ptGetKnownGroupingStatus() { return tracer().getKnownGroupingStatus(); }

PerformanceTracer::TestPathMap& ptGetMapTestPath() { return tracer().getMapTestPath(); }

void ptAddTestPathToMap(const std::string& key, const std::string& path) { tracer().addTestPathToMap(key, path); }

// ---------------------------------------------------------- Memory sampling

void ptEnableDetailedMemStats(bool enable) { tracer().setDetailedMemStatsEnabled(enable); }

void ptEnableBasicMemStats(bool enable) { tracer().setBasicMemStatsEnabled(enable); }
