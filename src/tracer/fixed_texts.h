// Fixed texts that the tracer, its analysis and its reports share: the names
// every logged or converted tracer point carries, the grouping that admits
// every point, the gap phase and the identifiers that may name a model.
//
//   table(pt::statisticsTypeIdentifierText()).getNumberOrAdd(pt::statisticsTypeUpdateText());
//
// They are never destroyed: points may be logged from static destructors and
// exit handlers, after ordinary static objects are gone.
#pragma once

#include <array>
#include <cstddef>
#include <string>

namespace pt {

/// The identifier every tracer point carries: "statisticsTypeStr".
inline const std::string& statisticsTypeIdentifierText() {
  static const std::string* const text = new std::string("statisticsTypeStr");
  return *text;
}

/// Its value on every logged point: "Update".
inline const std::string& statisticsTypeUpdateText() {
  static const std::string* const text = new std::string("Update");
  return *text;
}

/// The grouping (or model) name that admits every point.
inline constexpr char kGlobalGrouping[] = "GLOBAL";

/// The phase of the time no recorded phase accounts for.
inline constexpr char kUnaccountedPhase[] = "Unaccounted Phase";

/// The identifiers naming what a point was logged for, and the thread it was logged on.
inline constexpr char kModelIdentifier[] = "modelStr";
inline constexpr char kTargetIdentifier[] = "targetStr";
inline constexpr char kMachineIdentifier[] = "machineStr";
inline constexpr char kChartIdentifier[] = "chartStr";
inline constexpr char kThreadIdentifier[] = "threadStr";

/// The identifiers that may name a tracer point's model, the first used
/// standing for all.
inline constexpr std::array<const char*, 3> kModelIdentifierCandidates{kModelIdentifier, "model", "Model"};

/// The grouping of the test manager's points: a trace whose first row is in
/// it is shown by test file, suite and case.
inline constexpr char kTestManagerGrouping[] = "CLTestManager";

/// The target of generated code: a trace whose first row carries it is a
/// code-generation trace.
inline constexpr char kCodeGenerationTarget[] = "TGX";

/// Grouping enable states a tracer starts with; the table grows as needed.
inline constexpr std::size_t kInitialGroupingStates = 20;

}  // namespace pt
