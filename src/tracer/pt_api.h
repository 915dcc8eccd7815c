// Exported native interface: the `pt` functions host tools call. Each fetches
// the process-wide tracer and forwards to one of its members.
//
//   int32_t phase = ptGetNumberForString(EPT_PHASE, "Load");  // adds when new
//   std::string name = ptGetPhaseStr(phase);                  // "Load"
#pragma once

#include "tracer/dynamic_enum.h"
#include "tracer/performance_tracer.h"
#include "tracer/string_mappings.h"

#include <cstddef>
#include <cstdint>
#include <string>

// ------------------------------------------------- Mappings and identifiers

std::string ptGetStringForNumber(EPTStringMappings mapping, int number);
/// The value text of `number` in the identifier's table, or empty.
std::string ptGetStringForNumber(const std::string& identifier, int number);
/// Adds the text when it is new.
std::int32_t ptGetNumberForString(EPTStringMappings mapping, const std::string& text);
/// Adds the identifier and the value when they are new.
std::int32_t ptGetNumberForString(const std::string& identifier, const std::string& value);
// Literal 0 would otherwise silently pick the identifier-name overloads.
std::string ptGetStringForNumber(int, int) = delete;
std::int32_t ptGetNumberForString(int, const std::string&) = delete;

std::string ptGetPhaseStr(int number);
std::string ptGetStatisticsTypeStr(int number);
std::string ptGetModelStr(int number);
std::string ptGetTargetStr(int number);
std::string ptGetMachineStr(int number);
std::string ptGetChartStr(int number);

std::size_t ptGetIdentifierAmount();
void ptInitializeMapCollectionForStat();
void ptSetStatisticsTypeForModel(const std::string& model, const std::string& statisticsType);
/// The identifier name's number in the identifier enumeration, or -1.
std::int32_t ptGetNuberFromDynamicEnum(const std::string& name);
std::string ptGetStringFromDynamicEnum(const int& number);
void ptSetIdentifierRawEnum(const DynamicEnum& identifierEnum);
bool ptGetPerfTracerEnabledFlag();
/// Adds the identifier's table when new; returns its number in the enumeration.
std::int32_t ptInsertIdentifierToMapCollections(const std::string& name);
void ptAddIdentifierToMapCollectionsOnly(const std::string& name);

// ------------------------------------------------ Groupings and test paths

PerformanceTracer::KnownGroupingMap& ptGetKnownGroupingStatus();
PerformanceTracer::TestPathMap& ptGetMapTestPath();
void ptAddTestPathToMap(const std::string& key, const std::string& path);

// ---------------------------------------------------------- Memory sampling

void ptEnableDetailedMemStats(bool enable);
/// Off: basic snapshots stay zero and logging skips the /proc read.
void ptEnableBasicMemStats(bool enable);
